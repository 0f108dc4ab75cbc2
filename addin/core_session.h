// The module's one contact with the core: the command object of the core
// built on the Windows platform seam, with message boxes and the Win32
// settings and about dialogs as its user interface.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "quillmark/commands.h"
#include "quillmark/platform.h"

namespace quillmark::addin {

class IdeUserInterface final : public UserInterface {
 public:
  explicit IdeUserInterface(const TextConverter& converter) : converter_(converter) {}
  // Message boxes with the exclamation icon, captioned with the module's name.
  void ShowMessage(std::string_view text) override;
  void ReportError(std::string_view text) override;
  // Dialog templates 130 and 129 from the module's own resources.
  void RunSettingsDialog(TemplateTree& tree) override;
  void RunAboutDialog() override;

 private:
  const TextConverter& converter_;
};

class CoreSession {
 public:
  // Builds the template tree and loads the user's settings file next to the
  // module, creating it from the defaults when it is missing.
  CoreSession(UserInterface& ui, const Platform& platform);
  ~CoreSession();
  CoreSession(const CoreSession&) = delete;
  CoreSession& operator=(const CoreSession&) = delete;

  // Writes the settings back when they changed; a failure goes to a message
  // box, since the IDE has nowhere else to show it.
  void SaveSettings();

  void SetApplicationObject(EditorHost* application);
  void QuillmarkClassOrFunction();
  void QuillmarkSetting();
  void CommentFileNote();
  void CommentDeleteText();
  void QuillmarkAbout();

 private:
  UserInterface& ui_;
  std::unique_ptr<Commands> commands_;
};

}  // namespace quillmark::addin
