// The Windows side of the platform seam: code page 936 through the system's
// converter, the local date, the logon name, and the directory of the module
// that holds the settings file.
#pragma once

#include <windows.h>

#include "quillmark/platform.h"

namespace quillmark::win32 {

// Code page 936 as Windows has it, user-defined area included.
class Cp936Converter final : public TextConverter {
 public:
  std::optional<std::string> Utf8ToGbk(std::string_view utf8) const override;
  std::optional<std::string> GbkToUtf8(std::string_view gbk) const override;
};

class Win32Platform final : public Platform {
 public:
  // `module` is the module whose directory holds the settings file: the
  // add-in's own DLL, not the program that loaded it.
  explicit Win32Platform(HMODULE module) : module_(module) {}

  const TextConverter& Converter() const override { return converter_; }
  LocalDate Today() const override;
  std::optional<std::string> LogonName() const override;
  std::optional<std::string> ProfileDirectory() const override;

 private:
  HMODULE module_;
  Cp936Converter converter_;
};

// The module's full path, the one reader of it: the wide API (the ANSI one
// garbles characters outside the ANSI code page) with a buffer grown past
// MAX_PATH until the whole path fits; nothing on failure, the system's
// error then in GetLastError.
[[nodiscard]] std::optional<std::wstring> ModuleFileName(HMODULE module);
// The same path in UTF-8; nothing also when it has no UTF-8 form.
[[nodiscard]] std::optional<std::string> ModulePath(HMODULE module);

}  // namespace quillmark::win32
