// Macros, with and without a parameter list.
#include "../internal.h"

namespace quillmark {
namespace {

// Everything from the name after "#define" on.
void CutAfterDefine(std::string& text, CodePage page) {
  TrimDeclaration(text, page);
  text = detail::Rest(text, FindSubstring(text, "#define", page) + 7);
  TrimDeclaration(text, page);
}

// The first space-delimited word.
std::string MacroName(std::string text) {
  detail::BlankControlChars(text);
  KeepFirstOccurrence(text, ' ');
  return text.substr(0, text.find(' '));
}

}  // namespace

bool CommentMacro(std::string& text, const TemplateNode& node, const CommentContext& context,
                  ExpandedBlock* block) {
  CutAfterDefine(text, context.page);
  detail::KindValues values;
  values.name = MacroName(text);
  text.clear();
  return detail::ExpandKindInto(DeclKind::Macro, values, node, context, block);
}

bool CommentParamMacro(std::string& text, const TemplateNode& node, const CommentContext& context,
                       ExpandedBlock* block) {
  const CodePage page = context.page;
  CutAfterDefine(text, page);
  const int open = FindSubstring(text, "(", page);
  const int close = FindSubstring(text, ")", page);
  if (open < 0 || close < 0 || close <= open) return false;
  detail::KindValues values;
  values.name = MacroName(text.substr(0, open));
  values.params = detail::SplitAndJoin(detail::Mid(text, open + 1, close - open - 1), page);
  text.clear();
  return detail::ExpandKindInto(DeclKind::MacroWithParams, values, node, context, block);
}

}  // namespace quillmark
