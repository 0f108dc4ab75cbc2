// The refresh command on a whole document: the declaration is read by the
// same modes as the comment command, the block above it against the template
// of the kind each mode recognises.
#include "internal.h"
#include "quillmark/block_reader.h"

namespace quillmark {
namespace {

struct Reading {
  DeclKind kind = DeclKind::None;
  FieldValues values;
};

// The declaration as the context's parser reads it, then as the keyword mode
// does; the first reading is the one a refresh writes.
std::vector<Reading> ReadingsOf(const std::string& selected, const CommentContext& context) {
  std::vector<Reading> readings;
  if (context.declarations != nullptr) {
    DeclarationFields fields;
    std::string why;
    Reading reading;
    if (detail::ParseWithSyntax(selected, context, &fields, &why) &&
        FieldValuesOf(fields, context, &reading.values, &why)) {
      reading.kind = fields.kind;
      readings.push_back(std::move(reading));
    }
  }
  Reading keyword;
  keyword.kind = Classify(selected, context.page);
  if (KeywordFieldValues(selected, keyword.kind, context, &keyword.values))
    readings.push_back(std::move(keyword));
  return readings;
}

std::string_view LineText(const DocumentView& document, int line) {
  return document.text.substr(document.lines->LineStart(line), document.lines->LineLength(line));
}

// The most lines a template head and the declaration's head take together.
constexpr int kMostHeadLines = 8;

}  // namespace

bool IsTemplateHead(std::string_view line) {
  const std::size_t start = line.find_first_not_of(" \t");
  return start != std::string_view::npos && line.substr(start).starts_with("template") &&
         (line.size() == start + 8 || line[start + 8] == ' ' || line[start + 8] == '<');
}

int BlockAnchorLine(std::string_view text, const LineTable& lines, int declarationLine) {
  const auto lineAt = [&](int line) {
    return text.substr(lines.LineStart(line), lines.LineLength(line));
  };
  if (declarationLine < 1 || declarationLine > lines.LineCount() ||
      !IsTemplateHead(lineAt(declarationLine)))
    return declarationLine;
  int line = declarationLine + 1;
  while (line <= lines.LineCount() && line - declarationLine < kMostHeadLines &&
         IsTemplateHead(lineAt(line)))
    ++line;
  const int comment = line;
  // A block is at most a few hundred lines; stop looking after that.
  constexpr int kMostBlockLines = 400;
  while (line <= lines.LineCount() && line - comment < kMostBlockLines) {
    const std::string_view content = lineAt(line);
    const std::size_t start = content.find_first_not_of(" \t");
    if (start == std::string_view::npos) break;
    const std::string_view rest = content.substr(start);
    if (!rest.starts_with("//") && !rest.starts_with("/*") && !rest.starts_with("*")) break;
    ++line;
  }
  return line > comment && line <= lines.LineCount() ? line : declarationLine;
}

RefreshResult RefreshCommand(const DocumentView& document, const TemplateTree& tree,
                             const CommentContext& context) {
  RefreshResult result;
  result.caret = document.caret;
  const std::string selected = SelectedText(document);
  if (selected.find_first_not_of(" \t\r\n") == std::string::npos) {
    result.outcome = RefreshOutcome::kEmptySelection;
    return result;
  }
  CommentContext withDocument = context;
  withDocument.hasDocument = true;
  withDocument.document = document.text;
  withDocument.selectionBegin = document.lines->Offset(std::min(document.anchor, document.caret));
  withDocument.selectionEnd = document.lines->Offset(std::max(document.anchor, document.caret));
  std::vector<Reading> readings = ReadingsOf(selected, withDocument);
  // A template head selected alone (where check reports the declaration):
  // the declaration is read with the lines below it, past a comment between.
  if (readings.empty() && IsTemplateHead(LineText(document, document.caret.line))) {
    const int anchor = BlockAnchorLine(document.text, *document.lines, document.caret.line);
    const int from =
        anchor != document.caret.line ? anchor : std::max(document.anchor, document.caret).line + 1;
    if (anchor != document.caret.line)
      withDocument.selectionBegin = document.lines->LineStart(anchor);
    for (int line = from;
         readings.empty() && line - from < kMostHeadLines && line <= document.lines->LineCount();
         ++line) {
      withDocument.selectionEnd =
          document.lines->LineStart(line) + document.lines->LineLength(line);
      readings = ReadingsOf(MapLineBreaks(document.text.substr(withDocument.selectionBegin,
                                                               withDocument.selectionEnd -
                                                                   withDocument.selectionBegin),
                                          {}, "\r\n"),
                            withDocument);
    }
  }
  if (readings.empty()) {
    result.outcome = RefreshOutcome::kNoDeclaration;
    return result;
  }
  // The block goes above the caret's line, as the comment command put it
  // there, or above the template head of the declaration, as batch puts it.
  int aboveHead = document.caret.line;
  while (aboveHead > 1 && document.caret.line - aboveHead < kMostHeadLines &&
         IsTemplateHead(LineText(document, aboveHead - 1)))
    --aboveHead;
  bool foreign = false;
  std::vector<DeclKind> tried;
  for (const Reading& reading : readings) {
    if (std::find(tried.begin(), tried.end(), reading.kind) != tried.end()) continue;
    tried.push_back(reading.kind);
    const TemplateNode* node = tree.FindKindNode(reading.kind);
    BlockPattern pattern;
    if (node == nullptr || !MakeBlockPattern(reading.kind, *node, context, &pattern, nullptr))
      continue;
    ReadBlock block;
    BlockShape shape =
        ReadBlockAbove(document.text, *document.lines, document.caret.line, pattern, &block);
    if (shape != BlockShape::kMatched && aboveHead != document.caret.line)
      shape = ReadBlockAbove(document.text, *document.lines, aboveHead, pattern, &block);
    if (const int anchor = BlockAnchorLine(document.text, *document.lines, document.caret.line);
        shape != BlockShape::kMatched && anchor != document.caret.line)
      shape = ReadBlockAbove(document.text, *document.lines, anchor, pattern, &block);
    foreign = foreign || shape == BlockShape::kForeign;
    if (shape != BlockShape::kMatched) continue;
    result.kind = reading.kind;
    std::vector<FieldValues> sameKind;
    for (const Reading& other : readings)
      if (other.kind == reading.kind) sameKind.push_back(other.values);
    if (CompareBlock(block, pattern, sameKind, context, &result.changes)) {
      result.outcome = RefreshOutcome::kCurrent;
      return result;
    }
    result.edits = RefreshEdits(document.text, *document.lines, document.lineBreak, block, pattern,
                                reading.values, &result.caret);
    result.outcome = result.edits.empty() ? RefreshOutcome::kCurrent : RefreshOutcome::kRefreshed;
    return result;
  }
  result.kind = readings.front().kind;
  result.outcome = foreign ? RefreshOutcome::kForeign : RefreshOutcome::kNoBlock;
  return result;
}

}  // namespace quillmark
