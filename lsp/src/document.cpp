// The document store's text and its line index, and the column conversions
// between the protocol's position encodings and byte columns.
#include <algorithm>

#include "quillmark/engine.h"
#include "quillmark/lsp.h"

namespace quillmark::lsp {
namespace {

// Appends the starts of the lines that begin inside [from, to) of `text`,
// scanning from `from`; a break that ends at `to` is not counted.
void ScanStarts(std::string_view text, std::size_t from, std::size_t to,
                std::vector<std::size_t>& out) {
  for (std::size_t i = from; i < to; ++i) {
    const char c = text[i];
    if (c == '\n') {
      if (i + 1 < to) out.push_back(i + 1);
    } else if (c == '\r') {
      const std::size_t next = (i + 1 < text.size() && text[i + 1] == '\n') ? i + 2 : i + 1;
      if (next < to) out.push_back(next);
      i = next - 1;
    }
  }
}

// Length of the character at `pos`, never past the end, a malformed sequence
// counting one byte.
int CharLength(std::string_view line, std::size_t pos) {
  return static_cast<int>(CharLengthAt(line, pos, CodePage::kUtf8));
}

int Units(int byteLength, PositionEncoding encoding) {
  switch (encoding) {
    case PositionEncoding::kUtf8:
      return byteLength;
    case PositionEncoding::kUtf16:
      return byteLength == 4 ? 2 : 1;
    case PositionEncoding::kUtf32:
      return 1;
  }
  return 1;
}

}  // namespace

Document::Document(std::string text) {
  SetText(std::move(text));
}

std::vector<std::size_t> Document::ScanLineStarts(std::string_view text) {
  std::vector<std::size_t> starts{0};
  ScanStarts(text, 0, text.size(), starts);
  // A break at the very end opens an empty last line.
  if (!text.empty() && (text.back() == '\n' || text.back() == '\r')) starts.push_back(text.size());
  return starts;
}

void Document::SetText(std::string text) {
  text_ = std::move(text);
  lineStarts_ = ScanLineStarts(text_);
}

std::string_view Document::Line(int line) const {
  if (line < 0 || line >= LineCount()) return {};
  const std::size_t start = lineStarts_[line];
  std::size_t end = line + 1 < LineCount() ? lineStarts_[line + 1] : text_.size();
  if (end > start && text_[end - 1] == '\n') --end;
  if (end > start && text_[end - 1] == '\r') --end;
  return std::string_view(text_).substr(start, end - start);
}

BytePosition Document::Clamp(BytePosition position) const {
  if (position.line < 0) return {0, 0};
  if (position.line >= LineCount()) {
    const int last = LineCount() - 1;
    return {last, static_cast<int>(Line(last).size())};
  }
  const std::string_view line = Line(position.line);
  position.column = std::clamp(position.column, 0, static_cast<int>(line.size()));
  return position;
}

std::size_t Document::Offset(BytePosition position) const {
  const BytePosition clamped = Clamp(position);
  return lineStarts_[clamped.line] + clamped.column;
}

BytePosition Document::PositionAt(std::size_t offset) const {
  offset = std::min(offset, text_.size());
  const auto it = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), offset);
  const int line = static_cast<int>(it - lineStarts_.begin()) - 1;
  const int column = static_cast<int>(offset - lineStarts_[line]);
  return Clamp({line, column});
}

void Document::Replace(std::size_t from, std::size_t to, std::string_view text) {
  from = std::min(from, text_.size());
  to = std::clamp(to, from, text_.size());
  // Lines from the one before the edit's line on are rescanned (a CR there may
  // pair with an LF the edit puts first) up to the first line starting more
  // than one byte behind the edit (an LF right behind it may pair with a CR
  // the edit puts last); the starts behind that only shift.
  const auto firstAfter = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), from);
  std::size_t keepLines = static_cast<std::size_t>(firstAfter - lineStarts_.begin());
  if (keepLines > 1) --keepLines;
  const std::size_t scanFrom = lineStarts_[keepLines - 1];
  const auto tail = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), to + 1);
  const std::size_t tailIndex = static_cast<std::size_t>(tail - lineStarts_.begin());

  text_.replace(from, to - from, text);
  const std::ptrdiff_t delta =
      static_cast<std::ptrdiff_t>(text.size()) - static_cast<std::ptrdiff_t>(to - from);

  std::vector<std::size_t> middle;
  const std::size_t scanTo =
      tailIndex < lineStarts_.size() ? lineStarts_[tailIndex] + delta : text_.size();
  ScanStarts(text_, scanFrom, scanTo, middle);
  if (tailIndex == lineStarts_.size() && !text_.empty() &&
      (text_.back() == '\n' || text_.back() == '\r') &&
      (middle.empty() || middle.back() != text_.size()))
    middle.push_back(text_.size());

  std::vector<std::size_t> tailStarts(lineStarts_.begin() + tailIndex, lineStarts_.end());
  for (std::size_t& start : tailStarts) start += delta;
  lineStarts_.resize(keepLines);
  lineStarts_.insert(lineStarts_.end(), middle.begin(), middle.end());
  lineStarts_.insert(lineStarts_.end(), tailStarts.begin(), tailStarts.end());
}

int ByteColumn(std::string_view line, long long column, PositionEncoding encoding) {
  if (column <= 0) return 0;
  std::size_t pos = 0;
  long long units = 0;
  while (pos < line.size()) {
    const int length = CharLength(line, pos);
    units += Units(length, encoding);
    if (units > column) break;  // the column falls inside this character
    pos += length;
    if (units == column) break;
  }
  return static_cast<int>(pos);
}

int EncodedColumn(std::string_view line, int byteColumn, PositionEncoding encoding) {
  const std::size_t end = std::min<std::size_t>(std::max(byteColumn, 0), line.size());
  if (encoding == PositionEncoding::kUtf8) return static_cast<int>(end);
  std::size_t pos = 0;
  int units = 0;
  while (pos < end) {
    const int length = CharLength(line, pos);
    if (pos + length > end) break;
    units += Units(length, encoding);
    pos += length;
  }
  return units;
}

}  // namespace quillmark::lsp
