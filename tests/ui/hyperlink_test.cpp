#include <gtest/gtest.h>

#include "presenter_test_support.h"

namespace quillmark::ui {
namespace {

using testing::RecordingMessages;

// A system whose shell, registry and program start answer as told, and which
// records what was asked.
class FakeShell final : public LinkShell {
 public:
  int ShellOpen(const std::string& address, int show) override {
    log.push_back("shell " + address + " " + std::to_string(show));
    return shellResult;
  }
  std::optional<std::string> ReadClassesRootValue(const std::string& key) override {
    log.push_back("registry " + key);
    const auto it = registry.find(key);
    if (it == registry.end()) return std::nullopt;
    return it->second;
  }
  int StartProgram(const std::string& commandLine, int show) override {
    log.push_back("start " + commandLine + " " + std::to_string(show));
    return startResult;
  }

  int shellResult = 42;
  int startResult = 42;
  std::map<std::string, std::string> registry;
  std::vector<std::string> log;
};

class FakeLinkView final : public LinkView {
 public:
  void TakeFocus() override { log += "focus;"; }
  void Repaint() override { log += "paint;"; }
  void CaptureMouse() override { log += "capture;"; }
  void ReleaseMouse() override { log += "release;"; }
  void Beep() override { log += "beep;"; }
  std::string log;
};

std::string Joined(const std::vector<std::string>& log) {
  std::string out;
  for (const std::string& entry : log) out += (out.empty() ? "" : " | ") + entry;
  return out;
}

TEST(OpenUrlTest, FallbackOrder) {
  const std::string kAddress = "mailto:qm@example.org";
  const struct {
    int shellResult;
    std::map<std::string, std::string> registry;
    int startResult;
    int expected;
    const char* log;
    const char* why;
  } kCases[] = {
      {42, {}, 0, 42, "shell mailto:qm@example.org 5", "the shell opens it: nothing else"},
      {31,
       {},
       0,
       31,
       "shell mailto:qm@example.org 5 | registry .htm",
       "no .htm key: the shell's result"},
      {31,
       {{".htm", "htmlfile"}},
       0,
       31,
       "shell mailto:qm@example.org 5 | registry .htm | registry htmlfile\\shell\\open\\command",
       "no open command: the shell's result"},
      {31,
       {{".htm", "htmlfile"}, {"htmlfile\\shell\\open\\command", "\"C:\\b.exe\" -nohome \"%1\""}},
       33,
       33,
       "shell mailto:qm@example.org 5 | registry .htm | registry htmlfile\\shell\\open\\command | "
       "start \"C:\\b.exe\" -nohome  mailto:qm@example.org 5",
       "quoted placeholder: cut before its quote, a blank, the address"},
      {2,
       {{".htm", "htmlfile"}, {"htmlfile\\shell\\open\\command", "C:\\b.exe %1 -x"}},
       2,
       2,
       "shell mailto:qm@example.org 5 | registry .htm | registry htmlfile\\shell\\open\\command | "
       "start C:\\b.exe  mailto:qm@example.org 5",
       "plain placeholder: all behind it goes; the start's failure is the result"},
      {31,
       {{".htm", "htmlfile"}, {"htmlfile\\shell\\open\\command", "C:\\b.exe"}},
       33,
       33,
       "shell mailto:qm@example.org 5 | registry .htm | registry htmlfile\\shell\\open\\command | "
       "start C:\\b.exe mailto:qm@example.org 5",
       "no placeholder: the address goes behind the whole command"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    FakeShell shell;
    shell.shellResult = c.shellResult;
    shell.registry = c.registry;
    shell.startResult = c.startResult;
    EXPECT_EQ(OpenURL(shell, kAddress, kShowNormal), c.expected);
    EXPECT_EQ(Joined(shell.log), c.log);
  }
}

TEST(LinkErrorTextTest, TableAndUnknownCodes) {
  const struct {
    int code;
    const char* text;
    const char* why;
  } kCases[] = {
      {0, "Can't open link:\n\nThe operating system is out\nof memory or resources.", "code 0"},
      {26, "Can't open link:\n\nA sharing violation occurred. ", "keeps its trailing blank"},
      {32, "Can't open link:\n\nThe specified dynamic-link library was not found.", "last entry"},
      {4, "Can't open link:\n\nUnknown Error (4) occurred.", "a code outside the table"},
      {-5, "Can't open link:\n\nUnknown Error (-5) occurred.", "signed decimal"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(LinkErrorText(c.code), c.text);
  }
}

TEST(LinkColourTest, FirstRuleThatApplies) {
  const struct {
    bool over, active, visited;
    std::uint32_t style;
    Colour colour;
    const char* why;
  } kCases[] = {
      {false, false, false, kDefaultLinkStyle, kLinkColour, "fresh link: blue"},
      {true, false, false, kDefaultLinkStyle, kLinkColour, "hovering changes nothing by default"},
      {true, false, false, kDefaultLinkStyle | kLinkHoverColour, kHoverColour, "hover colour flag"},
      {false, true, true, kDefaultLinkStyle, kActiveColour, "active wins over visited"},
      {false, true, false, kDefaultLinkStyle | kLinkNoActiveColour, kLinkColour,
       "active colour switched off"},
      {false, false, true, kDefaultLinkStyle, kVisitedColour, "visited: purple"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    LinkState state;
    state.overControl = c.over;
    state.active = c.active;
    state.visited = c.visited;
    state.linkStyle = c.style;
    EXPECT_EQ(LinkTextColour(state), c.colour);
  }
}

TEST(HyperLinkTest, Reactions) {
  // Events: "down", "up", "space", "key", "focus", "blur", "in", "out".
  const struct {
    std::uint32_t style;
    int shellResult;
    std::vector<std::string> events;
    const char* viewLog;
    bool active, over, visited;
    int opens;
    bool message;
    const char* why;
  } kCases[] = {
      {kDefaultLinkStyle,
       42,
       {"down", "up"},
       "focus;paint;",
       true,
       false,
       true,
       1,
       false,
       "a click takes the focus and opens on the way up"},
      {kDefaultLinkStyle,
       42,
       {"down", "up", "blur"},
       "focus;paint;paint;",
       false,
       false,
       true,
       1,
       false,
       "losing the focus leaves it visited"},
      {kDefaultLinkStyle | kLinkFollowOnDown,
       42,
       {"down", "up"},
       "focus;paint;",
       true,
       false,
       true,
       1,
       false,
       "follow on down: opens once, going down"},
      {kDefaultLinkStyle & ~kLinkFocusOnClick,
       42,
       {"down"},
       "",
       true,
       false,
       false,
       0,
       false,
       "without focus on click nothing is focused"},
      {kDefaultLinkStyle,
       42,
       {"up"},
       "",
       false,
       false,
       false,
       0,
       false,
       "a button coming up that never went down here opens nothing"},
      {kDefaultLinkStyle,
       42,
       {"focus", "space"},
       "paint;paint;",
       true,
       false,
       true,
       1,
       false,
       "the space bar opens the focused link"},
      {kDefaultLinkStyle, 42, {"key"}, "", false, false, false, 0, false, "other keys: default"},
      {kDefaultLinkStyle,
       31,
       {"down", "up"},
       "focus;beep;",
       true,
       false,
       false,
       1,
       true,
       "a failed open beeps and reports, visited unchanged"},
      {kDefaultLinkStyle,
       42,
       {"in", "in", "out"},
       "paint;capture;release;paint;",
       false,
       false,
       false,
       0,
       false,
       "moving in captures, moving out releases"},
      {kDefaultLinkStyle,
       42,
       {"in", "blur"},
       "paint;capture;paint;",
       false,
       false,
       false,
       0,
       false,
       "losing the focus clears the hover state"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    FakeLinkView view;
    FakeShell shell;
    shell.shellResult = c.shellResult;
    RecordingMessages messages;
    HyperLink link(view, shell, messages);
    link.state.linkStyle = c.style;
    link.state.url = "mailto:qm@example.org";
    for (const std::string& e : c.events) {
      if (e == "down") link.OnLeftButtonDown();
      if (e == "up") link.OnLeftButtonUp();
      if (e == "space") {
        EXPECT_TRUE(link.OnKeyDown(kSpaceKey));
      }
      if (e == "key") {
        EXPECT_FALSE(link.OnKeyDown('A'));
      }
      if (e == "focus") link.OnFocusGained();
      if (e == "blur") link.OnFocusLost();
      if (e == "in") link.OnMouseMove(true);
      if (e == "out") link.OnMouseMove(false);
    }
    EXPECT_EQ(view.log, c.viewLog);
    EXPECT_EQ(link.state.active, c.active);
    EXPECT_EQ(link.state.overControl, c.over);
    EXPECT_EQ(link.state.visited, c.visited);
    int opens = 0;
    for (const std::string& entry : shell.log) opens += entry.starts_with("shell ");
    EXPECT_EQ(opens, c.opens);
    EXPECT_EQ(messages.shown.size(), c.message ? 1u : 0u);
    if (c.message) {
      EXPECT_EQ(messages.shown[0],
                "Can't open link:\n\nThere is no application associated\nwith the given "
                "filename extension.");
    }
  }
}

TEST(FitLinkToTextTest, Placement) {
  // A control at 100,50 of 138 x 16 with a 1-pixel border (client 136 x 14).
  const Rect window{100, 50, 238, 66};
  const struct {
    LinkAlign align;
    bool centreVertically;
    Rect expected;
    const char* why;
  } kCases[] = {
      {LinkAlign::kLeft, false, {100, 50, 182, 64}, "left: right follows the text"},
      {LinkAlign::kRight, false, {158, 50, 240, 64}, "right: left follows the text"},
      {LinkAlign::kCentre, false, {129, 50, 211, 64}, "centred: both sides shrink"},
      {LinkAlign::kLeft, true, {100, 52, 182, 66}, "vertically centred: top and bottom shrink"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(FitLinkToText(window, 136, 14, 80, 12, c.align, c.centreVertically), c.expected);
  }
}

}  // namespace
}  // namespace quillmark::ui
