// quillmark check: every comment block in the given files and directories read
// back against its declaration; stale blocks (and, when asked, undocumented
// declarations and foreign comments) reported one a line, as compilers report
// warnings. Reads only; never writes.
#pragma once

#include <CLI/CLI.hpp>

#include <optional>
#include <string>
#include <vector>

#include "quillmark/platform.h"

namespace quillmark::cli {

struct CheckCommandOptions {
  std::vector<std::string> paths;
  std::string kinds;  // as batch --kinds
  bool missing = false;
  std::string format = "text";
  unsigned jobs = 0;  // 0: one thread per core
  std::string encoding = "auto";
};

CLI::App* AddCheckCommand(CLI::App& app, CheckCommandOptions& options);

// Exit status: 0 nothing found, 1 findings, 2 an error (usage, settings, a
// file that cannot be read or parsed; the others are still checked).
int RunCheck(const CheckCommandOptions& options, const std::optional<std::string>& settings,
             bool verbose, const Platform& platform);

}  // namespace quillmark::cli
