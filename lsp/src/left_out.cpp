// The language server's entry points in a build without it: `quillmark lsp`
// says why and fails instead of the command line not building.
#include <cstdio>

#include "quillmark/lsp_proxy.h"

namespace quillmark::lsp {

int RunLanguageServer(std::FILE*, std::FILE*, const LspOptions&) {
  std::fputs(
      "quillmark: this build has no language server (it was built without nlohmann-json; "
      "install nlohmann-json3-dev and rebuild)\n",
      stderr);
  return 2;
}

int RunLanguageServerWith(std::FILE* in, std::FILE* out, const LspOptions& options,
                          const std::vector<std::string>&) {
  return RunLanguageServer(in, out, options);
}

}  // namespace quillmark::lsp
