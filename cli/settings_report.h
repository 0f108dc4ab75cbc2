// The settings checker on the command line: `settings --check`, and the one
// warning every command that loads settings gives about them.
#pragma once

#include <string>

#include "quillmark/platform.h"

namespace quillmark::cli {

// `settings --check`: the problems in the compilers' format on standard
// output; 0 none, 1 some, 2 the file cannot be read.
int RunSettingsCheck(const std::string& path, const TextConverter& converter);

// Before a command uses the settings at `path`: their first problem on
// standard error (all of them with `verbose`). A missing or unreadable file
// says nothing here; the command itself reports that.
void ReportSettingsProblems(const std::string& path, bool verbose, const TextConverter& converter);

}  // namespace quillmark::cli
