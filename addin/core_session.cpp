// Today's core still reads its platform through process-wide setters; this
// file installs the Windows platform into them for the command object's life.
// With the core's planned constructor, Commands(ui, platform), the setters
// below go and the constructor takes `platform` directly.
#include "core_session.h"

#include "module.h"
#include "platform/win32/wide.h"

namespace quillmark::addin {

void IdeUserInterface::ShowMessage(std::string_view text) {
  const std::wstring caption = ModuleBaseName();
  MessageBoxW(GetActiveWindow(), win32::WidenOrEmpty(text).c_str(), caption.c_str(),
              MB_OK | MB_ICONEXCLAMATION);
}

// The settings dialog is built by the Windows dialogs; until then the command
// only switches the IDE's modeless windows off and on.
void IdeUserInterface::RunSettingsDialog(TemplateTree&) {}
void IdeUserInterface::RunAboutDialog() {}

CoreSession::CoreSession(UserInterface& ui, const Platform& platform) {
  // Engine texts are UTF-8; the settings file stays in code page 936 on disk.
  SetCodePage(CodePage::kUtf8);
  SetTextConverter(&platform.Converter());
  SetDateSource([&platform] { return platform.Today(); });
  SetLogonNameSource([&platform] { return platform.LogonName(); });
  SetProfileDirectorySource([&platform] { return platform.ProfileDirectory(); });
  commands_ = std::make_unique<Commands>(ui);
}

CoreSession::~CoreSession() {
  commands_.reset();
  SetProfileDirectorySource(nullptr);
  SetLogonNameSource(nullptr);
  SetDateSource(nullptr);
  SetTextConverter(nullptr);
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
