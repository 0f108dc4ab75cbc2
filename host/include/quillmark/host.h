// Host integration: the in-memory editor component, the command object with
// the five commands, and the delete/undelete toggle.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "quillmark/editor_port.h"
#include "quillmark/engine.h"
#include "quillmark/settings.h"

namespace quillmark {

// 1-based; the column counts bytes of the line.
struct TextPosition {
  int line = 1;
  int column = 1;
  auto operator<=>(const TextPosition&) const = default;
};

// A text document with one selection, held in memory. Each line keeps the
// break it ended with ("\r\n", "\r" or "\n"; the last line has none), so an
// unchanged document gives back its bytes exactly. Breaks made by an edit take
// the document's style: its first line break, or "\n" when it has none.
class MemoryDocument final : public TextDocument, public TextSelection {
 public:
  explicit MemoryDocument(std::string text = {}, std::string name = {},
                          CodePage codePage = CodePage::kUtf8);

  const std::string& Text() const { return buffer_; }
  const std::string& Name() const { return name_; }
  CodePage GetCodePage() const { return codePage_; }
  std::string_view LineBreak() const { return lineBreak_; }
  int LineCount() const { return static_cast<int>(lines_.size()); }
  // The line's text without its break; empty for a line that does not exist.
  std::string_view LineText(int line) const;
  bool Modified() const { return modified_; }

  // Positions are clamped into the document.
  void Select(TextPosition anchor, TextPosition active);
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
  struct LineSpan {
    std::size_t start;
    std::uint32_t length;  // a line of 4 GiB or more is not a source line
    std::uint32_t breakLength;
  };
  void IndexLines();
  void IndexRange(std::size_t begin, std::size_t end, bool final, std::vector<LineSpan>& out) const;
  void ReindexAfterEdit(std::size_t from, std::size_t to, std::size_t inserted);
  TextPosition Clamp(TextPosition position) const;
  std::size_t Offset(TextPosition position) const;
  TextPosition PositionAt(std::size_t offset) const;
  void MoveCaretTo(TextPosition position);

  std::string buffer_;
  std::string name_;
  CodePage codePage_;
  std::string lineBreak_;
  std::vector<LineSpan> lines_;
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

// What the commands show the user besides the document.
class UserInterface : public MessageSink {
 public:
  virtual void RunSettingsDialog(TemplateTree& tree) = 0;
  virtual void RunAboutDialog() = 0;
};

inline constexpr std::string_view kDeleteMarker = "//DELETE!";

// The toggle on a selected text: lines split at LF (a CR stays with its line),
// marked or restored as the first line decides, joined without the LFs.
std::string ToggleDeletedText(std::string_view selected);

// The command object. Building it builds the template tree and loads the
// user's settings file, creating it from the defaults when it is missing;
// destroying it writes the settings back.
class Commands {
 public:
  explicit Commands(UserInterface& ui, std::optional<std::string> profilePath = std::nullopt);
  ~Commands();
  Commands(const Commands&) = delete;
  Commands& operator=(const Commands&) = delete;

  void SetApplicationObject(EditorHost* application);

  // The five commands. Each disables the host's modeless windows around its
  // work and lets no exception out.
  CommentOutcome QuillmarkClassOrFunction();
  void QuillmarkSetting();
  CommentOutcome CommentFileNote();
  void CommentDeleteText();
  void QuillmarkAbout();

  int ToggleDeletedLines(TextSelection& selection);

  TemplateTree& templateTree() { return templateTree_; }
  // Why the settings file could not be read at start; then it is not written back.
  const std::optional<SettingsError>& profileError() const { return profileError_; }

 private:
  using Driver = CommentOutcome (*)(TextSelection&, const TemplateTree&, MessageSink&);
  CommentOutcome RunCommentCommand(Driver driver, const char* noDocumentMessage);
  void SetModeless(bool enabled);

  EditorHost* application_ = nullptr;
  TemplateTree templateTree_;
  UserInterface& ui_;
  std::optional<SettingsError> profileError_;
};

// Linux pieces behind the engine's and the settings' sources: the logon name
// from the password database, the profile directory under $XDG_CONFIG_HOME
// (default ~/.config/quillmark/), and code page 936 through iconv.
const TextConverter& IconvTextConverter();
void InstallPosixPlatform();

}  // namespace quillmark
