#include "qt_user_interface.h"

namespace quillmark::ui::qt {

void QtUserInterface::RunSettingsDialog(TemplateTree& tree) {
  const std::unique_ptr<SettingsModel> model = MakeTreeSettingsModel(tree, converter_);
  SettingsDialog dialog(*model, files_, messages_);
  dialog.exec();
}

void QtUserInterface::RunAboutDialog() {
  AboutDialog dialog(shell_, messages_);
  dialog.exec();
}

}  // namespace quillmark::ui::qt
