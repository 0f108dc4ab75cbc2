// The module's one contact with the core: the command object of the core
// built on the Windows platform seam. Written against the core's planned
// shape (Commands(ui, platform)); core_session.cpp adapts to today's.
#pragma once

#include <memory>

#include "quillmark/host.h"
#include "quillmark/platform.h"

namespace quillmark::addin {

// What the commands show: message boxes now; the settings and about dialogs
// come with the Windows dialogs and are empty here until then.
class IdeUserInterface final : public UserInterface {
 public:
  void ShowMessage(std::string_view text) override;
  void RunSettingsDialog(TemplateTree& tree) override;
  void RunAboutDialog() override;
};

class CoreSession {
 public:
  // Builds the template tree and loads the user's settings file next to the
  // module, creating it from the defaults when it is missing.
  CoreSession(UserInterface& ui, const Platform& platform);
  // Writes the settings back.
  ~CoreSession();
  CoreSession(const CoreSession&) = delete;
  CoreSession& operator=(const CoreSession&) = delete;

  void SetApplicationObject(EditorHost* application);
  void QuillmarkClassOrFunction();
  void QuillmarkSetting();
  void CommentFileNote();
  void CommentDeleteText();
  void QuillmarkAbout();

 private:
  std::unique_ptr<Commands> commands_;
};

}  // namespace quillmark::addin
