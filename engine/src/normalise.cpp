// Classification and the clean-up routines the generators run before cutting
// names out of a declaration.
#include <algorithm>

#include "internal.h"

namespace quillmark {

DeclKind Classify(std::string_view text, CodePage page) {
  const auto has = [text, page](std::string_view literal) {
    return FindSubstring(text, literal, page) >= 0;
  };
  // The trailing-underscore forms hold the plain ones, so the plain test decides.
  if (has("STDMETHODIMP_") || has("STDMETHODIMP")) return DeclKind::MethodImplementation;
  if (has("STDMETHOD_") || has("STDMETHOD")) return DeclKind::MethodDeclaration;
  if (has("DECLARE_INTERFACE") || has("interface")) return DeclKind::Interface;
  if (has("#define")) return has("(") ? DeclKind::MacroWithParams : DeclKind::Macro;
  if (has("class")) return DeclKind::Class;
  if (has("(") && has(")")) return has("::") ? DeclKind::MemberFunction : DeclKind::Function;
  if (has("struct")) return DeclKind::Struct;
  if (has("union")) return DeclKind::Union;
  if (has("enum")) return DeclKind::Enum;
  return DeclKind::None;
}

void TrimDeclaration(std::string& text, CodePage page) {
  const int brace = FindSubstring(text, "{", page);
  if (brace >= 0) text.resize(static_cast<std::size_t>(brace));
  if (text.empty()) return;
  const std::size_t lead = text.find_first_not_of(" \n\t\r");
  // A text of white space only stays whole.
  if (lead == 0 || lead == std::string::npos) return;
  text.erase(0, lead);
}

void KeepFirstOccurrence(std::string& text, char byte) {
  const std::size_t first = text.find(byte);
  if (first == std::string::npos) return;
  const auto tail = text.begin() + static_cast<std::ptrdiff_t>(first) + 1;
  text.erase(std::remove(tail, text.end(), byte), text.end());
}

void RemoveSubstring(std::string& text, std::string_view literal, CodePage page) {
  if (literal.empty()) return;
  int pos = FindSubstring(text, literal, page);
  if (pos < 0) return;
  std::string kept;
  kept.reserve(text.size());
  std::size_t from = 0;
  while (pos >= 0) {
    kept.append(text, from, static_cast<std::size_t>(pos) - from);
    from = static_cast<std::size_t>(pos) + literal.size();
    pos = FindSubstring(text, literal, page, static_cast<int>(from));
  }
  kept.append(text, from, std::string::npos);
  text = std::move(kept);
}

void RemoveWhitespace(std::string& text) {
  std::erase_if(text, [](char c) { return c == ' ' || c == '\r' || c == '\t' || c == '\n'; });
}

void RemoveExportMacros(std::string& text, CodePage page) {
  RemoveSubstring(text, "AFX_EXT_CLASS", page);
  RemoveSubstring(text, "__declspec(dllexport)", page);
  RemoveSubstring(text, "__declspec(dllimport)", page);
}

namespace detail {

std::string Mid(std::string_view text, int start, int count) {
  if (start < 0) start = 0;
  if (count < 0 || static_cast<std::size_t>(start) >= text.size()) return {};
  return std::string(text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(count)));
}

std::string Rest(std::string_view text, int start) {
  if (start < 0) start = 0;
  if (static_cast<std::size_t>(start) >= text.size()) return {};
  return std::string(text.substr(static_cast<std::size_t>(start)));
}

void BlankControlChars(std::string& text) {
  std::replace(text.begin(), text.end(), '\t', ' ');
  std::replace(text.begin(), text.end(), '\n', ' ');
  std::replace(text.begin(), text.end(), '\r', ' ');
}

bool ReplaceAll(std::string& line, std::string_view placeholder, std::string_view value,
                CodePage page) {
  int pos = FindSubstring(line, placeholder, page);
  if (pos < 0) return false;
  std::string out;
  out.reserve(line.size() + value.size());
  std::size_t from = 0;
  while (pos >= 0) {
    out.append(line, from, static_cast<std::size_t>(pos) - from);
    out.append(value);
    from = static_cast<std::size_t>(pos) + placeholder.size();
    pos = FindSubstring(line, placeholder, page, static_cast<int>(from));
  }
  out.append(line, from, std::string::npos);
  line = std::move(out);
  return true;
}

}  // namespace detail
}  // namespace quillmark
