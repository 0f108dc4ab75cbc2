// The resource script the Win32 views are built from and the template table
// the Qt views are built from describe the same dialogs.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "presenter_test_support.h"
#include "quillmark/ui/about.h"
#include "quillmark/ui/dialog_templates.h"

namespace quillmark::ui {
namespace {

struct ParsedControl {
  int id = 0;
  std::string text;
  std::array<int, 4> place{};
  bool hidden = false;
};

struct ParsedDialog {
  std::string header;  // "130 DIALOGEX 0, 0, 321, 215"
  std::string caption;
  std::string font;
  std::vector<ParsedControl> controls;
};

bool IsInteger(const std::string& token) {
  return std::regex_match(token, std::regex(R"(-?\d+)"));
}

std::string Trim(const std::string& s) {
  const std::size_t a = s.find_first_not_of(' ');
  const std::size_t b = s.find_last_not_of(' ');
  return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}

// One control statement: a quoted text (the version macro after it is part of
// it), an id, then the first four plain numbers are the position and size.
ParsedControl ParseControl(const std::string& statement) {
  ParsedControl control;
  const std::size_t open = statement.find('"');
  const std::size_t close = statement.find('"', open + 1);
  control.text = statement.substr(open + 1, close - open - 1);
  std::vector<std::string> tokens;
  std::stringstream rest(statement.substr(close + 1));
  for (std::string token; std::getline(rest, token, ',');) tokens.push_back(Trim(token));
  if (tokens.at(0) == "QUILLMARK_VERSION_ABOUT") control.text += QUILLMARK_VERSION_ABOUT;
  const std::string& id = tokens.at(1);
  control.id = id == "IDOK" ? 1 : id == "IDCANCEL" ? 2 : std::stoi(id);
  for (std::size_t i = 2; i + 3 < tokens.size(); ++i) {
    if (IsInteger(tokens[i]) && IsInteger(tokens[i + 1]) && IsInteger(tokens[i + 2]) &&
        IsInteger(tokens[i + 3])) {
      for (int k = 0; k < 4; ++k) control.place[k] = std::stoi(tokens[i + k]);
      break;
    }
  }
  control.hidden = statement.find("NOT WS_VISIBLE") != std::string::npos;
  return control;
}

std::vector<ParsedDialog> ParseScript(const std::string& path) {
  std::ifstream in(path);
  std::vector<ParsedDialog> dialogs;
  std::string statement;
  bool inBody = false;
  const auto flush = [&] {
    if (!statement.empty()) dialogs.back().controls.push_back(ParseControl(statement));
    statement.clear();
  };
  for (std::string line; std::getline(in, line);) {
    if (line.find(" DIALOG") != std::string::npos && !line.starts_with(" ")) {
      dialogs.push_back({line, "", "", {}});
    } else if (line.starts_with("CAPTION ")) {
      dialogs.back().caption = line.substr(9, line.size() - 10);
    } else if (line.starts_with("FONT ")) {
      dialogs.back().font = line.substr(5);
    } else if (line == "BEGIN") {
      inBody = true;
    } else if (line == "END") {
      flush();
      inBody = false;
    } else if (inBody && line.starts_with("    ") && line[4] != ' ') {
      flush();
      statement = line;
    } else if (inBody) {
      statement += " " + Trim(line);
    }
  }
  return dialogs;
}

TEST(DialogResourcesTest, ScriptMatchesTheTemplateTable) {
  const std::vector<ParsedDialog> dialogs = ParseScript(QUILLMARK_DIALOGS_RC);
  ASSERT_EQ(dialogs.size(), 2u);
  const DialogTemplate* tables[] = {&SettingsDialogTemplate(), &AboutDialogTemplate()};
  for (std::size_t d = 0; d < 2; ++d) {
    const DialogTemplate& table = *tables[d];
    const ParsedDialog& parsed = dialogs[d];
    SCOPED_TRACE(parsed.header);
    EXPECT_TRUE(parsed.header.starts_with(std::to_string(table.id) + " DIALOG"));
    EXPECT_TRUE(
        parsed.header.ends_with(std::to_string(table.width) + ", " + std::to_string(table.height)));
    EXPECT_EQ(parsed.caption, table.caption);
    EXPECT_EQ(parsed.font, std::to_string(table.fontPoints) + ", \"" + table.fontFace + "\"");
    ASSERT_EQ(parsed.controls.size(), table.controls.size());
    for (std::size_t i = 0; i < table.controls.size(); ++i) {
      const ControlTemplate& want = table.controls[i];
      const ParsedControl& got = parsed.controls[i];
      SCOPED_TRACE(want.text);
      EXPECT_EQ(got.id, want.id);
      EXPECT_EQ(got.text, want.kind == ControlKind::kTree ? "Tree1" : want.text);
      EXPECT_EQ(got.place, (std::array<int, 4>{want.x, want.y, want.width, want.height}));
      EXPECT_EQ(got.hidden, !want.visible);
    }
  }
}

// Both views show the version the project is built as.
TEST(DialogResourcesTest, AboutVersionIsTheProjectVersion) {
  EXPECT_EQ(testing::ProjectVersionLine(), about::kVersion);
  const std::vector<ParsedDialog> dialogs = ParseScript(QUILLMARK_DIALOGS_RC);
  ASSERT_EQ(dialogs.size(), 2u);
  int found = 0;
  for (const ParsedControl& control : dialogs[1].controls) {
    if (!control.text.starts_with("版    本:")) continue;
    EXPECT_EQ(testing::ProjectVersionLine(), control.text);
    ++found;
  }
  EXPECT_EQ(1, found);
}

}  // namespace
}  // namespace quillmark::ui
