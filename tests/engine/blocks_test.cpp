// Whole blocks from the default templates, byte for byte, and where the caret ends.
#include "editor_calls_table.h"
#include "test_support.h"

namespace quillmark {
namespace {

using testing::Block;
using testing::Context;
using testing::EngineTest;
using testing::kRule;
using testing::RecordingSelection;

class BlocksTest : public EngineTest {
 protected:
  // Runs the comment command's driver on a document whose line `line` is
  // selected whole; returns the document text.
  std::string CommentLine(MemoryDocument& doc, int line, MessageSink& sink) {
    doc.Select({line, static_cast<int>(doc.LineText(line).size()) + 1}, {line, 1});
    RequestComment(doc, *tree_, sink, Context(doc.GetCodePage(), &tree_->userInfo));
    return doc.Text();
  }

  void SetUp() override {
    EngineTest::SetUp();
    tree_ = std::make_unique<TemplateTree>();
  }
  void TearDown() override {
    tree_.reset();
    EngineTest::TearDown();
  }

  struct NoMessages final : MessageSink {
    void ShowMessage(std::string_view text) override { ADD_FAILURE() << text; }
  } noMessages_;
  std::unique_ptr<TemplateTree> tree_;
};

const std::string kClassBlock = Block({
    kRule,
    "//\t类    名 : CMyView",
    "//\t基    类 : CView,",
    "//\t\t\t\tIHost",
    "//\t描    述 : ",
    "//\t功    能 : ",
    "//\t历史记录 : ",
    "//\t使用说明 : ",
    "//\t作    者 : Author Name",
    "//\t时    间 : 2002年9月17日",
    "//\t备    注 : ",
    kRule,
});

TEST_F(BlocksTest, ClassBlockWithTwoBases) {
  ExpandedBlock block;
  std::string text = "class AFX_EXT_CLASS CMyView : public CView, protected IHost";
  ASSERT_TRUE(CommentClass(text, *tree_->FindKindNode(DeclKind::Class),
                           Context(CodePage::kUtf8, &tree_->userInfo), &block));
  EXPECT_EQ(kClassBlock, block.text);
}

TEST_F(BlocksTest, ClassBlockInTheDocument) {
  MemoryDocument doc(
      "// top\r\nclass AFX_EXT_CLASS CMyView : public CView, protected IHost\r\n{\r\n");
  const std::string text = CommentLine(doc, 2, noMessages_);
  EXPECT_EQ("// top\r\n" + kClassBlock +
                "class AFX_EXT_CLASS CMyView : public CView, protected IHost\r\n{\r\n",
            text);
  // The description line, just after its colon and space.
  EXPECT_EQ((TextPosition{6, static_cast<int>(std::string("//\t描    述 : ").size()) + 1}),
            doc.Caret());
}

TEST_F(BlocksTest, FunctionBlockWithFourParameters) {
  ExpandedBlock block;
  std::string text = "LRESULT CALLBACK WndProc(HWND h, UINT m, WPARAM w, LPARAM l)";
  ASSERT_TRUE(CommentFunction(text, *tree_->FindKindNode(DeclKind::Function),
                              Context(CodePage::kUtf8, &tree_->userInfo), &block));
  EXPECT_EQ(Block({
                kRule,
                "//\t函 数 名 : WndProc",
                "//\t函数功能 : ",
                "//\t处理过程 : ",
                "//\t备    注 : ",
                "//\t作    者 : Author Name",
                "//\t时    间 : 2002年9月17日",
                "//\t返 回 值 : LRESULT",
                "//\t参数说明 : HWND h,",
                "//\t\t\t\t UINT m,",
                "//\t\t\t\t WPARAM w,",
                "//\t\t\t\t LPARAM l",
                kRule,
            }),
            block.text);
}

// Wherever the block goes, the caret ends after the marked line's text, also
// when a multi-line value stands above or below the marker.
TEST_F(BlocksTest, CaretEndsOnTheMarkedLinePerDefaultKind) {
  const struct {
    const char* text;
    const char* markedLine;
  } kCases[] = {
      {"interface IMyHost : public IDispatch", "//\t接口功能 : "},
      {"#define MAX(a, b) ((a) > (b) ? (a) : (b))", "//\t功    能 : "},
      {"void CFoo::Bar(int a, int b)", "//\t函数功能 : "},
      {"LRESULT CALLBACK WndProc(HWND h, UINT m, WPARAM w, LPARAM l)", "//\t函数功能 : "},
      {"class CMyView : public CView, protected IHost", "//\t描    述 : "},
      {"STDMETHOD(Run)(THIS_ int a, int b) PURE;", "//\t功    能 : "},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.text);
    MemoryDocument doc(std::string("int a;\n") + c.text + "\n");
    CommentLine(doc, 2, noMessages_);
    const TextPosition caret = doc.Caret();
    EXPECT_EQ(c.markedLine, doc.LineText(caret.line));
    EXPECT_EQ(static_cast<int>(doc.LineText(caret.line).size()) + 1, caret.column);
  }
}

TEST_F(BlocksTest, FileHeaderGoesToTheTopTwice) {
  MemoryDocument doc("int a;\nint b;\n");
  doc.Select({2, 1}, {2, 4});
  RequestFileHeader(doc, *tree_, noMessages_, Context(CodePage::kUtf8, &tree_->userInfo));
  RequestFileHeader(doc, *tree_, noMessages_, Context(CodePage::kUtf8, &tree_->userInfo));
  const std::string header = Block({
      kRule,
      "//\t文 件 名 :",
      "//\t文件功能 :",
      "//\t作    者 : Author Name",
      "//\t创建时间 : 2002年9月17日",
      "//\t项目名称 ：",
      "//\t操作系统 : ",
      "//\t备    注 :",
      "//\t历史记录： : ",
      kRule,
  });
  std::string lf = header;
  for (std::size_t p; (p = lf.find("\r\n")) != std::string::npos;) lf.replace(p, 2, "\n");
  EXPECT_EQ(lf + lf + "int a;\nint b;\n", doc.Text());
  EXPECT_EQ((TextPosition{3, static_cast<int>(std::string("//\t文件功能 :").size()) + 1}),
            doc.Caret());
}

TEST_F(BlocksTest, ProjectAndFileNamesComeFromTheHost) {
  MemoryDocument doc("int f();\n", "main.cpp");
  MemoryEditor editor;
  editor.Open(&doc);
  editor.SetProjectName("demo");
  TemplateNode node;
  node.lines = {"%CurrentFileName%|%ProjectName%|%Time%%Time%|%Company%!"};
  UserInfo user;
  user.authorName = "A %Time%";
  node.lines.push_back("%Author%");
  const CommentContext context = Context(CodePage::kUtf8, &user, &editor);
  const ExpandedBlock block = ExpandTemplate(node.lines, {}, {}, context);
  EXPECT_EQ("main.cpp|demo|2002年9月17日2002年9月17日|!\r\nA 2002年9月17日\r\n", block.text);
  editor.SetProjectName(std::nullopt);
  EXPECT_EQ("|\r\n", ExpandTemplate({"%ProjectName%|"}, {}, {}, context).text);
}

TEST_F(BlocksTest, CaretLineRules) {
  const std::vector<ExpansionStep> threeLines = {{"%FunctionParam%", "a,\r\nb,\r\nc", 2}};
  const struct {
    std::vector<std::string> lines;
    int lineCount;
    int caretLine;
    const char* why;
  } kCases[] = {
      {{"a", "b", "c"}, 3, 1, "no marker: caret line 1"},
      {{"a%CaretPos%", "b%CaretPos%", "c"}, 3, 1, "the later marker wins"},
      {{"%CaretPos%x", "b"}, 2, 0, "marker on the first line"},
      {{}, 0, 1, "empty template"},
      {{"x", "%CaretPos%", "%FunctionParam%"}, 5, 1, "a long value below the marker"},
      {{"%FunctionParam%%FunctionParam%", "%CaretPos%"}, 4, 3, "breaks counted once per line"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    const ExpandedBlock block = ExpandTemplate(c.lines, {}, threeLines, Context());
    EXPECT_EQ(c.lineCount, block.lineCount);
    EXPECT_EQ(c.caretLine, block.caretLine);
    EXPECT_EQ(std::string::npos, block.text.find("%CaretPos%"));
  }
}

TEST_F(BlocksTest, CaretAtTheEdgesOfTheDocument) {
  TemplateNode& node = *tree_->FindKindNode(DeclKind::Macro);
  const struct {
    std::vector<std::string> lines;
    const char* document;
    int selectedLine;
    TextPosition caret;
    const char* expected;
    const char* why;
  } kCases[] = {
      {{"// %CaretPos%%MicroName%", "// b"},
       "#define A 1\nint x;\n",
       1,
       {2, 5},
       "#define A 1\n// A\n// b\nint x;\n",
       "first line selected: the block goes above the second line"},
      {{"// %CaretPos%%MicroName%", "// b"},
       "#define A 1",
       1,
       {2, 5},
       "// A\n// b\n#define A 1",
       "block on the first line, marker on its first line: caret one line below the marker"},
      {{"// x"},
       "int y;\n#define A 1\n",
       2,
       {3, 12},
       "int y;\n// x\n#define A 1\n",
       "one line, no marker: end of the declaration's line"},
      {{},
       "int y;\n#define A 1\nz\n",
       2,
       {3, 2},
       "int y;\n#define A 1\nz\n",
       "empty template: down one line and to its end"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    node.lines = c.lines;
    MemoryDocument doc(c.document);
    CommentLine(doc, c.selectedLine, noMessages_);
    EXPECT_EQ(c.expected, doc.Text());
    EXPECT_EQ(c.caret, doc.Caret());
  }
}

TEST_F(BlocksTest, DriverMessages) {
  struct Sink final : MessageSink {
    void ShowMessage(std::string_view text) override { shown.emplace_back(text); }
    std::vector<std::string> shown;
  };
  const struct {
    const char* text;
    CommentOutcome outcome;
    const char* message;
  } kCases[] = {
      {"", CommentOutcome::kEmptySelection, messages::kSelectDeclaration},
      {"   ", CommentOutcome::kNoKind, nullptr},
      {"int x = 0;", CommentOutcome::kNoKind, nullptr},
      {"// class: x", CommentOutcome::kParseFailed, nullptr},
      {"class : CBase", CommentOutcome::kParseFailed, messages::kCheckDeclaration},
      {"class CFoo", CommentOutcome::kInserted, nullptr},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.text);
    Sink sink;
    RecordingSelection selection;
    selection.selected = c.text;
    EXPECT_EQ(c.outcome, RequestComment(selection, *tree_, sink, Context()).outcome);
    if (c.outcome == CommentOutcome::kParseFailed) {
      EXPECT_EQ(std::vector<std::string>{messages::kCheckDeclaration}, sink.shown);
    } else if (c.message != nullptr) {
      EXPECT_EQ(std::vector<std::string>{c.message}, sink.shown);
    } else {
      EXPECT_TRUE(sink.shown.empty());
    }
  }
}

TEST_F(BlocksTest, GbkDocumentGetsGbkBlock) {
  ExpandedBlock block;
  std::string text = "union UValue {";
  const TemplateNode& node = *tree_->FindKindNode(DeclKind::Union);
  ASSERT_TRUE(node.generator(text, node, Context(CodePage::kGbk, &tree_->userInfo), &block));
  EXPECT_EQ(
      testing::Gbk(Block({kRule, "//\t联合体名 : UValue", "//\t描    述 : ", "//\t功    能 : ",
                          "//\t历史记录 : ", "//\t使用说明 : ", "//\t作    者 : Author Name",
                          "//\t时    间 : 2002年9月17日", "//\t备    注 : ", kRule})),
      block.text);
}

// The calls an editor gets from each command, in order: the IDE replays them
// through its object model exactly as the commands have always made them.
TEST_F(BlocksTest, EditorCallsPerCommand) {
  struct LoggingSink final : MessageSink {
    explicit LoggingSink(std::vector<std::string>& log) : log(log) {}
    void ShowMessage(std::string_view) override { log.push_back("message"); }
    std::vector<std::string>& log;
  };
  tree_->FindKindNode(DeclKind::Class)->lines = testing::kCallsClassLines;
  tree_->FindKindNode(DeclKind::FileHeader)->lines = testing::kCallsHeaderLines;
  for (const auto& c : testing::EditorCallsPerCommand()) {
    SCOPED_TRACE(c.why);
    RecordingSelection selection;
    selection.selected = c.selected;
    LoggingSink sink(selection.log);
    const CommandPlan plan = PlanCommand(c.command, c.selected, *tree_, Context());
    ReplaySteps(plan.steps, selection, &sink);
    EXPECT_EQ(c.calls, selection.log);
    if (c.command != EngineCommand::kDelete) {
      RecordingSelection old;
      old.selected = c.selected;
      LoggingSink oldSink(old.log);
      if (c.command == EngineCommand::kComment) {
        RequestComment(old, *tree_, oldSink, Context());
      } else {
        RequestFileHeader(old, *tree_, oldSink, Context());
      }
      EXPECT_EQ(c.calls, old.log);
    }
  }
}

}  // namespace
}  // namespace quillmark
