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
