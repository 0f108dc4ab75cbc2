// The INI store: sections and keys in creation order, exact bytes, no trimming.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unordered_set>

#include "quillmark/settings.h"

namespace quillmark {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
// No settings file comes near this; a larger "settings file" is something else.
constexpr std::uint64_t kMaxSettingsBytes = std::uint64_t{64} << 20;

void SetError(std::string* error, std::string_view text) {
  if (error != nullptr) error->assign(text);
}

bool HasNonAscii(std::string_view text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  return false;
}

// The first "=" of a line. Neither encoding has "=" inside a character: code
// page 936's second bytes start at 0x40.
std::size_t FindEquals(std::string_view line) {
  return line.find('=');
}

}  // namespace

bool IniFile::Read(std::string* error, std::string* systemError) {
  std::string bytes;
  FileIdentity seen;
  std::string refused;
  if (!ReadWholeFile(path, bytes, &refused, &seen, kMaxSettingsBytes)) {
    missing = PathIsAbsent(path);
    SetError(error, kUnableToOpen);
    SetError(systemError, refused);
    return false;
  }
  missing = false;
  if (!LoadBytes(bytes, error)) {
    SetError(systemError, "");
    return false;
  }
  identity = seen;
  return true;
}

bool IniFile::LoadBytes(std::string_view text, std::string* error) {
  const bool bom = text.starts_with(kUtf8Bom);
  if (bom) text.remove_prefix(kUtf8Bom.size());
  // One scan for non-ASCII bytes and at most one validation: ASCII is UTF-8.
  const bool nonAscii = HasNonAscii(text);
  const bool validUtf8 = !nonAscii || IsValidUtf8(text);
  FileEncoding found = FileEncoding::kGbk;
  if (bom) {
    found = FileEncoding::kUtf8Bom;
  } else if (nonAscii && validUtf8) {
    found = FileEncoding::kUtf8;
  }
  std::optional<std::string> utf8;
  if (found == FileEncoding::kGbk && nonAscii) {
    utf8 = converter_->GbkToUtf8(text);
  } else if (!validUtf8) {
    utf8 = std::nullopt;  // a BOM in front of bytes that are not UTF-8
  } else {
    utf8 = std::string(text);
  }
  if (!utf8) {
    SetError(error, kUnableToConvert);
    return false;
  }
  encoding = found;
  Parse(*utf8);
  return true;
}

bool IniFile::Write(std::string* error, std::string* systemError) {
  std::string text = SerializeInPlace();
  std::string bytes;
  if (encoding == FileEncoding::kGbk && HasNonAscii(text)) {
    if (std::optional<std::string> gbk = converter_->Utf8ToGbk(text)) {
      bytes = std::move(*gbk);
    } else {
      // A character code page 936 cannot hold (an emoji in a name, say): the
      // file becomes UTF-8 with a byte-order mark rather than lose it.
      encoding = FileEncoding::kUtf8Bom;
    }
  }
  if (bytes.empty()) {
    if (encoding == FileEncoding::kUtf8Bom) bytes = kUtf8Bom;
    bytes += text;
  }
  std::string refused;
  if (!ReplaceFileAtomically(path, bytes, &refused, identity.known ? &identity : nullptr)) {
    SetError(error, kUnableToOpen);
    SetError(systemError, refused);
    return false;
  }
  identity = {};
  return true;
}

void IniFile::Parse(std::string_view text) {
  Clear();
  std::string section;
  while (!text.empty()) {
    const std::size_t lf = text.find('\n');
    std::string_view line = text.substr(0, lf);
    text.remove_prefix(lf == std::string_view::npos ? text.size() : lf + 1);
    std::string_view lineBreak = lf == std::string_view::npos ? "" : "\n";
    if (lf != std::string_view::npos && line.ends_with('\r')) {
      line.remove_suffix(1);
      lineBreak = "\r\n";
    }
    ReadLine& read = readLines_.emplace_back();
    read.text.assign(line);
    read.lineBreak.assign(lineBreak);
    if (line.empty()) continue;
    if (line.front() == '[' && line.back() == ']') {
      // "[[x]]" names the same section as "[x]"; "[]" names the empty one.
      const std::size_t first = line.find_first_not_of('[');
      if (first == std::string_view::npos) {
        section.clear();
      } else {
        line.remove_prefix(first);
        line.remove_suffix(line.size() - 1 - line.find_last_not_of(']'));
        section.assign(line);
      }
      read.type = ReadLine::Type::kHeader;
      read.section = section;
      continue;
    }
    const std::size_t equals = FindEquals(line);
    if (equals == std::string_view::npos || equals == 0) continue;
    // Creating never fails.
    static_cast<void>(SetValue(section, line.substr(0, equals), line.substr(equals + 1), true));
    read.type = ReadLine::Type::kKeyValue;
    read.section = section;
    read.key.assign(line.substr(0, equals));
  }
  for (std::size_t s = 0; s < sections.size(); ++s)
    for (std::size_t k = 0; k < sections[s].keys.size(); ++k)
      readValues_.emplace(sectionNames[s] + '\0' + sections[s].keys[k], sections[s].values[k]);
}

const std::string* IniFile::ReadValue(const std::string& section, const std::string& key) const {
  const auto it = readValues_.find(section + '\0' + key);
  return it == readValues_.end() ? nullptr : &it->second;
}

std::string IniFile::SerializeInPlace() const {
  if (readLines_.empty()) return Serialize();
  // New lines take the break the file's first line has.
  const std::string lineBreak =
      readLines_.front().lineBreak.empty() ? "\r\n" : readLines_.front().lineBreak;
  // Where each section's new keys go: after its last key line, else its last header.
  std::unordered_map<std::string, std::size_t> anchor;
  std::unordered_map<std::string, bool> anchoredOnKey;
  std::unordered_set<std::string> keysInFile;  // section + '\0' + key
  for (std::size_t i = 0; i < readLines_.size(); ++i) {
    const ReadLine& line = readLines_[i];
    if (line.type == ReadLine::Type::kKeyValue) {
      anchor[line.section] = i;
      anchoredOnKey[line.section] = true;
      keysInFile.insert(line.section + '\0' + line.key);
    } else if (line.type == ReadLine::Type::kHeader && !anchoredOnKey[line.section]) {
      anchor[line.section] = i;
    }
  }
  std::unordered_map<std::size_t, std::string> newSectionAt;  // anchor line -> section
  for (const auto& [name, i] : anchor) newSectionAt[i] = name;

  std::string out;
  std::string pendingBreak;  // the break of the last line written, when it had none
  const auto put = [&](std::string_view text, std::string_view ownBreak) {
    out += pendingBreak;
    out += text;
    out += ownBreak;
    pendingBreak = ownBreak.empty() ? lineBreak : std::string();
  };
  std::unordered_set<std::string> written;
  for (std::size_t i = 0; i < readLines_.size(); ++i) {
    const ReadLine& line = readLines_[i];
    if (line.type != ReadLine::Type::kKeyValue) {
      put(line.text, line.lineBreak);
    } else {
      const int s = FindSection(line.section);
      const int k = FindKey(s, line.key);
      const bool first = written.insert(line.section + '\0' + line.key).second;
      if (k >= 0) {
        const std::string& value =
            sections[static_cast<std::size_t>(s)].values[static_cast<std::size_t>(k)];
        const std::string* before = ReadValue(line.section, line.key);
        if (before != nullptr && *before == value) {
          put(line.text, line.lineBreak);
        } else if (first) {
          put(line.key + '=' + value, line.lineBreak);
        }
      }
    }
    const auto at = newSectionAt.find(i);
    if (at == newSectionAt.end()) continue;
    const int s = FindSection(at->second);
    if (s < 0) continue;
    const SectionData& data = sections[static_cast<std::size_t>(s)];
    for (std::size_t k = 0; k < data.keys.size(); ++k)
      if (!keysInFile.contains(at->second + '\0' + data.keys[k]))
        put(data.keys[k] + '=' + data.values[k], lineBreak);
  }
  // Sections the file did not have go at its end, an empty line apart.
  bool separated = out.empty() || readLines_.back().text.empty();
  for (std::size_t s = 0; s < sections.size(); ++s) {
    if (anchor.contains(sectionNames[s]) || sections[s].keys.empty()) continue;
    if (!separated) put("", lineBreak);
    put('[' + sectionNames[s] + ']', lineBreak);
    for (std::size_t k = 0; k < sections[s].keys.size(); ++k)
      put(sections[s].keys[k] + '=' + sections[s].values[k], lineBreak);
    put("", lineBreak);
    separated = true;
  }
  return out;
}

bool IniFile::RemoveKey(std::string_view section, std::string_view key) {
  const int s = FindSection(section);
  const int k = FindKey(s, key);
  if (k < 0) return false;
  SectionData& data = sections[static_cast<std::size_t>(s)];
  data.keys.erase(data.keys.begin() + k);
  data.values.erase(data.values.begin() + k);
  data.index.clear();
  for (std::size_t i = 0; i < data.keys.size(); ++i)
    data.index.emplace(data.keys[i], static_cast<int>(i));
  return true;
}

std::string IniFile::Serialize() const {
  std::string out;
  for (std::size_t s = 0; s < sections.size(); ++s) {
    const SectionData& data = sections[s];
    if (data.keys.empty()) continue;
    out += '[';
    out += sectionNames[s];
    out += "]\r\n";
    for (std::size_t k = 0; k < data.keys.size(); ++k) {
      out += data.keys[k];
      out += '=';
      out += data.values[k];
      out += "\r\n";
    }
    out += "\r\n";
  }
  return out;
}

bool IniFile::GetValue(std::string& out, std::string_view section, std::string_view key,
                       std::string* error) {
  const int s = FindSection(section);
  if (s < 0) {
    SetError(error, kKeyNotFound);
    out.clear();
    return false;
  }
  const int k = FindKey(s, key);
  if (k < 0) {
    SetError(error, kValueNotFound);
    out.clear();
    return false;
  }
  out = sections[static_cast<std::size_t>(s)].values[static_cast<std::size_t>(k)];
  return true;
}

bool IniFile::SetValue(std::string_view section, std::string_view key, std::string_view value,
                       bool create) {
  int s = FindSection(section);
  if (s < 0) {
    if (!create) return false;
    sectionNames.emplace_back(section);
    sections.emplace_back();
    s = static_cast<int>(sections.size()) - 1;
    sectionIndex_.emplace(std::string(section), s);
  }
  SectionData& data = sections[static_cast<std::size_t>(s)];
  int k = FindKey(s, key);
  if (k < 0) {
    if (!create) return false;
    k = static_cast<int>(data.keys.size());
    data.keys.emplace_back(key);
    data.values.emplace_back();
    data.index.emplace(std::string(key), k);
  }
  data.values[static_cast<std::size_t>(k)].assign(value);
  return true;
}

bool IniFile::GetIntValue(int& out, std::string_view section, std::string_view key,
                          std::string* error) {
  std::string text;
  if (!GetValue(text, section, key, error)) {
    out = 0;
    return false;
  }
  // Read like C's atoi: blanks, a sign, digits up to the first other byte. A
  // value out of range saturates instead of being undefined.
  const char* p = text.c_str();
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  const bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  long long n = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    n = n * 10 + (*p - '0');
    if (n > 2147483648LL) n = 2147483648LL;
  }
  if (negative) n = -n;
  if (n > 2147483647LL) n = 2147483647LL;
  out = static_cast<int>(n);
  return true;
}

bool IniFile::SetIntValue(std::string_view section, std::string_view key, int value, bool create) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", value);
  return SetValue(section, key, text, create);
}

int IniFile::FindSection(std::string_view name) const {
  const auto it = sectionIndex_.find(std::string(name));
  return it == sectionIndex_.end() ? -1 : it->second;
}

int IniFile::FindKey(int section, std::string_view key) const {
  if (section < 0 || static_cast<std::size_t>(section) >= sections.size()) return -1;
  const SectionData& data = sections[static_cast<std::size_t>(section)];
  const auto it = data.index.find(std::string(key));
  return it == data.index.end() ? -1 : it->second;
}

void IniFile::Clear() {
  sections.clear();
  sectionNames.clear();
  sectionIndex_.clear();
  readLines_.clear();
  readValues_.clear();
}

}  // namespace quillmark
