// The two driver routines behind the comment and file-header commands.
#include "internal.h"

namespace quillmark {

CommentOutcome RequestComment(TextSelection& selection, const TemplateTree& tree,
                              MessageSink& messages) {
  std::string text = selection.GetSelectedText();
  if (text.empty()) {
    messages.ShowMessage(messages::kSelectDeclaration);
    return CommentOutcome::kEmptySelection;
  }
  const TemplateNode* node = tree.FindKindNode(Classify(text));
  if (node == nullptr) return CommentOutcome::kNoKind;
  const int result = node->generator != nullptr ? node->generator(text, selection, *node) : 0;
  if (result == 0) {
    messages.ShowMessage(messages::kCheckDeclaration);
    return CommentOutcome::kParseFailed;
  }
  return CommentOutcome::kInserted;
}

// The header goes to the top of the document wherever the caret is, so the
// selected text is never read.
CommentOutcome RequestFileHeader(TextSelection& selection, const TemplateTree& tree,
                                 MessageSink& messages) {
  const TemplateNode* node = tree.FindKindNode(DeclKind::FileHeader);
  if (node == nullptr) return CommentOutcome::kNoKind;
  std::string text;
  const int result = node->generator != nullptr ? node->generator(text, selection, *node) : 0;
  if (result == 0) {
    messages.ShowMessage(messages::kCheckDeclaration);
    return CommentOutcome::kParseFailed;
  }
  return CommentOutcome::kInserted;
}

}  // namespace quillmark
