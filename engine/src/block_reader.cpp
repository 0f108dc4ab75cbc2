// Reading a comment block back, comparing its fields with the declaration and
// writing the lines that carry changed fields again. Patterns and new lines
// both come from the generators' own expansion (ExpandKind), so a block is read
// and rewritten exactly as it is written.
#include "quillmark/block_reader.h"

#include <algorithm>
#include <array>

#include "internal.h"

namespace quillmark {
namespace {

// Slot values stand in the expansion between these two bytes, which neither
// code page uses inside a character and no template holds.
constexpr char kOpen = '\x01';
constexpr char kClose = '\x02';

std::string Marker(char slot) {
  return std::string{kOpen, slot, kClose};
}

bool IsFieldSlot(char slot) {
  return slot == 'n' || slot == 's' || slot == 'r' || slot == 'b' || slot == 'p';
}
bool IsListSlot(char slot) {
  return slot == 'b' || slot == 'p';
}

// The line a list goes on with: the item separator after its line break.
constexpr std::string_view kContinuation = kItemSeparator.substr(3);

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view TrimRight(std::string_view text) {
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}
std::string_view Trim(std::string_view text) {
  text = TrimRight(text);
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  return text;
}

// The text without its spaces and tabs: the two modes space values differently.
std::string Squeezed(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text)
    if (!IsBlank(c)) out += c;
  return out;
}

std::string_view LineAt(std::string_view text, const LineTable& lines, int line) {
  return text.substr(lines.LineStart(line), lines.LineLength(line));
}

bool IsBlankLine(std::string_view line) {
  return Trim(line).empty();
}

// The kind-specific placeholders, in one list for probing what a kind fills.
constexpr std::array<std::string_view, 12> kKindPlaceholders = {
    "%ClassName%", "%StructName%", "%BaseClassName%", "%UnionName%",
    "%EnumName%",  "%Function%",   "%ReturnValue%",   "%FunctionParam%",
    "%MicroName%", "%Interface%",  "%BaseInterface%", "%MethodName%"};

detail::KindValues MarkerValues() {
  return {.name = Marker('n'),
          .scope = Marker('s'),
          .returnType = Marker('r'),
          .bases = {Marker('b'), 0},
          .params = {Marker('p'), 0}};
}

// Which slot each kind-specific placeholder receives for `kind` (0: none),
// found by letting the expansion put markers in.
std::array<char, kKindPlaceholders.size()> SlotsOf(DeclKind kind, const CommentContext& context) {
  TemplateNode probe;
  for (const std::string_view placeholder : kKindPlaceholders)
    probe.lines.push_back(std::string(placeholder));
  CommentContext plain;
  plain.page = context.page;
  plain.converter = context.converter;
  const ExpandedBlock block = detail::ExpandKind(kind, MarkerValues(), probe, plain);
  std::array<char, kKindPlaceholders.size()> slots{};
  std::size_t from = 0;
  for (std::size_t k = 0; k < slots.size(); ++k) {
    const std::size_t end = block.text.find("\r\n", from);
    const std::string_view line = std::string_view(block.text).substr(from, end - from);
    if (line.size() == 3 && line[0] == kOpen && line[2] == kClose) slots[k] = line[1];
    from = end + 2;
  }
  return slots;
}

std::vector<std::string> SplitList(std::string_view value) {
  std::vector<std::string> items;
  if (value.empty()) return items;
  std::size_t from = 0;
  for (std::size_t at; (at = value.find(kItemSeparator, from)) != std::string_view::npos;
       from = at + kItemSeparator.size())
    items.emplace_back(value.substr(from, at - from));
  items.emplace_back(value.substr(from));
  return items;
}

Generator KeywordGenerator(DeclKind kind) {
  switch (kind) {
    case DeclKind::Class:
      return &CommentClass;
    case DeclKind::Struct:
      return &CommentStruct;
    case DeclKind::Union:
      return &CommentUnion;
    case DeclKind::Enum:
      return &CommentEnum;
    case DeclKind::Function:
      return &CommentFunction;
    case DeclKind::MemberFunction:
      return &CommentMemberFunction;
    case DeclKind::Macro:
      return &CommentMacro;
    case DeclKind::MacroWithParams:
      return &CommentParamMacro;
    case DeclKind::Interface:
      return &CommentInterface;
    case DeclKind::MethodDeclaration:
      return &CommentMethodDecl;
    case DeclKind::MethodImplementation:
      return &CommentMethodImpl;
    case DeclKind::FileHeader:
    case DeclKind::None:
      break;
  }
  return nullptr;
}

std::optional<std::string> InPage(std::string_view utf8, const CommentContext& context) {
  if (context.page == CodePage::kUtf8) return std::string(utf8);
  if (context.converter == nullptr) return std::nullopt;
  return EncodeFromUtf8(utf8, context.page, *context.converter);
}

std::string ToUtf8(std::string_view text, const CommentContext& context) {
  if (context.page == CodePage::kUtf8 || context.converter == nullptr) return std::string(text);
  return DecodeToUtf8(text, context.page, *context.converter).value_or(std::string(text));
}

// Parses a pattern line's expansion into fixed texts and slots.
std::vector<BlockPattern::Piece> PiecesOf(std::string_view line) {
  std::vector<BlockPattern::Piece> pieces;
  std::string fixed;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == kOpen && i + 2 < line.size() && line[i + 2] == kClose) {
      if (!fixed.empty()) pieces.push_back({0, std::move(fixed)});
      fixed.clear();
      pieces.push_back({line[i + 1], {}});
      i += 2;
      continue;
    }
    fixed += line[i];
  }
  if (!fixed.empty()) pieces.push_back({0, std::move(fixed)});
  return pieces;
}

// Matches a template line against the document from line `at` (no further
// than `last`): the fixed texts must stand in order; a slot takes what lies up
// to the next fixed text (the rest of the line when it is last). A list goes
// on over continuation lines while its line holds a comma and the next fixed
// text is not on it; the rest of the template line follows on its last line.
// A line whose trailing blanks an editor stripped still matches. What follows
// the last fixed text is the user's.
bool MatchLine(std::string_view text, const LineTable& lines, int at, int last,
               const std::vector<BlockPattern::Piece>& pieces, CodePage page, ReadLine* out) {
  ReadLine read{at, at, {}, {}, {}};
  std::string_view line = LineAt(text, lines, at);
  std::size_t pos = 0;
  bool listSeen = false;
  for (std::size_t k = 0; k < pieces.size(); ++k) {
    const BlockPattern::Piece& piece = pieces[k];
    if (piece.slot == 0) {
      const std::string_view rest = line.substr(pos);
      if (rest.starts_with(piece.text)) {
        pos += piece.text.size();
        continue;
      }
      // The line ends inside trailing blanks of the template's text.
      if (std::string_view(piece.text).starts_with(rest) &&
          Trim(std::string_view(piece.text).substr(rest.size())).empty()) {
        pos = line.size();
        continue;
      }
      return false;
    }
    const std::string& next =
        k + 1 < pieces.size() && pieces[k + 1].slot == 0 ? pieces[k + 1].text : std::string();
    const bool list = IsListSlot(piece.slot) && !listSeen;
    listSeen = listSeen || list;
    while (list && read.last < last) {
      const std::string_view rest = line.substr(pos);
      const std::string_view following = LineAt(text, lines, read.last + 1);
      if (!following.starts_with(kContinuation) || rest.find(',') == std::string_view::npos ||
          (!next.empty() && FindSubstring(rest, next, page) >= 0))
        break;
      read.listLines.emplace_back(rest);
      ++read.last;
      line = following;
      pos = kContinuation.size();
    }
    std::string capture;
    if (k + 1 == pieces.size()) {
      capture = line.substr(pos);
      pos = line.size();
    } else if (next.empty()) {
      // Two slots side by side: the later one takes the text.
    } else if (const int found = FindSubstring(line, next, page, static_cast<int>(pos));
               found >= 0) {
      capture = line.substr(pos, static_cast<std::size_t>(found) - pos);
      pos = static_cast<std::size_t>(found);
    } else {
      // The next fixed text may have lost its trailing blanks at the line's end.
      const std::string_view trimmed = TrimRight(next);
      if (trimmed.size() == next.size() || trimmed.empty() || k + 2 != pieces.size() ||
          !line.ends_with(trimmed) || line.size() - trimmed.size() < pos)
        return false;
      capture = line.substr(pos, line.size() - trimmed.size() - pos);
      pos = line.size() - trimmed.size();
    }
    if (list) read.listLines.push_back(capture);
    read.captures.push_back(list ? read.listLines.front() : std::move(capture));
  }
  read.suffix = std::string(line.substr(pos));
  *out = std::move(read);
  return true;
}

bool MatchBlock(std::string_view text, const LineTable& lines, int first, int last,
                const BlockPattern& pattern, CodePage page, ReadBlock* out) {
  ReadBlock block;
  block.firstLine = first;
  block.lastLine = last;
  std::size_t t = 0;
  int i = first;
  ReadLine read;
  while (t < pattern.lines.size()) {
    if (i > last) return false;
    if (!MatchLine(text, lines, i, last, pattern.lines[t], page, &read)) {
      // A line of the user's own between template lines; none before the first.
      if (t == 0) return false;
      ++i;
      continue;
    }
    i = read.last + 1;
    block.lines.push_back(std::move(read));
    ++t;
  }
  if (i != last + 1) return false;
  *out = std::move(block);
  return true;
}

// Where a value ends and the user's words after it begin: after the longest
// expected value the text starts with (blanks aside) when one is followed by
// a blank or the end; else, for a name (`oneWord`), at the first blank after
// it; else at the first tab or double space.
std::size_t ValueEnd(std::string_view text, const std::vector<std::string_view>& expected,
                     bool oneWord) {
  std::size_t best = std::string_view::npos;
  for (const std::string_view value : expected) {
    std::size_t i = 0, j = 0;
    while (i < text.size() && j < value.size()) {
      if (IsBlank(value[j])) {
        ++j;
      } else if (IsBlank(text[i])) {
        ++i;
      } else if (text[i] == value[j]) {
        ++i;
        ++j;
      } else {
        break;
      }
    }
    while (j < value.size() && IsBlank(value[j])) ++j;
    if (j < value.size()) continue;
    if (i < text.size() && !IsBlank(text[i])) continue;
    if (Squeezed(value).empty() && !Squeezed(text).empty()) continue;
    if (best == std::string_view::npos || i > best) best = i;
  }
  if (best != std::string_view::npos) return best;
  if (oneWord) {
    const std::size_t word = text.find_first_not_of(" \t");
    if (word != std::string_view::npos) {
      const std::size_t blank = text.find_first_of(" \t", word);
      return blank == std::string_view::npos ? text.size() : blank;
    }
  }
  const std::size_t tab = text.find('\t');
  const std::size_t spaces = text.find("  ");
  const std::size_t end = std::min(tab, spaces);
  return end == std::string_view::npos ? text.size() : end;
}

// A name or class is one word when every reading of it is: then the words
// after it are the user's even when a single blank parts them.
bool OneWord(char slot, const std::vector<std::string_view>& expected) {
  if (slot != 'n' && slot != 's') return false;
  return std::all_of(expected.begin(), expected.end(), [](std::string_view value) {
    return !Trim(value).empty() && Trim(value).find_first_of(" \t") == std::string_view::npos;
  });
}

// A value and the user's words after it.
struct ValueAndNote {
  std::string value;
  std::string note;
};

ValueAndNote SplitNote(std::string_view text, const std::vector<std::string_view>& expected,
                       bool oneWord = false) {
  const std::size_t end = ValueEnd(text, expected, oneWord);
  return {std::string(text.substr(0, end)), std::string(text.substr(end))};
}

// A list's items and the words after each, from its physical lines: every
// line but the last ends its item at its last comma.
std::vector<ValueAndNote> ListItems(const ReadLine& line,
                                    const std::vector<std::vector<std::string>*>& expected) {
  std::vector<ValueAndNote> items;
  for (std::size_t k = 0; k < line.listLines.size(); ++k) {
    const std::string_view text = line.listLines[k];
    if (k + 1 < line.listLines.size()) {
      const std::size_t comma = text.rfind(',');
      items.push_back({std::string(text.substr(0, comma)), std::string(text.substr(comma + 1))});
      continue;
    }
    std::vector<std::string_view> candidates;
    for (const std::vector<std::string>* list : expected)
      if (k < list->size()) candidates.push_back((*list)[k]);
    ValueAndNote last = SplitNote(text, candidates);
    if (k == 0 && Squeezed(last.value).empty() && Squeezed(last.note).empty()) break;
    items.push_back(std::move(last));
  }
  return items;
}

const std::string& SingleValue(const FieldValues& values, char slot) {
  switch (slot) {
    case 's':
      return values.scope;
    case 'r':
      return values.returnType;
    default:
      return values.name;
  }
}
const std::vector<std::string>& ListValue(const FieldValues& values, char slot) {
  return slot == 'b' ? values.bases : values.parameters;
}
std::string& SingleValueOf(FieldValues& values, char slot) {
  return slot == 's' ? values.scope : slot == 'r' ? values.returnType : values.name;
}

// A field as the block holds it: the value (a list's items) with the notes.
struct BlockFieldValue {
  char slot = 0;
  std::vector<ValueAndNote> items;  // one for a single value
};

// The block's values of every field slot, in the order they first appear.
std::vector<BlockFieldValue> FieldsOf(const ReadBlock& block, const BlockPattern& pattern,
                                      const std::vector<FieldValues>& readings) {
  std::vector<BlockFieldValue> fields;
  for (std::size_t t = 0; t < pattern.lines.size(); ++t) {
    const std::vector<BlockPattern::Piece>& pieces = pattern.lines[t];
    const ReadLine& line = block.lines[t];
    std::size_t capture = 0;
    for (std::size_t k = 0; k < pieces.size(); ++k) {
      const char slot = pieces[k].slot;
      if (slot == 0) continue;
      const std::string& text = line.captures[capture++];
      if (!IsFieldSlot(slot)) continue;
      if (std::any_of(fields.begin(), fields.end(),
                      [slot](const BlockFieldValue& f) { return f.slot == slot; }))
        continue;
      BlockFieldValue field{slot, {}};
      const bool last = k + 1 == pieces.size();
      if (IsListSlot(slot)) {
        std::vector<std::vector<std::string>*> expected;
        std::vector<std::vector<std::string>> lists;
        lists.reserve(readings.size());
        for (const FieldValues& reading : readings) lists.push_back(ListValue(reading, slot));
        for (std::vector<std::string>& list : lists) expected.push_back(&list);
        if (!line.listLines.empty()) {
          field.items = ListItems(line, expected);
        } else {
          for (std::string& item : SplitList(text)) field.items.push_back({std::move(item), {}});
        }
      } else if (last) {
        std::vector<std::string_view> expected;
        for (const FieldValues& reading : readings) expected.push_back(SingleValue(reading, slot));
        field.items.push_back(SplitNote(text, expected, OneWord(slot, expected)));
      } else {
        field.items.push_back({text, {}});
      }
      fields.push_back(std::move(field));
    }
  }
  return fields;
}

bool FieldAgrees(const BlockFieldValue& field, const FieldValues& reading) {
  if (IsListSlot(field.slot)) {
    const std::vector<std::string>& list = ListValue(reading, field.slot);
    if (list.size() != field.items.size()) return false;
    for (std::size_t k = 0; k < list.size(); ++k)
      if (Squeezed(list[k]) != Squeezed(field.items[k].value)) return false;
    return true;
  }
  return Squeezed(SingleValue(reading, field.slot)) == Squeezed(field.items.front().value);
}

std::string FieldName(char slot, DeclKind kind) {
  switch (slot) {
    case 's':
      return kind == DeclKind::MethodImplementation ? "interface" : "class";
    case 'r':
      return "return type";
    case 'b':
      return kind == DeclKind::Interface ? "base interface" : "base classes";
    case 'p':
      return "parameters";
    default:
      return "name";
  }
}

std::string Shown(char slot, const std::vector<std::string_view>& items,
                  const CommentContext& context) {
  std::string joined;
  for (const std::string_view item : items) {
    if (!joined.empty()) joined += ", ";
    joined += Trim(item);
  }
  joined = ToUtf8(joined, context);
  if (slot == 'p') return "(" + joined + ")";
  return joined.empty() ? "(none)" : joined;
}

// The text of one template line as it is now: fixed texts, the fields of
// `now`, the kept values and the user's words, split at its line breaks.
std::vector<std::string> RenderLine(const std::vector<BlockPattern::Piece>& pieces,
                                    const ReadLine& read, const FieldValues& now,
                                    const std::vector<ValueAndNote>& oldList) {
  std::vector<std::string> out(1);
  std::size_t capture = 0;
  for (std::size_t k = 0; k < pieces.size(); ++k) {
    const BlockPattern::Piece& piece = pieces[k];
    if (piece.slot == 0) {
      out.back() += piece.text;
      continue;
    }
    const std::string& captured = read.captures[capture++];
    const bool last = k + 1 == pieces.size();
    if (!IsFieldSlot(piece.slot)) {
      out.back() += captured;
    } else if (!IsListSlot(piece.slot)) {
      out.back() += SingleValue(now, piece.slot);
      if (last) {
        const std::vector<std::string_view> expected{SingleValue(now, piece.slot)};
        out.back() += SplitNote(captured, expected, OneWord(piece.slot, expected)).note;
      }
    } else if (read.listLines.empty()) {
      out.back() += JoinItems(ListValue(now, piece.slot)).value;
    } else {
      const std::vector<std::string>& items = ListValue(now, piece.slot);
      const auto noteOf = [&oldList](std::size_t k) {
        return k < oldList.size() ? oldList[k].note : std::string();
      };
      for (std::size_t n = 0; n < items.size(); ++n) {
        if (n > 0) out.push_back(std::string(kContinuation));
        out.back() += items[n];
        std::string note = noteOf(n);
        if (n + 1 < items.size()) {
          out.back() += ',';
        } else if (!note.empty() && !IsBlank(note.front())) {
          // Words that stood after a comma stay apart from the last item.
          note.insert(note.begin(), ' ');
        }
        out.back() += note;
      }
      // The words of items that are gone stay, on the list's last line.
      for (std::size_t n = std::max<std::size_t>(items.size(), 1); n < oldList.size(); ++n) {
        if (!Trim(oldList[n].note).empty()) out.back() += oldList[n].note;
      }
      if (items.empty() && !oldList.empty()) out.back() += oldList.front().note;
    }
  }
  out.back() += read.suffix;
  return out;
}

}  // namespace

bool FieldValuesOf(const DeclarationFields& fields, const CommentContext& context, FieldValues* out,
                   std::string* why) {
  FieldValues values;
  const auto encode = [&context](const std::string& utf8, std::string* to) {
    std::optional<std::string> encoded = InPage(utf8, context);
    if (!encoded) return false;
    *to = std::move(*encoded);
    return true;
  };
  bool ok = encode(fields.name, &values.name) && encode(fields.scope, &values.scope) &&
            encode(fields.returnType, &values.returnType);
  for (const std::string& base : fields.bases)
    ok = ok && encode(base, &values.bases.emplace_back());
  const std::vector<std::string>& params =
      fields.kind == DeclKind::MacroWithParams ? fields.macroParameters : fields.parameters;
  for (const std::string& param : params)
    ok = ok && encode(param, &values.parameters.emplace_back());
  if (!ok) {
    if (why != nullptr) *why = "a field cannot be written in the document's code page";
    return false;
  }
  *out = std::move(values);
  return true;
}

bool KeywordFieldValues(std::string text, DeclKind kind, const CommentContext& context,
                        FieldValues* out) {
  const Generator generator = KeywordGenerator(kind);
  if (generator == nullptr) return false;
  // The probe's values are bracketed by bytes a declaration never holds.
  if (text.find(kOpen) != std::string::npos || text.find(kClose) != std::string::npos) return false;
  TemplateNode probe;
  for (const std::string_view placeholder : kKindPlaceholders)
    probe.lines.push_back(kOpen + std::string(placeholder) + kClose);
  CommentContext plain;
  plain.page = context.page;
  plain.converter = context.converter;
  ExpandedBlock block;
  if (!generator(text, probe, plain, &block)) return false;
  const std::array<char, kKindPlaceholders.size()> slots = SlotsOf(kind, context);
  FieldValues values;
  std::size_t from = 0;
  for (std::size_t k = 0; k < slots.size(); ++k) {
    const std::size_t open = block.text.find(kOpen, from);
    const std::size_t close = block.text.find(kClose, open);
    if (open == std::string::npos || close == std::string::npos) return false;
    const std::string_view value = std::string_view(block.text).substr(open + 1, close - open - 1);
    from = close + 1;
    switch (slots[k]) {
      case 'n':
      case 's':
      case 'r':
        SingleValueOf(values, slots[k]) = std::string(value);
        break;
      case 'b':
        values.bases = SplitList(value);
        break;
      case 'p':
        values.parameters = SplitList(value);
        break;
      default:
        break;
    }
  }
  *out = std::move(values);
  return true;
}

bool MakeBlockPattern(DeclKind kind, const TemplateNode& node, const CommentContext& context,
                      BlockPattern* out, std::string* why) {
  if (detail::NamePlaceholder(kind).empty()) {
    if (why != nullptr) *why = "the kind has no generated fields";
    return false;
  }
  const UserInfo markers{Marker('C'), Marker('A')};
  CommentContext marking;
  marking.page = context.page;
  marking.converter = context.converter;
  marking.user = &markers;
  marking.projectName = [] { return Marker('J'); };
  marking.documentName = [] { return Marker('F'); };
  BlockPattern pattern;
  pattern.kind = kind;
  pattern.page = context.page;
  TemplateNode one;
  one.lines.resize(1);
  for (const std::string& templateLine : node.lines) {
    if (templateLine.find(kOpen) != std::string::npos ||
        templateLine.find(kClose) != std::string::npos) {
      if (why != nullptr) *why = "a template line holds a control character";
      return false;
    }
    std::string line = templateLine;
    detail::ReplaceAll(line, "%CaretPos%", Marker('U'), CodePage::kUtf8);
    detail::ReplaceAll(line, "%Time%", Marker('T'), CodePage::kUtf8);
    one.lines[0] = std::move(line);
    const ExpandedBlock block = detail::ExpandKind(kind, MarkerValues(), one, marking);
    pattern.lines.push_back(
        PiecesOf(std::string_view(block.text).substr(0, block.text.size() - 2)));
  }
  *out = std::move(pattern);
  return true;
}

BlockShape ReadBlockAbove(std::string_view text, const LineTable& lines, int declarationLine,
                          const BlockPattern& pattern, ReadBlock* out) {
  const int count = static_cast<int>(pattern.lines.size());
  if (count == 0 || declarationLine <= 1 || declarationLine > lines.LineCount())
    return BlockShape::kNone;
  const bool templateEndsBlank = pattern.lines.back().empty();
  int last = declarationLine - 1;
  while (!templateEndsBlank && last >= 1 && IsBlankLine(LineAt(text, lines, last))) --last;
  if (last < 1) return BlockShape::kNone;
  const std::string_view lastText = Trim(LineAt(text, lines, last));
  const bool comment = lastText.starts_with("//") || lastText.ends_with("*/");
  ReadLine read;
  // A block ends with its template's last line.
  if (!MatchLine(text, lines, last, last, pattern.lines.back(), pattern.page, &read))
    return comment ? BlockShape::kForeign : BlockShape::kNone;
  // The user's own lines may sit between template lines; a block this much
  // longer than its template is not one.
  constexpr int kMostUserLines = 200;
  for (int first = last - count + 1; first >= 1 && first >= last - count + 1 - kMostUserLines;
       --first) {
    const std::string_view line = LineAt(text, lines, first);
    if (IsBlankLine(line) && !pattern.lines.front().empty()) break;
    if (!MatchLine(text, lines, first, last, pattern.lines.front(), pattern.page, &read)) continue;
    if (MatchBlock(text, lines, first, last, pattern, pattern.page, out))
      return BlockShape::kMatched;
  }
  return comment ? BlockShape::kForeign : BlockShape::kNone;
}

bool CompareBlock(const ReadBlock& block, const BlockPattern& pattern,
                  const std::vector<FieldValues>& readings, const CommentContext& context,
                  std::vector<FieldChange>* changes) {
  changes->clear();
  if (readings.empty()) return true;
  const std::vector<BlockFieldValue> fields = FieldsOf(block, pattern, readings);
  for (const FieldValues& reading : readings) {
    if (std::all_of(fields.begin(), fields.end(),
                    [&reading](const BlockFieldValue& f) { return FieldAgrees(f, reading); }))
      return true;
  }
  for (const BlockFieldValue& field : fields) {
    if (FieldAgrees(field, readings.front())) continue;
    std::vector<std::string_view> was, now;
    for (const ValueAndNote& item : field.items) was.push_back(item.value);
    if (IsListSlot(field.slot)) {
      for (const std::string& item : ListValue(readings.front(), field.slot)) now.push_back(item);
    } else {
      now.push_back(SingleValue(readings.front(), field.slot));
    }
    changes->push_back({FieldName(field.slot, pattern.kind), Shown(field.slot, was, context),
                        Shown(field.slot, now, context)});
  }
  return false;
}

std::vector<Edit> RefreshEdits(std::string_view text, const LineTable& lines,
                               std::string_view lineBreak, const ReadBlock& block,
                               const BlockPattern& pattern, const FieldValues& now,
                               TextPosition* caret) {
  std::vector<Edit> edits;
  const std::vector<BlockFieldValue> fields = FieldsOf(block, pattern, {now});
  const auto stale = [&fields, &now](char slot) {
    for (const BlockFieldValue& field : fields)
      if (field.slot == slot) return !FieldAgrees(field, now);
    return false;
  };
  int shift = 0;  // lines added (or taken away) by the edits so far
  for (std::size_t t = 0; t < pattern.lines.size(); ++t) {
    const std::vector<BlockPattern::Piece>& pieces = pattern.lines[t];
    if (std::none_of(pieces.begin(), pieces.end(), [&stale](const BlockPattern::Piece& p) {
          return IsFieldSlot(p.slot) && stale(p.slot);
        }))
      continue;
    const ReadLine& read = block.lines[t];
    std::vector<ValueAndNote> oldList;
    const auto list = std::find_if(pieces.begin(), pieces.end(),
                                   [](const BlockPattern::Piece& p) { return IsListSlot(p.slot); });
    if (list != pieces.end()) {
      std::vector<std::string> items = ListValue(now, list->slot);
      oldList = ListItems(read, {&items});
    }
    const std::vector<std::string> rendered = RenderLine(pieces, read, now, oldList);
    std::string put;
    for (std::size_t k = 0; k < rendered.size(); ++k) {
      if (k > 0) put += "\r\n";
      put += rendered[k];
    }
    const std::size_t from = lines.LineStart(read.first);
    const std::size_t to = lines.LineStart(read.last) + lines.LineLength(read.last);
    std::string replacement = ReplacementText(text, from, to, put, lineBreak);
    if (replacement == text.substr(from, to - from)) continue;
    edits.push_back({from, to, std::move(replacement)});
    shift += static_cast<int>(rendered.size()) - (read.last - read.first + 1);
    if (caret != nullptr)
      *caret = {read.last + shift, static_cast<int>(rendered.back().size()) + 1};
  }
  return edits;
}

std::string_view RefreshOutcomeText(RefreshOutcome outcome) {
  switch (outcome) {
    case RefreshOutcome::kRefreshed:
      return "the comment was refreshed";
    case RefreshOutcome::kCurrent:
      return "the comment is current";
    case RefreshOutcome::kNoBlock:
      return "there is no comment above the declaration";
    case RefreshOutcome::kForeign:
      return "the comment above the declaration does not follow its kind's template; "
             "it is left as it is";
    case RefreshOutcome::kNoDeclaration:
      return "nothing in the selection was recognised";
    case RefreshOutcome::kEmptySelection:
      return "nothing is selected";
  }
  return {};
}

}  // namespace quillmark
