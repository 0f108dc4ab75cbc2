// Linux sources for the logon name, the profile directory and code page 936.
#include <iconv.h>
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "quillmark/host.h"

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

class IconvConverter final : public TextConverter {
 public:
  std::optional<std::string> Utf8ToGbk(std::string_view utf8) const override {
    return Convert("CP936", "UTF-8", utf8);
  }
  std::optional<std::string> GbkToUtf8(std::string_view gbk) const override {
    return Convert("UTF-8", "CP936", gbk);
  }
};

std::optional<std::string> LogonName() {
  if (const passwd* entry = getpwuid(geteuid()); entry != nullptr && entry->pw_name != nullptr)
    return std::string(entry->pw_name);
  if (const char* login = getlogin(); login != nullptr) return std::string(login);
  return std::nullopt;
}

std::optional<std::string> ConfigDirectory() {
  namespace fs = std::filesystem;
  fs::path base;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg == '/') {
    base = xdg;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    base = fs::path(home) / ".config";
  } else if (const passwd* entry = getpwuid(geteuid()); entry != nullptr && entry->pw_dir) {
    base = fs::path(entry->pw_dir) / ".config";
  } else {
    return std::nullopt;
  }
  const fs::path dir = base / "quillmark";
  std::error_code ec;
  fs::create_directories(dir, ec);  // a failure shows when the file cannot be created
  return dir.string() + "/";
}

}  // namespace

const TextConverter& IconvTextConverter() {
  static const IconvConverter converter;
  return converter;
}

void InstallPosixPlatform() {
  SetTextConverter(&IconvTextConverter());
  SetLogonNameSource(&LogonName);
  SetProfileDirectorySource(&ConfigDirectory);
}

}  // namespace quillmark
