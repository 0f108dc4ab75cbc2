// When the arguments do not parse: the word that was not understood and the
// nearest one that would have been.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

namespace quillmark::cli {

// "unknown command 'coment' (did you mean 'comment'?)" or "unknown option
// '--lien' for comment (did you mean '--line'?)"; empty when every command and
// option word is known (the parse failed for another reason).
std::string ArgumentHint(CLI::App& app, int argc, char** argv);

}  // namespace quillmark::cli
