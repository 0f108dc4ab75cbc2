// The command object and the delete/undelete toggle.
#include "quillmark/commands.h"

#include <exception>
#include <new>

#include "quillmark/settings.h"

namespace quillmark {

std::string ToggleDeletedText(std::string_view selected) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < selected.size(); ++i) {
    if (selected[i] != '\n') continue;
    lines.push_back(selected.substr(start, i - start));
    start = i + 1;
  }
  if (start < selected.size()) lines.push_back(selected.substr(start));

  // The first line alone decides: a marker anywhere in it means restore.
  const bool restore =
      !lines.empty() && lines.front().find(kDeleteMarker) != std::string_view::npos;
  std::string out;
  out.reserve(selected.size() + lines.size() * kDeleteMarker.size());
  for (std::string_view line : lines) {
    if (!restore) {
      out += kDeleteMarker;
    } else if (line.starts_with(kDeleteMarker)) {
      line.remove_prefix(kDeleteMarker.size());
    }
    out += line;  // keeps its CR, which the editor takes as the line end
  }
  return out;
}

Commands::Commands(UserInterface& ui, const Platform& platform,
                   std::optional<std::string> profilePath)
    : platform_(platform), templateTree_(platform.LogonName()), ui_(ui) {
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
    ui_.ReportError("internal error: out of memory");
  } catch (const std::exception& e) {
    ui_.ReportError(std::string("internal error: ") + e.what());
  } catch (...) {
    ui_.ReportError("internal error: unknown exception");
  }
  SetModeless(true);
  return ok;
}

CommandResult Commands::RunCommentCommand(Driver driver, const char* noDocumentMessage) {
  CommandResult result;
  result.outcome = CommentOutcome::kNoDocument;
  const bool ok = Guarded([&] {
    TextDocument* document =
        application_ != nullptr ? application_->GetActiveTextDocument() : nullptr;
    if (document == nullptr) {
      ui_.ShowMessage(noDocumentMessage);
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
    context.host = application_;
    context.replacedCharacters = &result.replacedCharacters;
    context.declarations = declarations_;
    context.syntaxFellBack = &result.syntaxFellBack;
    context.syntaxFailure = &result.syntaxFailure;
    const CommentResult comment = driver(*selection, templateTree_, ui_, context);
    result.outcome = comment.outcome;
    result.kind = comment.kind;
  });
  if (!ok) result.outcome = CommentOutcome::kInternalError;
  return result;
}

CommandResult Commands::QuillmarkClassOrFunction() {
  return RunCommentCommand(&RequestComment, messages::kSelectDeclaration);
}

CommandResult Commands::CommentFileNote() {
  return RunCommentCommand(&RequestFileHeader, messages::kOpenFile);
}

CommandResult Commands::CommentDeleteText() {
  CommandResult result;
  result.outcome = CommentOutcome::kNoDocument;
  const bool ok = Guarded([&] {
    TextDocument* document =
        application_ != nullptr ? application_->GetActiveTextDocument() : nullptr;
    if (document == nullptr) {
      ui_.ShowMessage(messages::kSelectDeleteText);
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
  // The run goes on after the message: an empty text replaces an empty selection.
  if (text.empty()) ui_.ShowMessage(messages::kSelectDeleteText);
  selection.ReplaceSelection(ToggleDeletedText(text));
  selection.MoveUpLines(1);
  selection.MoveDownLines(1);
  selection.MoveToLineEnd();
}

void Commands::QuillmarkSetting() {
  Guarded([&] { ui_.RunSettingsDialog(templateTree_); });
}

void Commands::QuillmarkAbout() {
  Guarded([&] { ui_.RunAboutDialog(); });
}

}  // namespace quillmark
