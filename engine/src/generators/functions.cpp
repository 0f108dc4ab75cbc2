// Free functions and member functions.
#include <array>

#include "../internal.h"

namespace quillmark {
namespace {

using detail::Mid;
using detail::Rest;

constexpr std::array<std::string_view, 12> kHeadDecorations = {
    "__stdcall",
    "_stdcall",
    "WINAPI",
    "STDAPI",
    "AFXAPI",
    "__cdecl",
    "_cdecl",
    "AFX_EXT_CLASS",
    "__declspec(dllexport)",
    "__declspec(dllimport)",
    "CALLBACK",
    "PASCAL",
};

void CleanHead(std::string& head, CodePage page) {
  for (std::string_view decoration : kHeadDecorations) RemoveSubstring(head, decoration, page);
  detail::BlankControlChars(head);
}

int LastIndexOf(const std::string& text, char byte, int before) {
  if (before < 0) return -1;
  const std::size_t pos = text.rfind(byte, static_cast<std::size_t>(before));
  return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

// Steps shared by both generators up to the head: returns the parenthesis
// position and the head before it (empty when there is no parenthesis).
int CutHead(std::string& text, std::string& head, CodePage page) {
  TrimDeclaration(text, page);
  RemoveSubstring(text, "afx_msg", page);
  RemoveSubstring(text, "static", page);
  const int open = FindSubstring(text, "(", page);
  head = open >= 0 ? text.substr(0, static_cast<std::size_t>(open)) : std::string();
  return open;
}

// The parameters between the first "(" and the first ")"; nothing when the
// ")" does not come after the "(".
std::optional<JoinedItems> CutParams(const std::string& text, int open, CodePage page) {
  const int close = FindSubstring(text, ")", page);
  if (close <= open) return std::nullopt;
  return detail::SplitAndJoin(Mid(text, open + 1, close - open - 1), page);
}

}  // namespace

bool SplitFunctionHead(std::string& head, std::string& returnType, std::string& name,
                       CodePage page) {
  CleanHead(head, page);
  if (head.empty()) return false;
  const std::size_t lastWordEnd = head.find_last_not_of(' ');
  if (lastWordEnd == std::string::npos) return false;
  const int e = static_cast<int>(lastWordEnd);
  const int b = LastIndexOf(head, ' ', e);
  if (b < 0) {
    name = head.substr(0, static_cast<std::size_t>(e) + 1);
    return true;
  }
  name = Mid(head, b + 1, e - b);
  int t = b;
  while (t >= 0 && head[static_cast<std::size_t>(t)] == ' ') --t;
  if (t < 0) return true;
  const int u = LastIndexOf(head, ' ', t);
  returnType = Mid(head, u + 1, t - u);
  return true;
}

bool SplitMemberHead(std::string& head, std::string& className, std::string& returnType,
                     std::string& functionName, CodePage page) {
  CleanHead(head, page);
  int first = -1, last = -1, beforeLast = -1, count = 0;
  for (int pos = FindSubstring(head, "::", page); pos >= 0;
       pos = FindSubstring(head, "::", page, pos + 2)) {
    if (first < 0) first = pos;
    beforeLast = last;
    last = pos;
    ++count;
  }
  if (count == 0) return false;
  functionName = Rest(head, last + 2);
  std::string scope = head.substr(0, static_cast<std::size_t>(first));
  const bool result = SplitFunctionHead(scope, returnType, className, page);
  if (result && count >= 2) className = Mid(head, beforeLast + 2, last - beforeLast - 2);
  return result;
}

bool CommentFunction(std::string& text, const TemplateNode& node, const CommentContext& context,
                     ExpandedBlock* block) {
  const CodePage page = context.page;
  std::string head;
  const int open = CutHead(text, head, page);
  std::string returnType, name;
  SplitFunctionHead(head, returnType, name, page);  // an empty head leaves both empty
  std::optional<JoinedItems> params = CutParams(text, open, page);
  if (!params) return false;
  detail::KindValues values{
      .name = std::move(name), .returnType = std::move(returnType), .params = std::move(*params)};
  text.clear();
  return detail::ExpandKindInto(DeclKind::Function, values, node, context, block);
}

bool CommentMemberFunction(std::string& text, const TemplateNode& node,
                           const CommentContext& context, ExpandedBlock* block) {
  const CodePage page = context.page;
  std::string head;
  const int open = CutHead(text, head, page);
  std::string className, returnType, name;
  if (!SplitMemberHead(head, className, returnType, name, page)) return false;
  std::optional<JoinedItems> params = CutParams(text, open, page);
  if (!params) return false;
  detail::KindValues values{.name = std::move(name),
                            .scope = std::move(className),
                            .returnType = std::move(returnType),
                            .params = std::move(*params)};
  text.clear();
  return detail::ExpandKindInto(DeclKind::MemberFunction, values, node, context, block);
}

}  // namespace quillmark
