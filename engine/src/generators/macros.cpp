// Macros, with and without a parameter list.
#include "../internal.h"

namespace quillmark {
namespace {

// Everything from the name after "#define" on.
void CutAfterDefine(std::string& text, TextSelection& selection) {
  PrepareInsertionPoint(selection);
  TrimDeclaration(text);
  text = detail::Rest(text, FindSubstring(text, "#define") + 7);
  TrimDeclaration(text);
}

// The first space-delimited word.
std::string MacroName(std::string text) {
  detail::BlankControlChars(text);
  KeepFirstOccurrence(text, ' ');
  return text.substr(0, text.find(' '));
}

}  // namespace

int CommentMacro(std::string& text, TextSelection& selection, const TemplateNode& node) {
  CutAfterDefine(text, selection);
  const ExpansionStep steps[] = {{"%MicroName%", MacroName(text)}};
  text.clear();
  return detail::ExpandAndInsert(selection, node, steps);
}

int CommentParamMacro(std::string& text, TextSelection& selection, const TemplateNode& node) {
  CutAfterDefine(text, selection);
  const int open = FindSubstring(text, "(");
  const int close = FindSubstring(text, ")");
  if (open < 0 || close < 0 || close <= open) return 0;
  JoinedItems params = detail::SplitAndJoin(detail::Mid(text, open + 1, close - open - 1));
  const ExpansionStep leading[] = {{"%MicroName%", MacroName(text.substr(0, open))}};
  const ExpansionStep trailing[] = {
      {"%FunctionParam%", std::move(params.value), params.extraLines}};
  text.clear();
  return detail::ExpandAndInsert(selection, node, leading, trailing);
}

}  // namespace quillmark
