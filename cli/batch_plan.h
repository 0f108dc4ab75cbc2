// The plan and apply steps of `quillmark batch` for one file: every block is
// worked out against the file as it was read, then all go in at once, so a
// file with n declarations costs one pass, not n.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "quillmark/engine.h"
#include "unified_diff.h"

namespace quillmark::cli {

// A declaration to comment: its first line in the file and its fields.
struct DeclarationToComment {
  int line = 1;
  DeclarationFields fields;
};

struct FilePlan {
  // Sorted, not overlapping: one insertion at the start of each line.
  std::vector<Edit> edits;
  // The line each edit goes before, in the same order.
  std::vector<int> lines;
  // The kinds commented, in the same order.
  std::vector<DeclKind> kinds;
};

// Plans the blocks of `declarations` (one per line) in `text`, whose line table
// and line-break style are given. A kind without a template, or with an empty
// one, is left out. False, with `error` naming the line, when a block cannot be
// written in the context's code page.
[[nodiscard]] bool PlanFile(std::string_view text, const LineTable& lines,
                            std::string_view lineBreak,
                            const std::vector<DeclarationToComment>& declarations,
                            const TemplateTree& tree, const CommentContext& context, FilePlan* plan,
                            std::string* error);

// True when `text` holds a line comment ("//" outside any "/* */" comment): a
// block of such lines breaks C89 code built with -pedantic.
bool HasLineComment(std::string_view text);

// Edits (sorted, not overlapping) as whole-line changes for the diff: each run
// of original lines the edits touch, replaced by the lines it reads as after
// them, line breaks kept byte for byte.
std::vector<LineInsertion> LineChangesOf(std::string_view text, const LineTable& lines,
                                         const std::vector<Edit>& edits);

// The plan's insertions as lines for the diff, each line ending in `lineBreak`.
std::vector<LineInsertion> InsertionsOf(const FilePlan& plan, std::string_view lineBreak);

}  // namespace quillmark::cli
