// The document store's line index against a full rescan, and the column
// conversions of the three position encodings.
#include <gtest/gtest.h>

#include <random>

#include "quillmark/lsp.h"

namespace quillmark::lsp {
namespace {

TEST(DocumentTest, LineIndexMatchesRescanAfterEveryEdit) {
  // Pieces chosen to make and break CR LF pairs at the edit's edges.
  const std::vector<std::string> pieces = {"",     "\n", "\r",   "\r\n",   "a",
                                           "中文", "😀",  "x\ny", "\r\r\n", "class CShape\r\n{"};
  std::mt19937 random(42);
  Document document("int a;\r\nint b;\nint c;\rend");
  std::string model(document.Text());
  for (int step = 0; step < 20000; ++step) {
    SCOPED_TRACE(step);
    const std::size_t from = random() % (model.size() + 1);
    const std::size_t to = from + random() % (model.size() - from + 1) % 4;
    const std::string& piece = pieces[random() % pieces.size()];
    document.Replace(from, to, piece);
    model.replace(from, to - from, piece);
    ASSERT_EQ(model, document.Text());
    ASSERT_EQ(Document::ScanLineStarts(model), document.LineStarts());
    if (model.size() > 400) {
      document.SetText("");
      model.clear();
    }
  }
}

TEST(DocumentTest, LinesAndPositions) {
  const Document document("ab\r\ncd\n\ref\r");
  const struct {
    int line;
    const char* text;
  } kLines[] = {{0, "ab"}, {1, "cd"}, {2, ""}, {3, "ef"}, {4, ""}, {5, ""}};
  EXPECT_EQ(5, document.LineCount());
  for (const auto& row : kLines) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(row.text, document.Line(row.line));
  }
  EXPECT_EQ((BytePosition{1, 0}), document.PositionAt(4));
  EXPECT_EQ((BytePosition{4, 0}), document.Clamp({99, 5}));
  EXPECT_EQ((BytePosition{1, 2}), document.Clamp({1, 99}));
  EXPECT_EQ(6u, document.Offset({1, 99}));
}

TEST(DocumentTest, ColumnsInEachEncoding) {
  // "a中😀b": a (1 byte), 中 (3 bytes, 1 UTF-16 unit), 😀 (4 bytes, 2 units), b.
  const std::string_view line =
      "a\xE4\xB8\xAD\xF0\x9F\x98\x80"
      "b";
  const struct {
    PositionEncoding encoding;
    long long column;
    int byteColumn;
    const char* why;
  } kCases[] = {
      {PositionEncoding::kUtf16, 0, 0, "line start"},
      {PositionEncoding::kUtf16, 2, 4, "after the Chinese character"},
      {PositionEncoding::kUtf16, 3, 4, "inside the surrogate pair: the emoji's start"},
      {PositionEncoding::kUtf16, 4, 8, "after the emoji"},
      {PositionEncoding::kUtf16, 5, 9, "line end"},
      {PositionEncoding::kUtf16, 500, 9, "past the end: the line's end"},
      {PositionEncoding::kUtf32, 3, 8, "code points"},
      {PositionEncoding::kUtf8, 2, 1, "inside a UTF-8 sequence: the character's start"},
      {PositionEncoding::kUtf8, 4, 4, "bytes"},
  };
  for (const auto& row : kCases) {
    SCOPED_TRACE(row.why);
    EXPECT_EQ(row.byteColumn, ByteColumn(line, row.column, row.encoding));
  }
  EXPECT_EQ(4, EncodedColumn(line, 8, PositionEncoding::kUtf16));
  EXPECT_EQ(3, EncodedColumn(line, 8, PositionEncoding::kUtf32));
  EXPECT_EQ(5, EncodedColumn(line, 9, PositionEncoding::kUtf16));
  EXPECT_EQ(2, EncodedColumn("\xFF\xFE", 2, PositionEncoding::kUtf16)) << "stray bytes count one";
}

}  // namespace
}  // namespace quillmark::lsp
