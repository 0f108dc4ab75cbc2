#include <filesystem>
#include <fstream>

#include "test_support.h"

namespace quillmark {
namespace {

using testing::EngineTest;

class FakeUi final : public UserInterface {
 public:
  void ShowMessage(std::string_view text) override { shown.emplace_back(text); }
  void RunSettingsDialog(TemplateTree& tree) override {
    ++settingsRuns;
    if (throwInDialog) throw std::runtime_error("dialog failed");
    tree.FindKindNode(DeclKind::Macro)->lines = {"// %MicroName%"};
  }
  void RunAboutDialog() override { ++aboutRuns; }
  void ReportError(std::string_view text) override { errors.emplace_back(text); }
  std::vector<std::string> shown;
  std::vector<std::string> errors;
  int settingsRuns = 0;
  int aboutRuns = 0;
  bool throwInDialog = false;
};

// Counts SetModelessEnabled calls and can throw from the document query.
class CountingEditor final : public EditorHost {
 public:
  void SetModelessEnabled(bool enabled) override { calls.push_back(enabled); }
  TextDocument* GetActiveTextDocument() override {
    if (throwOnDocument) throw std::runtime_error("host gone");
    return document;
  }
  TextSelection* GetSelection(TextDocument& doc) override {
    return giveSelection ? static_cast<MemoryDocument*>(&doc) : nullptr;
  }
  std::string GetDocumentName(TextDocument&) override { return "x.cpp"; }
  CodePage GetDocumentCodePage(TextDocument&) override { return CodePage::kUtf8; }
  std::optional<std::string> GetActiveProjectName() override { return std::nullopt; }
  MemoryDocument* document = nullptr;
  std::vector<bool> calls;
  bool throwOnDocument = false;
  bool giveSelection = true;
};

class CommandsTest : public testing::ScratchDirTest {
 protected:
  testing::TestPlatform platform_;
};

TEST_F(CommandsTest, ToggleWorkedExample) {
  const std::string selected = "int a = 0;\r\n\r\n    f(a);\r\nreturn";
  const std::string marked = "//DELETE!int a = 0;\r//DELETE!\r//DELETE!    f(a);\r//DELETE!return";
  EXPECT_EQ(marked, ToggleDeletedText(selected));
  // Selected again, the marked lines read with CR LF and come back as they were.
  EXPECT_EQ("int a = 0;\r\r    f(a);\rreturn",
            ToggleDeletedText(
                "//DELETE!int a = 0;\r\n//DELETE!\r\n//DELETE!    f(a);\r\n//DELETE!return"));

  const struct {
    const char* selected;
    const char* expected;
    const char* why;
  } kCases[] = {
      {"a\r\n//DELETE!b\r\n", "//DELETE!a\r//DELETE!//DELETE!b\r", "unmarked first line marks all"},
      {"//DELETE!a\r\nb\r\n//DELETE!//DELETE!c", "a\rb\r//DELETE!c",
       "marked first line: one marker off, unmarked lines stay"},
      {"  //DELETE!a\r\n//DELETE!b", "  //DELETE!a\rb", "marker not at the start stays"},
      {"", "", "empty selection"},
      {"x\r\n", "//DELETE!x\r", "no empty line after the last break"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(c.expected, ToggleDeletedText(c.selected));
  }
}

TEST_F(CommandsTest, DeleteCommandOnDocuments) {
  const struct {
    const char* text;
    TextPosition anchor, caret;
    const char* expected;
    TextPosition after;
    const char* why;
  } kCases[] = {
      {"int a = 0;\r\n\r\n    f(a);\r\nreturn x;\r\n",
       {1, 1},
       {4, 7},
       "//DELETE!int a = 0;\r\n//DELETE!\r\n//DELETE!    f(a);\r\n//DELETE!return x;\r\n",
       {4, 19},
       "the worked example in a CR LF file"},
      {"a\nb\nc\n",
       {1, 1},
       {3, 1},
       "//DELETE!a\n//DELETE!b\nc\n",
       {3, 2},
       "whole lines with the break: the next line is not marked"},
      {"xx yy\nzz\n",
       {1, 4},
       {2, 3},
       "xx //DELETE!yy\n//DELETE!zz\n",
       {2, 12},
       "a selection starting mid-line"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    FakeUi ui;
    Commands commands(ui, platform_, profile_);
    MemoryDocument doc(c.text);
    MemoryEditor editor;
    editor.Open(&doc);
    commands.SetApplicationObject(&editor);
    doc.Select(c.anchor, c.caret);
    commands.CommentDeleteText();
    EXPECT_EQ(c.expected, doc.Text());
    EXPECT_EQ(c.after, doc.Caret());
    EXPECT_TRUE(ui.shown.empty());
  }
}

TEST_F(CommandsTest, MessagesAndModelessWindows) {
  FakeUi ui;
  Commands commands(ui, platform_, profile_);
  CountingEditor editor;
  commands.SetApplicationObject(&editor);

  EXPECT_EQ(CommentOutcome::kNoDocument, commands.QuillmarkClassOrFunction().outcome);
  commands.CommentFileNote();
  commands.CommentDeleteText();
  EXPECT_EQ((std::vector<std::string>{messages::kSelectDeclaration, messages::kOpenFile,
                                      messages::kSelectDeleteText}),
            ui.shown);

  MemoryDocument doc("int a;\n");
  editor.document = &doc;
  editor.giveSelection = false;
  EXPECT_EQ(CommentOutcome::kNoSelection, commands.QuillmarkClassOrFunction().outcome);
  editor.giveSelection = true;
  doc.Select({1, 1}, {1, 1});
  commands.CommentDeleteText();  // empty selection: message, then the run goes on
  EXPECT_EQ(messages::kSelectDeleteText, ui.shown.back());
  EXPECT_EQ("int a;\n", doc.Text());

  // Whatever a command raises is reported, never swallowed.
  editor.throwOnDocument = true;
  EXPECT_EQ(CommentOutcome::kInternalError, commands.QuillmarkClassOrFunction().outcome);
  EXPECT_EQ(CommentOutcome::kInternalError, commands.CommentDeleteText().outcome);
  ui.throwInDialog = true;
  commands.QuillmarkSetting();
  commands.QuillmarkAbout();
  EXPECT_EQ(1, ui.aboutRuns);
  EXPECT_EQ((std::vector<std::string>{"internal error: host gone", "internal error: host gone",
                                      "internal error: dialog failed"}),
            ui.errors);
  // Every command switched the host's modeless windows off and on again.
  ASSERT_EQ(18u, editor.calls.size());
  for (std::size_t i = 0; i < editor.calls.size(); ++i) EXPECT_EQ(i % 2 == 1, editor.calls[i]);
}

TEST_F(CommandsTest, SettingsAreWrittenOnlyWhenTheyChanged) {
  {
    FakeUi ui;
    Commands commands(ui, platform_, profile_);
    ASSERT_TRUE(commands.SettingsLoaded());
    EXPECT_FALSE(commands.SettingsChanged());
    commands.QuillmarkSetting();  // the fake dialog edits the macro template
    EXPECT_TRUE(commands.SettingsChanged());
    ASSERT_TRUE(commands.SaveSettings(nullptr));
    EXPECT_FALSE(commands.SettingsChanged());
  }
  // A comment run leaves the file alone, comments and all.
  std::string before;
  ASSERT_TRUE(ReadWholeFile(profile_, before, nullptr));
  const std::string edited = "; my notes\r\n" + before;
  std::ofstream(profile_, std::ios::binary) << edited;
  FakeUi ui;
  Commands commands(ui, platform_, profile_);
  EXPECT_EQ(std::vector<std::string>{"// %MicroName%"},
            commands.templateTree().FindKindNode(DeclKind::Macro)->lines);
  MemoryDocument doc("#define N 1\n#define M 2\n");
  MemoryEditor editor;
  editor.Open(&doc);
  commands.SetApplicationObject(&editor);
  doc.Select({2, 1}, {2, 12});
  commands.QuillmarkClassOrFunction();
  EXPECT_EQ("#define N 1\n// M\n#define M 2\n", doc.Text());
  ASSERT_TRUE(commands.SaveSettings(nullptr));
  std::string after;
  ASSERT_TRUE(ReadWholeFile(profile_, after, nullptr));
  EXPECT_EQ(edited, after);
}

TEST_F(CommandsTest, UnreadableSettingsAreNeverOverwritten) {
  // Code page 936 bytes that have no character: 0x81 0x20.
  const std::string bad = "[用户信息]\r\nAuthorName=\x81\x20\xFF\r\n";
  std::ofstream(profile_, std::ios::binary) << bad;
  const struct {
    bool edit;
    bool saved;
    const char* why;
  } kCases[] = {
      {true, false, "edited: refused, and the caller is told why"},
      {false, true, "unchanged: nothing to write and nothing to complain about"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    FakeUi ui;
    Commands commands(ui, platform_, profile_);
    EXPECT_FALSE(commands.SettingsLoaded());
    if (c.edit) commands.QuillmarkSetting();
    std::string error;
    EXPECT_EQ(c.saved, commands.SaveSettings(&error));
    if (!c.saved) {
      EXPECT_NE(std::string::npos, error.find("could not be loaded")) << error;
    }
    std::string after;
    ASSERT_TRUE(ReadWholeFile(profile_, after, nullptr));
    EXPECT_EQ(bad, after);
  }
}

// Two command objects with their own settings, and documents in two code
// pages, side by side in one process: nothing is shared between them.
TEST_F(CommandsTest, TwoSettingsAndTwoCodePagesSideBySide) {
  const std::string emojiProfile = (dir_ / "emoji.ini").string();
  std::ofstream(emojiProfile, std::ios::binary)
      << "[用户信息]\r\nAuthorName=王😀\r\n[普通宏注释]\r\nCommentLineCount=1\r\n"
         "Line0=// 宏 %MicroName% %Author%\r\n";
  FakeUi firstUi, secondUi;
  Commands first(firstUi, platform_, profile_);
  Commands second(secondUi, platform_, emojiProfile);
  ASSERT_TRUE(first.SettingsLoaded());
  ASSERT_TRUE(second.SettingsLoaded()) << second.settingsError();

  MemoryDocument utf8("#define A 1\n#define B 2\n", "a.h", CodePage::kUtf8);
  MemoryDocument gbk(testing::Gbk("#define 甲 1\n#define B 2\n"), "b.h", CodePage::kGbk);
  MemoryEditor utf8Editor, gbkEditor;
  utf8Editor.Open(&utf8);
  gbkEditor.Open(&gbk);
  first.SetApplicationObject(&utf8Editor);
  second.SetApplicationObject(&gbkEditor);

  gbk.Select({2, 1}, {2, 12});
  const CommandResult gbkResult = second.QuillmarkClassOrFunction();
  utf8.Select({2, 1}, {2, 12});
  first.QuillmarkClassOrFunction();

  // The emoji cannot be written in code page 936: "?" instead, and said so.
  EXPECT_EQ(testing::Gbk("#define 甲 1\n// 宏 B 王?\n#define B 2\n"), gbk.Text());
  EXPECT_TRUE(gbkResult.replacedCharacters);
  EXPECT_EQ(0u, utf8.Text().find("#define A 1\n" + testing::kRule + "\n//\t宏 名 称 : B\n"));
  EXPECT_TRUE(firstUi.shown.empty());
  EXPECT_TRUE(secondUi.shown.empty());
}

}  // namespace
}  // namespace quillmark
