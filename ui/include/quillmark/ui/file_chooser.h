// The system's file open and save dialogs, as the settings dialog asks for
// them.
#pragma once

#include <optional>
#include <string>

namespace quillmark::ui {

inline constexpr char kIniFilter[] = "ini Files (*.ini)|*.ini||";

struct FileDialogOptions {
  std::string filter = kIniFilter;
  std::string defaultExtension;  // none
  std::string initialFile;       // none
  std::string initialDirectory;
  bool hideReadOnly = true;
  bool overwritePrompt = true;
};

// The system's file open and save dialogs; nothing when the user cancels.
class FileChooser {
 public:
  virtual ~FileChooser() = default;
  virtual std::optional<std::string> ChooseFileToOpen(const FileDialogOptions& options) = 0;
  virtual std::optional<std::string> ChooseFileToSave(const FileDialogOptions& options) = 0;
};

}  // namespace quillmark::ui
