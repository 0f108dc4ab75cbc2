// Turning a kind's template lines into a comment block and putting it into the
// document above the declaration.
#include <algorithm>
#include <cstdio>

#include "internal.h"

namespace quillmark {
namespace {

void ApplyStep(std::string& line, const ExpansionStep& step, int& lineCount) {
  // A multi-line value counts its breaks once per template line, however often
  // the placeholder stands on it.
  if (detail::ReplaceAll(line, step.placeholder, step.value)) lineCount += step.lineBreaks;
}

std::string ActiveProjectName() {
  EditorHost* app = GetHostApplication();
  if (app == nullptr) return {};
  return app->GetActiveProjectName().value_or(std::string());
}

std::string ActiveDocumentName() {
  EditorHost* app = GetHostApplication();
  if (app == nullptr) return {};
  TextDocument* document = app->GetActiveTextDocument();
  return document == nullptr ? std::string() : app->GetDocumentName(*document);
}

}  // namespace

void PrepareInsertionPoint(TextSelection& selection) {
  selection.MoveUpLines(1);
  selection.MoveDownLines(1);
  selection.MoveToLineStart();
}

void ExpandTime(std::string& line) {
  if (FindSubstring(line, "%Time%") < 0) return;
  const LocalDate today = detail::Today();
  char ascii[48];
  // The separators are 年, 月 and 日; only digits are formatted here.
  std::snprintf(ascii, sizeof ascii, "%d\x01%d\x02%d\x03", today.year, today.month, today.day);
  const std::string year = EncodeFromUtf8("年", GetCodePage()).value_or("-");
  const std::string month = EncodeFromUtf8("月", GetCodePage()).value_or("-");
  const std::string day = EncodeFromUtf8("日", GetCodePage()).value_or("");
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
  detail::ReplaceAll(line, "%Time%", date);
}

ExpandedBlock ExpandTemplate(const std::vector<std::string>& lines,
                             std::span<const ExpansionStep> leading,
                             std::span<const ExpansionStep> trailing) {
  ExpandedBlock block;
  const UserInfo* user = GetUserInfo();
  const std::string author = user != nullptr ? user->authorName : std::string();
  const std::string company = user != nullptr ? user->companyName : std::string();
  for (const std::string& templateLine : lines) {
    std::string line = templateLine;
    for (const ExpansionStep& step : leading) ApplyStep(line, step, block.lineCount);
    if (detail::ReplaceAll(line, "%CaretPos%", "")) block.caretLine = block.lineCount;
    detail::ReplaceAll(line, "%Author%", author);
    detail::ReplaceAll(line, "%Company%", company);
    for (const ExpansionStep& step : trailing) ApplyStep(line, step, block.lineCount);
    // The host is asked only for lines that hold its placeholder.
    if (FindSubstring(line, "%ProjectName%") >= 0)
      detail::ReplaceAll(line, "%ProjectName%", ActiveProjectName());
    if (FindSubstring(line, "%CurrentFileName%") >= 0)
      detail::ReplaceAll(line, "%CurrentFileName%", ActiveDocumentName());
    ExpandTime(line);
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

void InsertBlockAndPlaceCaret(TextSelection& selection, const std::string& block, int lineCount,
                              int caretLine) {
  selection.ReplaceSelection(block);
  selection.MoveUpLines(lineCount - caretLine + 1);
  selection.MoveDownLines(1);
  selection.MoveToLineEnd();
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

void SplitParams(std::string text, std::vector<std::string>& items) {
  // A comma is never the second byte of a double-byte character, so counting
  // bytes gives the number of items.
  items.reserve(items.size() + static_cast<std::size_t>(std::count(text.begin(), text.end(), ',')) +
                1);
  std::size_t from = 0;
  int comma = FindSubstring(text, ",");
  while (comma >= 0) {
    std::string item = text.substr(from, static_cast<std::size_t>(comma) - from);
    detail::BlankControlChars(item);
    items.push_back(std::move(item));
    from = static_cast<std::size_t>(comma) + 1;
    comma = FindSubstring(text, ",", static_cast<int>(from));
  }
  if (from < text.size()) {
    std::string item = text.substr(from);
    detail::BlankControlChars(item);
    items.push_back(std::move(item));
  }
}

namespace detail {

JoinedItems SplitAndJoin(std::string params) {
  std::vector<std::string> items;
  SplitParams(std::move(params), items);
  return JoinItems(items);
}

int ExpandAndInsert(TextSelection& selection, const TemplateNode& node,
                    std::span<const ExpansionStep> leading,
                    std::span<const ExpansionStep> trailing) {
  const ExpandedBlock block = ExpandTemplate(node.lines, leading, trailing);
  InsertBlockAndPlaceCaret(selection, block.text, block.lineCount, block.caretLine);
  return 1;
}

}  // namespace detail
}  // namespace quillmark
