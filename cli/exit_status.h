// The command line's exit statuses.
#pragma once

namespace quillmark::cli {

constexpr int kExitOk = 0;
constexpr int kExitMessage = 1;  // the command showed a message; the file is untouched
constexpr int kExitError = 2;    // usage, settings, I/O or internal error
constexpr int kExitNothing = 3;  // nothing recognised, or the kind's template is empty

}  // namespace quillmark::cli
