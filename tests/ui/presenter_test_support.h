// Stand-ins for what the dialog presenters talk to: settings, view, file
// chooser, message box and shell, all in memory. The view tests (Qt, Win32
// under Wine) use them too, so nothing here needs a test framework.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "quillmark/ui/about.h"
#include "quillmark/ui/dialog_templates.h"
#include "quillmark/ui/hyperlink.h"
#include "quillmark/ui/settings_presenter.h"
#include "quillmark/version.h"

namespace quillmark::ui::testing {

// The about dialog's version line for the version CMake builds, from its
// numbers: major, a dot, minor and patch run together.
inline std::string ProjectVersionLine() {
  return "版    本:   " + std::to_string(QUILLMARK_VERSION_MAJOR) + "." +
         std::to_string(QUILLMARK_VERSION_MINOR) + std::to_string(QUILLMARK_VERSION_PATCH);
}

// Template lines of some kinds and the two user strings, as a file holds them.
struct FakeFile {
  std::map<std::string, std::vector<std::string>> lines;
  std::string author;
  std::string company;
};

// A tree of group "G" (kinds "A", "B", "E") and the top-level kind "H".
class FakeSettings final : public SettingsModel {
 public:
  FakeSettings() {
    root = std::make_unique<TemplateNode>();
    root->name = "G";
    root->firstChild = Kind("A", {"a1", "a2"});
    root->firstChild->next = Kind("B", {"b1"});
    root->firstChild->next->next = Kind("E", {});
    root->next = Kind("H", {"h"});
    user = {"Company Name", "Author Name"};
  }

  TemplateNode* Root() override { return root.get(); }
  UserInfo& User() override { return user; }
  const std::string& ProfilePath() const override { return profilePath; }
  bool Load(const std::string& path, std::string* error) override {
    loads.push_back(path);
    return Apply(path, error);
  }
  bool ReloadDefault(std::string* error) override {
    loads.push_back("(default)");
    return Apply(profilePath, error);
  }
  bool SaveAs(const std::string& path, std::string* error) override {
    saves.push_back(path);
    linesAtSave = Lines();
    if (!saveSucceeds && error != nullptr) *error = "cannot write";
    return saveSucceeds;
  }

  TemplateNode* Find(const std::string& name) {
    for (TemplateNode* n = root.get(); n != nullptr; n = n->next.get()) {
      if (n->name == name) return n;
      for (TemplateNode* k = n->firstChild.get(); k != nullptr; k = k->next.get())
        if (k->name == name) return k;
    }
    return nullptr;
  }
  // Every kind's lines as "A=a1|a2;B=b1;E=;H=h".
  std::string Lines() {
    std::string out;
    for (const char* name : {"A", "B", "E", "H"}) {
      if (!out.empty()) out += ';';
      out += std::string(name) + '=';
      const std::vector<std::string>& lines = Find(name)->lines;
      for (std::size_t i = 0; i < lines.size(); ++i) out += (i ? "|" : "") + lines[i];
    }
    return out;
  }

  std::unique_ptr<TemplateNode> root;
  UserInfo user;
  std::string profilePath = "/home/u/.config/quillmark/Comment_u.ini";
  std::map<std::string, FakeFile> files;
  bool saveSucceeds = true;
  std::vector<std::string> loads;
  std::vector<std::string> saves;
  std::string linesAtSave;

 private:
  static std::unique_ptr<TemplateNode> Kind(const char* name, std::vector<std::string> lines) {
    auto node = std::make_unique<TemplateNode>();
    node->name = name;
    node->lines = std::move(lines);
    return node;
  }
  bool Apply(const std::string& path, std::string* error) {
    const auto it = files.find(path);
    if (it == files.end()) {
      if (error != nullptr) *error = path + ": no such file";
      return false;
    }
    for (const auto& [name, lines] : it->second.lines) Find(name)->lines = lines;
    user.authorName = it->second.author;
    user.companyName = it->second.company;
    return true;
  }
};

class FakeSettingsView final : public SettingsView {
 public:
  void SetCaption(const std::string& text) override { caption = text; }
  void ShowKindTree(const std::vector<KindTreeItem>& shown) override {
    items = shown;
    ++treeFills;
  }
  void ShowRows() override { ++rowFills; }
  std::string StyleText() override { return styleText; }
  void SetStyleText(const std::string& text) override { styleText = text; }
  void PlaceInPlaceEdit(Rect where, const std::string& text) override {
    editRect = where;
    editText = text;
    editVisible = true;
  }
  void HideInPlaceEdit() override { editVisible = false; }

  std::string caption;
  std::vector<KindTreeItem> items;
  int treeFills = 0;
  int rowFills = 0;
  std::string styleText;
  Rect editRect;
  std::string editText;
  bool editVisible = false;
};

class FakeFileChooser final : public FileChooser {
 public:
  std::optional<std::string> ChooseFileToOpen(const FileDialogOptions& options) override {
    return Next("open", options);
  }
  std::optional<std::string> ChooseFileToSave(const FileDialogOptions& options) override {
    return Next("save", options);
  }

  std::deque<std::optional<std::string>> answers;
  std::vector<std::string> asked;
  FileDialogOptions lastOptions;

 private:
  std::optional<std::string> Next(const char* which, const FileDialogOptions& options) {
    asked.push_back(which);
    lastOptions = options;
    if (answers.empty()) return std::nullopt;
    std::optional<std::string> answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

class RecordingMessages final : public MessageSink {
 public:
  void ShowMessage(std::string_view text) override { shown.emplace_back(text); }
  std::vector<std::string> shown;
};

// A shell whose "open" answers `result` and records the address; no registry
// entries, and starting a program fails.
class ScriptedShell final : public LinkShell {
 public:
  int ShellOpen(const std::string& address, int) override {
    opened.push_back(address);
    return result;
  }
  std::optional<std::string> ReadClassesRootValue(const std::string&) override {
    return std::nullopt;
  }
  int StartProgram(const std::string&, int) override { return 2; }
  int result = 42;
  std::vector<std::string> opened;
};

}  // namespace quillmark::ui::testing
