// The settings and about dialogs live in quillmark-dialogs, so the comment
// commands never load a window system; these run it.
#pragma once

#include <string>

namespace quillmark::cli {

// Runs `quillmark-dialogs COMMAND [--settings FILE]` and returns its exit
// status; 2, with a message, when it cannot be found or started.
int RunDialogs(const std::string& command, const std::string& settingsFile);

// Where quillmark-dialogs is: $QUILLMARK_DIALOGS, beside this program (as
// installed), or in the build tree; empty when nowhere.
std::string FindDialogsProgram();

}  // namespace quillmark::cli
