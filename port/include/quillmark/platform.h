// What Quillmark needs from the operating system, handed as one object to the
// code that needs it: the code page 936 converter, the local date, the logon
// name and the directory of the user's settings file. Linux implements it in
// platform/posix/, the Windows module in platform/win32/; tests replace it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillmark {

// The two encodings a document or a settings file can be in.
enum class CodePage { kUtf8, kGbk };

// Converts between UTF-8 and the double-byte code page 936. Both directions
// return nothing when a character cannot be represented; no replacement here.
class TextConverter {
 public:
  virtual ~TextConverter() = default;
  virtual std::optional<std::string> Utf8ToGbk(std::string_view utf8) const = 0;
  virtual std::optional<std::string> GbkToUtf8(std::string_view gbk) const = 0;
};

struct LocalDate {
  int year = 0;   // full year
  int month = 0;  // 1..12
  int day = 0;    // 1..31
};

class Platform {
 public:
  virtual ~Platform() = default;
  virtual const TextConverter& Converter() const = 0;
  virtual LocalDate Today() const = 0;
  // The logon name in UTF-8, or nothing when it cannot be read.
  virtual std::optional<std::string> LogonName() const = 0;
  // The directory that holds the settings file, in UTF-8 with its trailing
  // separator (the module's own directory on Windows), or nothing when there
  // is none to be had.
  virtual std::optional<std::string> ProfileDirectory() const = 0;
};

}  // namespace quillmark
