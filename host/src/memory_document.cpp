// The in-memory editor component.
#include <algorithm>
#include <cstring>

#include "quillmark/memory_editor.h"

namespace quillmark {
namespace {

// The line breaks of `text`, in order.
std::vector<std::string_view> BreaksOf(std::string_view text) {
  std::vector<std::string_view> breaks;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') {
      breaks.push_back(text.substr(i, 1));
    } else if (text[i] == '\r') {
      const bool pair = i + 1 < text.size() && text[i + 1] == '\n';
      breaks.push_back(text.substr(i, pair ? 2 : 1));
      if (pair) ++i;
    }
  }
  return breaks;
}

// Every "\r\n", lone "\r" and lone "\n" of `text`: the k-th becomes the k-th
// of `kept` while there are any, then `fallback`. A line that is rewritten in
// place keeps its own break; with nothing kept, every break is `fallback`.
std::string MapBreaks(std::string_view text, const std::vector<std::string_view>& kept,
                      std::string_view fallback) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  std::size_t k = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      const std::string_view lineBreak = k < kept.size() ? kept[k++] : fallback;
      // An LF right behind a lone CR would join it into one break.
      if (lineBreak.front() == '\n' && !out.empty() && out.back() == '\r') out += '\r';
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

MemoryDocument::MemoryDocument(std::string text, std::string name, CodePage codePage)
    : buffer_(std::move(text)),
      name_(std::move(name)),
      codePage_(codePage),
      lineBreak_(FirstLineBreak(buffer_)) {
  IndexLines();
}

void MemoryDocument::IndexLines() {
  lines_.clear();
  // One allocation for the index: count the line feeds first.
  std::size_t feeds = 0;
  for (const char* p = buffer_.data();
       (p = static_cast<const char*>(std::memchr(
            p, '\n', buffer_.size() - static_cast<std::size_t>(p - buffer_.data())))) != nullptr;
       ++p)
    ++feeds;
  lines_.reserve(feeds + 1);
  IndexRange(0, buffer_.size(), true, lines_);
}

// Appends the lines of buffer_[begin, end), where `end` lies just behind a line
// break or at the end of the buffer. With `final`, the line after the last
// break follows too (a text ending in a break has a final empty line).
void MemoryDocument::IndexRange(std::size_t begin, std::size_t end, bool final,
                                std::vector<LineSpan>& out) const {
  const char* data = buffer_.data();
  const std::size_t size = buffer_.size();
  // Two memchr streams, one per break byte, so long lines cost no per-byte loop.
  const auto next = [&](char c, std::size_t from) {
    const void* hit = from < end ? std::memchr(data + from, c, end - from) : nullptr;
    return hit == nullptr ? end : static_cast<std::size_t>(static_cast<const char*>(hit) - data);
  };
  std::size_t start = begin;
  std::size_t lf = next('\n', begin);
  std::size_t cr = next('\r', begin);
  while (lf < end || cr < end) {
    const std::size_t at = std::min(lf, cr);
    const std::size_t breakLength = (at == cr && at + 1 < size && data[at + 1] == '\n') ? 2 : 1;
    out.push_back(
        {start, static_cast<std::uint32_t>(at - start), static_cast<std::uint32_t>(breakLength)});
    start = at + breakLength;
    if (lf < start) lf = next('\n', start);
    if (cr < start) cr = next('\r', start);
  }
  if (final) out.push_back({start, static_cast<std::uint32_t>(end - start), 0});
}

// Lines before the edit keep their spans and lines after it shift; only the
// edited lines, and the one before them, are scanned again.
void MemoryDocument::ReindexAfterEdit(std::size_t from, std::size_t to, std::size_t inserted) {
  const auto lastIndex = static_cast<std::size_t>(PositionAt(to).line) - 1;
  const auto firstIndex = static_cast<std::size_t>(std::max(PositionAt(from).line - 2, 0));
  const LineSpan& last = lines_[lastIndex];
  const std::size_t oldEnd = last.start + last.length + last.breakLength;
  const std::size_t newEnd = oldEnd - (to - from) + inserted;
  std::vector<LineSpan> edited;
  IndexRange(lines_[firstIndex].start, newEnd, lastIndex + 1 == lines_.size(), edited);
  const auto first = lines_.begin() + static_cast<std::ptrdiff_t>(firstIndex);
  const auto after = lines_.begin() + static_cast<std::ptrdiff_t>(lastIndex) + 1;
  for (auto it = after; it != lines_.end(); ++it) it->start = it->start - (to - from) + inserted;
  const auto kept = lines_.erase(first, after);
  lines_.insert(kept, edited.begin(), edited.end());
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
  const std::size_t column = std::min<std::size_t>(offset - span.start, span.length);
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
  return MapBreaks(std::string_view(buffer_).substr(a, b - a), {}, "\r\n");
}

void MemoryDocument::ReplaceSelection(std::string_view text) {
  const std::size_t a = Offset(std::min(anchor_, caret_));
  const std::size_t b = Offset(std::max(anchor_, caret_));
  std::string inserted =
      MapBreaks(text, BreaksOf(std::string_view(buffer_).substr(a, b - a)), lineBreak_);
  // A lone CR at either end of the new text must not pair with a neighbouring
  // LF into one break: that would swallow a line. It becomes CR LF instead.
  if (!inserted.empty() && inserted.back() == '\r' && b < buffer_.size() && buffer_[b] == '\n')
    inserted += '\n';
  if (!inserted.empty() && inserted.front() == '\n' && a > 0 && buffer_[a - 1] == '\r')
    inserted.insert(inserted.begin(), '\r');
  if (b > a || !inserted.empty()) {
    buffer_.replace(a, b - a, inserted);
    ReindexAfterEdit(a, b, inserted.size());
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

CodePage MemoryEditor::GetDocumentCodePage(TextDocument& document) {
  return static_cast<MemoryDocument&>(document).GetCodePage();
}

}  // namespace quillmark
