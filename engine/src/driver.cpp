// The two driver routines behind the comment and file-header commands.
#include "internal.h"

namespace quillmark {
namespace {

CommentResult RunGenerator(const TemplateNode& node, DeclKind kind, std::string& text,
                           TextSelection& selection, MessageSink& messages,
                           const CommentContext& context) {
  const bool inserted = node.generator != nullptr && node.generator(text, selection, node, context);
  if (!inserted) {
    messages.ShowMessage(messages::kCheckDeclaration);
    return {CommentOutcome::kParseFailed, kind};
  }
  // An empty template inserts nothing; the caret has still moved, as it always does.
  if (node.lines.empty()) return {CommentOutcome::kEmptyTemplate, kind};
  return {CommentOutcome::kInserted, kind};
}

}  // namespace

CommentResult RequestComment(TextSelection& selection, const TemplateTree& tree,
                             MessageSink& messages, const CommentContext& context) {
  std::string text = selection.GetSelectedText();
  if (text.empty()) {
    messages.ShowMessage(messages::kSelectDeclaration);
    return {CommentOutcome::kEmptySelection, DeclKind::None};
  }
  const DeclKind kind = Classify(text, context.page);
  const TemplateNode* node = tree.FindKindNode(kind);
  if (node == nullptr) return {CommentOutcome::kNoKind, kind};
  return RunGenerator(*node, kind, text, selection, messages, context);
}

// The header goes to the top of the document wherever the caret is, so the
// selected text is never read.
CommentResult RequestFileHeader(TextSelection& selection, const TemplateTree& tree,
                                MessageSink& messages, const CommentContext& context) {
  const TemplateNode* node = tree.FindKindNode(DeclKind::FileHeader);
  if (node == nullptr) return {CommentOutcome::kNoKind, DeclKind::FileHeader};
  std::string text;
  return RunGenerator(*node, DeclKind::FileHeader, text, selection, messages, context);
}

std::string_view KindName(DeclKind kind) {
  switch (kind) {
    case DeclKind::Class:
      return "class";
    case DeclKind::Struct:
      return "struct";
    case DeclKind::Union:
      return "union";
    case DeclKind::Enum:
      return "enum";
    case DeclKind::Function:
      return "function";
    case DeclKind::MemberFunction:
      return "member function";
    case DeclKind::Macro:
      return "macro";
    case DeclKind::MacroWithParams:
      return "macro with parameters";
    case DeclKind::Interface:
      return "interface";
    case DeclKind::FileHeader:
      return "file header";
    case DeclKind::MethodDeclaration:
      return "method declaration";
    case DeclKind::MethodImplementation:
      return "method implementation";
    case DeclKind::None:
      break;
  }
  return "none";
}

}  // namespace quillmark
