// The user's profile: every kind's template lines and the user information,
// kept in one INI file per logon user.
#include <cctype>
#include <filesystem>

#include "quillmark/settings.h"

namespace quillmark {
namespace {

std::function<std::optional<std::string>()> g_profileDirectory;

std::string UserSection() {
  return EncodeFromUtf8(kUserSection, GetCodePage()).value_or(kUserSection);
}

std::string LineKey(std::size_t i) {
  return "Line" + std::to_string(i);
}

void Fail(SettingsError* error, const std::string& path, std::string_view why) {
  if (error != nullptr) error->message = path + ": " + std::string(why);
}

bool IsZeroByteFile(const std::string& path) {
  std::error_code ec;
  return std::filesystem::file_size(std::filesystem::path(path), ec) == 0 && !ec;
}

void StoreUserInfo(IniFile& file) {
  const UserInfo* user = GetUserInfo();
  const std::string section = UserSection();
  file.SetValue(section, "AuthorName", user != nullptr ? user->authorName : "", true);
  file.SetValue(section, "CompanyName", user != nullptr ? user->companyName : "", true);
}

// Puts the tree's settings into `file` and writes it.
bool StoreAndWrite(const TemplateTree& tree, IniFile& file, SettingsError* error) {
  SaveTemplateLines(file, tree.root.get());
  StoreUserInfo(file);
  if (!file.Write()) {
    Fail(error, file.path, file.lastError);
    return false;
  }
  return true;
}

// A new file holding the tree's settings alone.
bool WriteFreshFile(const TemplateTree& tree, const std::string& path, SettingsError* error) {
  IniFile file(path);
  return StoreAndWrite(tree, file, error);
}

}  // namespace

void SetProfileDirectorySource(std::function<std::optional<std::string>()> source) {
  g_profileDirectory = std::move(source);
}

std::string GetProfilePath(std::string_view fallbackName) {
  std::string path = g_profileDirectory ? g_profileDirectory().value_or("") : "";
  const std::optional<std::string> logon = QueryLogonName();
  path += logon ? "Comment_" + *logon + ".ini" : std::string(fallbackName);
  return path;
}

void LoadTemplateLines(IniFile& file, TemplateNode* node) {
  for (; node != nullptr; node = node->next.get()) {
    if (node->IsGroup()) {
      LoadTemplateLines(file, node->firstChild.get());
      continue;
    }
    node->lines.clear();
    int count = 0;
    file.GetIntValue(count, node->name, "CommentLineCount");
    std::string line;
    for (int i = 0; i < count; ++i) {
      // A missing key is skipped; the next line found follows directly.
      if (file.GetValue(line, node->name, LineKey(static_cast<std::size_t>(i))))
        node->lines.push_back(line);
    }
  }
}

void SaveTemplateLines(IniFile& file, const TemplateNode* node) {
  for (; node != nullptr; node = node->next.get()) {
    if (node->IsGroup()) {
      SaveTemplateLines(file, node->firstChild.get());
      continue;
    }
    file.SetIntValue(node->name, "CommentLineCount", static_cast<int>(node->lines.size()), true);
    for (std::size_t i = 0; i < node->lines.size(); ++i)
      file.SetValue(node->name, LineKey(i), node->lines[i], true);
  }
}

bool LoadSettings(TemplateTree& tree, const std::string& path, bool createIfMissing,
                  SettingsError* error) {
  IniFile file(path);
  const bool read = file.Read();
  // A zero-byte file holds no settings to lose: it is filled like a missing one.
  const bool blank = read && createIfMissing && file.sections.empty() && IsZeroByteFile(path);
  if (read && !blank) {
    LoadTemplateLines(file, tree.root.get());
    if (UserInfo* user = GetUserInfo()) {
      const std::string section = UserSection();
      file.GetValue(user->authorName, section, "AuthorName");
      file.GetValue(user->companyName, section, "CompanyName");
    }
    return true;
  }
  if (!read && !(createIfMissing && file.missing)) {
    // An existing file that cannot be read is never overwritten with defaults.
    Fail(error, path, file.missing ? "no such file" : file.lastError);
    if (error != nullptr) error->unreadable = !file.missing;
    return false;
  }
  return WriteFreshFile(tree, path, error);
}

bool SaveSettings(const TemplateTree& tree, const std::string& path, SettingsError* error) {
  IniFile file(path);
  if (!file.Read()) {
    Fail(error, path, file.missing ? "no such file" : file.lastError);
    return false;
  }
  return StoreAndWrite(tree, file, error);
}

bool SaveSettingsAs(const TemplateTree& tree, const std::string& path, SettingsError* error) {
  // The same bytes as emptying the file and saving into it, without a moment
  // in which the file is empty.
  return WriteFreshFile(tree, path, error);
}

std::string WithIniExtension(std::string path) {
  const auto lower = [](char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  };
  const bool hasIni = path.size() >= 3 && lower(path[path.size() - 3]) == 'i' &&
                      lower(path[path.size() - 2]) == 'n' && lower(path[path.size() - 1]) == 'i';
  if (!hasIni) path += ".ini";
  return path;
}

}  // namespace quillmark
