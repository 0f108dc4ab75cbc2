// quillmark-lsp-test: the language server on standard input and output, as
// `quillmark lsp [--settings FILE]` runs it.
#include <cstdio>
#include <cstring>

#include "quillmark/lsp.h"

int main(int argc, char** argv) {
  quillmark::lsp::LspOptions options;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--settings") == 0 && i + 1 < argc) {
      options.settingsPath = argv[++i];
    } else {
      std::fprintf(stderr, "usage: quillmark-lsp-test [--settings FILE]\n");
      return 2;
    }
  }
  return quillmark::lsp::RunLanguageServer(stdin, stdout, options);
}
