// UTF-8 <-> UTF-16 through the system's converter, refusing invalid input.
#include "quillmark/wide.h"

#include <windows.h>

#include <climits>

namespace quillmark::win32 {

std::optional<std::wstring> Widen(std::string_view utf8) {
  if (utf8.empty()) return std::wstring();
  if (utf8.size() > INT_MAX) return std::nullopt;
  const int length = static_cast<int>(utf8.size());
  const int needed =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, nullptr, 0);
  if (needed <= 0) return std::nullopt;
  std::wstring out(static_cast<std::size_t>(needed), L'\0');
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, out.data(), needed) !=
      needed)
    return std::nullopt;
  return out;
}

namespace {

// Every surrogate in a pair. Checked here rather than by the converter's
// WC_ERR_INVALID_CHARS, which Windows XP's converter does not know.
bool SurrogatesPaired(std::wstring_view utf16) {
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    const wchar_t unit = utf16[i];
    if (unit >= 0xDC00 && unit <= 0xDFFF) return false;
    if (unit < 0xD800 || unit > 0xDBFF) continue;
    if (i + 1 == utf16.size() || utf16[i + 1] < 0xDC00 || utf16[i + 1] > 0xDFFF) return false;
    ++i;
  }
  return true;
}

}  // namespace

std::optional<std::string> Narrow(std::wstring_view utf16) {
  if (utf16.empty()) return std::string();
  if (utf16.size() > INT_MAX / 3 || !SurrogatesPaired(utf16)) return std::nullopt;
  const int length = static_cast<int>(utf16.size());
  const int needed =
      WideCharToMultiByte(CP_UTF8, 0, utf16.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return std::nullopt;
  std::string out(static_cast<std::size_t>(needed), '\0');
  if (WideCharToMultiByte(CP_UTF8, 0, utf16.data(), length, out.data(), needed, nullptr, nullptr) !=
      needed)
    return std::nullopt;
  return out;
}

std::wstring WidenOrEmpty(std::string_view utf8) {
  return Widen(utf8).value_or(std::wstring());
}

std::string NarrowOrEmpty(std::wstring_view utf16) {
  return Narrow(utf16).value_or(std::string());
}

}  // namespace quillmark::win32
