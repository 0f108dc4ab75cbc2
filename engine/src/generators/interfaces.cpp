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
std::optional<Parens> FindParens(const std::string& text, int from, CodePage page) {
  const int open = FindSubstring(text, "(", page, from);
  if (open < 0) return std::nullopt;
  const int close = FindSubstring(text, ")", page, open + 1);
  if (close < 0) return std::nullopt;
  return Parens{open, close};
}

std::string Inside(const std::string& text, Parens p) {
  return Mid(text, p.open + 1, p.close - p.open - 1);
}

// The interface macros take their parentheses from the macro on, and fail
// when the first ")" does not come after the first "(".
std::optional<std::string> MacroArguments(const std::string& text, int macro, CodePage page) {
  const int open = FindSubstring(text, "(", page, macro);
  const int close = FindSubstring(text, ")", page, macro);
  if (close <= open) return std::nullopt;
  return Mid(text, open + 1, close - open - 1);
}

// The common end of both method generators: parameters and return type.
bool InsertMethodBlock(std::string& text, const TemplateNode& node, const CommentContext& context,
                       ExpandedBlock* block, DeclKind kind, detail::KindValues values,
                       std::string params, std::string returnType) {
  values.params = detail::SplitAndJoin(std::move(params), context.page);
  values.returnType = std::move(returnType);
  text.clear();
  return detail::ExpandKindInto(kind, values, node, context, block);
}

}  // namespace

bool ParseInterfaceHead(const std::string& text, std::string& interfaceName,
                        std::string& baseInterface, CodePage page) {
  if (const int keyword = FindSubstring(text, "interface", page); keyword >= 0) {
    const int start = keyword + 9;
    const int colon = FindSubstring(text, ":", page, start);
    if (colon < 0) {
      interfaceName = Rest(text, start);
      baseInterface.clear();
      return true;
    }
    interfaceName = Mid(text, start, colon - start);
    // Each later keyword found overrides the earlier: private over protected over public.
    int baseStart = colon + 1;
    if (const int p = FindSubstring(text, "public", page, colon + 1); p >= 0) baseStart = p + 6;
    if (const int p = FindSubstring(text, "protected", page, colon + 1); p >= 0) baseStart = p + 9;
    if (const int p = FindSubstring(text, "private", page, colon + 1); p >= 0) baseStart = p + 7;
    baseInterface = Rest(text, baseStart);
    return true;
  }
  if (const int macro = FindSubstring(text, "DECLARE_INTERFACE_", page); macro >= 0) {
    const std::optional<std::string> inner = MacroArguments(text, macro, page);
    if (!inner) return false;
    const int comma = FindSubstring(*inner, ",", page);
    if (comma < 0) return false;
    interfaceName = inner->substr(0, static_cast<std::size_t>(comma));
    baseInterface = inner->substr(static_cast<std::size_t>(comma) + 1);
    return true;
  }
  if (const int macro = FindSubstring(text, "DECLARE_INTERFACE", page); macro >= 0) {
    const std::optional<std::string> inner = MacroArguments(text, macro, page);
    if (!inner) return false;
    interfaceName = *inner;
    baseInterface.clear();
    return true;
  }
  return false;
}

bool CommentInterface(std::string& text, const TemplateNode& node, const CommentContext& context,
                      ExpandedBlock* block) {
  const CodePage page = context.page;
  TrimDeclaration(text, page);
  RemoveWhitespace(text);
  RemoveExportMacros(text, page);
  std::string name, base;
  if (!ParseInterfaceHead(text, name, base, page)) return false;
  // One base, written as it stands: no line breaks of its own.
  detail::KindValues values{.name = std::move(name), .bases = {.value = std::move(base)}};
  text.clear();
  return detail::ExpandKindInto(DeclKind::Interface, values, node, context, block);
}

// Method names and return types keep the spaces written around them.
bool CommentMethodDecl(std::string& text, const TemplateNode& node, const CommentContext& context,
                       ExpandedBlock* block) {
  const CodePage page = context.page;
  TrimDeclaration(text, page);
  std::string method, returnType = "HRESULT";
  std::optional<Parens> first;
  if (const int s = FindSubstring(text, "STDMETHOD_", page); s >= 0) {
    first = FindParens(text, s + 10, page);
    if (!first) return false;
    const std::string inner = Inside(text, *first);
    const int comma = FindSubstring(inner, ",", page);
    if (comma < 0) return false;
    returnType = inner.substr(0, static_cast<std::size_t>(comma));
    method = inner.substr(static_cast<std::size_t>(comma) + 1);
  } else if (const int s2 = FindSubstring(text, "STDMETHOD", page); s2 >= 0) {
    first = FindParens(text, s2 + 9, page);
    if (!first) return false;
    method = Inside(text, *first);
  } else {
    return false;
  }
  const std::optional<Parens> second = FindParens(text, first->close, page);
  if (!second) return false;
  return InsertMethodBlock(text, node, context, block, DeclKind::MethodDeclaration,
                           {.name = std::move(method)}, Inside(text, *second),
                           std::move(returnType));
}

bool CommentMethodImpl(std::string& text, const TemplateNode& node, const CommentContext& context,
                       ExpandedBlock* block) {
  const CodePage page = context.page;
  TrimDeclaration(text, page);
  std::string returnType = "HRESULT";
  int classStart = -1;
  if (const int s = FindSubstring(text, "STDMETHODIMP_", page); s >= 0) {
    const std::optional<Parens> type = FindParens(text, s + 13, page);
    if (!type) return false;
    returnType = Inside(text, *type);
    classStart = type->close + 1;
  } else if (const int s2 = FindSubstring(text, "STDMETHODIMP", page); s2 >= 0) {
    classStart = s2 + 12;
  } else {
    return false;
  }
  const int scope = FindSubstring(text, "::", page, classStart);
  if (scope < 0) return false;
  std::string interfaceName = Mid(text, classStart, scope - classStart);
  const std::optional<Parens> params = FindParens(text, scope + 2, page);
  if (!params) return false;
  std::string method = Mid(text, scope + 2, params->open - scope - 2);
  // A head spread over two lines still gives a one-word class name.
  RemoveWhitespace(interfaceName);
  return InsertMethodBlock(text, node, context, block, DeclKind::MethodImplementation,
                           {.name = std::move(method), .scope = std::move(interfaceName)},
                           Inside(text, *params), std::move(returnType));
}

bool CommentFileHeader(std::string& text, const TemplateNode& node, const CommentContext& context,
                       ExpandedBlock* block) {
  text.clear();
  return detail::ExpandKindInto(DeclKind::FileHeader, {}, node, context, block);
}

}  // namespace quillmark
