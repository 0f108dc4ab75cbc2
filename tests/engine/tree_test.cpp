#include "test_support.h"

namespace quillmark {
namespace {

using testing::EngineTest;

class TreeTest : public EngineTest {};

TEST_F(TreeTest, DefaultKindsInOrder) {
  TemplateTree tree;
  const struct {
    DeclKind kind;
    const char* group;
    const char* name;
    std::size_t lines;
  } kKinds[] = {
      {DeclKind::Class, "变量注释", "类声明注释", 11},
      {DeclKind::Struct, "变量注释", "结构体声明注释", 10},
      {DeclKind::Union, "变量注释", "联合体声明注释", 10},
      {DeclKind::Enum, "变量注释", "枚举体声明注释", 10},
      {DeclKind::Function, "函数注释", "普通函数注释", 10},
      {DeclKind::MemberFunction, "函数注释", "类成员函数注释", 11},
      {DeclKind::MacroWithParams, "宏注释", "带参数宏注释", 8},
      {DeclKind::Macro, "宏注释", "普通宏注释", 7},
      {DeclKind::Interface, "接口声明注释", "接口声明", 11},
      {DeclKind::MethodDeclaration, "接口声明注释", "方法声明", 10},
      {DeclKind::MethodImplementation, "接口声明注释", "方法实现", 11},
      {DeclKind::FileHeader, "文件头注释", "文件头注释", 10},
  };
  // Walk the tree the way the settings code does: groups, then their kinds.
  std::size_t i = 0;
  for (const TemplateNode* group = tree.root.get(); group; group = group->next.get()) {
    ASSERT_TRUE(group->IsGroup());
    EXPECT_TRUE(group->lines.empty());
    EXPECT_EQ(nullptr, group->generator);
    for (const TemplateNode* kind = group->firstChild.get(); kind; kind = kind->next.get(), ++i) {
      ASSERT_LT(i, std::size(kKinds));
      SCOPED_TRACE(kKinds[i].name);
      EXPECT_EQ(kKinds[i].group, group->name);
      EXPECT_EQ(kKinds[i].name, kind->name);
      EXPECT_EQ(kKinds[i].lines, kind->lines.size());
      EXPECT_EQ(std::string(63, '/'), kind->lines.front());
      EXPECT_EQ(std::string(63, '/'), kind->lines.back());
      EXPECT_FALSE(kind->IsGroup());
      EXPECT_NE(nullptr, kind->generator);
      EXPECT_EQ(kind, tree.FindKindNode(kKinds[i].kind));
    }
  }
  EXPECT_EQ(std::size(kKinds), i);
  EXPECT_EQ(12u, tree.kindTable.size());
  for (int missing : {10, -1, 13, 99}) EXPECT_EQ(nullptr, tree.FindKindNode(DeclKind(missing)));
  EXPECT_EQ("Company Name", GetUserInfo()->companyName);
  EXPECT_EQ("Author Name", GetUserInfo()->authorName);
}

TEST_F(TreeTest, LogonNameBecomesTheAuthor) {
  SetLogonNameSource([] { return std::optional<std::string>("wang"); });
  {
    TemplateTree tree;
    EXPECT_EQ("wang", GetUserInfo()->authorName);
  }
  EXPECT_EQ(nullptr, GetUserInfo());
  SetLogonNameSource(nullptr);
}

TEST_F(TreeTest, FreeNodeChainFreesEveryNodeOnce) {
  TemplateTree tree;
  EXPECT_EQ(17, FreeNodeChain(std::move(tree.root)));
  EXPECT_EQ(0, FreeNodeChain(nullptr));
}

}  // namespace
}  // namespace quillmark
