// The in-memory editor component.
#include <algorithm>

#include "quillmark/host.h"

namespace quillmark {
namespace {

// Every "\r\n", lone "\r" and lone "\n" becomes `lineBreak`.
std::string WithBreaks(std::string_view text, std::string_view lineBreak) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += lineBreak;
    } else {
      out += c;
    }
  }
  return out;
}

std::string FirstLineBreak(std::string_view text) {
  const std::size_t pos = text.find_first_of("\r\n");
  if (pos == std::string_view::npos) return "\n";
  if (text[pos] == '\n') return "\n";
  return pos + 1 < text.size() && text[pos + 1] == '\n' ? "\r\n" : "\r";
}

}  // namespace

MemoryDocument::MemoryDocument(std::string text, std::string name)
    : buffer_(std::move(text)), name_(std::move(name)), lineBreak_(FirstLineBreak(buffer_)) {
  IndexLines();
}

void MemoryDocument::IndexLines() {
  lines_.clear();
  std::size_t start = 0;
  const std::size_t size = buffer_.size();
  const char* data = buffer_.data();
  for (std::size_t i = 0; i < size; ++i) {
    const char c = data[i];
    if (c != '\r' && c != '\n') continue;
    const std::size_t breakLength = (c == '\r' && i + 1 < size && data[i + 1] == '\n') ? 2 : 1;
    lines_.push_back({start, i - start, breakLength});
    i += breakLength - 1;
    start = i + 1;
  }
  // A text ending in a line break has a final empty line.
  lines_.push_back({start, size - start, 0});
}

std::string_view MemoryDocument::LineText(int line) const {
  if (line < 1 || line > LineCount()) return {};
  const LineSpan& span = lines_[static_cast<std::size_t>(line) - 1];
  return std::string_view(buffer_).substr(span.start, span.length);
}

TextPosition MemoryDocument::Clamp(TextPosition position) const {
  position.line = std::clamp(position.line, 1, LineCount());
  const int end = static_cast<int>(lines_[static_cast<std::size_t>(position.line) - 1].length) + 1;
  position.column = std::clamp(position.column, 1, end);
  return position;
}

std::size_t MemoryDocument::Offset(TextPosition position) const {
  position = Clamp(position);
  return lines_[static_cast<std::size_t>(position.line) - 1].start +
         static_cast<std::size_t>(position.column) - 1;
}

TextPosition MemoryDocument::PositionAt(std::size_t offset) const {
  const auto after = std::upper_bound(lines_.begin(), lines_.end(), offset,
                                      [](std::size_t o, const LineSpan& s) { return o < s.start; });
  const auto index =
      static_cast<std::size_t>(std::max<std::ptrdiff_t>(after - lines_.begin(), 1)) - 1;
  const LineSpan& span = lines_[index];
  const std::size_t column = std::min(offset - span.start, span.length);
  return {static_cast<int>(index) + 1, static_cast<int>(column) + 1};
}

void MemoryDocument::Select(TextPosition anchor, TextPosition active) {
  anchor_ = Clamp(anchor);
  caret_ = Clamp(active);
}

void MemoryDocument::MoveCaretTo(TextPosition position) {
  caret_ = Clamp(position);
  anchor_ = caret_;
}

std::string MemoryDocument::GetSelectedText() {
  const std::size_t a = Offset(std::min(anchor_, caret_));
  const std::size_t b = Offset(std::max(anchor_, caret_));
  return WithBreaks(std::string_view(buffer_).substr(a, b - a), "\r\n");
}

void MemoryDocument::ReplaceSelection(std::string_view text) {
  const std::size_t a = Offset(std::min(anchor_, caret_));
  const std::size_t b = Offset(std::max(anchor_, caret_));
  const std::string inserted = WithBreaks(text, lineBreak_);
  if (b > a || !inserted.empty()) {
    buffer_.replace(a, b - a, inserted);
    IndexLines();
    modified_ = true;
  }
  MoveCaretTo(PositionAt(a + inserted.size()));
}

void MemoryDocument::MoveUpLines(int count) {
  MoveCaretTo({caret_.line - std::max(count, 0), caret_.column});
}

void MemoryDocument::MoveDownLines(int count) {
  MoveCaretTo({caret_.line + std::max(count, 0), caret_.column});
}

void MemoryDocument::MoveToLineStart() {
  MoveCaretTo({caret_.line, 1});
}

void MemoryDocument::MoveToLineEnd() {
  MoveCaretTo({caret_.line, static_cast<int>(LineText(caret_.line).size()) + 1});
}

void MemoryDocument::MoveToDocumentStart() {
  MoveCaretTo({1, 1});
}

TextSelection* MemoryEditor::GetSelection(TextDocument& document) {
  return static_cast<MemoryDocument*>(&document);
}

std::string MemoryEditor::GetDocumentName(TextDocument& document) {
  return static_cast<MemoryDocument&>(document).Name();
}

}  // namespace quillmark
