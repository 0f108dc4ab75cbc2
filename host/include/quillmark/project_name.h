// The project a source file belongs to, for the header's project name, found
// the same way by the command line and the language server.
#pragma once

#include <optional>
#include <string>

namespace quillmark {

// The name of the nearest directory above `path` (made absolute against the
// working directory) that holds .git, CMakeLists.txt or compile_commands.json.
std::optional<std::string> FindProjectName(const std::string& path);

}  // namespace quillmark
