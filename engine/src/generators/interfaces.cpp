// COM interface heads, STDMETHOD declarations and STDMETHODIMP implementations.
#include "../internal.h"

namespace quillmark {
namespace {

using detail::Mid;
using detail::Rest;

// The text inside the parentheses that open at or after `from`, as the
// positions of "(" and ")"; nothing when either is missing.
struct Parens {
  int open;
  int close;
};
std::optional<Parens> FindParens(const std::string& text, int from) {
  const int open = FindSubstring(text, "(", from);
  if (open < 0) return std::nullopt;
  const int close = FindSubstring(text, ")", open + 1);
  if (close < 0) return std::nullopt;
  return Parens{open, close};
}

std::string Inside(const std::string& text, Parens p) {
  return Mid(text, p.open + 1, p.close - p.open - 1);
}

// The interface macros take their parentheses from the macro on, and fail
// when the first ")" does not come after the first "(".
std::optional<std::string> MacroArguments(const std::string& text, int macro) {
  const int open = FindSubstring(text, "(", macro);
  const int close = FindSubstring(text, ")", macro);
  if (close <= open) return std::nullopt;
  return Mid(text, open + 1, close - open - 1);
}

// The common end of both method generators: parameters and return type.
int InsertMethodBlock(std::string& text, TextSelection& selection, const TemplateNode& node,
                      std::span<const ExpansionStep> leading, std::string params,
                      std::string returnType) {
  JoinedItems joined = detail::SplitAndJoin(std::move(params));
  const ExpansionStep trailing[] = {
      {"%FunctionParam%", std::move(joined.value), joined.extraLines},
      {"%ReturnValue%", std::move(returnType)},
  };
  text.clear();
  return detail::ExpandAndInsert(selection, node, leading, trailing);
}

}  // namespace

int ParseInterfaceHead(const std::string& text, std::string& interfaceName,
                       std::string& baseInterface) {
  if (const int keyword = FindSubstring(text, "interface"); keyword >= 0) {
    const int start = keyword + 9;
    const int colon = FindSubstring(text, ":", start);
    if (colon < 0) {
      interfaceName = Rest(text, start);
      baseInterface.clear();
      return 1;
    }
    interfaceName = Mid(text, start, colon - start);
    // Each later keyword found overrides the earlier: private over protected over public.
    int baseStart = colon + 1;
    if (const int p = FindSubstring(text, "public", colon + 1); p >= 0) baseStart = p + 6;
    if (const int p = FindSubstring(text, "protected", colon + 1); p >= 0) baseStart = p + 9;
    if (const int p = FindSubstring(text, "private", colon + 1); p >= 0) baseStart = p + 7;
    baseInterface = Rest(text, baseStart);
    return 1;
  }
  if (const int macro = FindSubstring(text, "DECLARE_INTERFACE_"); macro >= 0) {
    const std::optional<std::string> inner = MacroArguments(text, macro);
    if (!inner) return 0;
    const int comma = FindSubstring(*inner, ",");
    if (comma < 0) return 0;
    interfaceName = inner->substr(0, static_cast<std::size_t>(comma));
    baseInterface = inner->substr(static_cast<std::size_t>(comma) + 1);
    return 1;
  }
  if (const int macro = FindSubstring(text, "DECLARE_INTERFACE"); macro >= 0) {
    const std::optional<std::string> inner = MacroArguments(text, macro);
    if (!inner) return 0;
    interfaceName = *inner;
    baseInterface.clear();
    return 1;
  }
  return 0;
}

int CommentInterface(std::string& text, TextSelection& selection, const TemplateNode& node) {
  PrepareInsertionPoint(selection);
  TrimDeclaration(text);
  RemoveWhitespace(text);
  RemoveExportMacros(text);
  std::string name, base;
  if (ParseInterfaceHead(text, name, base) == 0) return 0;
  const ExpansionStep steps[] = {{"%Interface%", std::move(name)},
                                 {"%BaseInterface%", std::move(base)}};
  text.clear();
  return detail::ExpandAndInsert(selection, node, steps);
}

// Method names and return types keep the spaces written around them.
int CommentMethodDecl(std::string& text, TextSelection& selection, const TemplateNode& node) {
  PrepareInsertionPoint(selection);
  TrimDeclaration(text);
  std::string method, returnType = "HRESULT";
  std::optional<Parens> first;
  if (const int s = FindSubstring(text, "STDMETHOD_"); s >= 0) {
    first = FindParens(text, s + 10);
    if (!first) return 0;
    const std::string inner = Inside(text, *first);
    const int comma = FindSubstring(inner, ",");
    if (comma < 0) return 0;
    returnType = inner.substr(0, static_cast<std::size_t>(comma));
    method = inner.substr(static_cast<std::size_t>(comma) + 1);
  } else if (const int s2 = FindSubstring(text, "STDMETHOD"); s2 >= 0) {
    first = FindParens(text, s2 + 9);
    if (!first) return 0;
    method = Inside(text, *first);
  } else {
    return 0;
  }
  const std::optional<Parens> second = FindParens(text, first->close);
  if (!second) return 0;
  const ExpansionStep leading[] = {{"%MethodName%", std::move(method)}};
  return InsertMethodBlock(text, selection, node, leading, Inside(text, *second),
                           std::move(returnType));
}

int CommentMethodImpl(std::string& text, TextSelection& selection, const TemplateNode& node) {
  PrepareInsertionPoint(selection);
  TrimDeclaration(text);
  std::string returnType = "HRESULT";
  int classStart = -1;
  if (const int s = FindSubstring(text, "STDMETHODIMP_"); s >= 0) {
    const std::optional<Parens> type = FindParens(text, s + 13);
    if (!type) return 0;
    returnType = Inside(text, *type);
    classStart = type->close + 1;
  } else if (const int s2 = FindSubstring(text, "STDMETHODIMP"); s2 >= 0) {
    classStart = s2 + 12;
  } else {
    return 0;
  }
  const int scope = FindSubstring(text, "::", classStart);
  if (scope < 0) return 0;
  std::string interfaceName = Mid(text, classStart, scope - classStart);
  const std::optional<Parens> params = FindParens(text, scope + 2);
  if (!params) return 0;
  std::string method = Mid(text, scope + 2, params->open - scope - 2);
  // A head spread over two lines still gives a one-word class name.
  RemoveWhitespace(interfaceName);
  const ExpansionStep leading[] = {{"%Interface%", std::move(interfaceName)},
                                   {"%MethodName%", std::move(method)}};
  return InsertMethodBlock(text, selection, node, leading, Inside(text, *params),
                           std::move(returnType));
}

int CommentFileHeader(std::string& text, TextSelection& selection, const TemplateNode& node) {
  selection.MoveToDocumentStart();
  text.clear();
  return detail::ExpandAndInsert(selection, node, {});
}

}  // namespace quillmark
