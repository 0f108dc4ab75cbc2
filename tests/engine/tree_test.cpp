#include "test_support.h"

namespace quillmark {
namespace {

using testing::EngineTest;

class TreeTest : public EngineTest {};

// The names and lines of the defaults are checked byte for byte through the
// first-start settings file; here, the shape the commands rely on.
TEST_F(TreeTest, EveryKindHasItsGeneratorAndRuleLines) {
  TemplateTree tree;
  const DeclKind kKinds[] = {
      DeclKind::Class,
      DeclKind::Struct,
      DeclKind::Union,
      DeclKind::Enum,
      DeclKind::Function,
      DeclKind::MemberFunction,
      DeclKind::MacroWithParams,
      DeclKind::Macro,
      DeclKind::Interface,
      DeclKind::MethodDeclaration,
      DeclKind::MethodImplementation,
      DeclKind::FileHeader,
  };
  std::size_t i = 0;
  for (const TemplateNode* group = tree.root.get(); group; group = group->next.get()) {
    ASSERT_TRUE(group->IsGroup());
    EXPECT_EQ(nullptr, group->generator);
    for (const TemplateNode* kind = group->firstChild.get(); kind; kind = kind->next.get(), ++i) {
      ASSERT_LT(i, std::size(kKinds));
      SCOPED_TRACE(kind->name);
      EXPECT_EQ(kind, tree.FindKindNode(kKinds[i]));
      EXPECT_NE(nullptr, kind->generator);
      EXPECT_EQ(std::string(63, '/'), kind->lines.front());
      EXPECT_EQ(std::string(63, '/'), kind->lines.back());
    }
  }
  EXPECT_EQ(std::size(kKinds), i);
  for (int missing : {10, -1, 13, 99}) EXPECT_EQ(nullptr, tree.FindKindNode(DeclKind(missing)));
}

TEST_F(TreeTest, LogonNameBecomesTheAuthor) {
  EXPECT_EQ("wang", TemplateTree(std::string("wang")).userInfo.authorName);
  EXPECT_EQ("Author Name", TemplateTree(std::string()).userInfo.authorName);
  EXPECT_EQ("Author Name", TemplateTree().userInfo.authorName);
  EXPECT_EQ("Company Name", TemplateTree().userInfo.companyName);
}

TEST_F(TreeTest, FreeNodeChainFreesEveryNodeOnce) {
  TemplateTree tree;
  EXPECT_EQ(17, FreeNodeChain(std::move(tree.root)));
  EXPECT_EQ(0, FreeNodeChain(nullptr));
}

}  // namespace
}  // namespace quillmark
