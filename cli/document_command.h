// One command run on a document in memory, the way the IDE runs it on an open
// file: the selection, the project, the settings, the parser, the command and
// its outcome as an exit status. Files and the buffer protocol both use it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "exit_status.h"
#include "quillmark/commands.h"
#include "quillmark/memory_editor.h"
#include "quillmark/platform.h"
#include "selection.h"

namespace quillmark::cli {

enum class DocumentCommand { kComment, kHeader, kDelete, kRefresh };

// Keeps what the commands show and report; with `echo`, also writes each to
// standard error as it comes, the way a console shows it.
class RecordingUserInterface final : public UserInterface {
 public:
  explicit RecordingUserInterface(bool echo) : echo_(echo) {}
  void ShowMessage(std::string_view text) override;
  void RunSettingsDialog(TemplateTree&) override {}
  void RunAboutDialog() override {}
  void ReportError(std::string_view text) override;
  // Each in the order it came, one text a line.
  const std::string& shown() const { return shown_; }
  const std::string& errors() const { return errors_; }

 private:
  bool echo_;
  std::string shown_;
  std::string errors_;
};

struct DocumentRequest {
  DocumentCommand command = DocumentCommand::kComment;
  SelectionRequest selection;     // for comment and delete
  std::string_view documentWord;  // names the document in selection errors
  std::string projectPath;        // where the project is looked for; empty: nowhere
  std::optional<std::string> settingsPath;
  std::string parser;  // --parser: "syntax", "keywords", or "" for the settings file's choice
};

struct DocumentRun {
  // False when the command could not be set up (the selection, the settings or
  // the parser); `message` then says why and the document is untouched.
  bool ran = false;
  int status = kExitError;
  // Status 1: the texts shown, one a line; 2: why (English), to be printed
  // after "quillmark: "; 3: why nothing was done (English).
  std::string message;
  CommandResult result;
  // Refresh: what differed in the block (empty otherwise).
  std::vector<FieldChange> changes;
  // False when the settings changed but could not be written; `settingsError` says why.
  bool settingsSaved = true;
  std::string settingsError;
};

// Runs the command on `document`, whose name and code page are set. A project
// name that cannot be written in the document's code page sets `replacedInNames`
// (may be null).
DocumentRun RunOnDocument(const DocumentRequest& request, MemoryDocument& document,
                          const Platform& platform, bool* replacedInNames);

}  // namespace quillmark::cli
