// Turning a kind's template lines into a comment block and putting it into the
// document above the declaration.
#include <algorithm>
#include <cstdio>

#include "internal.h"

namespace quillmark {
namespace {

void ApplyStep(std::string& line, const ExpansionStep& step, int& lineCount, CodePage page) {
  // A multi-line value counts its breaks once per template line, however often
  // the placeholder stands on it.
  if (detail::ReplaceAll(line, step.placeholder, step.value, page)) lineCount += step.lineBreaks;
}

std::string ActiveProjectName(const CommentContext& context) {
  return context.projectName ? context.projectName() : std::string();
}

std::string ActiveDocumentName(const CommentContext& context) {
  return context.documentName ? context.documentName() : std::string();
}

// Without a converter only ASCII, which both code pages share, can be written.
class AsciiOnlyConverter final : public TextConverter {
 public:
  std::optional<std::string> Utf8ToGbk(std::string_view utf8) const override {
    return AsciiOrNothing(utf8);
  }
  std::optional<std::string> GbkToUtf8(std::string_view gbk) const override {
    return AsciiOrNothing(gbk);
  }

 private:
  static std::optional<std::string> AsciiOrNothing(std::string_view text) {
    for (const char c : text)
      if (static_cast<unsigned char>(c) >= 0x80) return std::nullopt;
    return std::string(text);
  }
};

// A UTF-8 text in the document's code page; what it cannot hold becomes "?".
std::string Encode(std::string_view utf8, const CommentContext& context, bool* replaced) {
  const AsciiOnlyConverter asciiOnly;
  const TextConverter& converter = context.converter != nullptr ? *context.converter : asciiOnly;
  bool any = false;
  std::string encoded = EncodeLossy(utf8, context.page, converter, &any);
  if (any && replaced != nullptr) *replaced = true;
  return encoded;
}

}  // namespace

void ExpandTime(std::string& line, const CommentContext& context, bool* replaced) {
  if (FindSubstring(line, "%Time%", context.page) < 0) return;
  const LocalDate today = context.today;
  char ascii[48];
  // The separators are 年, 月 and 日; only digits are formatted here.
  std::snprintf(ascii, sizeof ascii, "%d\x01%d\x02%d\x03", today.year, today.month, today.day);
  const std::string year = Encode("年", context, replaced);
  const std::string month = Encode("月", context, replaced);
  const std::string day = Encode("日", context, replaced);
  std::string date;
  for (const char* p = ascii; *p != '\0'; ++p) {
    switch (*p) {
      case '\x01':
        date += year;
        break;
      case '\x02':
        date += month;
        break;
      case '\x03':
        date += day;
        break;
      default:
        date += *p;
    }
  }
  detail::ReplaceAll(line, "%Time%", date, context.page);
}

ExpandedBlock ExpandTemplate(const std::vector<std::string>& lines,
                             std::span<const ExpansionStep> leading,
                             std::span<const ExpansionStep> trailing,
                             const CommentContext& context) {
  ExpandedBlock block;
  const CodePage page = context.page;
  const std::string author =
      context.user != nullptr ? Encode(context.user->authorName, context, &block.replacedCharacters)
                              : std::string();
  const std::string company = context.user != nullptr ? Encode(context.user->companyName, context,
                                                               &block.replacedCharacters)
                                                      : std::string();
  for (const std::string& templateLine : lines) {
    std::string line = Encode(templateLine, context, &block.replacedCharacters);
    for (const ExpansionStep& step : leading) ApplyStep(line, step, block.lineCount, page);
    if (detail::ReplaceAll(line, "%CaretPos%", "", page)) block.caretLine = block.lineCount;
    detail::ReplaceAll(line, "%Author%", author, page);
    detail::ReplaceAll(line, "%Company%", company, page);
    for (const ExpansionStep& step : trailing) ApplyStep(line, step, block.lineCount, page);
    // The host is asked only for lines that hold its placeholder.
    if (FindSubstring(line, "%ProjectName%", page) >= 0)
      detail::ReplaceAll(line, "%ProjectName%", ActiveProjectName(context), page);
    if (FindSubstring(line, "%CurrentFileName%", page) >= 0)
      detail::ReplaceAll(line, "%CurrentFileName%", ActiveDocumentName(context), page);
    ExpandTime(line, context, &block.replacedCharacters);
    if (block.text.empty()) {
      block.text = std::move(line);
    } else {
      block.text += line;
    }
    block.text += "\r\n";
    ++block.lineCount;
  }
  return block;
}

JoinedItems JoinItems(const std::vector<std::string>& items) {
  JoinedItems joined;
  std::size_t size = 0;
  for (const std::string& item : items) size += item.size() + kItemSeparator.size();
  joined.value.reserve(size);
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) joined.value += kItemSeparator;
    joined.value += items[i];
  }
  joined.extraLines = items.empty() ? 0 : static_cast<int>(items.size()) - 1;
  return joined;
}

void SplitParams(std::string text, std::vector<std::string>& items, CodePage page) {
  // A comma is never the second byte of a double-byte character, so counting
  // bytes gives the number of items.
  items.reserve(items.size() + static_cast<std::size_t>(std::count(text.begin(), text.end(), ',')) +
                1);
  std::size_t from = 0;
  int comma = FindSubstring(text, ",", page);
  while (comma >= 0) {
    std::string item = text.substr(from, static_cast<std::size_t>(comma) - from);
    detail::BlankControlChars(item);
    items.push_back(std::move(item));
    from = static_cast<std::size_t>(comma) + 1;
    comma = FindSubstring(text, ",", page, static_cast<int>(from));
  }
  if (from < text.size()) {
    std::string item = text.substr(from);
    detail::BlankControlChars(item);
    items.push_back(std::move(item));
  }
}

namespace detail {

JoinedItems SplitAndJoin(std::string params, CodePage page) {
  std::vector<std::string> items;
  SplitParams(std::move(params), items, page);
  return JoinItems(items);
}

std::string_view NamePlaceholder(DeclKind kind) {
  const KindNames* names = NamesOf(kind);
  return names != nullptr ? names->placeholder : std::string_view();
}

ExpandedBlock ExpandKind(DeclKind kind, const KindValues& values, const TemplateNode& node,
                         const CommentContext& context) {
  // The general placeholders are replaced between the leading and the trailing steps.
  ExpansionStep leading[2], trailing[2];
  std::size_t leadingCount = 0, trailingCount = 0;
  const auto lead = [&](std::string_view placeholder, const std::string& value,
                        int lineBreaks = 0) {
    leading[leadingCount++] = {placeholder, value, lineBreaks};
  };
  const auto trail = [&](std::string_view placeholder, const std::string& value,
                         int lineBreaks = 0) {
    trailing[trailingCount++] = {placeholder, value, lineBreaks};
  };
  const auto paramsAndReturn = [&] {
    trail("%FunctionParam%", values.params.value, values.params.extraLines);
    trail("%ReturnValue%", values.returnType);
  };
  const std::string_view name = NamePlaceholder(kind);
  switch (kind) {
    case DeclKind::Class:
    case DeclKind::Struct:
      lead(name, values.name);
      lead("%BaseClassName%", values.bases.value, values.bases.extraLines);
      break;
    case DeclKind::Union:
    case DeclKind::Enum:
    case DeclKind::Macro:
      lead(name, values.name);
      break;
    case DeclKind::Interface:
      lead(name, values.name);
      lead("%BaseInterface%", values.bases.value, values.bases.extraLines);
      break;
    case DeclKind::MacroWithParams:
      lead(name, values.name);
      trail("%FunctionParam%", values.params.value, values.params.extraLines);
      break;
    case DeclKind::Function:
    case DeclKind::MethodDeclaration:
      lead(name, values.name);
      paramsAndReturn();
      break;
    case DeclKind::MemberFunction:
      lead(name, values.name);
      lead("%ClassName%", values.scope);
      paramsAndReturn();
      break;
    case DeclKind::MethodImplementation:
      lead("%Interface%", values.scope);
      lead(name, values.name);
      paramsAndReturn();
      break;
    case DeclKind::FileHeader:
    case DeclKind::None:
      break;
  }
  return ExpandTemplate(node.lines, std::span(leading, leadingCount),
                        std::span(trailing, trailingCount), context);
}

bool ExpandKindInto(DeclKind kind, const KindValues& values, const TemplateNode& node,
                    const CommentContext& context, ExpandedBlock* block) {
  *block = ExpandKind(kind, values, node, context);
  return true;
}

}  // namespace detail
}  // namespace quillmark
