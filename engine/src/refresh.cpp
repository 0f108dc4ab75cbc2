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

}  // namespace

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
  const std::vector<Reading> readings = ReadingsOf(selected, withDocument);
  if (readings.empty()) {
    result.outcome = RefreshOutcome::kNoDeclaration;
    return result;
  }
  // The block goes above the caret's line, as the comment command put it there.
  const int declarationLine = document.caret.line;
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
    const BlockShape shape =
        ReadBlockAbove(document.text, *document.lines, declarationLine, pattern, &block);
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
