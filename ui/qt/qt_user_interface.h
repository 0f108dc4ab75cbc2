// The commands' user interface with the Qt dialogs: what quillmark-dialogs
// hands to the command object. The one place the Qt views meet the host.
#pragma once

#include "qt_views.h"
#include "quillmark/host.h"

namespace quillmark::ui::qt {

class QtUserInterface final : public UserInterface {
 public:
  QtUserInterface(FileChooser& files, MessageSink& messages, LinkShell& shell)
      : files_(files), messages_(messages), shell_(shell) {}

  void ShowMessage(std::string_view text) override { messages_.ShowMessage(text); }
  // Runs on the live tree; the edits reach the settings file when the
  // command object writes it back.
  void RunSettingsDialog(TemplateTree& tree) override;
  void RunAboutDialog() override;

 private:
  FileChooser& files_;
  MessageSink& messages_;
  LinkShell& shell_;
};

}  // namespace quillmark::ui::qt
