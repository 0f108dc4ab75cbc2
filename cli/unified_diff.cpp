#include "unified_diff.h"

#include <algorithm>

namespace quillmark::cli {
namespace {

// The original's lines, each with the break it ends with.
std::vector<std::string_view> SplitKeepingBreaks(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) {
      lines.push_back(text.substr(start, i + 1 - start));
      start = i + 1;
    }
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

void AppendDiffLine(std::string& out, char mark, std::string_view line) {
  out += mark;
  out += line;
  if (line.empty() || (line.back() != '\n' && line.back() != '\r'))
    out += "\n\\ No newline at end of file\n";
}

}  // namespace

std::string InsertionDiff(const std::string& path, std::string_view original,
                          std::vector<LineInsertion> insertions) {
  constexpr int kContext = 3;
  std::stable_sort(insertions.begin(), insertions.end(),
                   [](const LineInsertion& a, const LineInsertion& b) { return a.line < b.line; });
  const std::vector<std::string_view> lines = SplitKeepingBreaks(original);
  const int count = static_cast<int>(lines.size());
  // The last original line an insertion touches, or the one above it.
  const auto lastTouched = [](const LineInsertion& c) { return c.line - 1 + c.removed; };
  std::string out = "--- " + path + "\n+++ " + path + "\n";
  int added = 0;  // lines added by earlier hunks, less those removed
  for (std::size_t i = 0; i < insertions.size();) {
    const int first = std::max(1, insertions[i].line - kContext);
    int last = std::min(count, lastTouched(insertions[i]) + kContext);
    std::size_t j = i + 1;
    while (j < insertions.size() && insertions[j].line - kContext <= last + 1) {
      last = std::max(last, std::min(count, lastTouched(insertions[j]) + kContext));
      ++j;
    }
    int inserted = 0;
    for (std::size_t k = i; k < j; ++k)
      inserted += static_cast<int>(insertions[k].lines.size()) - insertions[k].removed;
    const int oldCount = last - first + 1;
    out += "@@ -" + std::to_string(first) + "," + std::to_string(oldCount) + " +" +
           std::to_string(first + added) + "," + std::to_string(oldCount + inserted) + " @@\n";
    std::size_t k = i;
    for (int line = first; line <= last;) {
      int skip = 0;
      for (; k < j && insertions[k].line <= line + skip; ++k) {
        for (int r = 0; r < insertions[k].removed && line + skip <= count; ++r, ++skip)
          AppendDiffLine(out, '-', lines[static_cast<std::size_t>(line + skip - 1)]);
        for (const std::string& text : insertions[k].lines) AppendDiffLine(out, '+', text);
      }
      line += skip;
      if (skip == 0 && line <= last) {
        AppendDiffLine(out, ' ', lines[static_cast<std::size_t>(line - 1)]);
        ++line;
      }
    }
    added += inserted;
    i = j;
  }
  return out;
}

}  // namespace quillmark::cli
