// The settings store: INI files and the user's profile (template lines and
// user information) kept in them.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "quillmark/engine.h"

namespace quillmark {

// How a settings file is encoded on disk. Code page 936 is the format the
// Windows module writes; a file that is UTF-8 stays UTF-8.
enum class FileEncoding { kGbk, kUtf8, kUtf8Bom };

struct SectionData {
  std::vector<std::string> keys;
  std::vector<std::string> values;
  std::unordered_map<std::string, int> index;  // key -> position in `keys`
};

// An in-memory INI store. Names, keys and values are bytes in the engine's code
// page, compared exactly; nothing is trimmed; the first "=" splits a line.
class IniFile {
 public:
  explicit IniFile(std::string path = {}) : path(std::move(path)) {}

  // Replaces the content by the file's; on failure the content is unchanged.
  bool Read();
  // Writes the content, replacing the file atomically, with CR LF line ends.
  bool Write();

  bool GetValue(std::string& out, std::string_view section, std::string_view key);
  bool SetValue(std::string_view section, std::string_view key, std::string_view value,
                bool create);
  bool GetIntValue(int& out, std::string_view section, std::string_view key);
  bool SetIntValue(std::string_view section, std::string_view key, int value, bool create);
  int FindSection(std::string_view name) const;
  int FindKey(int section, std::string_view key) const;
  void Clear();

  // What Read does with the file's bytes: find their encoding, convert them to
  // the engine's code page and parse them. False when they cannot be converted.
  bool LoadBytes(std::string_view bytes);
  // The line rules of Read on text already in the engine's code page; a CR
  // before a line's LF is part of the break.
  void Parse(std::string_view text);
  // What Write puts into the file, before encoding.
  std::string Serialize() const;

  std::string path;
  std::string lastError;
  std::vector<SectionData> sections;
  std::vector<std::string> sectionNames;
  FileEncoding encoding = FileEncoding::kGbk;  // found by Read, used by Write
  bool missing = false;                        // the last Read found no file

 private:
  std::unordered_map<std::string, int> sectionIndex_;  // name -> position in `sections`
};

inline constexpr char kUnableToOpen[] = "Unable to open ini file.";
inline constexpr char kUnableToConvert[] = "Unable to convert ini file.";
inline constexpr char kKeyNotFound[] = "Unable to locate specified key.";
inline constexpr char kValueNotFound[] = "Unable to locate specified value.";

// Writes `bytes` to a sibling temporary file and renames it over `path`, so no
// reader ever sees a half-written file. Keeps the old file's permissions and
// writes through a symbolic link to its target.
bool ReplaceFileAtomically(const std::string& path, std::string_view bytes,
                           std::string* error = nullptr);
bool ReadWholeFile(const std::string& path, std::string& bytes, std::string* error = nullptr);

// The directory that holds the profile, with its trailing separator; the
// platform layer sets it (the module's directory, or the user's config dir).
void SetProfileDirectorySource(std::function<std::optional<std::string>()> source);
// "Comment_<logon>.ini" in the profile directory, or `fallbackName` there.
std::string GetProfilePath(std::string_view fallbackName);

// Why a load failed, for the caller to report.
struct SettingsError {
  std::string message;
  bool unreadable = false;  // the file exists but could not be read or converted
};

// Reads the template lines and user information from `path` into the tree.
// With `createIfMissing`, a missing (or zero-byte) file is created from the
// tree's current state; a file that exists but cannot be read is left alone.
bool LoadSettings(TemplateTree& tree, const std::string& path, bool createIfMissing,
                  SettingsError* error = nullptr);
// Writes the tree into the existing file at `path`; false, and nothing
// written, when it cannot be read.
bool SaveSettings(const TemplateTree& tree, const std::string& path,
                  SettingsError* error = nullptr);
// The settings dialog's "save as": a file with only this tree's settings.
bool SaveSettingsAs(const TemplateTree& tree, const std::string& path,
                    SettingsError* error = nullptr);
// Appends ".ini" unless the name already ends in "ini", in any letter case.
std::string WithIniExtension(std::string path);

void LoadTemplateLines(IniFile& file, TemplateNode* node);
void SaveTemplateLines(IniFile& file, const TemplateNode* node);

inline constexpr char kUserSection[] = "用户信息";  // UTF-8; encoded on use

}  // namespace quillmark
