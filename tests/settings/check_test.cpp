// settings --check: each kind of mistake a person makes in a settings file,
// with the line it is on and what the system will do with it.
#include "quillmark/settings_check.h"

#include <algorithm>
#include <fstream>
#include <regex>
#include <set>

#include "test_support.h"

namespace quillmark {
namespace {

std::string Render(const std::vector<SettingsProblem>& problems) {
  std::string out;
  for (const SettingsProblem& problem : problems) out += FormatProblem("f.ini", problem) + "\n";
  return out;
}

TEST(CheckSettingsTest, EachKindOfMistake) {
  const struct {
    const char* text;
    const char* expected;
    const char* why;
  } kRows[] = {
      {"[类声明注释]\nCommentLineCount=1\nLine0=// %ClassName%\n; a comment\n\n"
       "[用户信息]\nAuthorName=A\nCompanyName=C\n[Quillmark]\nParser=syntax\n",
       "", "a clean file gives nothing"},
      {"[类声明注释\nCommentLineCount=1\nLine0=x\n",
       "f.ini:1: warning: section header '[类声明注释' does not end in ']'; it is no header, "
       "and is ignored\n",
       "unclosed header; the keys below are then in no section and not reported again"},
      {"[用户信息]\nAuthorName=A\n[普通函数注释\nCommentLineCount=1\n",
       "f.ini:3: warning: section header '[普通函数注释' does not end in ']'; it is no header, "
       "and is ignored; the keys below stay in [用户信息]\n"
       "f.ini:4: warning: unknown key 'CommentLineCount' in [用户信息]; it is not used\n",
       "unclosed header after a section: its keys land in the one above"},
      {"[类声明注释]\nCommentLineCount=1\nLine0=// %Autor%\n",
       "f.ini:3: warning: %Autor% is no placeholder; it is written out as it stands; "
       "did you mean %Author%?\n",
       "misspelt placeholder, with the nearest name"},
      {"[普通函数注释]\nCommentLineCount=2\nLine0=// %ClassName%\nLine1=100% of %Function%\n",
       "f.ini:3: warning: %ClassName% is not filled in [普通函数注释] blocks; it is written out "
       "as it stands\n",
       "a placeholder of another kind; a lone '%' is text"},
      {"[用户信息]\nAuthorNme=A\nCompanyName =C\n",
       "f.ini:2: warning: unknown key 'AuthorNme' in [用户信息]; did you mean 'AuthorName'?\n"
       "f.ini:3: warning: unknown key 'CompanyName ' in [用户信息]; spaces around '=' are part "
       "of the key: did you mean 'CompanyName'?\n",
       "misspelt key; a key with a space before '='"},
      {"[普通函数注释]\nAuthorName=A\nParsr=syntax\n",
       "f.ini:2: warning: unknown key 'AuthorName' in [普通函数注释]; it belongs in [用户信息]\n"
       "f.ini:3: warning: unknown key 'Parsr' in [普通函数注释]; it belongs in [Quillmark]\n",
       "a key of another section"},
      {"[类声明注释]\nCommentLineCount=2\nLine0=a\nLine1 // Returns\nLine01=b\n",
       "f.ini:2: warning: CommentLineCount=2 but Line1 is missing; the template has 1 lines\n"
       "f.ini:4: warning: line 'Line1 // Returns' has no '=' and is ignored\n"
       "f.ini:5: warning: unknown key 'Line01' in [类声明注释]; did you mean 'Line1'?\n",
       "a line without '='; a line key with a leading zero"},
      {"[类声明注释]\nCommentLineCount=4\nLine0=a\nLine1=b\nLine2=c\nLine3=d\nLine4=e\nLine5=f\n",
       "f.ini:2: warning: CommentLineCount=4 but [类声明注释] has 6 Line keys; Line4, Line5 are "
       "not used\n",
       "the count cuts a longer template short"},
      {"[类声明注释]\nLine0=a\n",
       "f.ini:1: warning: [类声明注释] has Line keys but no CommentLineCount; its template is "
       "empty\n",
       "no count at all"},
      {"[类声明注释]\nCommentLineCount=abc\nLine0=a\n[方法声明]\nCommentLineCount=1x\nLine0=b\n",
       "f.ini:2: warning: CommentLineCount=abc is not a number; it reads as 0, so the template "
       "is empty\n"
       "f.ini:5: warning: CommentLineCount=1x is not a number; it reads as 1\n",
       "non-numbers, read the way the system reads them"},
      {"[用户信息]\nAuthorName=A\n[类声明注释]\nCommentLineCount=0\n[用户信息]\nAuthorName=B\n",
       "f.ini:5: warning: section [用户信息] appears again (first at line 1); its keys continue "
       "that section\n"
       "f.ini:6: warning: key 'AuthorName' appears again in [用户信息] (first at line 2); this "
       "later value is the one used\n",
       "duplicate section and key"},
      {"[类申明注释]\nCommentLineCount=1\n[ 用户信息 ]\nAuthorName=A\n[Colors]\nX=1\n",
       "f.ini:1: warning: unknown section [类申明注释]; did you mean [类声明注释]?\n"
       "f.ini:3: warning: unknown section [ 用户信息 ]; spaces in a header are part of the name: "
       "did you mean [用户信息]?\n"
       "f.ini:5: warning: unknown section [Colors]; its keys are not used\n",
       "unknown sections"},
      {"AuthorName=A\n[]\nX=1\n=value\n; Line3=x\n",
       "f.ini:1: warning: key 'AuthorName' comes before any [section] and is not used\n"
       "f.ini:2: warning: '[]' names no section; the keys below it are not used\n"
       "f.ini:3: warning: key 'X' comes before any [section] and is not used\n"
       "f.ini:4: warning: line starts with '=': it has no key and is ignored\n"
       "f.ini:5: warning: this comment holds '=', so it is read as the key '; Line3' (start it "
       "with ';' and leave out '=')\n",
       "keys in no section, an empty key, a comment with '='"},
      {"[用户信息]\r\nAuthorName=😀\r\n[Quillmark]\r\nParser=fast\r\n",
       "f.ini:2: warning: '😀' cannot be written in code page 936: the Windows module and GBK "
       "source files get '?' in its place\n"
       "f.ini:4: warning: Parser=fast is neither syntax nor keywords; the keyword mode is used\n",
       "a character outside code page 936; a bad option value; CR LF line ends"},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.why);
    EXPECT_EQ(row.expected, Render(CheckSettingsText(row.text, true, testing::Converter())));
  }
}

TEST(CheckSettingsTest, TheFirstStartFileIsClean) {
  std::vector<SettingsProblem> problems;
  std::string error;
  ASSERT_TRUE(CheckSettingsFile(QUILLMARK_TEST_DATA "/settings/data/first_start.ini",
                                testing::Converter(), &problems, &error))
      << error;
  EXPECT_EQ("", Render(problems));
}

TEST(CheckSettingsTest, TheReferenceNamesTheTreesSections) {
  const TemplateTree tree;
  std::vector<std::string_view> fromTree;
  const auto walk = [&](const TemplateNode* node, auto& self) -> void {
    for (; node != nullptr; node = node->next.get()) {
      if (!node->IsGroup()) fromTree.push_back(node->name);
      self(node->firstChild.get(), self);
    }
  };
  walk(tree.root.get(), walk);
  std::vector<std::string_view> fromReference;
  for (const SettingsSection& section : SettingsSections()) {
    if (section.kind == DeclKind::None) continue;
    fromReference.push_back(section.name);
    EXPECT_EQ(section.name, tree.FindKindNode(section.kind)->name);
  }
  EXPECT_EQ(fromTree, fromReference);
}

}  // namespace
}  // namespace quillmark

namespace quillmark {
namespace {

std::string ReadSource(const std::string& name) {
  std::string bytes;
  EXPECT_TRUE(ReadWholeFile(std::string(QUILLMARK_SOURCE_DIR) + "/" + name, bytes, nullptr));
  return bytes;
}

// The text from the line starting with `start` to the next line starting with
// `end` (or the end).
std::string Part(const std::string& text, const std::string& start, const std::string& end) {
  const std::size_t from = text.find("\n" + start);
  if (from == std::string::npos) return {};
  const std::size_t to = text.find("\n" + end, from + 1);
  return text.substr(from + 1, to == std::string::npos ? std::string::npos : to - from - 1);
}

std::set<std::string> Matches(const std::string& text, const std::regex& pattern) {
  std::set<std::string> found;
  for (std::sregex_iterator it(text.begin(), text.end(), pattern), end; it != end; ++it)
    found.insert((*it)[1].str());
  return found;
}

const std::regex kPlaceholder(R"((%[A-Za-z]+%))");

std::set<std::string> Strings(const std::vector<std::string_view>& names) {
  return {names.begin(), names.end()};
}

// What the code knows, in the documents' spelling.
std::set<std::string> KnownKeys() {
  std::set<std::string> keys;
  for (const SettingsSection& section : SettingsSections())
    for (const std::string_view key : SettingsKeys(section))
      keys.insert(key == "Line0" ? "Line<n>" : std::string(key));
  return keys;
}

std::set<std::string> OwnPlaceholders(DeclKind kind) {
  std::set<std::string> own = Strings(PlaceholdersFilled(kind));
  if (kind == DeclKind::None) return {};
  for (const std::string_view general : PlaceholdersFilled(DeclKind::None))
    own.erase(std::string(general));
  return own;
}

// The README's and the man page's reference of the settings file list every
// section, key and placeholder the code knows, each where the code uses it,
// and nothing else.
// The reference's placeholder lists are the engine's: a probe line holding
// every placeholder comes out of each kind's generator with exactly the ones
// the reference says it fills replaced.
TEST(SettingsReferenceTest, PlaceholdersAreTheOnesTheGeneratorsFill) {
  const TemplateTree tree;
  const struct {
    DeclKind kind;
    const char* declaration;
  } kRows[] = {
      {DeclKind::Class, "class CFoo : public CBase"},
      {DeclKind::Struct, "struct tagS : B {"},
      {DeclKind::Union, "union UValue {"},
      {DeclKind::Enum, "enum EColor {"},
      {DeclKind::Function, "int Area(int w, int h)"},
      {DeclKind::MemberFunction, "int CShape::Area(int w, int h)"},
      {DeclKind::Macro, "#define LIMIT 10"},
      {DeclKind::MacroWithParams, "#define MAX(a, b) ((a) > (b) ? (a) : (b))"},
      {DeclKind::Interface, "interface IShape : IUnknown"},
      {DeclKind::MethodDeclaration, "STDMETHOD(Draw)(HDC dc) PURE;"},
      {DeclKind::MethodImplementation, "STDMETHODIMP CShape::Draw(HDC dc)"},
      {DeclKind::FileHeader, "int x;"},
  };
  std::string probe;
  for (const std::string_view placeholder : AllPlaceholders())
    probe += std::string(placeholder) + "|";
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.declaration);
    const std::optional<std::string> block =
        testing::Generate(tree.FindKindNode(row.kind)->generator, row.declaration, {probe});
    ASSERT_TRUE(block.has_value());
    std::set<std::string> filled;
    for (const std::string_view placeholder : AllPlaceholders())
      if (block->find(placeholder) == std::string::npos) filled.emplace(placeholder);
    EXPECT_EQ(Strings(PlaceholdersFilled(row.kind)), filled);
  }
}

TEST(SettingsReferenceTest, ReadmeMatchesTheCode) {
  const std::string part = Part(ReadSource("README.md"), "## The settings file", "## ");
  ASSERT_FALSE(part.empty());
  const std::string sections = Part(part, "### Sections", "### ");
  const std::regex row(R"(\n\| `\[([^\]]+)\]` \| ([^|]+) \| ([^|]+) \|)");
  std::vector<std::string> names;
  for (std::sregex_iterator it(sections.begin(), sections.end(), row), end; it != end; ++it) {
    const std::string name = (*it)[1].str();
    SCOPED_TRACE(name);
    names.push_back(name);
    const auto known = std::find_if(SettingsSections().begin(), SettingsSections().end(),
                                    [&](const SettingsSection& s) { return s.name == name; });
    ASSERT_NE(SettingsSections().end(), known);
    EXPECT_TRUE((*it)[2].str().starts_with(known->english)) << (*it)[2].str();
    EXPECT_EQ(OwnPlaceholders(known->kind), Matches((*it)[3].str(), kPlaceholder));
  }
  std::vector<std::string> expected;
  for (const SettingsSection& section : SettingsSections()) expected.emplace_back(section.name);
  EXPECT_EQ(expected, names);
  EXPECT_EQ(KnownKeys(),
            Matches(Part(part, "### Keys", "### "), std::regex(R"(\n\| `([^`]+)` \|)")));
  const std::string placeholders = Part(part, "### Placeholders", "### ");
  EXPECT_EQ(Strings(AllPlaceholders()),
            Matches(placeholders, std::regex(R"(\n\| `(%[A-Za-z]+%)` \|)")));
  EXPECT_EQ(Strings(PlaceholdersFilled(DeclKind::None)),
            Matches(placeholders, std::regex(R"(\n\| `(%[A-Za-z]+%)` \|[^\n]*\(general\) \|)")));
  EXPECT_EQ(Strings(AllPlaceholders()), Matches(part, kPlaceholder)) << "nothing else anywhere";
}

TEST(SettingsReferenceTest, ManPageMatchesTheCode) {
  const std::string part =
      Part(ReadSource("packaging/quillmark.1.in"), ".SH SETTINGS FILE", ".SH ");
  ASSERT_FALSE(part.empty());
  const std::string sections = Part(part, ".SS Sections", ".SS ");
  // An entry: ".B [name]", then its text up to the next request line that starts one.
  const std::regex entry(R"(\.TP\n\.B \[([^\]]+)\]\n((?:[^.][^\n]*\n)+))");
  std::vector<std::string> names;
  for (std::sregex_iterator it(sections.begin(), sections.end(), entry), end; it != end; ++it) {
    const std::string name = (*it)[1].str();
    SCOPED_TRACE(name);
    names.push_back(name);
    const auto known = std::find_if(SettingsSections().begin(), SettingsSections().end(),
                                    [&](const SettingsSection& s) { return s.name == name; });
    ASSERT_NE(SettingsSections().end(), known);
    EXPECT_TRUE((*it)[2].str().starts_with(known->english)) << (*it)[2].str();
    EXPECT_EQ(OwnPlaceholders(known->kind), Matches((*it)[2].str(), kPlaceholder));
  }
  std::vector<std::string> expected;
  for (const SettingsSection& section : SettingsSections()) expected.emplace_back(section.name);
  EXPECT_EQ(expected, names);
  EXPECT_EQ(KnownKeys(),
            Matches(Part(part, ".SS Keys", ".SS "), std::regex(R"(\n\.TP\n\.B (\S+)\n)")));
  EXPECT_EQ(Strings(AllPlaceholders()), Matches(Part(part, ".SS Placeholders", ".SS "),
                                                std::regex(R"(\n\.TP\n\.B (%[A-Za-z]+%)\n)")));
  EXPECT_EQ(Strings(AllPlaceholders()), Matches(part, kPlaceholder)) << "nothing else anywhere";
}

}  // namespace
}  // namespace quillmark
