// The settings dialog's model over a TemplateTree and the settings store: the
// one place that knows how the store is called.
#include "quillmark/settings.h"
#include "quillmark/ui.h"

namespace quillmark::ui {
namespace {

class TreeSettingsModel final : public SettingsModel {
 public:
  explicit TreeSettingsModel(TemplateTree& tree) : tree_(tree) {}

  TemplateNode* Root() override { return tree_.root.get(); }
  UserInfo& User() override {
    UserInfo* user = GetUserInfo();
    return user != nullptr ? *user : orphan_;
  }
  const std::string& ProfilePath() const override { return tree_.profilePath; }

  bool Load(const std::string& path, std::string* error) override {
    return Report(LoadSettings(tree_, path, false, &settingsError_), error);
  }
  bool ReloadDefault(std::string* error) override {
    return Report(LoadSettings(tree_, tree_.profilePath, true, &settingsError_), error);
  }
  bool SaveAs(const std::string& path, std::string* error) override {
    return Report(SaveSettingsAs(tree_, path, &settingsError_), error);
  }

 private:
  bool Report(bool ok, std::string* error) {
    if (!ok && error != nullptr) *error = settingsError_.message;
    return ok;
  }

  TemplateTree& tree_;
  SettingsError settingsError_;
  UserInfo orphan_;  // only while no tree holds the user information
};

}  // namespace

std::unique_ptr<SettingsModel> MakeTreeSettingsModel(TemplateTree& tree) {
  return std::make_unique<TreeSettingsModel>(tree);
}

}  // namespace quillmark::ui
