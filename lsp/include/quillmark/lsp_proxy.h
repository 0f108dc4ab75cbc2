// `quillmark lsp --with CMD [ARGS...]`: the language server in front of another
// one, for editors that run a single server per file. The editor sees one
// server with both servers' capabilities and code actions.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "quillmark/lsp.h"

namespace quillmark::lsp {

// Starts `command` (its first word looked up on PATH) as the child server and
// serves the editor on `in` and `out` until "exit" or the end of the input.
// Returns the process exit status: 0 after shutdown and exit, 1 otherwise. A
// child that cannot start or that stops is reported to the editor; our own
// actions keep working either way.
int RunLanguageServerWith(std::FILE* in, std::FILE* out, const LspOptions& options,
                          const std::vector<std::string>& command);

}  // namespace quillmark::lsp
