// A unified diff of line insertions, as `quillmark batch --diff` prints it
// (`patch -p0` applies it).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillmark::cli {

// One inserted block: before line `line` (1-based) of the original text, these
// lines, each with its line break.
struct LineInsertion {
  int line = 1;
  std::vector<std::string> lines;
};

// The diff of `original` (named `path` on both sides) and the text with the
// insertions made, with three lines of context; hunks that touch are joined.
std::string InsertionDiff(const std::string& path, std::string_view original,
                          std::vector<LineInsertion> insertions);

}  // namespace quillmark::cli
