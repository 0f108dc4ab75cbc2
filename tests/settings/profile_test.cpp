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
    EXPECT_TRUE(ReadWholeFile(path, bytes));
    return bytes;
  }
  void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
};

// The first-start file, in code page 936 with CR LF line ends.
std::string FirstStartFile() {
  const std::string rule(63, '/');
  std::string text;
  const auto section = [&](const char* name, std::vector<std::string> lines) {
    text += std::string("[") + name + "]\r\nCommentLineCount=" + std::to_string(lines.size() + 2) +
            "\r\n";
    lines.insert(lines.begin(), rule);
    lines.push_back(rule);
    for (std::size_t i = 0; i < lines.size(); ++i)
      text += "Line" + std::to_string(i) + "=" + lines[i] + "\r\n";
    text += "\r\n";
  };
  const std::vector<std::string> tail = {
      "//\t描    述 : %CaretPos%", "//\t功    能 : ",       "//\t历史记录 : ", "//\t使用说明 : ",
      "//\t作    者 : %Author%",   "//\t时    间 : %Time%", "//\t备    注 : "};
  const auto withTail = [&](std::vector<std::string> head) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
  };
  section("类声明注释", withTail({"//\t类    名 : %ClassName%", "//\t基    类 : %BaseClassName%"}));
  section("结构体声明注释", withTail({"//\t结构体名 : %StructName%"}));
  section("联合体声明注释", withTail({"//\t联合体名 : %UnionName%"}));
  section("枚举体声明注释", withTail({"//\t枚举体名 : %EnumName%"}));
  section("普通函数注释",
          {"//\t函 数 名 : %Function%", "//\t函数功能 : %CaretPos%",
           "//\t处理过程 : ", "//\t备    注 : ", "//\t作    者 : %Author%", "//\t时    间 : %Time%",
           "//\t返 回 值 : %ReturnValue%", "//\t参数说明 : %FunctionParam%"});
  section("类成员函数注释",
          {"//\t函 数 名 : %Function%", "//\t所属类名 : %ClassName%", "//\t函数功能 : %CaretPos%",
           "//\t处理过程 : ", "//\t备    注 : ", "//\t作    者 : %Author%", "//\t时    间 : %Time%",
           "//\t返 回 值 : %ReturnValue%", "//\t参数说明 : %FunctionParam%"});
  section("带参数宏注释", {"//\t宏 名 称 : %MicroName%", "//\t功    能 : %CaretPos%",
                           "//\t备    注 : ", "//\t作    者 : %Author%", "//\t时    间 : %Time%",
                           "//\t参数说明 : %FunctionParam%"});
  section("普通宏注释", {"//\t宏 名 称 : %MicroName%", "//\t功    能 : %CaretPos%",
                         "//\t备    注 : ", "//\t作    者 : %Author%", "//\t时    间 : %Time%"});
  section("接口声明",
          {"//\t接 口 名 : %Interface%", "//\t派生接口 : %BaseInterface%",
           "//\t接口功能 : %CaretPos%", "//\t描    述 : ", "//\t历史记录 : ", "//\t使用说明 : ",
           "//\t作    者 : %Author%", "//\t时    间 : %Time%", "//\t备    注 : "});
  section("方法声明",
          {"//\t方 法 名 : %MethodName%", "//\t功    能 : %CaretPos%",
           "//\t描    述 : ", "//\t使用说明 : ", "//\t作    者 : %Author%", "//\t时    间 : %Time%",
           "//\t返 回 值 : %ReturnValue%", "//\t参数说明 : %FunctionParam%"});
  section("方法实现",
          {"//\t方 法 名 : %MethodName%", "//\t接    口 : %Interface%", "//\t功    能 : %CaretPos%",
           "//\t描    述 : ", "//\t使用说明 : ", "//\t作    者 : %Author%", "//\t时    间 : %Time%",
           "//\t返 回 值 : %ReturnValue%", "//\t参数说明 : %FunctionParam%"});
  section("文件头注释",
          {"//\t文 件 名 :%CurrentFileName%", "//\t文件功能 :%CaretPos%", "//\t作    者 : %Author%",
           "//\t创建时间 : %Time%", "//\t项目名称 ：%ProjectName%",
           "//\t操作系统 : ", "//\t备    注 :", "//\t历史记录： : "});
  text += "[用户信息]\r\nAuthorName=Author Name\r\nCompanyName=Company Name\r\n\r\n";
  return Gbk(text);
}

TEST_F(ProfileTest, FirstStartCreatesTheDefaultFile) {
  TemplateTree tree;
  ASSERT_TRUE(LoadSettings(tree, profile_, true));
  EXPECT_EQ(FirstStartFile(), Read(profile_));
  // Saving unchanged settings rewrites the same bytes.
  ASSERT_TRUE(SaveSettings(tree, profile_));
  EXPECT_EQ(FirstStartFile(), Read(profile_));
}

TEST_F(ProfileTest, ProfilePathUsesTheLogonName) {
  SetProfileDirectorySource([] { return std::optional<std::string>("/cfg/"); });
  SetLogonNameSource([] { return std::optional<std::string>("li"); });
  EXPECT_EQ("/cfg/Comment_li.ini", GetProfilePath("Comment.ini"));
  SetLogonNameSource(nullptr);
  EXPECT_EQ("/cfg/Comment.ini", GetProfilePath("Comment.ini"));
  SetProfileDirectorySource(nullptr);
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
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    WriteFile(profile_, Gbk(c.file));
    TemplateTree tree;
    ASSERT_TRUE(LoadSettings(tree, profile_, false));
    const TemplateNode* node = nullptr;
    for (const auto& [kind, n] : tree.kindTable)
      if (n->name == c.kind) node = n;
    ASSERT_NE(nullptr, node);
    EXPECT_EQ(c.lines, node->lines);
    EXPECT_EQ(c.author, GetUserInfo()->authorName);
  }
}

TEST_F(ProfileTest, SaveKeepsUnknownEntriesAndStaleLines) {
  WriteFile(profile_,
            Gbk("[mine]\r\nkeep=1\r\n[普通宏注释]\r\nCommentLineCount=9\r\nLine8=stale\r\n"));
  TemplateTree tree;
  tree.FindKindNode(DeclKind::Macro)->lines = {"x"};
  ASSERT_TRUE(SaveSettings(tree, profile_));
  const std::string saved = Read(profile_);
  EXPECT_EQ(0u, saved.find(Gbk("[mine]\r\nkeep=1\r\n\r\n[普通宏注释]\r\nCommentLineCount=1\r\n"
                               "Line8=stale\r\nLine0=x\r\n\r\n[类声明注释]\r\n")));
  EXPECT_FALSE(SaveSettings(tree, (dir_ / "absent.ini").string()));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "absent.ini"));
}

TEST_F(ProfileTest, Encodings) {
  // A UTF-8 file is read as UTF-8 and written back as UTF-8, BOM included.
  for (const std::string bom : {"", "\xEF\xBB\xBF"}) {
    SCOPED_TRACE(bom.empty() ? "UTF-8" : "UTF-8 with BOM");
    WriteFile(profile_, bom + "[用户信息]\r\nAuthorName=张三\r\n");
    TemplateTree tree;
    ASSERT_TRUE(LoadSettings(tree, profile_, true));
    EXPECT_EQ("张三", GetUserInfo()->authorName);
    ASSERT_TRUE(SaveSettings(tree, profile_));
    const std::string saved = Read(profile_);
    EXPECT_EQ(0u, saved.find(bom + "[用户信息]\r\nAuthorName=张三\r\n"));
    EXPECT_NE(std::string::npos, saved.find("[类声明注释]"));
  }
  // A code page 936 file read by a code page 936 engine needs no conversion.
  SetCodePage(CodePage::kGbk);
  WriteFile(profile_, Gbk("[用户信息]\r\nAuthorName=张三\r\n"));
  {
    TemplateTree tree;
    ASSERT_TRUE(LoadSettings(tree, profile_, true));
    EXPECT_EQ(Gbk("张三"), GetUserInfo()->authorName);
  }
  // Bytes with no character fail the load and are left alone.
  SetCodePage(CodePage::kUtf8);
  WriteFile(profile_, "AuthorName=\x81\x20\r\n");
  TemplateTree tree;
  SettingsError error;
  EXPECT_FALSE(LoadSettings(tree, profile_, true, &error));
  EXPECT_TRUE(error.unreadable);
  EXPECT_EQ("AuthorName=\x81\x20\r\n", Read(profile_));
}

TEST_F(ProfileTest, ZeroByteFileIsFilledAndUnwritablePathsFail) {
  WriteFile(profile_, "");
  {
    TemplateTree tree;
    ASSERT_TRUE(LoadSettings(tree, profile_, true));
  }
  EXPECT_EQ(FirstStartFile(), Read(profile_));
  TemplateTree tree;
  SettingsError error;
  EXPECT_FALSE(LoadSettings(tree, (dir_ / "no" / "such" / "dir.ini").string(), true, &error));
  EXPECT_FALSE(error.unreadable);
  EXPECT_FALSE(LoadSettings(tree, dir_.string(), true, &error));  // a directory
  EXPECT_TRUE(error.unreadable);
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
  ASSERT_TRUE(SaveSettingsAs(tree, target));
  EXPECT_EQ(FirstStartFile(), Read(target));
}

}  // namespace
}  // namespace quillmark
