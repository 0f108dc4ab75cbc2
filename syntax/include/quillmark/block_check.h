// Checking a whole document's comment blocks against its declarations, for
// every host that shows them: `quillmark check`, the language server's
// diagnostics, pre-commit hooks. The declarations are found with the syntax
// parser as `batch` finds them; each block above one is read back against
// its kind's template (quillmark/block_reader.h).
//
// A finding per declaration worth reporting:
//   kStale    the block's generated fields (names, class, bases, parameters,
//             return type) no longer agree with the declaration; `changes`
//             says which, `refresh` holds the edits that make it current;
//   kMissing  no comment above the declaration (only with `missing`);
//   kForeign  a comment that does not follow the kind's template (only with
//             `foreign`); it is never changed;
//   kCurrent  the block agrees (only with `current`).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "quillmark/block_reader.h"
#include "quillmark/engine.h"
#include "quillmark/syntax.h"

namespace quillmark {

struct BlockFinding {
  enum class State { kCurrent, kStale, kForeign, kMissing };
  State state = State::kCurrent;
  DeclKind kind = DeclKind::None;
  std::string subject;       // UTF-8: "CShape::Area", "MAX"
  TextPosition declaration;  // the declaration's first line and its first non-blank byte
  int blockFirstLine = 0, blockLastLine = 0;  // 0 when there is no block
  std::vector<FieldChange> changes;           // kStale: what differs, UTF-8
  std::vector<Edit> refresh;                  // kStale: in the document's bytes
};

// One line of English: "comment of 'CShape::Area' is stale: parameters
// (double radius) now (double radius, int precision)"; several changes are
// joined with "; ".
std::string FindingMessage(const BlockFinding& finding);

// The finding's state as a word: "current", "stale", "foreign", "missing".
std::string_view StateWord(BlockFinding::State state);

struct CheckOptions {
  bool missing = false;  // report undocumented declarations
  bool foreign = false;  // report comments that do not follow the template
  bool current = false;  // report current blocks too
  syntax::KindMask kinds = syntax::kDefaultBatchKinds;  // as `batch --kinds`
  std::uint64_t parseTimeLimit = syntax::kDefaultParseTimeLimit;
};

// Checks `text` (in the context's code page, any line breaks); findings in
// document order. False, with the reason, when the document cannot be parsed
// or converted. `parser` is reused between documents of one thread.
[[nodiscard]] bool CheckDocument(std::string_view text, const TemplateTree& tree,
                                 const CommentContext& context, const CheckOptions& options,
                                 syntax::DeclarationParser& parser,
                                 std::vector<BlockFinding>* findings, std::string* error);
// The same over declarations already found in the document (`utf8`, the
// text in UTF-8, which they index), for hosts that find them anyway, as batch
// does.
[[nodiscard]] bool CheckFound(std::string_view text, std::string_view utf8,
                              const std::vector<syntax::FoundDeclaration>& found,
                              const TemplateTree& tree, const CommentContext& context,
                              const CheckOptions& options, std::vector<BlockFinding>* findings);
// The same with a parser made for the call.
[[nodiscard]] bool CheckDocument(std::string_view text, const TemplateTree& tree,
                                 const CommentContext& context, const CheckOptions& options,
                                 std::vector<BlockFinding>* findings, std::string* error);

}  // namespace quillmark
