// Reading blocks back: a block written by the comment command, its
// declaration edited, refreshed; the user's words kept; foreign blocks left.
#include "test_support.h"

namespace quillmark {
namespace {

using testing::Block;
using testing::Context;
using testing::kRule;

class BlockReaderTest : public testing::EngineTest {
 protected:
  // The command on `text`, line `line` selected whole; the text after it.
  std::string Comment(const std::string& text, int line, CodePage page = CodePage::kUtf8) {
    const LineTable lines(text);
    const std::string lineBreak = FirstLineBreak(text);
    const TextPosition end{line, static_cast<int>(lines.LineLength(line)) + 1};
    const CommandResultOnText result = RunCommand(
        EngineCommand::kComment, {text, &lines, lineBreak, end, {line, 1}}, tree_, Ctx(page));
    return ApplyEdits(text, result.edits);
  }
  RefreshResult Refresh(const std::string& text, int line, CodePage page = CodePage::kUtf8) {
    const LineTable lines(text);
    const std::string lineBreak = FirstLineBreak(text);
    const TextPosition end{line, static_cast<int>(lines.LineLength(line)) + 1};
    return RefreshCommand({text, &lines, lineBreak, end, {line, 1}}, tree_, Ctx(page));
  }
  CommentContext Ctx(CodePage page) { return Context(page, &tree_.userInfo); }

  TemplateTree tree_;
};

// The line `declaration` stands on in `text`.
int LineOf(const std::string& text, const std::string& declaration) {
  const std::size_t at = text.find(declaration);
  return 1 + static_cast<int>(std::count(text.begin(), text.begin() + at, '\n'));
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  text.replace(text.find(from), from.size(), to);
  return text;
}

// Every kind: commented, edited, refreshed. The refreshed text is the text a
// fresh comment of the edited declaration gives, and refreshing again finds
// the block current.
TEST_F(BlockReaderTest, RefreshAfterEditEqualsFreshComment) {
  const struct {
    const char* original;
    const char* edited;
    std::vector<FieldChange> changes;
    const char* why;
  } kCases[] = {
      {"class CShape : public CBase",
       "class CCircle : public CBase",
       {{"name", "CShape", "CCircle"}},
       "class renamed"},
      {"class CShape : public CBase, public IDraw",
       "class CShape : public CBase",
       {{"base classes", "CBase, IDraw", "CBase"}},
       "a base class dropped: the continuation line goes"},
      {"class CShape",
       "class CShape : public CBase, protected IDraw",
       {{"base classes", "(none)", "CBase, IDraw"}},
       "bases added to a class without any"},
      {"struct SPoint", "struct SPoint3", {{"name", "SPoint", "SPoint3"}}, "struct renamed"},
      {"union UValue", "union UNumber", {{"name", "UValue", "UNumber"}}, "union renamed"},
      {"enum EColor", "enum EColour", {{"name", "EColor", "EColour"}}, "enum renamed"},
      {"double Area(double radius)",
       "double Area(double radius, int precision)",
       {{"parameters", "(double radius)", "(double radius, int precision)"}},
       "a parameter added to a free function"},
      {"double Area(double radius, int precision)",
       "double Area(double radius)",
       {{"parameters", "(double radius, int precision)", "(double radius)"}},
       "a parameter taken away"},
      {"int Area(double radius)",
       "double Area()",
       {{"return type", "int", "double"}, {"parameters", "(double radius)", "()"}},
       "return type and parameters both changed"},
      {"double CShape::Area(double radius)",
       "double CCircle::Area(double radius)",
       {{"class", "CShape", "CCircle"}},
       "member function's class renamed"},
      {"#define MAX(a, b) ((a) > (b) ? (a) : (b))",
       "#define MAX3(a, b, c) (a)",
       {{"name", "MAX", "MAX3"}, {"parameters", "(a, b)", "(a, b, c)"}},
       "macro with parameters"},
      {"#define MAX_LEN 256",
       "#define MAX_SIZE 256",
       {{"name", "MAX_LEN", "MAX_SIZE"}},
       "plain macro"},
      {"interface IMyHost : public IDispatch",
       "interface IMyHost : public IUnknown",
       {{"base interface", "IDispatch", "IUnknown"}},
       "interface base"},
      {"STDMETHOD(GetCount)(THIS_ long* pCount) PURE;",
       "STDMETHOD(GetCount)(THIS_ long* pCount, long flags) PURE;",
       {{"parameters", "(THIS_ long* pCount)", "(THIS_ long* pCount, long flags)"}},
       "method declaration"},
      {"STDMETHODIMP CMyObj::Release(int a)",
       "STDMETHODIMP_(ULONG) CMyObject::Release(int a)",
       {{"interface", "CMyObj", "CMyObject"}, {"return type", "HRESULT", "ULONG"}},
       "method implementation"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    const std::string head = "#include \"shape.h\"\n";
    const std::string commented = Comment(head + c.original + "\n{\n}\n", 2);
    const std::string edited = Replaced(commented, c.original, c.edited);
    const RefreshResult result = Refresh(edited, LineOf(edited, c.edited));
    ASSERT_EQ(RefreshOutcome::kRefreshed, result.outcome);
    EXPECT_EQ(c.changes, result.changes);
    const std::string refreshed = ApplyEdits(edited, result.edits);
    EXPECT_EQ(Comment(head + c.edited + "\n{\n}\n", 2), refreshed);
    const RefreshResult again = Refresh(refreshed, LineOf(refreshed, c.edited));
    EXPECT_EQ(RefreshOutcome::kCurrent, again.outcome);
    EXPECT_TRUE(again.edits.empty());
    // The block as first written reads as current for its own declaration.
    EXPECT_EQ(RefreshOutcome::kCurrent, Refresh(commented, LineOf(commented, c.original)).outcome);
  }
}

const std::string kFunctionBlock = Block({
    kRule,
    "//\t函 数 名 : Area",
    "//\t函数功能 : 面积",
    "//\t处理过程 : 先算半径",
    "//\t\t\t  再乘以 pi",
    "//\t备    注 : ",
    "//\t作    者 : 张三",
    "//\t时    间 : 1999年1月2日",
    "//\t返 回 值 : double",
    "//\t参数说明 : double radius  半径",
    kRule,
});

std::string ClassBlock(const std::string& name) {
  return Block({kRule, "//\t类    名 : " + name, "//\t基    类 : ", "//\t描    述 : ",
                "//\t功    能 : ", "//\t历史记录 : ", "//\t使用说明 : ", "//\t作    者 : A",
                "//\t时    间 : 2002年9月17日", "//\t备    注 : ", kRule});
}

// Blocks as users leave them: words after the caret marker, after a field and
// on lines of their own survive; other people's comments are never touched.
TEST_F(BlockReaderTest, UserTextAndForeignBlocks) {
  const struct {
    std::string before;
    int line;
    RefreshOutcome outcome;
    std::string after;  // "" when nothing changes
    const char* why;
  } kCases[] = {
      {kFunctionBlock + "double Area(double radius, int precision);\r\n", 12,
       RefreshOutcome::kRefreshed,
       Replaced(kFunctionBlock, "//\t参数说明 : double radius  半径",
                "//\t参数说明 : double radius,  半径\r\n//\t\t\t\t int precision") +
           "double Area(double radius, int precision);\r\n",
       "author, date, typed words and free lines kept; the note stays with its line"},
      {kFunctionBlock + "double Area(double radius);\r\n", 12, RefreshOutcome::kCurrent, "",
       "a current block with notes"},
      {Block({kRule, "//\t函 数 名 : Area", "//\t函数功能 : ", "//\t处理过程 : ", "//\t备    注 : ",
              "//\t作    者 : A", "//\t时    间 : 2002年9月17日", "//\t返 回 值 : double",
              "//\t参数说明 : double radius,  半径", "//\t\t\t\tint precision  精度", kRule}) +
           "double Area(double radius);\n",
       12, RefreshOutcome::kRefreshed,
       Block({kRule, "//\t函 数 名 : Area", "//\t函数功能 : ", "//\t处理过程 : ", "//\t备    注 : ",
              "//\t作    者 : A", "//\t时    间 : 2002年9月17日", "//\t返 回 值 : double",
              "//\t参数说明 : double radius  半径  精度", kRule}) +
           "double Area(double radius);\n",
       "a parameter goes; its note stays on the list's last line; CR LF lines stay CR LF"},
      {Block({kRule, "//\t函 数 名 : Area",
              "//\t函数功能 :", "//\t处理过程 :", "//\t备    注 :", "//\t作    者 : A",
              "//\t时    间 : 2002年9月17日", "//\t返 回 值 : int", "//\t参数说明 :", kRule}) +
           "double Area();\r\n",
       11, RefreshOutcome::kRefreshed,
       Block({kRule, "//\t函 数 名 : Area",
              "//\t函数功能 :", "//\t处理过程 :", "//\t备    注 :", "//\t作    者 : A",
              "//\t时    间 : 2002年9月17日", "//\t返 回 值 : double", "//\t参数说明 :", kRule}) +
           "double Area();\r\n",
       "trailing blanks stripped by an editor: still the template; only the changed line is "
       "written"},
      {ClassBlock("CShape 形状类") + "class CCircle\r\n", 12, RefreshOutcome::kRefreshed,
       ClassBlock("CCircle 形状类") + "class CCircle\r\n",
       "a name is one word: the words after a single blank are the user's"},
      {ClassBlock("CCircle 形状类") + "class CCircle\r\n", 12, RefreshOutcome::kCurrent, "",
       "a current name with words after it"},
      {"// Area of a circle.\r\n// Returns square units.\r\ndouble Area(double r, int p);\r\n", 3,
       RefreshOutcome::kForeign, "", "a hand-written comment"},
      {Block({kRule, "//\t函 数 名 : Area", "//\t函数功能 : ", "//\t作    者 : A",
              "//\t时    间 : 2002年9月17日", "//\t返 回 值 : double", "//\t参数说明 : double r",
              kRule}) +
           "double Area(double r, int p);\r\n",
       9, RefreshOutcome::kForeign, "", "fixed lines of the template deleted: partly edited"},
      {"#include <a.h>\r\n\r\ndouble Area(double r, int p);\r\n", 3, RefreshOutcome::kNoBlock, "",
       "no comment above"},
      {Block({kRule, "//\t函 数 名 : Area", "//\t函数功能 : ", "//\t处理过程 : ", "//\t备    注 : ",
              "//\t作    者 : A", "//\t时    间 : 2002年9月17日", "//\t返 回 值 : double",
              "//\t参数说明 : double r", kRule}) +
           "\r\ndouble Area(double r, int p);\r\n",
       12, RefreshOutcome::kRefreshed,
       Block({kRule, "//\t函 数 名 : Area", "//\t函数功能 : ", "//\t处理过程 : ", "//\t备    注 : ",
              "//\t作    者 : A", "//\t时    间 : 2002年9月17日", "//\t返 回 值 : double",
              "//\t参数说明 : double r,", "//\t\t\t\t int p", kRule}) +
           "\r\ndouble Area(double r, int p);\r\n",
       "a blank line between block and declaration; the keyword mode's leading blank kept"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    const RefreshResult result = Refresh(c.before, c.line);
    EXPECT_EQ(c.outcome, result.outcome);
    EXPECT_EQ(c.after.empty() ? c.before : c.after, ApplyEdits(c.before, result.edits));
  }
}

// A code page 936 document: the block is read and written in GBK bytes, its
// CR LF breaks kept.
TEST_F(BlockReaderTest, GbkDocument) {
  using testing::Gbk;
  const std::string commented = Comment(
      Gbk("#include \"形状.h\"\r\nclass C形状 : public CBase\r\n{\r\n};\r\n"), 2, CodePage::kGbk);
  const std::string noted = Replaced(commented, Gbk("//\t描    述 : "), Gbk("//\t描    述 : 形状"));
  const std::string edited = Replaced(noted, Gbk("class C形状 : public CBase"),
                                      Gbk("class C圆 : public CBase, public I画"));
  const RefreshResult result = Refresh(edited, 13, CodePage::kGbk);
  ASSERT_EQ(RefreshOutcome::kRefreshed, result.outcome);
  const std::vector<FieldChange> changes = {{"name", "C形状", "C圆"},
                                            {"base classes", "CBase", "CBase, I画"}};
  EXPECT_EQ(changes, result.changes);
  const std::string expected =
      Replaced(Replaced(edited, Gbk("//\t类    名 : C形状\r\n"), Gbk("//\t类    名 : C圆\r\n")),
               Gbk("//\t基    类 : CBase\r\n"), Gbk("//\t基    类 : CBase,\r\n//\t\t\t\tI画\r\n"));
  EXPECT_EQ(expected, ApplyEdits(edited, result.edits));
}

}  // namespace
}  // namespace quillmark

namespace quillmark {
namespace {

// A template of the user's own: fields beside kept values on one line, the
// caret marker in the middle of a line, a one-line list.
TEST_F(BlockReaderTest, TemplatesOfTheUsersOwn) {
  tree_.FindKindNode(DeclKind::Function)->lines = {
      "/* %Function% in %CurrentFileName% by %Author% of %Company%, %Time%",
      " * why: %CaretPos% (end)", " * takes (%FunctionParam%) gives %ReturnValue%", " */"};
  const struct {
    std::string before;
    RefreshOutcome outcome;
    std::string after;
    const char* why;
  } kCases[] = {
      {"/* Area in old.cpp by Li of ACME, 1999年1月2日\n * why: 算面积 (end)\n"
       " * takes (double r) gives double\n */\nint Size(double r, int p);\n",
       RefreshOutcome::kRefreshed,
       "/* Size in old.cpp by Li of ACME, 1999年1月2日\n * why: 算面积 (end)\n"
       " * takes (double r,\n//\t\t\t\t int p) gives int\n */\nint Size(double r, int p);\n",
       "file name, author, company and date as written; the list goes on over lines"},
      {"/* Size in old.cpp by Li of ACME, 1999年1月2日\n * why: 算面积 (end) 又及\n"
       " * takes (double r,\n//\t\t\t\t int p) gives int  整数\n */\nint Size(double r, int p);\n",
       RefreshOutcome::kCurrent, "", "current, words after the last fixed text"},
      {"/* Size in old.cpp by Li of ACME, 1999年1月2日\n * why: 算面积\n"
       " * takes (double r) gives int\n */\nint Size(double r, int p);\n",
       RefreshOutcome::kForeign, "", "the fixed text after the caret marker is gone"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    const RefreshResult result = Refresh(c.before, LineOf(c.before, "int Size"));
    EXPECT_EQ(c.outcome, result.outcome);
    EXPECT_EQ(c.after.empty() ? c.before : c.after, ApplyEdits(c.before, result.edits));
  }
}

}  // namespace
}  // namespace quillmark
