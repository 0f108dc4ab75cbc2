// The language server's documents: UTF-8 text with an incremental line index,
// byte positions and edits, and the conversion of columns to and from the
// client's position encoding. Lines end at "\n", "\r\n" or a lone "\r", as
// the protocol counts them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark::lsp {

struct BytePosition {
  int line = 0;
  int column = 0;  // bytes from the line's start
  auto operator<=>(const BytePosition&) const = default;
};

struct ByteRange {
  BytePosition start;
  BytePosition end;
  bool empty() const { return start == end; }
  bool operator==(const ByteRange&) const = default;
};

// Replace the bytes of `range` with `newText`.
struct ByteEdit {
  ByteRange range;
  std::string newText;
  bool operator==(const ByteEdit&) const = default;
};

// How the client counts a line's characters.
enum class PositionEncoding { kUtf8, kUtf16, kUtf32 };

// A text document held by the server. Lines end at "\n", "\r\n" or a lone
// "\r", as the protocol counts them. Edits keep the line index up to date by
// rescanning only the lines they touch.
class Document {
 public:
  explicit Document(std::string text = {});

  std::string_view Text() const { return text_; }
  int LineCount() const { return static_cast<int>(lineStarts_.size()); }
  // The line's text without its break; empty for a line that does not exist.
  std::string_view Line(int line) const;
  std::size_t LineStart(int line) const { return lineStarts_[line]; }
  // Byte offset of a position clamped into the document.
  std::size_t Offset(BytePosition position) const;
  BytePosition PositionAt(std::size_t offset) const;
  BytePosition Clamp(BytePosition position) const;

  // Replaces [from, to) (clamped, to >= from) by `text`.
  void Replace(std::size_t from, std::size_t to, std::string_view text);
  void SetText(std::string text);

  // The line starts a full rescan would give; for checking the index.
  static std::vector<std::size_t> ScanLineStarts(std::string_view text);
  const std::vector<std::size_t>& LineStarts() const { return lineStarts_; }

 private:
  std::string text_;
  std::vector<std::size_t> lineStarts_;  // never empty; [0] is 0
};

// Protocol columns <-> byte columns on one line. A column past the line's end
// gives the line's end; one inside a character gives the character's start.
int ByteColumn(std::string_view line, long long column, PositionEncoding encoding);
int EncodedColumn(std::string_view line, int byteColumn, PositionEncoding encoding);

}  // namespace quillmark::lsp
