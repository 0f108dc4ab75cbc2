#include "dialogs.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <vector>

namespace quillmark::cli {
namespace {

namespace fs = std::filesystem;

bool IsExecutable(const fs::path& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::string FindDialogsProgram() {
  if (const char* chosen = std::getenv("QUILLMARK_DIALOGS"); chosen != nullptr && *chosen)
    return IsExecutable(chosen) ? chosen : std::string();
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  const fs::path dir = self.parent_path();
  for (const fs::path& candidate :
       {dir / "quillmark-dialogs", dir.parent_path() / "ui" / "qt" / "quillmark-dialogs"}) {
    if (IsExecutable(candidate)) return candidate.string();
  }
  return {};
}

int RunDialogs(const std::string& command, const std::string& settingsFile) {
  const std::string program = FindDialogsProgram();
  if (program.empty()) {
    std::cerr << "quillmark: the dialogs are not installed (quillmark-dialogs, built when Qt 6 "
                 "is found); use `quillmark settings --path`, --load or --save instead\n";
    return 2;
  }
  std::vector<std::string> args = {program, command};
  if (!settingsFile.empty()) args.insert(args.end(), {"--settings", settingsFile});
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const pid_t child = ::fork();
  if (child < 0) {
    std::cerr << "quillmark: cannot start " << program << ": " << std::strerror(errno) << '\n';
    return 2;
  }
  if (child == 0) {
    ::execv(program.c_str(), argv.data());
    std::cerr << "quillmark: cannot start " << program << ": " << std::strerror(errno) << '\n';
    ::_exit(2);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 2;
}

}  // namespace quillmark::cli
