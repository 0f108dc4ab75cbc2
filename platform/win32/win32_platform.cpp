// Win32Platform: every operating-system query the core needs, answered by the
// wide Win32 API and converted to UTF-8.
#include "quillmark/win32_platform.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "quillmark/wide.h"

namespace quillmark::win32 {
namespace {

constexpr UINT kCodePage936 = 936;
// The longest path the wide API takes, terminator included.
constexpr std::size_t kLongestPath = 32768;

}  // namespace

std::optional<std::string> Cp936Converter::Utf8ToGbk(std::string_view utf8) const {
  const std::optional<std::wstring> wide = Widen(utf8);
  if (!wide) return std::nullopt;
  if (wide->empty()) return std::string();
  if (wide->size() > INT_MAX / 2) return std::nullopt;
  const int length = static_cast<int>(wide->size());
  // No best fit and no default character: a character code page 936 lacks
  // makes the whole conversion fail instead of turning into "?".
  BOOL usedDefault = FALSE;
  const int needed = WideCharToMultiByte(kCodePage936, WC_NO_BEST_FIT_CHARS, wide->data(), length,
                                         nullptr, 0, nullptr, &usedDefault);
  if (needed <= 0 || usedDefault) return std::nullopt;
  std::string out(static_cast<std::size_t>(needed), '\0');
  if (WideCharToMultiByte(kCodePage936, WC_NO_BEST_FIT_CHARS, wide->data(), length, out.data(),
                          needed, nullptr, &usedDefault) != needed ||
      usedDefault)
    return std::nullopt;
  // A character with no exact counterpart can still come back as another
  // one; only a conversion that round-trips counts.
  if (GbkToUtf8(out) != utf8) return std::nullopt;
  return out;
}

std::optional<std::string> Cp936Converter::GbkToUtf8(std::string_view gbk) const {
  if (gbk.empty()) return std::string();
  if (gbk.size() > INT_MAX) return std::nullopt;
  const int length = static_cast<int>(gbk.size());
  const int needed =
      MultiByteToWideChar(kCodePage936, MB_ERR_INVALID_CHARS, gbk.data(), length, nullptr, 0);
  if (needed <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  if (MultiByteToWideChar(kCodePage936, MB_ERR_INVALID_CHARS, gbk.data(), length, wide.data(),
                          needed) != needed)
    return std::nullopt;
  return Narrow(wide);
}

LocalDate Win32Platform::Today() const {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return {now.wYear, now.wMonth, now.wDay};
}

std::optional<std::string> Win32Platform::LogonName() const {
  // The system's limit for a logon name is 256 characters plus the terminator.
  wchar_t name[260];
  DWORD size = sizeof name / sizeof name[0];
  if (!GetUserNameW(name, &size) || size <= 1) return std::nullopt;
  return Narrow(std::wstring_view(name, size - 1));
}

std::optional<std::wstring> ModuleFileName(HMODULE module) {
  // A path that fills the buffer may have been cut (Windows XP does not say
  // so): only one shorter than the buffer is whole.
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD got = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (got == 0) return std::nullopt;
    if (got < buffer.size()) return std::wstring(buffer.data(), got);
    if (buffer.size() >= kLongestPath) {
      SetLastError(ERROR_FILENAME_EXCED_RANGE);
      return std::nullopt;
    }
    buffer.resize(std::min<std::size_t>(buffer.size() * 2, kLongestPath));
  }
}

std::optional<std::string> ModulePath(HMODULE module) {
  const std::optional<std::wstring> path = ModuleFileName(module);
  if (!path) return std::nullopt;
  return Narrow(*path);
}

std::optional<std::string> Win32Platform::ProfileDirectory() const {
  const std::optional<std::string> path = ModulePath(module_);
  if (!path) return std::nullopt;
  const std::size_t slash = path->find_last_of('\\');
  if (slash == std::string::npos) return std::nullopt;
  return path->substr(0, slash + 1);
}

}  // namespace quillmark::win32
