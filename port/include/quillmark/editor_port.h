// The editor port: the operations Quillmark uses on an editor. The IDE's object
// model sits behind them in the Windows module; on Linux the in-memory editor
// (host/) does, fed by the command line, the editor plugins or the language server.
//
// Texts cross as byte strings in the document's code page. Results of moves and
// replacements are never examined by callers.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "quillmark/platform.h"

namespace quillmark {

class TextSelection {
 public:
  virtual ~TextSelection() = default;
  // The selected characters; every line break inside the selection reads "\r\n".
  virtual std::string GetSelectedText() = 0;
  // Replaces the selection (inserts at the caret when nothing is selected).
  // "\r\n", a lone "\r" and a lone "\n" each end a line; the caret ends behind the text.
  virtual void ReplaceSelection(std::string_view text) = 0;
  // Whole-line moves; nothing stays selected. They stop at the first and last line.
  virtual void MoveUpLines(int count) = 0;
  virtual void MoveDownLines(int count) = 0;
  virtual void MoveToLineStart() = 0;
  virtual void MoveToLineEnd() = 0;
  virtual void MoveToDocumentStart() = 0;
};

// An open text document; what it holds is the host's business.
class TextDocument {
 public:
  virtual ~TextDocument() = default;
};

class EditorHost {
 public:
  virtual ~EditorHost() = default;
  // False at the start of every command, true at its end, also after a failure.
  virtual void SetModelessEnabled(bool enabled) = 0;
  // Null when no document is open or the active one is not text.
  virtual TextDocument* GetActiveTextDocument() = 0;
  virtual TextSelection* GetSelection(TextDocument& document) = 0;
  // The document's file name without its directory, in the document's code page.
  virtual std::string GetDocumentName(TextDocument& document) = 0;
  // The encoding of the document's text as the selection hands it over.
  virtual CodePage GetDocumentCodePage(TextDocument& document) = 0;
  // Nothing when no project is open or the query fails.
  virtual std::optional<std::string> GetActiveProjectName() = 0;
};

// Modal message boxes (OK button, exclamation icon). Texts are UTF-8.
class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual void ShowMessage(std::string_view text) = 0;
};

}  // namespace quillmark
