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
  if (context.declarations != nullptr) {
    std::string why;
    if (std::optional<CommentResult> result =
            detail::CommentWithSyntax(text, selection, tree, context, &why))
      return *result;
    if (context.syntaxFellBack != nullptr) *context.syntaxFellBack = true;
    if (context.syntaxFailure != nullptr) *context.syntaxFailure = std::move(why);
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

namespace {

struct KindNames {
  DeclKind kind;
  std::string_view words;       // for people
  std::string_view identifier;  // for programs
};

constexpr KindNames kKindNames[] = {
    {DeclKind::Class, "class", "class"},
    {DeclKind::Struct, "struct", "struct"},
    {DeclKind::Union, "union", "union"},
    {DeclKind::Enum, "enum", "enum"},
    {DeclKind::Function, "function", "function"},
    {DeclKind::MemberFunction, "member function", "member_function"},
    {DeclKind::Macro, "macro", "macro"},
    {DeclKind::MacroWithParams, "macro with parameters", "macro_with_params"},
    {DeclKind::Interface, "interface", "interface"},
    {DeclKind::FileHeader, "file header", "file_header"},
    {DeclKind::MethodDeclaration, "method declaration", "method_declaration"},
    {DeclKind::MethodImplementation, "method implementation", "method_implementation"},
};

const KindNames* NamesOf(DeclKind kind) {
  for (const KindNames& names : kKindNames)
    if (names.kind == kind) return &names;
  return nullptr;
}

}  // namespace

std::string_view KindName(DeclKind kind) {
  const KindNames* names = NamesOf(kind);
  return names != nullptr ? names->words : "none";
}

std::string_view KindIdentifier(DeclKind kind) {
  const KindNames* names = NamesOf(kind);
  return names != nullptr ? names->identifier : "";
}

}  // namespace quillmark
