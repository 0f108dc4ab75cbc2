#include "quillmark/project_name.h"

#include <filesystem>
#include <system_error>

namespace quillmark {

std::optional<std::string> FindProjectName(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path dir = fs::absolute(fs::path(path), ec).parent_path();
  for (; !ec && !dir.empty(); dir = dir.parent_path()) {
    for (const char* marker : {".git", "CMakeLists.txt", "compile_commands.json"}) {
      if (fs::exists(dir / marker, ec)) return dir.filename().string();
    }
    if (dir == dir.root_path()) break;
  }
  return std::nullopt;
}

}  // namespace quillmark
