// The command object with the five commands, and the delete/undelete toggle.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "quillmark/editor_port.h"
#include "quillmark/engine.h"
#include "quillmark/platform.h"

namespace quillmark {

// What the commands show the user besides the document. Texts are UTF-8.
class UserInterface : public MessageSink {
 public:
  // Runs modally on the live tree, whose profilePath names the settings file.
  virtual void RunSettingsDialog(TemplateTree& tree) = 0;
  virtual void RunAboutDialog() = 0;
  // A failure inside a command that the system has no message of its own for
  // (an internal error, memory exhausted); in English.
  virtual void ReportError(std::string_view text) = 0;
};

// A document a host holds whole (a file, an editor's buffer, a language
// server's copy), with its selection. Names are in the document's code page.
struct TextDocumentInput {
  std::string_view text;
  CodePage page = CodePage::kUtf8;
  const LineTable* lines = nullptr;  // the text's table; built when not given
  TextPosition anchor;
  TextPosition caret;
  std::string name;                        // %CurrentFileName%
  std::optional<std::string> projectName;  // %ProjectName%
};

// How a command on a document ended, as the command line's exit statuses say it.
enum class RunStatus {
  kDone = 0,     // edits made
  kShown = 1,    // the command showed its message; nothing changed
  kFailed = 2,   // something failed inside; `message` says what
  kNothing = 3,  // nothing recognised, or an empty template; `message` says which
};

struct TextRun {
  RunStatus status = RunStatus::kFailed;
  // kShown: the texts shown, one a line (the system's text); kFailed and
  // kNothing: why, in English.
  std::string message;
  CommandResultOnText result;
};

// What a command did, for hosts that report more than the system's messages.
struct CommandResult {
  CommentOutcome outcome = CommentOutcome::kNoKind;
  DeclKind kind = DeclKind::None;
  // A template character the document's code page cannot hold was written as "?".
  bool replacedCharacters = false;
  // The syntax mode was on but could not parse the selection, so the keyword
  // mode did the work; `syntaxFailure` says why (English).
  bool syntaxFellBack = false;
  std::string syntaxFailure;
};

// The command object. Building it builds the template tree and loads the
// user's settings file, creating it from the defaults when it is missing.
// Settings go back to the file only through SaveSettings, and only when they
// changed, so a command never rewrites a file it had no reason to touch.
class Commands {
 public:
  // Without `profilePath`, the platform's "Comment_<logon>.ini".
  Commands(UserInterface& ui, const Platform& platform,
           std::optional<std::string> profilePath = std::nullopt);
  // For hosts that only Run commands on whole documents: nothing to show, so
  // no user interface; the editor commands then show and report nothing.
  explicit Commands(const Platform& platform,
                    std::optional<std::string> profilePath = std::nullopt);
  ~Commands();
  Commands(const Commands&) = delete;
  Commands& operator=(const Commands&) = delete;

  // False when the settings file could not be found, read or created; then
  // `settingsError` says why and SaveSettings refuses to write.
  bool SettingsLoaded() const { return settingsLoaded_; }
  const std::string& settingsError() const { return settingsError_; }
  // Whether the settings file's "[Quillmark]" section chooses the syntax mode
  // (Parser=syntax), and why a value there was not used (empty when it was).
  bool SettingsChooseSyntax() const { return settingsChooseSyntax_; }
  const std::string& settingsOptionProblem() const { return settingsOptionProblem_; }
  bool SettingsChanged() const;
  // Writes the settings back when they changed since they were loaded or last
  // saved; true when there was nothing to write.
  [[nodiscard]] bool SaveSettings(std::string* error);

  void SetApplicationObject(EditorHost* application);
  // The syntax mode: the comment command asks `source` (not owned; null for the
  // keyword mode) for the declaration's fields first.
  void SetDeclarationSource(DeclarationFieldsSource* source) { declarations_ = source; }

  // The five commands. Each disables the host's modeless windows around its
  // work and lets no exception out: one becomes a reported internal error.
  CommandResult QuillmarkClassOrFunction();
  void QuillmarkSetting();
  CommandResult CommentFileNote();
  CommandResult CommentDeleteText();
  void QuillmarkAbout();

  void ToggleDeletedLines(TextSelection& selection);

  // The runner every host that holds the whole document uses: the command on
  // `document`, with these settings and this parser, as edits and a caret.
  // Nothing here touches an editor, a file or the settings file.
  TextRun Run(EngineCommand command, const TextDocumentInput& document);
  // The refresh command the same way: kDone with the edits when the block
  // above the declaration was stale, kNothing (and why) otherwise. `details`
  // (if given) receives what the engine found.
  TextRun Refresh(const TextDocumentInput& document, RefreshResult* details = nullptr);

  TemplateTree& templateTree() { return templateTree_; }
  const Platform& platform() const { return platform_; }

 private:
  CommentContext ContextFor(const TextDocumentInput& document) const;
  CommandResult RunCommentCommand(EngineCommand command, const char* noDocumentMessage);
  template <typename Work>
  bool Guarded(Work&& work);
  void SetModeless(bool enabled);
  void ShowMessage(std::string_view text);
  void ReportError(std::string_view text);

  EditorHost* application_ = nullptr;
  DeclarationFieldsSource* declarations_ = nullptr;
  const Platform& platform_;
  TemplateTree templateTree_;
  UserInterface* ui_;
  bool settingsLoaded_ = false;
  std::string settingsError_;
  bool settingsChooseSyntax_ = false;
  std::string settingsOptionProblem_;
  std::string savedSnapshot_;
};

}  // namespace quillmark
