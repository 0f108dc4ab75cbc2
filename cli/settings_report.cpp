#include "settings_report.h"

#include <iostream>

#include "exit_status.h"
#include "quillmark/settings_check.h"

namespace quillmark::cli {

int RunSettingsCheck(const std::string& path, const TextConverter& converter) {
  std::vector<SettingsProblem> problems;
  std::string error;
  if (!CheckSettingsFile(path, converter, &problems, &error)) {
    std::cerr << "quillmark: " << error << '\n';
    return kExitError;
  }
  for (const SettingsProblem& problem : problems) std::cout << FormatProblem(path, problem) << '\n';
  return problems.empty() ? kExitOk : kExitMessage;
}

void ReportSettingsProblems(const std::string& path, bool verbose, const TextConverter& converter) {
  std::vector<SettingsProblem> problems;
  if (!CheckSettingsFile(path, converter, &problems, nullptr) || problems.empty()) return;
  const std::size_t shown = verbose ? problems.size() : 1;
  for (std::size_t i = 0; i < shown; ++i) std::cerr << FormatProblem(path, problems[i]) << '\n';
  if (shown < problems.size())
    std::cerr << "quillmark: and " << problems.size() - shown
              << " more; `quillmark settings --check " << path << "` lists them all\n";
}

}  // namespace quillmark::cli
