// What a command does to a document, as data: the edits to make and where the
// caret goes, or the editor moves that make them for a host that only has a
// selection. The engine computes these; hosts apply them.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "quillmark/editor_port.h"

namespace quillmark {

// 1-based; the column counts bytes of the line.
struct TextPosition {
  int line = 1;
  int column = 1;
  auto operator<=>(const TextPosition&) const = default;
};

// Replace the document's bytes [from, to) with `text`, which is in the
// document's encoding and line-break style.
struct Edit {
  std::size_t from = 0;
  std::size_t to = 0;
  std::string text;
  bool operator==(const Edit&) const = default;
};

// One call a host that drives an editor makes, in order. `kPut` replaces the
// selection with `text` (line breaks "\r\n", as the editor takes them);
// `kShowMessage` shows `text` (UTF-8) in a message box.
struct EditorStep {
  enum class Op { kMoveUp, kMoveDown, kLineStart, kLineEnd, kDocumentStart, kPut, kShowMessage };
  Op op = Op::kPut;
  int count = 0;
  std::string text;
  bool operator==(const EditorStep&) const = default;
};

// Makes the steps' calls on an editor's selection and message boxes (none
// when `messages` is null).
void ReplaySteps(const std::vector<EditorStep>& steps, TextSelection& selection,
                 MessageSink* messages);

// The line breaks of `text` ("\r\n", lone "\r", lone "\n"), in order.
std::vector<std::string_view> LineBreaksOf(std::string_view text);

// Every line break of `text`: the k-th becomes the k-th of `kept` while there
// are any, then `fallback`. An LF never lands right behind a lone CR.
std::string MapLineBreaks(std::string_view text, const std::vector<std::string_view>& kept,
                          std::string_view fallback);

// What an editor puts into `document` when `put` replaces its bytes [from, to):
// the breaks of `put` take those of the replaced bytes, then `lineBreak` (the
// document's style); a lone CR at either end never pairs with a neighbouring LF.
std::string ReplacementText(std::string_view document, std::size_t from, std::size_t to,
                            std::string_view put, std::string_view lineBreak);

// The document's first line break, "\n" when it has none.
std::string FirstLineBreak(std::string_view text);

// The lines of a text: where each starts, its length without its break and
// the break's length ("\r\n", "\r" and "\n" each end a line; a text ending in a
// break has a final empty line). Keeps itself up to date through one edit by
// rescanning only the lines the edit touches.
class LineTable {
 public:
  explicit LineTable(std::string_view text = {});

  int LineCount() const { return static_cast<int>(lines_.size()); }
  std::size_t LineStart(int line) const { return Span(line).start; }
  std::size_t LineLength(int line) const { return Span(line).length; }
  std::size_t LineBreakLength(int line) const { return Span(line).breakLength; }
  std::size_t TextSize() const;

  TextPosition Clamp(TextPosition position) const;
  std::size_t Offset(TextPosition position) const;
  TextPosition PositionAt(std::size_t offset) const;

  // After `text` (the whole text before the edit) had [from, to) replaced by `inserted`.
  void ApplyEdit(std::string_view text, std::size_t from, std::size_t to,
                 std::string_view inserted);

 private:
  struct LineSpan {
    std::size_t start;
    std::uint32_t length;  // a line of 4 GiB or more is not a source line
    std::uint32_t breakLength;
  };
  const LineSpan& Span(int line) const { return lines_[static_cast<std::size_t>(line) - 1]; }
  // Appends the lines of `text`, whose first byte is at offset `base`.
  static void Scan(std::string_view text, std::size_t base, bool final, std::vector<LineSpan>& out);

  std::vector<LineSpan> lines_;
};

// What the steps do to a whole document whose selection runs from `anchor` to
// `caret`: the edits (sorted, not overlapping; none when nothing changes) and
// the caret after them, exactly as an editor with one selection would leave
// them. `lines` is the document's table; false when the steps put text more
// than once (no command does).
struct ResolvedSteps {
  std::vector<Edit> edits;
  TextPosition caret;
};
[[nodiscard]] bool ResolveSteps(std::string_view text, const LineTable& lines,
                                std::string_view lineBreak, TextPosition anchor, TextPosition caret,
                                const std::vector<EditorStep>& steps, ResolvedSteps* out);

// The text with the edits (sorted, not overlapping) made, in one pass.
std::string ApplyEdits(std::string_view text, const std::vector<Edit>& edits);

}  // namespace quillmark
