#include <random>

#include "test_support.h"

namespace quillmark {
namespace {

using testing::EngineTest;

class MemoryDocumentTest : public EngineTest {};

TEST_F(MemoryDocumentTest, LinesAndBreaks) {
  const struct {
    const char* text;
    int lines;
    const char* style;
  } kCases[] = {
      {"", 1, "\n"},           {"a", 1, "\n"},      {"a\n", 2, "\n"},
      {"a\r\nb", 2, "\r\n"},   {"a\rb\r", 3, "\r"}, {"a\nb\r\nc\rd", 4, "\n"},
      {"\r\n\r\n", 3, "\r\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.text);
    MemoryDocument doc(c.text);
    EXPECT_EQ(c.lines, doc.LineCount());
    EXPECT_EQ(c.style, doc.LineBreak());
    EXPECT_EQ(c.text, doc.Text());  // round trip
  }
}

TEST_F(MemoryDocumentTest, SelectionReadsCrLf) {
  MemoryDocument doc("ab\ncd\r\nef\rgh");
  doc.Select({1, 2}, {4, 2});
  EXPECT_EQ("b\r\ncd\r\nef\r\ng", doc.GetSelectedText());
  doc.Select({4, 2}, {1, 2});  // either direction
  EXPECT_EQ("b\r\ncd\r\nef\r\ng", doc.GetSelectedText());
}

TEST_F(MemoryDocumentTest, EditsTakeTheDocumentStyleAndKeepTheRest) {
  const struct {
    const char* text;
    TextPosition anchor, caret;
    const char* insert;
    const char* expected;
    TextPosition after;
  } kCases[] = {
      {"a\nb\r\nc", {2, 1}, {2, 1}, "x\r\ny\rz\n", "a\nx\ny\nz\nb\r\nc", {5, 1}},
      {"a\r\nb\nc", {1, 2}, {3, 1}, "-", "a-c", {1, 3}},
      {"a\r\nb", {2, 2}, {2, 2}, "\n", "a\r\nb\r\n", {3, 1}},
      {"one", {1, 1}, {1, 4}, "", "", {1, 1}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.text);
    MemoryDocument doc(c.text);
    doc.Select(c.anchor, c.caret);
    doc.ReplaceSelection(c.insert);
    EXPECT_EQ(c.expected, doc.Text());
    EXPECT_EQ(c.after, doc.Caret());
    EXPECT_EQ(c.after, doc.Anchor());
  }
}

TEST_F(MemoryDocumentTest, MovesClampAndDropTheSelection) {
  MemoryDocument doc("long line\nab\nlonger line\n");
  doc.Select({1, 1}, {2, 3});
  doc.MoveUpLines(5);
  EXPECT_EQ((TextPosition{1, 3}), doc.Caret());
  EXPECT_EQ(doc.Caret(), doc.Anchor());
  doc.MoveDownLines(99);
  EXPECT_EQ((TextPosition{4, 1}), doc.Caret());
  doc.MoveUpLines(2);
  doc.MoveToLineEnd();
  EXPECT_EQ((TextPosition{2, 3}), doc.Caret());
  doc.MoveToLineStart();
  EXPECT_EQ((TextPosition{2, 1}), doc.Caret());
  doc.MoveToDocumentStart();
  EXPECT_EQ((TextPosition{1, 1}), doc.Caret());
  EXPECT_FALSE(doc.Modified());
  doc.Select({9, 9}, {0, -3});
  EXPECT_EQ((TextPosition{4, 1}), doc.Anchor());
  EXPECT_EQ((TextPosition{1, 1}), doc.Caret());
}

}  // namespace
}  // namespace quillmark

namespace quillmark {
namespace {

// After any edit the lines are what indexing the new text from scratch gives.
TEST_F(MemoryDocumentTest, EditsIndexLikeAFreshDocument) {
  std::mt19937 random(7);
  const char kAlphabet[] = {'a', 'b', '\r', '\n', ' '};
  const auto text = [&](std::size_t max) {
    std::string t(random() % (max + 1), ' ');
    for (char& c : t) c = kAlphabet[random() % sizeof kAlphabet];
    return t;
  };
  for (int round = 0; round < 2000; ++round) {
    MemoryDocument doc(text(30));
    for (int edit = 0; edit < 3; ++edit) {
      const auto position = [&] {
        const int line = 1 + static_cast<int>(random() % static_cast<unsigned>(doc.LineCount()));
        const auto width = static_cast<unsigned>(doc.LineText(line).size()) + 1;
        return TextPosition{line, 1 + static_cast<int>(random() % width)};
      };
      doc.Select(position(), position());
      doc.ReplaceSelection(text(6));
      const MemoryDocument fresh(doc.Text());
      ASSERT_EQ(fresh.LineCount(), doc.LineCount()) << ::testing::PrintToString(doc.Text());
      for (int line = 1; line <= doc.LineCount(); ++line)
        ASSERT_EQ(fresh.LineText(line), doc.LineText(line)) << ::testing::PrintToString(doc.Text());
    }
  }
}

// The edits and caret the engine works out for a whole document are what an
// editor driven through the same steps leaves: the hosts that apply edits and
// the IDE that replays the steps end alike.
TEST_F(MemoryDocumentTest, ResolvedStepsEqualTheEditorsReplay) {
  std::mt19937 random(11);
  const char kAlphabet[] = {'a', 'b', '\r', '\n', ' '};
  const auto text = [&](std::size_t max) {
    std::string t(random() % (max + 1), ' ');
    for (char& c : t) c = kAlphabet[random() % sizeof kAlphabet];
    return t;
  };
  using Op = EditorStep::Op;
  for (int round = 0; round < 3000; ++round) {
    MemoryDocument doc(text(30));
    const auto position = [&] {
      const int line = static_cast<int>(random() % static_cast<unsigned>(doc.LineCount() + 2));
      return TextPosition{line, static_cast<int>(random() % 8)};
    };
    const TextPosition anchor = position(), caret = position();
    std::vector<EditorStep> steps;
    const int lines = static_cast<int>(random() % 4);
    switch (random() % 3) {
      case 0:  // a block above the caret's line, the caret on its marked line
        steps = {{Op::kMoveUp, 1, {}}, {Op::kMoveDown, 1, {}}, {Op::kLineStart, 0, {}}};
        break;
      case 1:  // a header
        steps = {{Op::kDocumentStart, 0, {}}};
        break;
      default:  // a toggle puts over the selection
        break;
    }
    std::string put = steps.empty() ? text(8) : std::string();
    for (int i = 0; i < lines; ++i) put += "//x\r\n";
    steps.push_back({Op::kShowMessage, 0, "shown"});
    steps.push_back({Op::kPut, 0, put});
    steps.push_back({Op::kMoveUp, static_cast<int>(random() % 5), {}});
    steps.push_back({Op::kMoveDown, 1, {}});
    steps.push_back({Op::kLineEnd, 0, {}});

    doc.Select(anchor, caret);
    ResolvedSteps resolved;
    ASSERT_TRUE(
        ResolveSteps(doc.Text(), doc.Lines(), doc.LineBreak(), anchor, caret, steps, &resolved));
    MemoryDocument applied(doc.Text());
    applied.ApplyEdits(resolved.edits, resolved.caret);
    ReplaySteps(steps, doc, nullptr);
    const std::string why = ::testing::PrintToString(applied.Text());
    ASSERT_EQ(doc.Text(), applied.Text()) << why;
    ASSERT_EQ(doc.Caret(), applied.Caret()) << why;
    ASSERT_EQ(doc.Modified(), !resolved.edits.empty()) << why;
  }
}

}  // namespace
}  // namespace quillmark
