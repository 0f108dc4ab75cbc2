#include "batch_plan.h"

#include <algorithm>
#include <numeric>

namespace quillmark::cli {

bool PlanFile(std::string_view text, const LineTable& lines, std::string_view lineBreak,
              const std::vector<DeclarationToComment>& declarations, const TemplateTree& tree,
              const CommentContext& context, FilePlan* plan, std::string* error) {
  FilePlan planned;
  for (const DeclarationToComment& declaration : declarations) {
    const TemplateNode* node = tree.FindKindNode(declaration.fields.kind);
    if (node == nullptr || node->lines.empty()) continue;
    ExpandedBlock block;
    std::string why;
    if (!BuildBlockFromFields(declaration.fields, *node, context, &block, &why)) {
      *error = std::to_string(declaration.line) + ": " + why;
      return false;
    }
    // Each block is worked out against the text as read: the bytes around a
    // line's start are the same whichever blocks go in elsewhere.
    const std::size_t at = lines.Offset({declaration.line, 1});
    planned.edits.push_back({at, at, ReplacementText(text, at, at, block.text, lineBreak)});
    planned.lines.push_back(declaration.line);
    planned.kinds.push_back(declaration.fields.kind);
  }
  // Document order; two blocks at one offset keep the order they were given in.
  std::vector<std::size_t> order(planned.edits.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return planned.edits[a].from < planned.edits[b].from;
  });
  plan->edits.clear();
  plan->lines.clear();
  plan->kinds.clear();
  for (const std::size_t i : order) {
    plan->edits.push_back(std::move(planned.edits[i]));
    plan->lines.push_back(planned.lines[i]);
    plan->kinds.push_back(planned.kinds[i]);
  }
  return true;
}

bool HasLineComment(std::string_view text) {
  bool inBlock = false;
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    const std::string_view pair = text.substr(i, 2);
    if (!inBlock && pair == "//") return true;
    if (pair == (inBlock ? "*/" : "/*")) {
      inBlock = !inBlock;
      ++i;
    }
  }
  return false;
}

namespace {

bool IsBreak(char c) {
  return c == '\n' || c == '\r';
}

std::vector<std::string> SplitKeepingBreaks(std::string_view text) {
  std::vector<std::string> split;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) {
      split.emplace_back(text.substr(start, i + 1 - start));
      start = i + 1;
    }
  }
  if (start < text.size()) split.emplace_back(text.substr(start));
  return split;
}

}  // namespace

std::vector<LineInsertion> LineChangesOf(std::string_view text, const LineTable& lines,
                                         const std::vector<Edit>& edits) {
  const auto lineOf = [&lines](std::size_t offset) { return lines.PositionAt(offset).line; };
  // Just past the line break of the line holding `offset`.
  const auto afterLine = [&](std::size_t offset) {
    const int line = lineOf(offset);
    return lines.LineStart(line) + lines.LineLength(line) + lines.LineBreakLength(line);
  };
  // `offset` itself when a line starts there, else just past its line.
  const auto lineEnd = [&](std::size_t offset) {
    if (offset >= text.size() || lines.LineStart(lineOf(offset)) == offset) return offset;
    return afterLine(offset);
  };
  std::vector<LineInsertion> changes;
  for (std::size_t i = 0; i < edits.size();) {
    const int first = lineOf(edits[i].from);
    const std::size_t start = lines.LineStart(first);
    std::string now(text.substr(start, edits[i].from - start));
    now += edits[i].text;
    std::size_t pos = edits[i].to, end = lineEnd(edits[i].to);
    std::size_t j = i + 1;
    for (;;) {
      for (; j < edits.size() && edits[j].from < end; ++j) {
        now += text.substr(pos, edits[j].from - pos);
        now += edits[j].text;
        pos = edits[j].to;
        end = std::max(end, lineEnd(edits[j].to));
      }
      // New text that does not end its line takes the next line in.
      const char last = end > pos ? text[end - 1] : (now.empty() ? '\n' : now.back());
      if (IsBreak(last) || end >= text.size()) break;
      end = afterLine(end);
    }
    now += text.substr(pos, end - pos);
    const int removed = end > start ? lineOf(end - 1) - first + 1 : 0;
    changes.push_back({first, SplitKeepingBreaks(now), removed});
    i = j;
  }
  return changes;
}

std::vector<LineInsertion> InsertionsOf(const FilePlan& plan, std::string_view lineBreak) {
  std::vector<LineInsertion> insertions;
  for (std::size_t i = 0; i < plan.edits.size(); ++i) {
    LineInsertion insertion{plan.lines[i], {}};
    const std::string_view text = plan.edits[i].text;
    std::size_t start = 0;
    for (std::size_t k = 0; k < text.size(); ++k) {
      if (text[k] != '\r' && text[k] != '\n') continue;
      insertion.lines.push_back(std::string(text.substr(start, k - start)) +
                                std::string(lineBreak));
      if (text[k] == '\r' && k + 1 < text.size() && text[k + 1] == '\n') ++k;
      start = k + 1;
    }
    insertions.push_back(std::move(insertion));
  }
  return insertions;
}

}  // namespace quillmark::cli
