// What the language server asks of the comment engine: the actions on a
// selection and the edits, caret and message of running one. Positions are
// 0-based lines and byte offsets inside the line; the server alone converts
// them to and from the client's position encoding.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "quillmark/lsp_document.h"
#include "quillmark/platform.h"

namespace quillmark::lsp {

// What the provider sees of a document: its address, its name and its text.
struct DocumentView {
  std::string_view uri;
  const Document& document;
};

// An action that can run on the selection, as listed to the user.
struct ListedAction {
  std::string id;     // handed back to Run
  std::string title;  // UTF-8
};

// The result of running an action: the text edits (byte positions in the
// document the action ran on, not overlapping, in document order), the caret
// after the edits (byte position in the edited document), and a message for
// the user (UTF-8), if any.
struct ActionResult {
  std::vector<ByteEdit> edits;
  std::optional<BytePosition> caret;
  std::string message;
};

// A comment block whose generated fields no longer say what its declaration
// says (a parameter added, a class renamed), found by the engine's check.
struct StaleBlock {
  ByteRange block;        // the block's lines, from the first's start to the last's end
  ByteRange declaration;  // the declaration's first line
  ByteRange changed;      // the lines the refresh rewrites, whole: where the warning goes
  std::string subject;    // the declaration's name, as the check names it (UTF-8)
  std::string message;    // what changed, as `quillmark check` says it (UTF-8)
  // What makes the block current (byte positions in the checked document, not
  // overlapping, in document order).
  std::vector<ByteEdit> refresh;
  bool operator==(const StaleBlock&) const = default;
};

// The comment engine as the server sees it. An empty selection means the
// caret's line.
class ActionProvider {
 public:
  virtual ~ActionProvider() = default;
  // Cheap: called for every code action request; never shows anything.
  virtual std::vector<ListedAction> Actions(const DocumentView& document, ByteRange selection) = 0;
  virtual ActionResult Run(const DocumentView& document, ByteRange selection,
                           std::string_view actionId) = 0;
  // The settings file named by the client; empty for the default.
  virtual void SetSettingsPath(std::string path) = 0;
  // "syntax" or "keywords" as the client's initializationOptions.parser says;
  // empty: the settings file's [Quillmark] Parser=, else the keyword mode.
  virtual void SetParser(std::string parser) { (void)parser; }
  // The stale blocks of a document, for the diagnostics. Called on the
  // server's checking thread, one call at a time, while the members above run
  // on the server's own; `document` belongs to that call alone. False, with
  // `error`, when nothing could be checked (the settings cannot be read).
  [[nodiscard]] virtual bool FindStaleBlocks(const DocumentView& document,
                                             std::vector<StaleBlock>* blocks, std::string* error) {
    (void)document;
    (void)error;
    blocks->clear();
    return true;
  }
};

// The provider backed by the comment engine. An empty `settingsPath` means the
// command line's default settings file.
std::unique_ptr<ActionProvider> MakeCommentActions(std::string settingsPath,
                                                   const Platform& platform);

}  // namespace quillmark::lsp
