#include "document_command.h"

#include <iostream>
#include <memory>

#include "messages.h"
#include "parser_choice.h"
#include "quillmark/project_name.h"

namespace quillmark::cli {
namespace {

void Append(std::string& to, std::string_view text) {
  if (!to.empty()) to += '\n';
  to += text;
}

CommandResult Run(DocumentCommand command, Commands& commands) {
  switch (command) {
    case DocumentCommand::kComment:
      return commands.QuillmarkClassOrFunction();
    case DocumentCommand::kHeader:
      return commands.CommentFileNote();
    case DocumentCommand::kDelete:
      return commands.CommentDeleteText();
  }
  return {};
}

}  // namespace

void RecordingUserInterface::ShowMessage(std::string_view text) {
  Append(shown_, text);
  if (!echo_) return;
  // The system's own text first, unchanged; then what it means, in English.
  std::cerr << text << '\n';
  if (const std::string_view english = EnglishFor(text); !english.empty())
    std::cerr << "quillmark: " << english << '\n';
}

void RecordingUserInterface::ReportError(std::string_view text) {
  Append(errors_, text);
  if (echo_) std::cerr << "quillmark: " << text << '\n';
}

DocumentRun RunOnDocument(const DocumentRequest& request, MemoryDocument& document,
                          RecordingUserInterface& ui, const Platform& platform,
                          bool* replacedInNames) {
  DocumentRun run;
  if (request.command != DocumentCommand::kHeader) {
    const auto selection =
        ParseSelection(request.selection, document, request.documentWord, run.message);
    if (!selection) return run;
    document.Select(selection->first, selection->second);
  }
  MemoryEditor editor;
  editor.Open(&document);
  if (!request.projectPath.empty()) {
    if (std::optional<std::string> project = FindProjectName(request.projectPath))
      editor.SetProjectName(
          EncodeLossy(*project, document.GetCodePage(), platform.Converter(), replacedInNames));
  }

  Commands commands(ui, platform, request.settingsPath);
  if (!commands.SettingsLoaded()) {
    run.message = "cannot read settings file " + commands.settingsError();
    return run;
  }
  commands.SetApplicationObject(&editor);
  std::unique_ptr<DeclarationFieldsSource> syntax;
  if (request.command == DocumentCommand::kComment &&
      !ChooseParser(request.parser, commands, &syntax, &run.message))
    return run;
  commands.SetDeclarationSource(syntax.get());

  run.ran = true;
  run.result = Run(request.command, commands);
  run.settingsSaved = commands.SaveSettings(&run.settingsError);
  if (!ui.errors().empty()) {
    run.message = ui.errors();
  } else if (!ui.shown().empty()) {
    run.status = kExitMessage;
    run.message = ui.shown();
  } else if (!document.Modified()) {
    run.status = kExitNothing;
    run.message =
        run.result.outcome == CommentOutcome::kEmptyTemplate
            ? "the selection is a " + std::string(KindName(run.result.kind)) +
                  ", but its template in " + commands.templateTree().profilePath +
                  " is empty; nothing inserted"
            : "the selection holds no declaration quillmark recognises (class, struct, union, "
              "enum, function, macro or interface); nothing done";
  } else {
    run.status = kExitOk;
    run.message.clear();
  }
  return run;
}

}  // namespace quillmark::cli
