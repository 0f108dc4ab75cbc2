// Linux sources for code page 936, the date, the logon name and the settings
// directory.
#include "quillmark/posix_platform.h"

#include <iconv.h>
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <ctime>
#include <filesystem>

namespace quillmark {
namespace {

// Whole-text conversion; nothing when a byte sequence has no counterpart.
std::optional<std::string> Convert(const char* to, const char* from, std::string_view text) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out(text.size() * 2 + 16, '\0');
  char* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  std::size_t done = 0;
  bool ok = true;
  while (inLeft > 0) {
    char* dst = out.data() + done;
    std::size_t outLeft = out.size() - done;
    const std::size_t rc = iconv(cd, &in, &inLeft, &dst, &outLeft);
    done = out.size() - outLeft;
    if (rc != static_cast<std::size_t>(-1)) continue;
    if (errno == E2BIG) {
      out.resize(out.size() * 2);
      continue;
    }
    ok = false;  // EILSEQ or EINVAL: not representable, or cut short
    break;
  }
  iconv_close(cd);
  if (!ok) return std::nullopt;
  out.resize(done);
  return out;
}

}  // namespace

std::optional<std::string> IconvTextConverter::Utf8ToGbk(std::string_view utf8) const {
  return Convert("CP936", "UTF-8", utf8);
}

std::optional<std::string> IconvTextConverter::GbkToUtf8(std::string_view gbk) const {
  return Convert("UTF-8", "CP936", gbk);
}

std::optional<LocalDate> ParseDate(std::string_view text) {
  LocalDate date;
  int* const fields[] = {&date.year, &date.month, &date.day};
  const char* p = text.data();
  const char* const end = text.data() + text.size();
  for (int i = 0; i < 3; ++i) {
    if (i > 0) {
      if (p == end || *p != '-') return std::nullopt;
      ++p;
    }
    const auto [next, ec] = std::from_chars(p, end, *fields[i]);
    if (ec != std::errc() || next == p) return std::nullopt;
    p = next;
  }
  if (p != end || date.year < 1 || date.year > 9999 || date.month < 1 || date.month > 12 ||
      date.day < 1 || date.day > 31)
    return std::nullopt;
  return date;
}

LocalDate PosixPlatform::Today() const {
  if (const char* fixed = std::getenv("QUILLMARK_DATE"); fixed != nullptr) {
    if (std::optional<LocalDate> date = ParseDate(fixed)) return *date;
  }
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local) == nullptr) return {1970, 1, 1};
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

std::optional<std::string> PosixPlatform::LogonName() const {
  if (const passwd* entry = getpwuid(geteuid()); entry != nullptr && entry->pw_name != nullptr)
    return std::string(entry->pw_name);
  if (const char* login = getlogin(); login != nullptr) return std::string(login);
  return std::nullopt;
}

std::optional<std::string> PosixPlatform::ProfileDirectory() const {
  namespace fs = std::filesystem;
  fs::path base;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg == '/') {
    base = xdg;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/') {
    base = fs::path(home) / ".config";
  } else if (const passwd* entry = getpwuid(geteuid());
             entry != nullptr && entry->pw_dir != nullptr && entry->pw_dir[0] == '/') {
    base = fs::path(entry->pw_dir) / ".config";
  } else {
    return std::nullopt;  // never the current directory
  }
  const fs::path dir = base / "quillmark";
  std::error_code ec;
  fs::create_directories(dir, ec);  // a failure shows when the file cannot be created
  return dir.string() + "/";
}

}  // namespace quillmark
