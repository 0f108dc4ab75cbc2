// The settings reference and the checker: the file is read line by line with
// the store's rules, and each place where those rules silently drop or
// misread what was written becomes a warning with its line number.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <set>

#include "quillmark/files.h"
#include "quillmark/settings.h"
#include "quillmark/settings_check.h"

namespace quillmark {
namespace {

constexpr std::string_view kGeneralPlaceholders[] = {
    "%CaretPos%", "%Author%", "%Company%", "%ProjectName%", "%CurrentFileName%", "%Time%"};

std::vector<std::string_view> KindPlaceholders(DeclKind kind) {
  switch (kind) {
    case DeclKind::Class:
      return {"%ClassName%", "%BaseClassName%"};
    case DeclKind::Struct:
      return {"%StructName%", "%BaseClassName%"};
    case DeclKind::Union:
      return {"%UnionName%"};
    case DeclKind::Enum:
      return {"%EnumName%"};
    case DeclKind::Function:
      return {"%Function%", "%ReturnValue%", "%FunctionParam%"};
    case DeclKind::MemberFunction:
      return {"%Function%", "%ClassName%", "%ReturnValue%", "%FunctionParam%"};
    case DeclKind::Macro:
      return {"%MicroName%"};
    case DeclKind::MacroWithParams:
      return {"%MicroName%", "%FunctionParam%"};
    case DeclKind::Interface:
      return {"%Interface%", "%BaseInterface%"};
    case DeclKind::MethodDeclaration:
      return {"%MethodName%", "%ReturnValue%", "%FunctionParam%"};
    case DeclKind::MethodImplementation:
      return {"%Interface%", "%MethodName%", "%ReturnValue%", "%FunctionParam%"};
    case DeclKind::FileHeader:
    case DeclKind::None:
      break;
  }
  return {};
}

std::size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::string Quoted(std::string_view text) {
  return "'" + std::string(text) + "'";
}

// The number a "Line<n>" key stands for, written as the store writes it; -1 otherwise.
long long LineKeyNumber(std::string_view key) {
  if (!key.starts_with("Line")) return -1;
  const std::string_view digits = key.substr(4);
  if (digits.empty() || digits.size() > 9 || (digits.size() > 1 && digits.front() == '0'))
    return -1;
  long long n = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return -1;
    n = n * 10 + (c - '0');
  }
  return n;
}

// The value as the store reads an integer, and whether it is a plain number.
int ReadCount(std::string_view text, bool& plain) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  const bool negative = i < text.size() && text[i] == '-';
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  const std::size_t digitsStart = i;
  long long n = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    n = std::min(n * 10 + (text[i] - '0'), 2147483648LL);
  plain = i > digitsStart && i == text.size();
  if (negative) n = -n;
  return static_cast<int>(std::clamp(n, -2147483648LL, 2147483647LL));
}

std::string NumberList(const std::vector<long long>& numbers) {
  std::string out;
  for (std::size_t i = 0; i < numbers.size() && i < 3; ++i) {
    if (i > 0) out += ", ";
    out += "Line" + std::to_string(numbers[i]);
  }
  if (numbers.size() > 3) out += " and " + std::to_string(numbers.size() - 3) + " more";
  return out;
}

std::size_t Utf8Length(unsigned char lead) {
  if (lead < 0x80) return 1;
  if ((lead >> 5) == 0x6) return 2;
  if ((lead >> 4) == 0xE) return 3;
  return 4;
}

// The first character of `text` code page 936 cannot hold, or nothing.
std::optional<std::string_view> FirstCharacterOutsideGbk(std::string_view text,
                                                         const TextConverter& converter) {
  if (converter.Utf8ToGbk(text)) return std::nullopt;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length =
        std::min(Utf8Length(static_cast<unsigned char>(text[i])), text.size() - i);
    const std::string_view character = text.substr(i, length);
    if (length > 1 && !converter.Utf8ToGbk(character)) return character;
    i += length;
  }
  return std::nullopt;
}

struct KindSection {
  int headerLine = 0;
  int countLine = 0;  // 0: no CommentLineCount
  int count = 0;
  bool countPlain = true;
  std::map<long long, int> lineKeys;  // number -> line of the file
};

class Checker {
 public:
  Checker(bool checkCodePage, const TextConverter& converter)
      : checkCodePage_(checkCodePage), converter_(converter) {}

  void Line(int number, std::string_view line);
  std::vector<SettingsProblem> Finish();

 private:
  void Warn(int line, std::string message) { problems_.push_back({line, std::move(message)}); }
  void Header(int number, std::string_view name);
  void KeyValue(int number, std::string_view key, std::string_view value);
  void KindKey(int number, const SettingsSection& section, std::string_view key,
               std::string_view value);
  void Placeholders(int number, DeclKind kind, std::string_view sectionName,
                    std::string_view value);
  void UnknownKey(int number, const SettingsSection& section, std::string_view key);

  bool checkCodePage_;
  const TextConverter& converter_;
  std::vector<SettingsProblem> problems_;
  std::string section_;
  bool sectionClosedBadly_ = false;
  std::map<std::string, int> headers_;                           // name -> first line
  std::map<std::pair<std::string, std::string>, int> keyLines_;  // (section, key) -> first line
  std::map<std::string, KindSection> kinds_;
};

const SettingsSection* FindSettingsSection(std::string_view name) {
  for (const SettingsSection& section : SettingsSections())
    if (section.name == name) return &section;
  return nullptr;
}

std::vector<std::string_view> SectionNames() {
  std::vector<std::string_view> names;
  for (const SettingsSection& section : SettingsSections()) names.push_back(section.name);
  return names;
}

// The section whose key this is, written exactly or with a slip.
const SettingsSection* SectionOfKey(std::string_view key, std::string_view trimmed) {
  for (const SettingsSection& section : SettingsSections()) {
    if (section.kind != DeclKind::None) continue;
    const std::vector<std::string_view> keys = SettingsKeys(section);
    if (std::find(keys.begin(), keys.end(), trimmed) != keys.end() ||
        !NearestName(key, keys).empty())
      return &section;
  }
  return nullptr;
}

std::string_view Trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

void Checker::Line(int number, std::string_view line) {
  if (line.empty()) return;
  const bool comment = line.front() == ';' || line.front() == '#';
  if (checkCodePage_ && !comment) {
    if (const auto character = FirstCharacterOutsideGbk(line, converter_))
      Warn(number, Quoted(*character) +
                       " cannot be written in code page 936: the Windows module and GBK "
                       "source files get '?' in its place");
  }
  if (line.front() == '[' && line.back() == ']') {
    const std::size_t first = line.find_first_not_of('[');
    if (first == std::string_view::npos) {
      Header(number, {});
      return;
    }
    line.remove_prefix(first);
    line.remove_suffix(line.size() - 1 - line.find_last_not_of(']'));
    Header(number, line);
    return;
  }
  const std::size_t equals = line.find('=');
  if (line.front() == '[') {
    Warn(number,
         "section header " + Quoted(line) + " does not end in ']'; it is no header" +
             (equals == std::string_view::npos ? ", and is ignored" : ", and is read as a key") +
             (section_.empty() ? std::string() : "; the keys below stay in [" + section_ + "]"));
    sectionClosedBadly_ = true;
    if (equals == std::string_view::npos) return;
  }
  if (equals == std::string_view::npos) {
    if (!comment) Warn(number, "line " + Quoted(line) + " has no '=' and is ignored");
    return;
  }
  if (equals == 0) {
    Warn(number, "line starts with '=': it has no key and is ignored");
    return;
  }
  if (comment) {
    Warn(number, "this comment holds '=', so it is read as the key " +
                     Quoted(line.substr(0, equals)) + " (start it with ';' and leave out '=')");
    return;
  }
  KeyValue(number, line.substr(0, equals), line.substr(equals + 1));
}

void Checker::Header(int number, std::string_view name) {
  section_.assign(name);
  sectionClosedBadly_ = false;
  if (name.empty()) {
    Warn(number, "'[]' names no section; the keys below it are not used");
    return;
  }
  const auto [it, first] = headers_.emplace(std::string(name), number);
  if (!first) {
    Warn(number, "section [" + std::string(name) + "] appears again (first at line " +
                     std::to_string(it->second) + "); its keys continue that section");
    return;
  }
  const SettingsSection* known = FindSettingsSection(name);
  if (known == nullptr) {
    const std::string_view trimmed = Trimmed(name);
    std::string message = "unknown section [" + std::string(name) + "]";
    if (FindSettingsSection(trimmed) != nullptr && trimmed != name) {
      message +=
          "; spaces in a header are part of the name: did you mean [" + std::string(trimmed) + "]?";
    } else if (const std::string_view near = NearestName(name, SectionNames()); !near.empty()) {
      message += "; did you mean [" + std::string(near) + "]?";
    } else {
      message += "; its keys are not used";
    }
    Warn(number, std::move(message));
    return;
  }
  if (known->kind != DeclKind::None) kinds_[std::string(name)].headerLine = number;
}

void Checker::KeyValue(int number, std::string_view key, std::string_view value) {
  if (section_.empty()) {
    if (!sectionClosedBadly_)
      Warn(number, "key " + Quoted(key) + " comes before any [section] and is not used");
    return;
  }
  const auto [it, first] = keyLines_.emplace(std::make_pair(section_, std::string(key)), number);
  if (!first)
    Warn(number, "key " + Quoted(key) + " appears again in [" + section_ + "] (first at line " +
                     std::to_string(it->second) + "); this later value is the one used");
  const SettingsSection* section = FindSettingsSection(section_);
  if (section == nullptr) return;  // said at the header
  if (section->kind != DeclKind::None) {
    KindKey(number, *section, key, value);
    return;
  }
  const std::vector<std::string_view> keys = SettingsKeys(*section);
  if (std::find(keys.begin(), keys.end(), key) == keys.end()) {
    UnknownKey(number, *section, key);
    return;
  }
  if (key == kParserKey && !ParseParserMode(value))
    Warn(number, "Parser=" + std::string(value) +
                     " is neither syntax nor keywords; the keyword mode is used");
}

void Checker::KindKey(int number, const SettingsSection& section, std::string_view key,
                      std::string_view value) {
  KindSection& kind = kinds_[section_];
  if (key == "CommentLineCount") {
    kind.countLine = number;
    kind.count = ReadCount(value, kind.countPlain);
    if (!kind.countPlain)
      Warn(number, "CommentLineCount=" + std::string(value) + " is not a number; it reads as " +
                       std::to_string(kind.count) +
                       (kind.count <= 0 ? ", so the template is empty" : ""));
    return;
  }
  const long long n = LineKeyNumber(key);
  if (n < 0) {
    UnknownKey(number, section, key);
    return;
  }
  kind.lineKeys[n] = number;
  Placeholders(number, section.kind, section.name, value);
}

void Checker::UnknownKey(int number, const SettingsSection& section, std::string_view key) {
  std::vector<std::string_view> keys = SettingsKeys(section);
  std::string lineKey;
  if (section.kind != DeclKind::None) {
    // "Line03", "line3", "Lin3": offer the Line key with the same digits.
    const std::size_t digits = key.find_first_of("0123456789");
    if (digits != std::string_view::npos) {
      const std::string number(key.substr(digits));
      if (number.find_first_not_of("0123456789") == std::string::npos) {
        const long long n = std::atoll(number.c_str());
        lineKey = "Line" + std::to_string(n);
      }
    }
  }
  std::string message = "unknown key " + Quoted(key) + " in [" + std::string(section.name) + "]";
  const std::string_view trimmed = Trimmed(key);
  if (trimmed != key && std::find(keys.begin(), keys.end(), trimmed) != keys.end()) {
    message += "; spaces around '=' are part of the key: did you mean " + Quoted(trimmed) + "?";
  } else if (!lineKey.empty() && lineKey != key) {
    message += "; did you mean " + Quoted(lineKey) + "?";
  } else if (const std::string_view near = NearestName(key, keys); !near.empty()) {
    message += "; did you mean " + Quoted(near) + "?";
  } else if (const SettingsSection* home = SectionOfKey(key, trimmed)) {
    message += "; it belongs in [" + std::string(home->name) + "]";
  } else {
    message += "; it is not used";
  }
  Warn(number, std::move(message));
}

void Checker::Placeholders(int number, DeclKind kind, std::string_view sectionName,
                           std::string_view value) {
  const std::vector<std::string_view> filled = PlaceholdersFilled(kind);
  const std::vector<std::string_view> all = AllPlaceholders();
  const auto isNameByte = [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
  };
  std::size_t at = value.find('%');
  while (at != std::string_view::npos) {
    const std::size_t close = value.find('%', at + 1);
    if (close == std::string_view::npos) break;
    const std::string_view name = value.substr(at + 1, close - at - 1);
    if (name.empty() || !std::all_of(name.begin(), name.end(), isNameByte)) {
      at = close;  // the second '%' may open a placeholder
      continue;
    }
    const std::string_view placeholder = value.substr(at, close - at + 1);
    if (std::find(filled.begin(), filled.end(), placeholder) == filled.end()) {
      if (std::find(all.begin(), all.end(), placeholder) != all.end()) {
        Warn(number, std::string(placeholder) + " is not filled in [" + std::string(sectionName) +
                         "] blocks; it is written out as it stands");
      } else {
        std::string message =
            std::string(placeholder) + " is no placeholder; it is written out as it stands";
        std::string_view near = NearestName(placeholder, filled);
        if (near.empty()) near = NearestName(placeholder, all);
        if (!near.empty()) message += "; did you mean " + std::string(near) + "?";
        Warn(number, std::move(message));
      }
    }
    at = value.find('%', close + 1);
  }
}

std::vector<SettingsProblem> Checker::Finish() {
  for (const auto& [name, kind] : kinds_) {
    if (kind.lineKeys.empty()) continue;
    if (kind.countLine == 0) {
      Warn(kind.headerLine,
           "[" + name + "] has Line keys but no CommentLineCount; its template is empty");
      continue;
    }
    if (!kind.countPlain) continue;  // said where the count is
    std::vector<long long> beyond, missing;
    for (const auto& [n, line] : kind.lineKeys)
      if (n >= kind.count) beyond.push_back(n);
    for (long long n = 0; n < kind.count && missing.size() < 4; ++n)
      if (!kind.lineKeys.contains(n)) missing.push_back(n);
    const std::string count = "CommentLineCount=" + std::to_string(kind.count);
    if (!beyond.empty())
      Warn(kind.countLine, count + " but [" + name + "] has " +
                               std::to_string(kind.lineKeys.size()) + " Line keys; " +
                               NumberList(beyond) + (beyond.size() == 1 ? " is" : " are") +
                               " not used");
    if (!missing.empty())
      Warn(kind.countLine, count + " but " + NumberList(missing) +
                               (missing.size() == 1 ? " is" : " are") +
                               " missing; the template has " +
                               std::to_string(kind.lineKeys.size() - beyond.size()) + " lines");
  }
  std::stable_sort(
      problems_.begin(), problems_.end(),
      [](const SettingsProblem& a, const SettingsProblem& b) { return a.line < b.line; });
  return std::move(problems_);
}

}  // namespace

const std::vector<SettingsSection>& SettingsSections() {
  static const std::vector<SettingsSection> sections = {
      {"类声明注释", "class declaration comment", DeclKind::Class},
      {"结构体声明注释", "struct declaration comment", DeclKind::Struct},
      {"联合体声明注释", "union declaration comment", DeclKind::Union},
      {"枚举体声明注释", "enum declaration comment", DeclKind::Enum},
      {"普通函数注释", "plain function comment", DeclKind::Function},
      {"类成员函数注释", "class member function comment", DeclKind::MemberFunction},
      {"带参数宏注释", "macro with parameters comment", DeclKind::MacroWithParams},
      {"普通宏注释", "plain macro comment", DeclKind::Macro},
      {"接口声明", "interface declaration", DeclKind::Interface},
      {"方法声明", "method declaration", DeclKind::MethodDeclaration},
      {"方法实现", "method implementation", DeclKind::MethodImplementation},
      {"文件头注释", "file header comment", DeclKind::FileHeader},
      {kUserSection, "user information", DeclKind::None},
      {kQuillmarkSection, "this tool's own options; the Windows module ignores them",
       DeclKind::None},
  };
  return sections;
}

std::vector<std::string_view> SettingsKeys(const SettingsSection& section) {
  if (section.kind != DeclKind::None) return {"CommentLineCount", "Line0"};
  if (section.name == kUserSection) return {"AuthorName", "CompanyName"};
  return {kParserKey};
}

std::vector<std::string_view> PlaceholdersFilled(DeclKind kind) {
  std::vector<std::string_view> names(std::begin(kGeneralPlaceholders),
                                      std::end(kGeneralPlaceholders));
  for (const std::string_view name : KindPlaceholders(kind)) names.push_back(name);
  return names;
}

std::vector<std::string_view> AllPlaceholders() {
  std::vector<std::string_view> names;
  for (const SettingsSection& section : SettingsSections()) {
    if (section.kind == DeclKind::None) continue;
    for (const std::string_view name : PlaceholdersFilled(section.kind))
      if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  }
  return names;
}

std::string_view NearestName(std::string_view word, const std::vector<std::string_view>& names) {
  std::string_view best;
  std::size_t bestDistance = std::string_view::npos;
  for (const std::string_view name : names) {
    const std::size_t distance = EditDistance(word, name);
    if (distance < bestDistance) {
      best = name;
      bestDistance = distance;
    }
  }
  // A slip is a few bytes; beyond a third of the word it is another word.
  const std::size_t allowed = std::max<std::size_t>(2, word.size() / 3);
  return bestDistance > 0 && bestDistance <= allowed ? best : std::string_view();
}

std::vector<SettingsProblem> CheckSettingsText(std::string_view utf8, bool checkCodePage,
                                               const TextConverter& converter) {
  Checker checker(checkCodePage, converter);
  int number = 0;
  while (!utf8.empty()) {
    const std::size_t lf = utf8.find('\n');
    std::string_view line = utf8.substr(0, lf);
    utf8.remove_prefix(lf == std::string_view::npos ? utf8.size() : lf + 1);
    if (lf != std::string_view::npos && line.ends_with('\r')) line.remove_suffix(1);
    checker.Line(++number, line);
  }
  return checker.Finish();
}

bool DecodeSettingsBytes(std::string_view bytes, const TextConverter& converter, std::string* utf8,
                         FileEncoding* encoding) {
  IniFile file({}, converter);
  if (!file.LoadBytes(bytes)) return false;
  *encoding = file.encoding;
  if (file.encoding == FileEncoding::kGbk) {
    std::optional<std::string> text = converter.GbkToUtf8(bytes);
    if (!text) return false;
    *utf8 = std::move(*text);
  } else {
    if (file.encoding == FileEncoding::kUtf8Bom) bytes.remove_prefix(3);
    utf8->assign(bytes);
  }
  return true;
}

std::string EncodeSettingsText(std::string_view utf8, FileEncoding encoding,
                               const TextConverter& converter) {
  if (encoding == FileEncoding::kGbk) {
    if (std::optional<std::string> gbk = converter.Utf8ToGbk(utf8)) return std::move(*gbk);
    encoding = FileEncoding::kUtf8Bom;
  }
  return (encoding == FileEncoding::kUtf8Bom ? "\xEF\xBB\xBF" : "") + std::string(utf8);
}

bool CheckSettingsFile(const std::string& path, const TextConverter& converter,
                       std::vector<SettingsProblem>* problems, std::string* error) {
  std::string bytes;
  if (!ReadWholeFile(path, bytes, error)) return false;
  std::string text;
  FileEncoding encoding = FileEncoding::kGbk;
  if (!DecodeSettingsBytes(bytes, converter, &text, &encoding)) {
    if (error != nullptr)
      *error = path + ": neither UTF-8 nor code page 936 (GBK); the file cannot be read";
    return false;
  }
  *problems = CheckSettingsText(text, encoding != FileEncoding::kGbk, converter);
  IniFile file(path, converter);
  file.Parse(text);
  if (problems->empty() && !HoldsSettings(file))
    problems->push_back({1,
                         "no [section] with a key in it: this is no settings file, and "
                         "commands refuse to use it"});
  return true;
}

std::string FormatProblem(std::string_view path, const SettingsProblem& problem) {
  return std::string(path) + ":" + std::to_string(problem.line) + ": warning: " + problem.message;
}

}  // namespace quillmark
