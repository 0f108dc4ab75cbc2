#include <gtest/gtest.h>

#include "presenter_test_support.h"

namespace quillmark::ui {
namespace {

using testing::FakeFileChooser;
using testing::FakeSettings;
using testing::FakeSettingsView;
using testing::RecordingMessages;

class SettingsPresenterTest : public ::testing::Test {
 protected:
  void SetUp() override { presenter.Open(); }

  void Select(const std::string& name) { presenter.OnTreeSelectionChanged(settings.Find(name)); }

  FakeSettings settings;
  FakeSettingsView view;
  FakeFileChooser files;
  RecordingMessages messages;
  SettingsPresenter presenter{settings, view, files, messages};
};

TEST_F(SettingsPresenterTest, OpeningFillsTreeRowsAndCaption) {
  ASSERT_EQ(view.items.size(), 2u);
  EXPECT_EQ(view.items[0].text, "G");
  EXPECT_EQ(view.items[0].image, kGroupImage);
  ASSERT_EQ(view.items[0].children.size(), 3u);
  EXPECT_EQ(view.items[0].children[2].node, settings.Find("E"));
  EXPECT_EQ(view.items[0].children[2].image, kKindImage);
  EXPECT_EQ(view.items[1].text, "H");
  EXPECT_EQ(view.items[1].image, kKindImage);
  EXPECT_EQ(view.caption, "参数设置 -- /home/u/.config/quillmark/Comment_u.ini");
  EXPECT_EQ(presenter.RowCount(), 2);
  EXPECT_EQ(presenter.Rows()[0].label, "作 者");
  EXPECT_EQ(presenter.Rows()[0].token, "%Author%");
  EXPECT_EQ(presenter.Rows()[0].value, "Author Name");
  EXPECT_EQ(presenter.Rows()[1].label, "公 司");
  EXPECT_EQ(presenter.Rows()[1].token, "%Company%");
  EXPECT_EQ(presenter.Rows()[1].value, "Company Name");
  EXPECT_EQ(view.styleText, "");
  EXPECT_EQ(presenter.CurrentNode(), nullptr);
}

TEST(KindTreeTest, TreeWithoutRootStaysEmpty) {
  EXPECT_TRUE(BuildKindTree(nullptr).empty());
}

// Steps: "select X", "type TEXT" (the style edit's whole text), "close".
TEST_F(SettingsPresenterTest, KindSelectionAndCommit) {
  const struct {
    std::vector<std::string> steps;
    const char* lines;  // every kind's lines afterwards
    const char* shown;  // the style edit afterwards
    const char* why;
  } kCases[] = {
      {{"type x\r\n", "select G"}, "A=a1|a2;B=b1;E=;H=h", "x\r\n", "a group leaves the edit alone"},
      {{"select A", "type q\r\n", "select G", "close"},
       "A=q;B=b1;E=;H=h",
       "q\r\n",
       "a group after a kind keeps that kind current"},
      {{"type junk\r\n", "select A"},
       "A=a1|a2;B=b1;E=;H=h",
       "a1\r\na2\r\n",
       "text typed before any selection is replaced, not stored"},
      {{"select A", "type new\r\n", "select B"},
       "A=new;B=b1;E=;H=h",
       "b1\r\n",
       "selecting another kind commits the shown one"},
      {{"select E"}, "A=a1|a2;B=b1;E=;H=h", "", "an empty template shows an empty edit"},
      {{"select A", "type ", "select B"},
       "A=;B=b1;E=;H=h",
       "b1\r\n",
       "an empty edit leaves the kind with no lines"},
      {{"select A", "type x\r\n\r\ny\r\n", "close"},
       "A=x||y;B=b1;E=;H=h",
       "x\r\n\r\ny\r\n",
       "a blank line becomes an empty template line"},
      {{"select A", "type x\r\ny", "close"},
       "A=x|y;B=b1;E=;H=h",
       "x\r\ny",
       "a last line typed without Enter is kept"},
      {{"select H", "type \r\n", "close"},
       "A=a1|a2;B=b1;E=;H=",
       "\r\n",
       "a lone line break is one empty line"},
      {{"type lost\r\n", "close"},
       "A=a1|a2;B=b1;E=;H=h",
       "lost\r\n",
       "closing with no kind shown commits nothing"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    FakeSettings fresh;
    FakeSettingsView shownView;
    SettingsPresenter p(fresh, shownView, files, messages);
    p.Open();
    for (const std::string& step : c.steps) {
      if (step.starts_with("select ")) {
        p.OnTreeSelectionChanged(fresh.Find(step.substr(7)));
      } else if (step.starts_with("type ")) {
        shownView.styleText = step.substr(5);
      } else {
        p.OnClose();
      }
    }
    EXPECT_EQ(fresh.Lines(), c.lines);
    EXPECT_EQ(shownView.styleText, c.shown);
  }
}

TEST_F(SettingsPresenterTest, KindMessageWithoutNodeIsIgnored) {
  Select("A");
  view.styleText = "kept\r\n";
  presenter.OnKindSelected(nullptr);
  EXPECT_EQ(presenter.CurrentNode(), settings.Find("A"));
  EXPECT_EQ(view.styleText, "kept\r\n");
}

TEST_F(SettingsPresenterTest, RowsFollowTheInPlaceEditAndReachUserInfoAtClosing) {
  presenter.OnRowSelected(1, Rect{0, 22, 300, 44});
  EXPECT_TRUE(view.editVisible);
  EXPECT_EQ(view.editRect, (Rect{200, 20, 300, 42}));
  EXPECT_EQ(view.editText, "Company Name");
  presenter.OnInPlaceEditChanged("墨翎工作室");
  EXPECT_EQ(presenter.Rows()[1].value, "墨翎工作室");
  EXPECT_EQ(settings.user.companyName, "Company Name") << "not before closing";
  presenter.OnRowSelected(-1, Rect{});
  EXPECT_FALSE(view.editVisible);
  presenter.OnClose();
  EXPECT_EQ(settings.user.companyName, "墨翎工作室");
  EXPECT_EQ(settings.user.authorName, "Author Name");
}

TEST_F(SettingsPresenterTest, LoadFlows) {
  const struct {
    std::optional<std::string> chosen;
    bool exists;
    const char* loads;     // the model's loads, joined by ','
    const char* lines;     // A's lines afterwards, then after closing
    const char* shown;     // the style edit right after the load
    const char* author;    // the author row after the load
    const char* messages;  // shown, joined by ','
    const char* why;
  } kCases[] = {
      {std::nullopt, false, "", "A=typed", "typed\r\n", "Author Name", "", "cancel: nothing"},
      {"/tmp/other.ini", true, "/tmp/other.ini", "A=f1|f2", "f1\r\nf2\r\n", "File Author", "",
       "a loaded file replaces the lines, also those shown in the edit"},
      {"/tmp/missing.ini", false, "/tmp/missing.ini,(default)", "A=d1", "d1\r\n", "Default Author",
       "加载文件失败!,恢复原来设置",
       "a failed load restores the default file, then says so; unsaved edits are gone"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    FakeSettings fresh;
    fresh.files[fresh.profilePath] = {{{"A", {"d1"}}}, "Default Author", "Default Company"};
    if (c.exists) fresh.files[*c.chosen] = {{{"A", {"f1", "f2"}}}, "File Author", "File Company"};
    FakeSettingsView shownView;
    FakeFileChooser chooser;
    chooser.answers.push_back(c.chosen);
    RecordingMessages shown;
    SettingsPresenter p(fresh, shownView, chooser, shown);
    p.Open();
    p.OnTreeSelectionChanged(fresh.Find("A"));
    shownView.styleText = "typed\r\n";
    if (!c.chosen) p.CommitEditText();  // so the cancel row can see the text was kept
    p.OnLoad();
    std::string loads;
    for (const std::string& l : fresh.loads) loads += (loads.empty() ? "" : ",") + l;
    EXPECT_EQ(loads, c.loads);
    EXPECT_EQ(shownView.styleText, c.shown);
    EXPECT_EQ(p.Rows()[0].value, c.author);
    EXPECT_EQ(shownView.caption, "参数设置 -- " + fresh.profilePath) << "always the default path";
    std::string messages;
    for (const std::string& m : shown.shown) messages += (messages.empty() ? "" : ",") + m;
    EXPECT_EQ(messages, c.messages);
    p.OnClose();
    EXPECT_EQ(fresh.Lines().substr(0, fresh.Lines().find(';')), c.lines);
  }
}

TEST_F(SettingsPresenterTest, InPlaceEditAfterLoadReachesNoRow) {
  settings.files["/tmp/other.ini"] = {{}, "File Author", "File Company"};
  presenter.OnRowSelected(0, Rect{0, 0, 300, 22});
  files.answers.push_back("/tmp/other.ini");
  presenter.OnLoad();
  EXPECT_TRUE(view.editVisible) << "keeps its place until a row is selected again";
  presenter.OnInPlaceEditChanged("typed after the load");
  EXPECT_EQ(presenter.Rows()[0].value, "File Author");
  presenter.OnClose();
  EXPECT_EQ(settings.user.authorName, "File Author");
}

TEST_F(SettingsPresenterTest, SaveFlows) {
  const struct {
    std::optional<std::string> chosen;
    bool succeeds;
    const char* saved;
    const char* message;
    const char* why;
  } kCases[] = {
      {"/d/mine.ini", true, "/d/mine.ini", "", "ends in ini: kept"},
      {"/d/MINE.INI", true, "/d/MINE.INI", "", "ini in capitals: kept"},
      {"/d/mine.Ini", true, "/d/mine.Ini", "", "ini in mixed case: kept"},
      {"/d/mine", true, "/d/mine.ini", "", "no extension: .ini appended"},
      {"/d/mine.txt", true, "/d/mine.txt.ini", "", "another extension: .ini appended behind it"},
      {"/d/mini", true, "/d/mini", "", "the rule looks at the last three letters only"},
      {std::nullopt, true, "", "", "cancel: nothing written"},
      {"/ro/mine.ini", false, "/ro/mine.ini", "保存配置文件失败!", "a failed save says so"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    FakeSettings fresh;
    fresh.saveSucceeds = c.succeeds;
    FakeSettingsView shownView;
    FakeFileChooser chooser;
    chooser.answers.push_back(c.chosen);
    RecordingMessages shown;
    SettingsPresenter p(fresh, shownView, chooser, shown);
    p.Open();
    p.OnSave();
    EXPECT_EQ(fresh.saves.empty() ? "" : fresh.saves.front(), std::string(c.saved));
    EXPECT_EQ(shown.shown.empty() ? "" : shown.shown.front(), std::string(c.message));
  }
}

TEST_F(SettingsPresenterTest, SaveWritesTheSettingsAsTheyAreWithoutPendingEdits) {
  Select("A");
  view.styleText = "pending\r\n";
  files.answers.push_back("/d/x");
  presenter.OnSave();
  EXPECT_EQ(settings.linesAtSave, "A=a1|a2;B=b1;E=;H=h");
}

TEST_F(SettingsPresenterTest, FileDialogsStartInTheSettingsDirectory) {
  const struct {
    const char* profile;
    const char* directory;
    const char* why;
  } kCases[] = {
      {"/home/u/.config/quillmark/Comment_u.ini", "/home/u/.config/quillmark/", "Linux path"},
      {"C:\\VS\\AddIns\\Comment_u.ini", "C:\\VS\\AddIns\\", "Windows path"},
      {"Comment.ini", "Comment.ini", "no directory: the whole path"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    settings.profilePath = c.profile;
    presenter.OnLoad();
    EXPECT_EQ(files.lastOptions.initialDirectory, c.directory);
    EXPECT_EQ(files.lastOptions.filter, "ini Files (*.ini)|*.ini||");
    EXPECT_TRUE(files.lastOptions.defaultExtension.empty());
    EXPECT_TRUE(files.lastOptions.hideReadOnly);
    EXPECT_TRUE(files.lastOptions.overwritePrompt);
  }
}

TEST(PropertyGeometryTest, CellsAndInPlaceEdit) {
  const struct {
    Rect row;
    std::array<int, 2> cuts;  // right edges of the first two cells
    const char* why;
  } kCases[] = {
      {{0, 0, 300, 22}, {100, 200}, "width divisible by three"},
      {{0, 0, 100, 22}, {33, 66}, "integer division of w/3 and 2w/3"},
      {{10, 44, 111, 66}, {43, 77}, "offset row: 2w/3 of 101 is 67"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    const std::array<Rect, 3> cells = PropertyCells(c.row);
    EXPECT_EQ(cells[0], (Rect{c.row.left, c.row.top, c.cuts[0], c.row.bottom}));
    EXPECT_EQ(cells[1], (Rect{c.cuts[0], c.row.top, c.cuts[1], c.row.bottom}));
    EXPECT_EQ(cells[2], (Rect{c.cuts[1], c.row.top, c.row.right, c.row.bottom}));
    EXPECT_EQ(InPlaceEditRect(c.row),
              (Rect{c.cuts[1], c.row.top - 2, c.row.right, c.row.bottom - 2}));
  }
}

TEST(DialogUnitsTest, ConvertWithTheFontsBaseUnits) {
  // Base units 6 x 13: the "确  定" button at 210, 196, 50 x 14.
  EXPECT_EQ(DialogUnitsToPixels(210, 196, 50, 14, {6, 13}), (Rect{315, 319, 390, 342}));
  // Halves round away from zero, as the window system rounds.
  EXPECT_EQ(DialogUnitsToPixels(1, 1, 1, 1, {6, 12}), (Rect{2, 2, 4, 4}));
}

TEST(DialogTemplateTest, ControlsInTabOrder) {
  std::vector<int> ids;
  for (const ControlTemplate& c : SettingsDialogTemplate().controls) ids.push_back(c.id);
  EXPECT_EQ(ids, (std::vector<int>{1, 2, 1002, -1, 1008, 1009, 1010, -1, -1, 1011, 1016, 3}));
  EXPECT_FALSE(SettingsDialogTemplate().controls[6].visible) << "the check box nobody shows";
  EXPECT_EQ(std::string(AboutDialogTemplate().caption), "关于墨翎");
}

}  // namespace
}  // namespace quillmark::ui
