// The commands' user interface with the Qt dialogs: what quillmark-dialogs
// hands to the command object. The one place the Qt views meet the host.
#pragma once

#include "qt_views.h"
#include "quillmark/commands.h"

namespace quillmark::ui::qt {

class QtUserInterface final : public UserInterface {
 public:
  QtUserInterface(const TextConverter& converter, FileChooser& files, MessageSink& messages,
                  LinkShell& shell)
      : converter_(converter), files_(files), messages_(messages), shell_(shell) {}

  void ShowMessage(std::string_view text) override { messages_.ShowMessage(text); }
  void ReportError(std::string_view text) override { messages_.ShowMessage(text); }
  // Runs on the live tree; the edits reach the settings file when the
  // command object saves it.
  void RunSettingsDialog(TemplateTree& tree) override;
  void RunAboutDialog() override;

 private:
  const TextConverter& converter_;
  FileChooser& files_;
  MessageSink& messages_;
  LinkShell& shell_;
};

}  // namespace quillmark::ui::qt
