// The command object and the delete/undelete toggle.
#include "quillmark/commands.h"

#include <exception>
#include <new>

#include "quillmark/settings.h"

namespace quillmark {

Commands::Commands(UserInterface& ui, const Platform& platform,
                   std::optional<std::string> profilePath)
    : Commands(platform, std::move(profilePath)) {
  ui_ = &ui;
}

Commands::Commands(const Platform& platform, std::optional<std::string> profilePath)
    : platform_(platform), templateTree_(platform.LogonName()), ui_(nullptr) {
  if (profilePath) {
    templateTree_.profilePath = std::move(*profilePath);
  } else if (!GetProfilePath(platform_, "Comment.ini", templateTree_.profilePath,
                             &settingsError_)) {
    return;
  }
  QuillmarkOptions options;
  settingsLoaded_ = LoadSettings(templateTree_, templateTree_.profilePath, platform_.Converter(),
                                 true, &settingsError_, &options);
  settingsChooseSyntax_ = options.parser == ParserMode::kSyntax;
  settingsOptionProblem_ = std::move(options.problem);
  // Taken whether or not the file could be read: unchanged settings are never
  // a reason to write, or to complain that they cannot be written.
  savedSnapshot_ = SettingsSnapshot(templateTree_);
}

Commands::~Commands() = default;

bool Commands::SettingsChanged() const {
  return settingsLoaded_ && SettingsSnapshot(templateTree_) != savedSnapshot_;
}

bool Commands::SaveSettings(std::string* error) {
  std::string snapshot = SettingsSnapshot(templateTree_);
  if (snapshot == savedSnapshot_) return true;
  if (!settingsLoaded_) {
    if (error != nullptr)
      *error = "settings not saved: they could not be loaded (" + settingsError_ + ")";
    return false;
  }
  if (!quillmark::SaveSettings(templateTree_, templateTree_.profilePath, platform_.Converter(),
                               error))
    return false;
  savedSnapshot_ = std::move(snapshot);
  return true;
}

void Commands::ShowMessage(std::string_view text) {
  if (ui_ != nullptr) ui_->ShowMessage(text);
}

void Commands::ReportError(std::string_view text) {
  if (ui_ != nullptr) ui_->ReportError(text);
}

void Commands::SetApplicationObject(EditorHost* application) {
  application_ = application;
}

void Commands::SetModeless(bool enabled) {
  if (application_ != nullptr) application_->SetModelessEnabled(enabled);
}

// Runs `work` with the host's modeless windows off; whatever it raises is
// reported, never swallowed. False when something was raised.
template <typename Work>
bool Commands::Guarded(Work&& work) {
  SetModeless(false);
  bool ok = false;
  try {
    work();
    ok = true;
  } catch (const std::bad_alloc&) {
    ReportError("internal error: out of memory");
  } catch (const std::exception& e) {
    ReportError(std::string("internal error: ") + e.what());
  } catch (...) {
    ReportError("internal error: unknown exception");
  }
  SetModeless(true);
  return ok;
}

CommandResult Commands::RunCommentCommand(EngineCommand command, const char* noDocumentMessage) {
  CommandResult result;
  result.outcome = CommentOutcome::kNoDocument;
  const bool ok = Guarded([&] {
    TextDocument* document =
        application_ != nullptr ? application_->GetActiveTextDocument() : nullptr;
    if (document == nullptr) {
      ShowMessage(noDocumentMessage);
      return;
    }
    TextSelection* selection = application_->GetSelection(*document);
    if (selection == nullptr) {
      result.outcome = CommentOutcome::kNoSelection;
      return;
    }
    CommentContext context;
    context.page = application_->GetDocumentCodePage(*document);
    context.converter = &platform_.Converter();
    context.today = platform_.Today();
    context.user = &templateTree_.userInfo;
    context.projectName = [this] {
      return application_->GetActiveProjectName().value_or(std::string());
    };
    context.documentName = [this] {
      TextDocument* active = application_->GetActiveTextDocument();
      return active == nullptr ? std::string() : application_->GetDocumentName(*active);
    };
    context.declarations = declarations_;
    // The header never reads the selection: it goes to the top wherever the caret is.
    const std::string text =
        command == EngineCommand::kHeader ? std::string() : selection->GetSelectedText();
    const CommandPlan plan = PlanCommand(command, text, templateTree_, context);
    ReplaySteps(plan.steps, *selection, ui_);
    result.outcome = plan.outcome;
    result.kind = plan.kind;
    result.replacedCharacters = plan.replacedCharacters;
    result.syntaxFellBack = plan.syntaxFellBack;
    result.syntaxFailure = plan.syntaxFailure;
  });
  if (!ok) result.outcome = CommentOutcome::kInternalError;
  return result;
}

CommandResult Commands::QuillmarkClassOrFunction() {
  return RunCommentCommand(EngineCommand::kComment, messages::kSelectDeclaration);
}

CommandResult Commands::CommentFileNote() {
  return RunCommentCommand(EngineCommand::kHeader, messages::kOpenFile);
}

CommandResult Commands::CommentDeleteText() {
  CommandResult result;
  result.outcome = CommentOutcome::kNoDocument;
  const bool ok = Guarded([&] {
    TextDocument* document =
        application_ != nullptr ? application_->GetActiveTextDocument() : nullptr;
    if (document == nullptr) {
      ShowMessage(messages::kSelectDeleteText);
    } else if (TextSelection* selection = application_->GetSelection(*document)) {
      ToggleDeletedLines(*selection);
      result.outcome = CommentOutcome::kInserted;
    } else {
      result.outcome = CommentOutcome::kNoSelection;
    }
  });
  if (!ok) result.outcome = CommentOutcome::kInternalError;
  return result;
}

void Commands::ToggleDeletedLines(TextSelection& selection) {
  const std::string text = selection.GetSelectedText();
  CommentContext context;
  ReplaySteps(PlanCommand(EngineCommand::kDelete, text, templateTree_, context).steps, selection,
              ui_);
}

CommentContext Commands::ContextFor(const TextDocumentInput& document) const {
  CommentContext context;
  context.page = document.page;
  context.converter = &platform_.Converter();
  context.today = platform_.Today();
  context.user = &templateTree_.userInfo;
  context.projectName = [&document] { return document.projectName.value_or(std::string()); };
  context.documentName = [&document] { return document.name; };
  context.declarations = declarations_;
  return context;
}

TextRun Commands::Refresh(const TextDocumentInput& document, RefreshResult* details) {
  TextRun run;
  RefreshResult refreshed;
  try {
    std::optional<LineTable> ownLines;
    if (document.lines == nullptr) ownLines.emplace(document.text);
    const LineTable& lines = document.lines != nullptr ? *document.lines : *ownLines;
    const std::string lineBreak = FirstLineBreak(document.text);
    refreshed = RefreshCommand({document.text, &lines, lineBreak, document.anchor, document.caret},
                               templateTree_, ContextFor(document));
  } catch (const std::bad_alloc&) {
    run.message = "internal error: out of memory";
    return run;
  } catch (const std::exception& e) {
    run.message = std::string("internal error: ") + e.what();
    return run;
  }
  run.result.plan.kind = refreshed.kind;
  if (refreshed.outcome == RefreshOutcome::kRefreshed) {
    run.status = RunStatus::kDone;
    run.result.plan.outcome = CommentOutcome::kInserted;
    run.result.edits = refreshed.edits;
    run.result.caret = refreshed.caret;
  } else {
    run.status = RunStatus::kNothing;
    run.message = std::string(RefreshOutcomeText(refreshed.outcome)) + "; nothing changed";
  }
  if (details != nullptr) *details = std::move(refreshed);
  return run;
}

TextRun Commands::Run(EngineCommand command, const TextDocumentInput& document) {
  TextRun run;
  try {
    std::optional<LineTable> ownLines;
    if (document.lines == nullptr) ownLines.emplace(document.text);
    const LineTable& lines = document.lines != nullptr ? *document.lines : *ownLines;
    const std::string lineBreak = FirstLineBreak(document.text);
    run.result =
        RunCommand(command, {document.text, &lines, lineBreak, document.anchor, document.caret},
                   templateTree_, ContextFor(document));
  } catch (const std::bad_alloc&) {
    run.message = "internal error: out of memory";
    return run;
  } catch (const std::exception& e) {
    run.message = std::string("internal error: ") + e.what();
    return run;
  }
  const CommandPlan& plan = run.result.plan;
  if (!plan.shown.empty()) {
    run.status = RunStatus::kShown;
    run.message = plan.shown;
  } else if (run.result.edits.empty()) {
    run.status = RunStatus::kNothing;
    run.message =
        plan.outcome == CommentOutcome::kEmptyTemplate
            ? "the selection is a " + std::string(KindName(plan.kind)) + ", but its template in " +
                  templateTree_.profilePath + " is empty; nothing inserted"
            : "the selection holds no declaration quillmark recognises (class, struct, union, "
              "enum, function, macro or interface); nothing done";
  } else {
    run.status = RunStatus::kDone;
  }
  return run;
}

void Commands::QuillmarkSetting() {
  Guarded([&] {
    if (ui_ != nullptr) ui_->RunSettingsDialog(templateTree_);
  });
}

void Commands::QuillmarkAbout() {
  Guarded([&] {
    if (ui_ != nullptr) ui_->RunAboutDialog();
  });
}

}  // namespace quillmark
