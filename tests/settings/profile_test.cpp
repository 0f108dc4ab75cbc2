#include <filesystem>
#include <fstream>

#include "test_support.h"

namespace quillmark {
namespace {

using testing::EngineTest;
using testing::Gbk;

class ProfileTest : public testing::ScratchDirTest {
 protected:
  std::string Read(const std::string& path) {
    std::string bytes;
    EXPECT_TRUE(ReadWholeFile(path, bytes, nullptr));
    return bytes;
  }
  const TextConverter& converter_ = testing::Converter();
  void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
};

// The first-start file, in code page 936 with CR LF line ends, checked in.
std::string FirstStartFile() {
  std::string bytes;
  EXPECT_TRUE(ReadWholeFile(QUILLMARK_TEST_DATA "/settings/data/first_start.ini", bytes, nullptr));
  return bytes;
}

TEST_F(ProfileTest, FirstStartCreatesTheDefaultFile) {
  TemplateTree tree;
  ASSERT_TRUE(LoadSettings(tree, profile_, converter_, true, nullptr));
  EXPECT_EQ(FirstStartFile(), Read(profile_));
  // Saving unchanged settings rewrites the same bytes.
  ASSERT_TRUE(SaveSettings(tree, profile_, converter_, nullptr));
  EXPECT_EQ(FirstStartFile(), Read(profile_));
}

// "Your comments and layout survive": a load and a save rewrite only the
// lines whose values changed, in files of either encoding and line break.
TEST_F(ProfileTest, LoadAndSaveKeepCommentsAndLayout) {
  const auto replaced = [](std::string text, std::string_view from, std::string_view to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(std::string::npos, at) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
  };
  std::string commented = "; before the first section\r\n\r\n" +
                          converter_.GbkToUtf8(FirstStartFile()).value() + "; at the end";
  commented = replaced(commented, "CommentLineCount=11\r\n",
                       "CommentLineCount=11\r\n; inside a section\r\n\r\n");
  commented =
      replaced(commented, "\r\n[结构体声明注释]", "# between sections\r\n\r\n[结构体声明注释]");
  commented = replaced(commented, "AuthorName=Author Name\r\n",
                       "AuthorName=Author Name\r\n  ; indented, no '='\r\n");
  const std::string rule(63, '/');
  const std::string classLines = commented.substr(
      commented.find("Line0="), commented.find("\r\n# between") - commented.find("Line0="));
  const struct {
    void (*edit)(TemplateTree&);
    std::string expected;
    const char* why;
  } kEdits[] = {
      {[](TemplateTree&) {}, commented, "nothing changed: the same bytes"},
      {[](TemplateTree& tree) { tree.userInfo.authorName = "李四"; },
       replaced(commented, "AuthorName=Author Name", "AuthorName=李四"),
       "one value changed: only its line"},
      {[](TemplateTree& tree) {
         tree.FindKindNode(DeclKind::Class)->lines = {"// a", "// b"};
       },
       replaced(replaced(commented, classLines, "Line0=// a\r\nLine1=// b"), "CommentLineCount=11",
                "CommentLineCount=2"),
       "a shortened template: its count and lines change, its stale line keys go"},
  };
  for (const char* lineBreak : {"\r\n", "\n"}) {
    for (const bool gbk : {true, false}) {
      const auto onDisk = [&](std::string text) {
        if (std::string_view(lineBreak) == "\n") {
          for (std::size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos;)
            text.erase(at, 1);
        }
        return gbk ? Gbk(text) : text;
      };
      for (const auto& row : kEdits) {
        SCOPED_TRACE(std::string(row.why) + (gbk ? ", GBK" : ", UTF-8") +
                     (std::string_view(lineBreak) == "\n" ? ", LF" : ", CR LF"));
        WriteFile(profile_, onDisk(commented));
        TemplateTree tree;
        ASSERT_TRUE(LoadSettings(tree, profile_, converter_, false, nullptr));
        row.edit(tree);
        ASSERT_TRUE(SaveSettings(tree, profile_, converter_, nullptr));
        EXPECT_EQ(onDisk(row.expected), Read(profile_));
      }
    }
  }
}

TEST_F(ProfileTest, ProfilePath) {
  testing::TestPlatform platform;
  std::string path, error;
  const struct {
    std::optional<std::string> directory;
    std::optional<std::string> logon;
    const char* expected;  // null: no path
    const char* why;
  } kCases[] = {
      {"/cfg/", "li", "/cfg/Comment_li.ini", "logon name in the file name"},
      {"/cfg/", std::nullopt, "/cfg/Comment.ini", "no logon name: the fallback name"},
      {"/cfg/", "", "/cfg/Comment.ini", "an empty logon name is no name"},
      {"/cfg/", std::string(260, 'x'), "/cfg/Comment.ini",
       "a name the system's buffer cannot hold"},
      {std::nullopt, "li", nullptr, "no directory: no path, never the current directory"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    platform.profileDirectory = c.directory;
    platform.logonName = c.logon;
    path.clear();
    EXPECT_EQ(c.expected != nullptr, GetProfilePath(platform, "Comment.ini", path, &error));
    EXPECT_EQ(c.expected != nullptr ? c.expected : "", path);
  }
}

TEST_F(ProfileTest, LoadingEditedFiles) {
  const struct {
    const char* file;  // UTF-8; written as code page 936
    const char* kind;
    std::vector<std::string> lines;
    const char* author;
    const char* why;
  } kCases[] = {
      {"[普通宏注释]\r\nCommentLineCount=3\r\nLine0=a\r\nLine2=c\r\n",
       "普通宏注释",
       {"a", "c"},
       "",
       "a missing line key is skipped; a missing author is empty"},
      {"[普通宏注释]\r\nCommentLineCount=x\r\nLine0=a\r\n",
       "普通宏注释",
       {},
       "",
       "count not a number"},
      {"[普通宏注释]\r\nCommentLineCount=1\r\nLine0=\t// %Time%  \r\nLine1=old\r\n"
       "[用户信息]\r\nAuthorName=a=b\r\n",
       "普通宏注释",
       {"\t// %Time%  "},
       "a=b",
       "tabs, trailing spaces and = survive"},
      {"[other]\r\nx=1\r\n", "类声明注释", {}, "", "no section: no lines"},
      {"[普通宏注释]\r\nCommentLineCount=2147483647\r\nLine0=a\r\nLine7=b\r\nLine01=x\r\n",
       "普通宏注释",
       {"a", "b"},
       "",
       "an absurd count costs only the keys that exist; Line01 is not line 1"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    WriteFile(profile_, Gbk(c.file));
    TemplateTree tree;
    ASSERT_TRUE(LoadSettings(tree, profile_, converter_, false, nullptr));
    const TemplateNode* node = nullptr;
    for (const auto& [kind, n] : tree.kindTable)
      if (n->name == c.kind) node = n;
    ASSERT_NE(nullptr, node);
    EXPECT_EQ(c.lines, node->lines);
    EXPECT_EQ(c.author, tree.userInfo.authorName);
  }
}

TEST_F(ProfileTest, SaveKeepsUnknownEntriesAndDropsStaleLines) {
  WriteFile(profile_,
            Gbk("[mine]\r\nkeep=1\r\n[普通宏注释]\r\nCommentLineCount=9\r\nLine8=stale\r\n"));
  TemplateTree tree;
  tree.FindKindNode(DeclKind::Macro)->lines = {"x"};
  ASSERT_TRUE(SaveSettings(tree, profile_, converter_, nullptr));
  const std::string saved = Read(profile_);
  // The file's own lines stay as they were; the line key beyond the shortened
  // template goes; sections new to the file follow, an empty line apart.
  EXPECT_EQ(0u, saved.find(Gbk("[mine]\r\nkeep=1\r\n[普通宏注释]\r\nCommentLineCount=1\r\n"
                               "Line0=x\r\n\r\n[类声明注释]\r\n")));
  EXPECT_FALSE(SaveSettings(tree, (dir_ / "absent.ini").string(), converter_, nullptr));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "absent.ini"));
}

TEST_F(ProfileTest, QuillmarkSectionSurvivesSaves) {
  // A file shared with the Windows module: our section sits among its templates.
  WriteFile(profile_, Gbk("[Quillmark]\r\nParser=syntax\r\nFuture=1\r\n[普通宏注释]\r\n"
                          "CommentLineCount=1\r\nLine0=old\r\n"));
  TemplateTree tree;
  ASSERT_TRUE(LoadSettings(tree, profile_, converter_, false, nullptr));
  tree.FindKindNode(DeclKind::Macro)->lines = {"new"};
  ASSERT_TRUE(SaveSettings(tree, profile_, converter_, nullptr));
  EXPECT_EQ(0u, Read(profile_).find("[Quillmark]\r\nParser=syntax\r\nFuture=1\r\n["));
  QuillmarkOptions options;
  std::string error;
  ASSERT_TRUE(ReadQuillmarkOptions(profile_, converter_, &options, &error)) << error;
  EXPECT_EQ(ParserMode::kSyntax, options.parser);
}

TEST_F(ProfileTest, QuillmarkOptions) {
  const struct {
    const char* file;  // null: no file
    bool ok;
    std::optional<ParserMode> parser;  // nothing: the host's default
    const char* why;
  } kCases[] = {
      {nullptr, true, std::nullopt, "no settings file: the host's default"},
      {"[mine]\r\nk=1\r\n", true, std::nullopt, "no [Quillmark] section"},
      {"[Quillmark]\r\nOther=1\r\n", true, std::nullopt, "no Parser key"},
      {"[Quillmark]\r\nParser=syntax\r\n", true, ParserMode::kSyntax, "the syntax mode"},
      {"[Quillmark]\r\nParser=keywords\r\n", true, ParserMode::kKeywords, "said outright"},
      {"[Quillmark]\r\nParser=Syntax\r\n", false, std::nullopt,
       "values are exact, like every key of the file"},
      {"[Quillmark]\r\nParser=syntax \r\n", false, std::nullopt, "nothing is trimmed"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    std::filesystem::remove(profile_);
    if (c.file != nullptr) WriteFile(profile_, c.file);
    QuillmarkOptions options;
    std::string error;
    EXPECT_EQ(c.ok, ReadQuillmarkOptions(profile_, converter_, &options, &error)) << error;
    EXPECT_EQ(c.parser, options.parser);
    EXPECT_EQ(c.ok, error.empty());
  }
}

TEST_F(ProfileTest, Encodings) {
  // A UTF-8 file is read as UTF-8 and written back as UTF-8, BOM included.
  for (const std::string bom : {"", "\xEF\xBB\xBF"}) {
    SCOPED_TRACE(bom.empty() ? "UTF-8" : "UTF-8 with BOM");
    WriteFile(profile_, bom + "[用户信息]\r\nAuthorName=张三\r\n");
    TemplateTree tree;
    ASSERT_TRUE(LoadSettings(tree, profile_, converter_, true, nullptr));
    EXPECT_EQ("张三", tree.userInfo.authorName);
    ASSERT_TRUE(SaveSettings(tree, profile_, converter_, nullptr));
    const std::string saved = Read(profile_);
    EXPECT_EQ(0u, saved.find(bom + "[用户信息]\r\nAuthorName=张三\r\n"));
    EXPECT_NE(std::string::npos, saved.find("[类声明注释]"));
  }
  // A code page 936 file is held in UTF-8 in memory and stays 936 on disk.
  WriteFile(profile_, Gbk("[用户信息]\r\nAuthorName=张三\r\n"));
  {
    TemplateTree tree;
    ASSERT_TRUE(LoadSettings(tree, profile_, converter_, true, nullptr));
    EXPECT_EQ("张三", tree.userInfo.authorName);
    // A name code page 936 cannot hold turns the file into UTF-8 rather than lose it.
    tree.userInfo.authorName = "张三😀";
    ASSERT_TRUE(SaveSettings(tree, profile_, converter_, nullptr));
    EXPECT_EQ(0u, Read(profile_).find("\xEF\xBB\xBF[用户信息]\r\nAuthorName=张三😀\r\n"));
  }
  // Bytes with no character fail the load and are left alone.
  WriteFile(profile_, "[x]\r\nAuthorName=\x81\x20\r\n");
  TemplateTree tree;
  std::string error;
  EXPECT_FALSE(LoadSettings(tree, profile_, converter_, true, &error));
  EXPECT_NE(std::string::npos, error.find(kUnableToConvert)) << error;
  EXPECT_EQ("[x]\r\nAuthorName=\x81\x20\r\n", Read(profile_));
}

TEST_F(ProfileTest, FilesThatAreNoSettingsAreRefused) {
  const struct {
    const char* content;
    bool create;
    bool loads;
    const char* why;
  } kCases[] = {
      {"int main() { return 0; }\n", true, false, "a source file: no section at all"},
      {"key=value\r\n", false, false, "keys without a section"},
      {"", true, true, "zero bytes with create: filled with the defaults"},
      {"[x]\r\n", false, false, "a section without keys is no section"},
      {"[x]\r\na=1\r\n", false, true, "one section: a settings file"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    WriteFile(profile_, c.content);
    TemplateTree tree;
    std::string error;
    EXPECT_EQ(c.loads, LoadSettings(tree, profile_, converter_, c.create, &error)) << error;
    if (!c.loads) {
      EXPECT_EQ(c.content, Read(profile_));
    }
  }
}

TEST_F(ProfileTest, ZeroByteFileIsFilledAndUnwritablePathsFail) {
  WriteFile(profile_, "");
  {
    TemplateTree tree;
    ASSERT_TRUE(LoadSettings(tree, profile_, converter_, true, nullptr));
  }
  EXPECT_EQ(FirstStartFile(), Read(profile_));
  TemplateTree tree;
  std::string error;
  EXPECT_FALSE(
      LoadSettings(tree, (dir_ / "no" / "such" / "dir.ini").string(), converter_, true, &error));
  EXPECT_FALSE(LoadSettings(tree, dir_.string(), converter_, true, &error));  // a directory
  EXPECT_NE(std::string::npos, error.find("not a regular file")) << error;
}

TEST_F(ProfileTest, SaveAsAddsTheExtension) {
  const struct {
    const char* name;
    const char* expected;
  } kCases[] = {{"a.ini", "a.ini"},
                {"a.INI", "a.INI"},
                {"a", "a.ini"},
                {"a.txt", "a.txt.ini"},
                {"mini", "mini"}};
  for (const auto& c : kCases) EXPECT_EQ(c.expected, WithIniExtension(c.name));
  TemplateTree tree;
  const std::string target = (dir_ / "saved.ini").string();
  WriteFile(target, "[old]\r\nx=1\r\n");
  ASSERT_TRUE(SaveSettingsAs(tree, target, converter_, nullptr));
  EXPECT_EQ(FirstStartFile(), Read(target));
}

}  // namespace
}  // namespace quillmark
