// A unified diff of line insertions and replacements, as `quillmark batch --diff` prints it
// (`patch -p0` applies it).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillmark::cli {

// One inserted block: before line `line` (1-based) of the original text, these
// lines, each with its line break; they replace the `removed` original lines
// from `line` on (none: a plain insertion).
struct LineInsertion {
  int line = 1;
  std::vector<std::string> lines;
  int removed = 0;
};

// The diff of `original` (named `path` on both sides) and the text with the
// insertions made, with three lines of context; hunks that touch are joined.
// The insertions do not overlap.
std::string InsertionDiff(const std::string& path, std::string_view original,
                          std::vector<LineInsertion> insertions);

}  // namespace quillmark::cli
