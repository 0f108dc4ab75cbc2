// The user's profile: every kind's template lines and the user information,
// kept in one INI file per logon user.
#include <algorithm>
#include <cctype>
#include <charconv>

#include "quillmark/settings.h"

namespace quillmark {
namespace {

std::string LineKey(std::size_t i) {
  return "Line" + std::to_string(i);
}

// The line number of a key "Line<n>" written as LineKey writes it, or -1.
long long LineNumber(std::string_view key) {
  if (!key.starts_with("Line")) return -1;
  const std::string_view digits = key.substr(4);
  if (digits.empty() || digits.size() > 10 || (digits.size() > 1 && digits.front() == '0'))
    return -1;
  long long n = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
  return ec == std::errc() && end == digits.data() + digits.size() ? n : -1;
}

// Drops the line keys a shortened template no longer has, so the file says
// what the template is.
void RemoveLinesFrom(IniFile& file, const std::string& section, std::size_t count) {
  const int s = file.FindSection(section);
  if (s < 0) return;
  std::vector<std::string> beyond;
  for (const std::string& key : file.sections[static_cast<std::size_t>(s)].keys) {
    const long long n = LineNumber(key);
    if (n >= 0 && static_cast<unsigned long long>(n) >= count) beyond.push_back(key);
  }
  for (const std::string& key : beyond) file.RemoveKey(section, key);
}

bool Fail(std::string* error, const std::string& path, std::string_view why) {
  if (error != nullptr) *error = path + ": " + std::string(why);
  return false;
}

// Why a read or write of the store failed: the operating system's reason
// when there is one (it names the file), else the store's short text.
struct StoreFailure {
  std::string store;
  std::string system;
};

bool FailWith(std::string* error, const std::string& path, const StoreFailure& why) {
  if (why.system.empty()) return Fail(error, path, why.store);
  if (error != nullptr) *error = why.system;
  return false;
}

// Asks the file the read saw, never the path again: the path's bytes are
// UTF-8, which a byte-string std::filesystem::path does not read as such on
// Windows.
bool WasZeroByteFile(const IniFile& file) {
  return file.identity.known && file.identity.size == 0;
}

void StoreUserInfo(IniFile& file, const UserInfo& user) {
  // Creating never fails.
  static_cast<void>(file.SetValue(kUserSection, "AuthorName", user.authorName, true));
  static_cast<void>(file.SetValue(kUserSection, "CompanyName", user.companyName, true));
}

// Puts the tree's settings into `file` and writes it.
bool StoreAndWrite(const TemplateTree& tree, IniFile& file, std::string* error) {
  SaveTemplateLines(file, tree.root.get());
  StoreUserInfo(file, tree.userInfo);
  StoreFailure why;
  if (!file.Write(&why.store, &why.system)) return FailWith(error, file.path, why);
  return true;
}

// A new file holding the tree's settings alone.
bool WriteFreshFile(const TemplateTree& tree, const std::string& path,
                    const TextConverter& converter, std::string* error) {
  IniFile file(path, converter);
  return StoreAndWrite(tree, file, error);
}

}  // namespace

bool HoldsSettings(const IniFile& file) {
  for (std::size_t s = 0; s < file.sections.size(); ++s)
    if (!file.sectionNames[s].empty() && !file.sections[s].keys.empty()) return true;
  return false;
}

bool GetProfilePath(const Platform& platform, std::string_view fallbackName, std::string& path,
                    std::string* error) {
  const std::optional<std::string> directory = platform.ProfileDirectory();
  if (!directory || directory->empty()) {
    if (error != nullptr)
      *error = "no directory for the settings file (no home directory is known)";
    return false;
  }
  const std::optional<std::string> logon = UsableLogonName(platform.LogonName());
  path = *directory + (logon ? "Comment_" + *logon + ".ini" : std::string(fallbackName));
  return true;
}

// Lines are read in the order of their numbers below the section's count; a
// missing number is skipped. Only the keys that exist are visited, so an absurd
// count costs nothing.
void LoadTemplateLines(IniFile& file, TemplateNode* node) {
  for (; node != nullptr; node = node->next.get()) {
    if (node->IsGroup()) {
      LoadTemplateLines(file, node->firstChild.get());
      continue;
    }
    node->lines.clear();
    int count = 0;
    const int section = file.FindSection(node->name);
    // No count, or none above zero: the kind has no lines.
    if (!file.GetIntValue(count, node->name, "CommentLineCount") || count <= 0 || section < 0)
      continue;
    const SectionData& data = file.sections[static_cast<std::size_t>(section)];
    std::vector<std::pair<long long, std::size_t>> numbered;
    for (std::size_t k = 0; k < data.keys.size(); ++k) {
      const long long n = LineNumber(data.keys[k]);
      if (n >= 0 && n < count) numbered.emplace_back(n, k);
    }
    std::sort(numbered.begin(), numbered.end());
    node->lines.reserve(numbered.size());
    for (const auto& [n, k] : numbered) node->lines.push_back(data.values[k]);
  }
}

void SaveTemplateLines(IniFile& file, const TemplateNode* node) {
  for (; node != nullptr; node = node->next.get()) {
    if (node->IsGroup()) {
      SaveTemplateLines(file, node->firstChild.get());
      continue;
    }
    // A count written as " 6" that still reads as 6 is left as the user wrote it.
    int stored = 0;
    const int count = static_cast<int>(node->lines.size());
    if (!file.GetIntValue(stored, node->name, "CommentLineCount") || stored != count)
      static_cast<void>(file.SetIntValue(node->name, "CommentLineCount", count, true));
    for (std::size_t i = 0; i < node->lines.size(); ++i)
      static_cast<void>(file.SetValue(node->name, LineKey(i), node->lines[i], true));
    RemoveLinesFrom(file, node->name, node->lines.size());
  }
}

bool LoadSettings(TemplateTree& tree, const std::string& path, const TextConverter& converter,
                  bool createIfMissing, std::string* error, QuillmarkOptions* options) {
  IniFile file(path, converter);
  StoreFailure why;
  const bool read = file.Read(&why.store, &why.system);
  // A zero-byte file holds no settings to lose: it is filled like a missing one.
  const bool blank = read && createIfMissing && file.sections.empty() && WasZeroByteFile(file);
  if (read && !blank) {
    if (!HoldsSettings(file))
      return Fail(error, path, "holds no settings (no [section] in it); not used");
    LoadTemplateLines(file, tree.root.get());
    // A name the file does not hold is empty.
    static_cast<void>(file.GetValue(tree.userInfo.authorName, kUserSection, "AuthorName"));
    static_cast<void>(file.GetValue(tree.userInfo.companyName, kUserSection, "CompanyName"));
    // A bad option is the options' problem, told apart; the settings still load.
    if (options != nullptr)
      static_cast<void>(ReadQuillmarkOptions(file, options, &options->problem));
    return true;
  }
  if (!read && !(createIfMissing && file.missing)) {
    // An existing file that cannot be read is never overwritten with defaults.
    return file.missing ? Fail(error, path, "no such file") : FailWith(error, path, why);
  }
  return WriteFreshFile(tree, path, converter, error);
}

bool SaveSettings(const TemplateTree& tree, const std::string& path, const TextConverter& converter,
                  std::string* error) {
  IniFile file(path, converter);
  StoreFailure why;
  if (!file.Read(&why.store, &why.system))
    return file.missing ? Fail(error, path, "no such file") : FailWith(error, path, why);
  return StoreAndWrite(tree, file, error);
}

bool SaveSettingsAs(const TemplateTree& tree, const std::string& path,
                    const TextConverter& converter, std::string* error) {
  // The same bytes as emptying the file and saving into it, without a moment
  // in which the file is empty.
  return WriteFreshFile(tree, path, converter, error);
}

std::string SettingsSnapshot(const TemplateTree& tree) {
  std::string snapshot;
  const auto add = [&snapshot](std::string_view text) {
    snapshot += std::to_string(text.size());
    snapshot += ':';
    snapshot += text;
  };
  const auto walk = [&add](const TemplateNode* node, auto& self) -> void {
    for (; node != nullptr; node = node->next.get()) {
      add(node->name);
      add(std::to_string(node->lines.size()));
      for (const std::string& line : node->lines) add(line);
      self(node->firstChild.get(), self);
    }
  };
  walk(tree.root.get(), walk);
  add(tree.userInfo.authorName);
  add(tree.userInfo.companyName);
  return snapshot;
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
