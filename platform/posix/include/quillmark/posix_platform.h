// The Linux platform: code page 936 through iconv, the local date (or the
// date in QUILLMARK_DATE, for reproducible output), the logon name from the
// password database and the settings directory under $XDG_CONFIG_HOME
// (default ~/.config/quillmark/).
#pragma once

#include <optional>
#include <string>

#include "quillmark/platform.h"

namespace quillmark {

class IconvTextConverter final : public TextConverter {
 public:
  std::optional<std::string> Utf8ToGbk(std::string_view utf8) const override;
  std::optional<std::string> GbkToUtf8(std::string_view gbk) const override;
};

class PosixPlatform final : public Platform {
 public:
  const TextConverter& Converter() const override { return converter_; }
  LocalDate Today() const override;
  std::optional<std::string> LogonName() const override;
  std::optional<std::string> ProfileDirectory() const override;

 private:
  IconvTextConverter converter_;
};

// Writes all of `bytes` to the descriptor, again after an interrupted call;
// false when the descriptor takes no more.
[[nodiscard]] bool WriteAll(int fd, std::string_view bytes);

// "YYYY-MM-DD" as a date; nothing when it is not a valid date.
std::optional<LocalDate> ParseDate(std::string_view text);

}  // namespace quillmark
