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
#include <optional>
#include <string>
#include <vector>

#include "cp936_user_area.h"

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

// Converts `text` run by run: `special` answers for the sequences it knows
// (and says how many bytes it took; when it takes none it may step `i` over
// the rest of the unit it looked at), iconv for everything between them.
template <typename Special>
std::optional<std::string> ConvertWithSpecial(const char* to, const char* from,
                                              std::string_view text, Special special) {
  std::string out;
  std::size_t runStart = 0;
  std::size_t i = 0;
  std::string piece;
  while (i < text.size()) {
    const std::size_t taken = special(text, i, piece);
    if (taken == 0) {
      ++i;
      continue;
    }
    if (i > runStart) {
      std::optional<std::string> run = Convert(to, from, text.substr(runStart, i - runStart));
      if (!run) return std::nullopt;
      out += *run;
    }
    out += piece;
    i += taken;
    runStart = i;
  }
  if (runStart == 0) return Convert(to, from, text);
  if (runStart < text.size()) {
    std::optional<std::string> run = Convert(to, from, text.substr(runStart));
    if (!run) return std::nullopt;
    out += *run;
  }
  return out;
}

// A private-use character of the user-defined area at `i` (three UTF-8 bytes
// EE xx xx), written as its double-byte code; 0 for anything else. A lead byte
// 0xEE never appears inside another character's UTF-8, so scanning byte by
// byte cannot fall out of step.
std::size_t UserAreaFromUtf8(std::string_view utf8, std::size_t i, std::string& piece) {
  if (static_cast<unsigned char>(utf8[i]) != 0xEE || utf8.size() - i < 3) return 0;
  const auto b1 = static_cast<unsigned char>(utf8[i + 1]);
  const auto b2 = static_cast<unsigned char>(utf8[i + 2]);
  if ((b1 & 0xC0) != 0x80 || (b2 & 0xC0) != 0x80) return 0;
  const char32_t c = (char32_t{0xE} << 12) | (char32_t{b1 & 0x3Fu} << 6) | (b2 & 0x3Fu);
  const std::optional<std::uint16_t> code = UnicodeToCp936UserArea(c);
  if (!code) return 0;
  piece.assign({static_cast<char>(*code >> 8), static_cast<char>(*code & 0xFF)});
  return 3;
}

// A double-byte code of the user-defined area at `i`, written as its
// private-use character in UTF-8; 0 for anything else. Steps over the code
// page's units as it reads them: a byte below 0x80, 0x80 and 0xFF alone, any
// other byte with the one after it.
std::size_t UserAreaFromGbk(std::string_view gbk, std::size_t& i, std::string& piece) {
  const auto lead = static_cast<unsigned char>(gbk[i]);
  if (lead < 0x81 || lead == 0xFF || gbk.size() - i < 2) return 0;
  const auto trail = static_cast<unsigned char>(gbk[i + 1]);
  const std::optional<char32_t> c =
      Cp936UserAreaToUnicode(static_cast<std::uint16_t>(lead << 8 | trail));
  if (!c) {
    ++i;  // the trail byte is never a lead byte of its own
    return 0;
  }
  piece.assign({static_cast<char>(0xE0 | (*c >> 12)), static_cast<char>(0x80 | ((*c >> 6) & 0x3F)),
                static_cast<char>(0x80 | (*c & 0x3F))});
  return 2;
}

}  // namespace

// glibc's CP936 refuses the 2,149 codes of the user-defined area, which
// Windows maps one to one onto private-use characters; they are answered
// here as Windows answers them, so a settings file moves between the two
// systems unchanged.
std::optional<std::string> IconvTextConverter::Utf8ToGbk(std::string_view utf8) const {
  return ConvertWithSpecial("CP936", "UTF-8", utf8,
                            [](std::string_view text, std::size_t i, std::string& piece) {
                              return UserAreaFromUtf8(text, i, piece);
                            });
}

std::optional<std::string> IconvTextConverter::GbkToUtf8(std::string_view gbk) const {
  return ConvertWithSpecial("UTF-8", "CP936", gbk,
                            [](std::string_view text, std::size_t& i, std::string& piece) {
                              return UserAreaFromGbk(text, i, piece);
                            });
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

namespace {

struct OwnAccount {
  std::string name;
  std::string home;
};

// The user's entry in the password database, read with the reentrant call:
// the language server builds command objects on two threads at once.
std::optional<OwnAccount> ReadOwnAccount() {
  std::vector<char> buffer(16384);
  for (;;) {
    passwd entry{};
    passwd* found = nullptr;
    const int failed = getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found);
    if (failed == ERANGE && buffer.size() < (std::size_t{1} << 20)) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (failed != 0 || found == nullptr) return std::nullopt;
    return OwnAccount{entry.pw_name != nullptr ? entry.pw_name : "",
                      entry.pw_dir != nullptr ? entry.pw_dir : ""};
  }
}

}  // namespace

std::optional<std::string> PosixPlatform::LogonName() const {
  if (const std::optional<OwnAccount> account = ReadOwnAccount(); account && !account->name.empty())
    return account->name;
  char login[256];
  if (getlogin_r(login, sizeof login) == 0) return std::string(login);
  return std::nullopt;
}

std::optional<std::string> PosixPlatform::ProfileDirectory() const {
  namespace fs = std::filesystem;
  fs::path base;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg == '/') {
    base = xdg;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/') {
    base = fs::path(home) / ".config";
  } else if (const std::optional<OwnAccount> account = ReadOwnAccount();
             account && account->home.starts_with('/')) {
    base = fs::path(account->home) / ".config";
  } else {
    return std::nullopt;  // never the current directory
  }
  const fs::path dir = base / "quillmark";
  std::error_code ec;
  fs::create_directories(dir, ec);  // a failure shows when the file cannot be created
  return dir.string() + "/";
}

}  // namespace quillmark
