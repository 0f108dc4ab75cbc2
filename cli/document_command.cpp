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

EngineCommand EngineCommandOf(DocumentCommand command) {
  switch (command) {
    case DocumentCommand::kComment:
      return EngineCommand::kComment;
    case DocumentCommand::kHeader:
      return EngineCommand::kHeader;
    case DocumentCommand::kDelete:
    case DocumentCommand::kRefresh:
      break;
  }
  return EngineCommand::kDelete;
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
                          const Platform& platform, bool* replacedInNames) {
  DocumentRun run;
  TextDocumentInput input{
      document.Text(), document.GetCodePage(), &document.Lines(), {}, {}, document.Name(),
      std::nullopt};
  if (request.command != DocumentCommand::kHeader) {
    const auto selection =
        ParseSelection(request.selection, document, request.documentWord, run.message);
    if (!selection) return run;
    document.Select(selection->first, selection->second);
    input.anchor = document.Anchor();
    input.caret = document.Caret();
  }
  if (!request.projectPath.empty()) {
    if (std::optional<std::string> project = FindProjectName(request.projectPath))
      input.projectName =
          EncodeLossy(*project, document.GetCodePage(), platform.Converter(), replacedInNames);
  }

  Commands commands(platform, request.settingsPath);
  if (!commands.SettingsLoaded()) {
    run.message = "cannot read settings file " + commands.settingsError();
    return run;
  }
  std::unique_ptr<DeclarationFieldsSource> syntax;
  // Refresh reads the declaration as check does, with the syntax parser where
  // this build has it, unless --parser keywords says otherwise; a block the
  // keyword mode wrote still reads as current.
  const std::string parser = request.command == DocumentCommand::kRefresh &&
                                     request.parser.empty() && SyntaxParserBuiltIn()
                                 ? std::string("syntax")
                                 : request.parser;
  if ((request.command == DocumentCommand::kComment ||
       request.command == DocumentCommand::kRefresh) &&
      !ChooseParser(parser, commands, &syntax, &run.message))
    return run;
  commands.SetDeclarationSource(syntax.get());

  run.ran = true;
  RefreshResult refreshed;
  TextRun text = request.command == DocumentCommand::kRefresh
                     ? commands.Refresh(input, &refreshed)
                     : commands.Run(EngineCommandOf(request.command), input);
  run.changes = std::move(refreshed.changes);
  const CommandPlan& plan = text.result.plan;
  run.result = {plan.outcome, plan.kind, plan.replacedCharacters, plan.syntaxFellBack,
                plan.syntaxFailure};
  run.status = static_cast<int>(text.status);
  run.message = std::move(text.message);
  if (text.status == RunStatus::kDone) document.ApplyEdits(text.result.edits, text.result.caret);
  run.settingsSaved = commands.SaveSettings(&run.settingsError);
  return run;
}

}  // namespace quillmark::cli
