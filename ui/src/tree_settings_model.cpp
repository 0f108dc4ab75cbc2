// The settings dialog's model over a TemplateTree and the settings store: the
// one place that knows how the store is called.
#include "quillmark/settings.h"
#include "quillmark/ui/settings_model.h"

namespace quillmark::ui {
namespace {

class TreeSettingsModel final : public SettingsModel {
 public:
  TreeSettingsModel(TemplateTree& tree, const TextConverter& converter)
      : tree_(tree), converter_(converter) {}

  TemplateNode* Root() override { return tree_.root.get(); }
  UserInfo& User() override { return tree_.userInfo; }
  const std::string& ProfilePath() const override { return tree_.profilePath; }

  bool Load(const std::string& path, std::string* error) override {
    return LoadSettings(tree_, path, converter_, false, error);
  }
  bool ReloadDefault(std::string* error) override {
    return LoadSettings(tree_, tree_.profilePath, converter_, true, error);
  }
  bool SaveAs(const std::string& path, std::string* error) override {
    return SaveSettingsAs(tree_, path, converter_, error);
  }

 private:
  TemplateTree& tree_;
  const TextConverter& converter_;
};

}  // namespace

std::unique_ptr<SettingsModel> MakeTreeSettingsModel(TemplateTree& tree,
                                                     const TextConverter& converter) {
  return std::make_unique<TreeSettingsModel>(tree, converter);
}

}  // namespace quillmark::ui
