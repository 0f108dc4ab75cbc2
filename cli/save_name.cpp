#include "save_name.h"

#include <sys/stat.h>

#include <filesystem>

namespace quillmark::cli {

bool SettingsSaveTarget(const std::string& name,
                        const std::function<bool(const std::string&)>& holdsSettings,
                        std::string* target, std::string* error) {
  namespace fs = std::filesystem;
  const fs::path path(name);
  const std::string base = path.filename().string();
  struct stat st {};
  const bool there = ::stat(name.c_str(), &st) == 0;
  if (base.empty() || base == "." || base == ".." || (there && S_ISDIR(st.st_mode))) {
    *error = name + " is a directory; name a file to save the settings in";
    return false;
  }
  *target = there || path.has_extension() ? name : name + ".ini";
  if (::stat(target->c_str(), &st) != 0) return true;  // a new file
  if (!S_ISREG(st.st_mode)) {
    *error = *target + " is not a regular file; nothing saved";
    return false;
  }
  if (st.st_size > 0 && !holdsSettings(*target)) {
    *error = *target + " holds no settings (no [section] in it); not overwritten";
    return false;
  }
  return true;
}

}  // namespace quillmark::cli
