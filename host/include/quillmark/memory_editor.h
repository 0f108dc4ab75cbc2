// The in-memory editor: a text document with one selection and an editor that
// holds at most one of them. The command line, the editor plugins and the
// language server hand their buffers to the commands through it.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "quillmark/editor_port.h"
#include "quillmark/edits.h"

namespace quillmark {

// A text document with one selection, held in memory. Each line keeps the
// break it ended with ("\r\n", "\r" or "\n"; the last line has none), so an
// unchanged document gives back its bytes exactly. An edit never changes a byte
// outside the replaced range: the breaks of replacing text take, in order, the
// breaks of the text they replace, then the document's style (its first line
// break, or "\n" when it has none), and never join a neighbouring break.
class MemoryDocument final : public TextDocument, public TextSelection {
 public:
  explicit MemoryDocument(std::string text = {}, std::string name = {},
                          CodePage codePage = CodePage::kUtf8);

  const std::string& Text() const { return buffer_; }
  const std::string& Name() const { return name_; }
  CodePage GetCodePage() const { return codePage_; }
  std::string_view LineBreak() const { return lineBreak_; }
  int LineCount() const { return lines_.LineCount(); }
  const LineTable& Lines() const { return lines_; }
  // The line's text without its break; empty for a line that does not exist.
  std::string_view LineText(int line) const;
  bool Modified() const { return modified_; }

  // Positions are clamped into the document.
  void Select(TextPosition anchor, TextPosition active);
  // Makes the edits (sorted, not overlapping) in one pass; the caret then goes
  // to `caret`, nothing selected.
  void ApplyEdits(const std::vector<Edit>& edits, TextPosition caret);
  TextPosition Anchor() const { return anchor_; }
  TextPosition Caret() const { return caret_; }

  std::string GetSelectedText() override;
  void ReplaceSelection(std::string_view text) override;
  void MoveUpLines(int count) override;
  void MoveDownLines(int count) override;
  void MoveToLineStart() override;
  void MoveToLineEnd() override;
  void MoveToDocumentStart() override;

 private:
  void MoveCaretTo(TextPosition position);

  std::string buffer_;
  std::string name_;
  CodePage codePage_;
  std::string lineBreak_;
  LineTable lines_;
  TextPosition anchor_;
  TextPosition caret_;
  bool modified_ = false;
};

// An editor with at most one open document and an optional project.
class MemoryEditor final : public EditorHost {
 public:
  void Open(MemoryDocument* document) { document_ = document; }
  void SetProjectName(std::optional<std::string> name) { projectName_ = std::move(name); }
  bool ModelessEnabled() const { return modelessEnabled_; }

  void SetModelessEnabled(bool enabled) override { modelessEnabled_ = enabled; }
  TextDocument* GetActiveTextDocument() override { return document_; }
  TextSelection* GetSelection(TextDocument& document) override;
  std::string GetDocumentName(TextDocument& document) override;
  CodePage GetDocumentCodePage(TextDocument& document) override;
  std::optional<std::string> GetActiveProjectName() override { return projectName_; }

 private:
  MemoryDocument* document_ = nullptr;
  std::optional<std::string> projectName_;
  bool modelessEnabled_ = true;
};

}  // namespace quillmark
