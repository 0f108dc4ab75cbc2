// The settings store: INI files and the user's profile (template lines and
// user information) kept in them.
//
// Fallible calls return bool and say why through `std::string* error` (may be
// null); nothing here throws on bad input.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "quillmark/engine.h"
#include "quillmark/files.h"
#include "quillmark/platform.h"

namespace quillmark {

// How a settings file is encoded on disk. Code page 936 is the format the
// Windows module writes; a file that is UTF-8 stays UTF-8.
enum class FileEncoding { kGbk, kUtf8, kUtf8Bom };

struct SectionData {
  std::vector<std::string> keys;
  std::vector<std::string> values;
  std::unordered_map<std::string, int> index;  // key -> position in `keys`
};

// An in-memory INI store. Names, keys and values are UTF-8 in memory, whatever
// the file's encoding, and compared exactly; nothing is trimmed; the first "="
// splits a line.
class IniFile {
 public:
  IniFile(std::string path, const TextConverter& converter)
      : path(std::move(path)), converter_(&converter) {}

  // Replaces the content by the file's; on failure the content is unchanged,
  // `error` gets the store's short text (kUnableToOpen, kUnableToConvert) and
  // `systemError` why the operating system refused, naming the file, or ""
  // when it did not refuse.
  [[nodiscard]] bool Read(std::string* error, std::string* systemError = nullptr);
  // Writes the content, replacing the file atomically, with CR LF line ends.
  // After a Read, refuses when someone else changed the file meanwhile.
  // Failures as Read's.
  [[nodiscard]] bool Write(std::string* error, std::string* systemError = nullptr);

  // False, `out` emptied and `error` set to kKeyNotFound (no such section) or
  // kValueNotFound (no such key), when there is no value; a success leaves
  // `error` alone.
  [[nodiscard]] bool GetValue(std::string& out, std::string_view section, std::string_view key,
                              std::string* error = nullptr);
  // Without `create`, false when the section or key does not exist.
  [[nodiscard]] bool SetValue(std::string_view section, std::string_view key,
                              std::string_view value, bool create);
  [[nodiscard]] bool GetIntValue(int& out, std::string_view section, std::string_view key,
                                 std::string* error = nullptr);
  [[nodiscard]] bool SetIntValue(std::string_view section, std::string_view key, int value,
                                 bool create);
  int FindSection(std::string_view name) const;
  int FindKey(int section, std::string_view key) const;
  void Clear();

  // What Read does with the file's bytes: find their encoding, convert them to
  // UTF-8 and parse them. False, with kUnableToConvert, when they cannot be
  // converted.
  [[nodiscard]] bool LoadBytes(std::string_view bytes, std::string* error = nullptr);
  // The line rules of Read on UTF-8 text; a CR before a line's LF is part of the break.
  void Parse(std::string_view text);
  // The content in the store's own layout: each section with keys, its keys,
  // an empty line; CR LF throughout. What Write writes for a file it did not read.
  std::string Serialize() const;
  // What Write puts into the file, before encoding: the lines that were read,
  // in their places and with their own line breaks (comments, blank lines,
  // lines the store skips), each changed value rewritten at its key's first
  // line, removed keys dropped, new keys after their section's last key line
  // and new sections at the end in the store's own layout.
  std::string SerializeInPlace() const;
  // Removes a key; false when there is none.
  bool RemoveKey(std::string_view section, std::string_view key);

  std::string path;
  std::vector<SectionData> sections;
  std::vector<std::string> sectionNames;
  FileEncoding encoding = FileEncoding::kGbk;  // found by Read, used by Write
  bool missing = false;                        // the last Read found no file
  FileIdentity identity;                       // the file the last Read saw

 private:
  // One line of the file as Parse saw it.
  struct ReadLine {
    enum class Type { kOther, kHeader, kKeyValue } type = Type::kOther;
    std::string text;       // without its line break
    std::string lineBreak;  // "\r\n", "\n", or "" for a last line without one
    std::string section;    // of a header or key/value line
    std::string key;        // of a key/value line
  };
  const std::string* ReadValue(const std::string& section, const std::string& key) const;

  const TextConverter* converter_;
  std::unordered_map<std::string, int> sectionIndex_;  // name -> position in `sections`
  std::vector<ReadLine> readLines_;                    // empty unless the content was read
  // Each key's value when it was read, under section + '\0' + key.
  std::unordered_map<std::string, std::string> readValues_;
};

inline constexpr char kUnableToOpen[] = "Unable to open ini file.";
inline constexpr char kUnableToConvert[] = "Unable to convert ini file.";
inline constexpr char kKeyNotFound[] = "Unable to locate specified key.";
inline constexpr char kValueNotFound[] = "Unable to locate specified value.";

// True when the file has at least one named section with a key in it: keys
// before any section, or none at all, make no settings file.
bool HoldsSettings(const IniFile& file);

// "Comment_<logon>.ini" in the platform's profile directory, or `fallbackName`
// there when the logon name cannot be read. False when there is no directory.
[[nodiscard]] bool GetProfilePath(const Platform& platform, std::string_view fallbackName,
                                  std::string& path, std::string* error);

// Reads the template lines and user information from `path` into the tree.
// With `createIfMissing`, a missing (or zero-byte) file is created from the
// tree's current state. A file that exists but cannot be read, or that holds no
// section at all (so is no settings file), is refused and left alone.
struct QuillmarkOptions;
// With `options`, the "[Quillmark]" section is read from the same file
// (a bad value goes to `options->problem`, not to the load's result).
[[nodiscard]] bool LoadSettings(TemplateTree& tree, const std::string& path,
                                const TextConverter& converter, bool createIfMissing,
                                std::string* error, QuillmarkOptions* options = nullptr);
// Writes the tree into the existing file at `path`, keeping its other sections
// and keys; false, and nothing written, when it cannot be read.
[[nodiscard]] bool SaveSettings(const TemplateTree& tree, const std::string& path,
                                const TextConverter& converter, std::string* error);
// The settings dialog's "save as": a file with only this tree's settings.
[[nodiscard]] bool SaveSettingsAs(const TemplateTree& tree, const std::string& path,
                                  const TextConverter& converter, std::string* error);
// Everything LoadSettings reads, as one comparable text: equal snapshots mean
// there is nothing to save.
std::string SettingsSnapshot(const TemplateTree& tree);
// Appends ".ini" unless the name already ends in "ini", in any letter case.
std::string WithIniExtension(std::string path);

void LoadTemplateLines(IniFile& file, TemplateNode* node);
void SaveTemplateLines(IniFile& file, const TemplateNode* node);

inline constexpr char kUserSection[] = "用户信息";

// The tool's own options, in a "[Quillmark]" section the Windows module does not
// read (and, like every section it does not know, keeps on save).
inline constexpr char kQuillmarkSection[] = "Quillmark";
inline constexpr char kParserKey[] = "Parser";

enum class ParserMode { kKeywords, kSyntax };

struct QuillmarkOptions {
  // Nothing when the file does not choose: each host has its own default.
  std::optional<ParserMode> parser;
  // Why a value in the file was not used (English); empty when all were.
  std::string problem;
};

// Reads the "[Quillmark]" section of the settings file at `path`; a missing file,
// section or key leaves the defaults. False, with the reason, when the file
// cannot be read or a value is not one the key takes ("syntax" or "keywords");
// `options` then holds what could be read.
[[nodiscard]] bool ReadQuillmarkOptions(const std::string& path, const TextConverter& converter,
                                        QuillmarkOptions* options, std::string* error);
// The same from a file already read.
[[nodiscard]] bool ReadQuillmarkOptions(IniFile& file, QuillmarkOptions* options,
                                        std::string* error);
// "syntax" or "keywords"; nothing for anything else.
std::optional<ParserMode> ParseParserMode(std::string_view text);

}  // namespace quillmark
