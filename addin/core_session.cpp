#include "core_session.h"

#include "module.h"
#include "quillmark/wide.h"
#include "win32_views.h"

namespace quillmark::addin {

void IdeUserInterface::ShowMessage(std::string_view text) {
  const std::wstring caption = ModuleBaseName();
  // Shown only: a message holding something not UTF-8 (a name from a file,
  // say) shows it as U+FFFD rather than an empty box.
  const std::wstring wide = *win32::Widen(text, win32::InvalidText::kReplace);
  MessageBoxW(GetActiveWindow(), wide.c_str(), caption.c_str(), MB_OK | MB_ICONEXCLAMATION);
}

void IdeUserInterface::ReportError(std::string_view text) {
  ShowMessage(text);
}

namespace {

// The dialogs' tree and list controls are common controls.
void InitDialogControls() {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TREEVIEW_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
}

constexpr int kSettingsDialog = 130;
constexpr int kAboutDialog = 129;

}  // namespace

void IdeUserInterface::RunSettingsDialog(TemplateTree& tree) {
  InitDialogControls();
  const std::unique_ptr<ui::SettingsModel> model = ui::MakeTreeSettingsModel(tree, converter_);
  ui::win32::Win32FileChooser files;
  files.SetOwner(GetActiveWindow());
  ui::win32::SettingsDialog dialog(*model, files, *this);
  dialog.RunModal(ModuleInstance(), kSettingsDialog, GetActiveWindow());
}

void IdeUserInterface::RunAboutDialog() {
  InitDialogControls();
  ui::win32::Win32LinkShell shell;
  ui::win32::AboutDialog dialog(shell, *this);
  dialog.RunModal(ModuleInstance(), kAboutDialog, GetActiveWindow());
}

CoreSession::CoreSession(UserInterface& ui, const Platform& platform)
    : ui_(ui), commands_(std::make_unique<Commands>(ui, platform)) {}

CoreSession::~CoreSession() = default;

void CoreSession::SaveSettings() {
  RaiseTestFault("save");
  std::string error;
  if (commands_->SaveSettings(&error)) return;
  const std::string_view prefix = "settings not saved";
  ui_.ReportError(error.starts_with(prefix) ? error : std::string(prefix) + ": " + error);
}

void CoreSession::SetApplicationObject(EditorHost* application) {
  commands_->SetApplicationObject(application);
}

void CoreSession::QuillmarkClassOrFunction() {
  commands_->QuillmarkClassOrFunction();
}

void CoreSession::QuillmarkSetting() {
  commands_->QuillmarkSetting();
}

void CoreSession::CommentFileNote() {
  commands_->CommentFileNote();
}

void CoreSession::CommentDeleteText() {
  commands_->CommentDeleteText();
}

void CoreSession::QuillmarkAbout() {
  commands_->QuillmarkAbout();
}

}  // namespace quillmark::addin
