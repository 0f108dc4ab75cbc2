// The command object and the delete/undelete toggle.
#include "quillmark/host.h"

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

Commands::Commands(UserInterface& ui, std::optional<std::string> profilePath) : ui_(ui) {
  templateTree_.profilePath = profilePath ? *profilePath : GetProfilePath("Comment.ini");
  SettingsError error;
  if (!LoadSettings(templateTree_, templateTree_.profilePath, true, &error))
    profileError_ = std::move(error);
}

Commands::~Commands() {
  SetHostApplication(nullptr);
  application_ = nullptr;
  // Settings that could not be read are not replaced by the defaults.
  if (!profileError_ || !profileError_->unreadable)
    SaveSettings(templateTree_, templateTree_.profilePath);
}

void Commands::SetApplicationObject(EditorHost* application) {
  application_ = application;
  SetHostApplication(application);
}

void Commands::SetModeless(bool enabled) {
  if (application_ != nullptr) application_->SetModelessEnabled(enabled);
}

CommentOutcome Commands::RunCommentCommand(Driver driver, const char* noDocumentMessage) {
  SetModeless(false);
  CommentOutcome outcome = CommentOutcome::kNoDocument;
  try {
    TextDocument* document =
        application_ != nullptr ? application_->GetActiveTextDocument() : nullptr;
    if (document == nullptr) {
      ui_.ShowMessage(noDocumentMessage);
    } else if (TextSelection* selection = application_->GetSelection(*document)) {
      outcome = driver(*selection, templateTree_, ui_);
    } else {
      outcome = CommentOutcome::kNoSelection;
    }
  } catch (...) {
  }
  SetModeless(true);
  return outcome;
}

CommentOutcome Commands::QuillmarkClassOrFunction() {
  return RunCommentCommand(&RequestComment, messages::kSelectDeclaration);
}

CommentOutcome Commands::CommentFileNote() {
  return RunCommentCommand(&RequestFileHeader, messages::kOpenFile);
}

void Commands::CommentDeleteText() {
  SetModeless(false);
  try {
    TextDocument* document =
        application_ != nullptr ? application_->GetActiveTextDocument() : nullptr;
    if (document == nullptr) {
      ui_.ShowMessage(messages::kSelectDeleteText);
    } else if (TextSelection* selection = application_->GetSelection(*document)) {
      ToggleDeletedLines(*selection);
    }
  } catch (...) {
  }
  SetModeless(true);
}

int Commands::ToggleDeletedLines(TextSelection& selection) {
  const std::string text = selection.GetSelectedText();
  // The run goes on after the message: an empty text replaces an empty selection.
  if (text.empty()) ui_.ShowMessage(messages::kSelectDeleteText);
  selection.ReplaceSelection(ToggleDeletedText(text));
  selection.MoveUpLines(1);
  selection.MoveDownLines(1);
  selection.MoveToLineEnd();
  return 1;
}

void Commands::QuillmarkSetting() {
  SetModeless(false);
  try {
    ui_.RunSettingsDialog(templateTree_);
  } catch (...) {
  }
  SetModeless(true);
}

void Commands::QuillmarkAbout() {
  SetModeless(false);
  try {
    ui_.RunAboutDialog();
  } catch (...) {
  }
  SetModeless(true);
}

}  // namespace quillmark
