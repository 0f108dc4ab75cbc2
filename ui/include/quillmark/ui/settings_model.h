// What the settings dialog works on: the template tree's nodes, the user
// information and the default settings file, with the store's operations.
#pragma once

#include <memory>
#include <string>

#include "quillmark/platform.h"
#include "quillmark/template_tree.h"

namespace quillmark::ui {

// The settings as the dialog sees them: the template tree's nodes, the user
// information and the default settings file, with the store's operations.
// Loads change the nodes' lines and the user information in place; the nodes
// themselves live as long as the model.
class SettingsModel {
 public:
  virtual ~SettingsModel() = default;
  virtual TemplateNode* Root() = 0;  // null when the tree has none
  virtual UserInfo& User() = 0;
  virtual const std::string& ProfilePath() const = 0;
  // Reads the settings of an existing file; on failure `error` says why.
  [[nodiscard]] virtual bool Load(const std::string& path, std::string* error) = 0;
  // Reads the default settings file again, creating it when it is missing.
  [[nodiscard]] virtual bool ReloadDefault(std::string* error) = 0;
  // Makes `path` a file holding these settings alone. The old file at `path`
  // is replaced whole or not at all.
  [[nodiscard]] virtual bool SaveAs(const std::string& path, std::string* error) = 0;
};

// The model over a template tree and the settings store (the one file that
// knows the store's calls: ui/src/tree_settings_model.cpp). Files are read and
// written through `converter`; both must outlive the model.
std::unique_ptr<SettingsModel> MakeTreeSettingsModel(TemplateTree& tree,
                                                     const TextConverter& converter);

}  // namespace quillmark::ui
