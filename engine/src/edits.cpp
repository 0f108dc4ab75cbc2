// Edits as data: the line table, resolving editor steps on a whole document,
// applying edits in one pass, and replaying steps on an editor.
#include "quillmark/edits.h"

#include <algorithm>
#include <cstring>

namespace quillmark {

void ReplaySteps(const std::vector<EditorStep>& steps, TextSelection& selection,
                 MessageSink* messages) {
  for (const EditorStep& step : steps) {
    switch (step.op) {
      case EditorStep::Op::kMoveUp:
        selection.MoveUpLines(step.count);
        break;
      case EditorStep::Op::kMoveDown:
        selection.MoveDownLines(step.count);
        break;
      case EditorStep::Op::kLineStart:
        selection.MoveToLineStart();
        break;
      case EditorStep::Op::kLineEnd:
        selection.MoveToLineEnd();
        break;
      case EditorStep::Op::kDocumentStart:
        selection.MoveToDocumentStart();
        break;
      case EditorStep::Op::kPut:
        selection.ReplaceSelection(step.text);
        break;
      case EditorStep::Op::kShowMessage:
        if (messages != nullptr) messages->ShowMessage(step.text);
        break;
    }
  }
}

std::vector<std::string_view> LineBreaksOf(std::string_view text) {
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

std::string MapLineBreaks(std::string_view text, const std::vector<std::string_view>& kept,
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

std::string ReplacementText(std::string_view document, std::size_t from, std::size_t to,
                            std::string_view put, std::string_view lineBreak) {
  std::string inserted =
      MapLineBreaks(put, LineBreaksOf(document.substr(from, to - from)), lineBreak);
  // A lone CR at either end of the new text must not pair with a neighbouring
  // LF into one break: that would swallow a line. It becomes CR LF instead.
  if (!inserted.empty() && inserted.back() == '\r' && to < document.size() && document[to] == '\n')
    inserted += '\n';
  if (!inserted.empty() && inserted.front() == '\n' && from > 0 && document[from - 1] == '\r')
    inserted.insert(inserted.begin(), '\r');
  return inserted;
}

std::string FirstLineBreak(std::string_view text) {
  const std::size_t pos = text.find_first_of("\r\n");
  if (pos == std::string_view::npos) return "\n";
  if (text[pos] == '\n') return "\n";
  return pos + 1 < text.size() && text[pos + 1] == '\n' ? "\r\n" : "\r";
}

LineTable::LineTable(std::string_view text) {
  // One allocation for the index: count the line feeds first.
  std::size_t feeds = 0;
  for (const char* p = text.data();
       (p = static_cast<const char*>(std::memchr(
            p, '\n', text.size() - static_cast<std::size_t>(p - text.data())))) != nullptr;
       ++p)
    ++feeds;
  lines_.reserve(feeds + 1);
  Scan(text, 0, true, lines_);
}

// A break byte at the end of `text` is read alone: every caller hands a text
// that ends just behind a whole line break or at the end of the document.
void LineTable::Scan(std::string_view text, std::size_t base, bool final,
                     std::vector<LineSpan>& out) {
  const char* data = text.data();
  const std::size_t end = text.size();
  // Two memchr streams, one per break byte, so long lines cost no per-byte loop.
  const auto next = [&](char c, std::size_t from) {
    const void* hit = from < end ? std::memchr(data + from, c, end - from) : nullptr;
    return hit == nullptr ? end : static_cast<std::size_t>(static_cast<const char*>(hit) - data);
  };
  std::size_t start = 0;
  std::size_t lf = next('\n', 0);
  std::size_t cr = next('\r', 0);
  while (lf < end || cr < end) {
    const std::size_t at = std::min(lf, cr);
    const std::size_t breakLength = (at == cr && at + 1 < end && data[at + 1] == '\n') ? 2 : 1;
    out.push_back({base + start, static_cast<std::uint32_t>(at - start),
                   static_cast<std::uint32_t>(breakLength)});
    start = at + breakLength;
    if (lf < start) lf = next('\n', start);
    if (cr < start) cr = next('\r', start);
  }
  if (final) out.push_back({base + start, static_cast<std::uint32_t>(end - start), 0});
}

std::size_t LineTable::TextSize() const {
  const LineSpan& last = lines_.back();
  return last.start + last.length + last.breakLength;
}

TextPosition LineTable::Clamp(TextPosition position) const {
  position.line = std::clamp(position.line, 1, LineCount());
  const int end = static_cast<int>(Span(position.line).length) + 1;
  position.column = std::clamp(position.column, 1, end);
  return position;
}

std::size_t LineTable::Offset(TextPosition position) const {
  position = Clamp(position);
  return Span(position.line).start + static_cast<std::size_t>(position.column) - 1;
}

TextPosition LineTable::PositionAt(std::size_t offset) const {
  const auto after = std::upper_bound(lines_.begin(), lines_.end(), offset,
                                      [](std::size_t o, const LineSpan& s) { return o < s.start; });
  const auto index =
      static_cast<std::size_t>(std::max<std::ptrdiff_t>(after - lines_.begin(), 1)) - 1;
  const LineSpan& span = lines_[index];
  const std::size_t column = std::min<std::size_t>(offset - span.start, span.length);
  return {static_cast<int>(index) + 1, static_cast<int>(column) + 1};
}

// Lines before the edit keep their spans and lines after it shift; only the
// edited lines, and the one before them (whose CR may meet an inserted LF), are
// scanned again.
void LineTable::ApplyEdit(std::string_view text, std::size_t from, std::size_t to,
                          std::string_view inserted) {
  const auto lastIndex = static_cast<std::size_t>(PositionAt(to).line) - 1;
  const auto firstIndex = static_cast<std::size_t>(std::max(PositionAt(from).line - 2, 0));
  const LineSpan& last = lines_[lastIndex];
  const std::size_t regionStart = lines_[firstIndex].start;
  const std::size_t oldEnd = last.start + last.length + last.breakLength;
  std::string region;
  region.reserve(oldEnd - regionStart - (to - from) + inserted.size());
  region.append(text.substr(regionStart, from - regionStart));
  region.append(inserted);
  region.append(text.substr(to, oldEnd - to));
  std::vector<LineSpan> edited;
  Scan(region, regionStart, lastIndex + 1 == lines_.size(), edited);
  const auto first = lines_.begin() + static_cast<std::ptrdiff_t>(firstIndex);
  const auto after = lines_.begin() + static_cast<std::ptrdiff_t>(lastIndex) + 1;
  for (auto it = after; it != lines_.end(); ++it)
    it->start = it->start - (to - from) + inserted.size();
  const auto kept = lines_.erase(first, after);
  lines_.insert(kept, edited.begin(), edited.end());
}

namespace {

// One editor's selection over a document that changes at most once.
class StepCursor {
 public:
  StepCursor(std::string_view text, const LineTable& lines, std::string_view lineBreak,
             TextPosition anchor, TextPosition caret)
      : text_(text), lines_(lines), lineBreak_(lineBreak) {
    anchor_ = lines_.Clamp(anchor);
    caret_ = lines_.Clamp(caret);
  }

  bool Do(const EditorStep& step) {
    switch (step.op) {
      case EditorStep::Op::kMoveUp:
        MoveTo({caret_.line - std::max(step.count, 0), caret_.column});
        break;
      case EditorStep::Op::kMoveDown:
        MoveTo({caret_.line + std::max(step.count, 0), caret_.column});
        break;
      case EditorStep::Op::kLineStart:
        MoveTo({caret_.line, 1});
        break;
      case EditorStep::Op::kLineEnd:
        MoveTo({caret_.line, static_cast<int>(lines_.LineLength(caret_.line)) + 1});
        break;
      case EditorStep::Op::kDocumentStart:
        MoveTo({1, 1});
        break;
      case EditorStep::Op::kPut:
        return Put(step.text);
      case EditorStep::Op::kShowMessage:
        break;
    }
    return true;
  }

  TextPosition caret() const { return caret_; }
  std::vector<Edit>& edits() { return edits_; }

 private:
  void MoveTo(TextPosition position) {
    caret_ = lines_.Clamp(position);
    anchor_ = caret_;
  }

  bool Put(std::string_view put) {
    if (put_) return false;
    put_ = true;
    const std::size_t a = lines_.Offset(std::min(anchor_, caret_));
    const std::size_t b = lines_.Offset(std::max(anchor_, caret_));
    std::string inserted = ReplacementText(text_, a, b, put, lineBreak_);
    const std::size_t end = a + inserted.size();
    if (b > a || !inserted.empty()) {
      lines_.ApplyEdit(text_, a, b, inserted);
      edits_.push_back({a, b, std::move(inserted)});
    }
    MoveTo(lines_.PositionAt(end));
    return true;
  }

  std::string_view text_;
  LineTable lines_;
  std::string_view lineBreak_;
  TextPosition anchor_;
  TextPosition caret_;
  std::vector<Edit> edits_;
  bool put_ = false;
};

}  // namespace

bool ResolveSteps(std::string_view text, const LineTable& lines, std::string_view lineBreak,
                  TextPosition anchor, TextPosition caret, const std::vector<EditorStep>& steps,
                  ResolvedSteps* out) {
  StepCursor cursor(text, lines, lineBreak, anchor, caret);
  for (const EditorStep& step : steps)
    if (!cursor.Do(step)) return false;
  out->edits = std::move(cursor.edits());
  out->caret = cursor.caret();
  return true;
}

std::string ApplyEdits(std::string_view text, const std::vector<Edit>& edits) {
  std::size_t size = text.size();
  for (const Edit& edit : edits) size = size - (edit.to - edit.from) + edit.text.size();
  std::string out;
  out.reserve(size);
  std::size_t at = 0;
  for (const Edit& edit : edits) {
    out.append(text.substr(at, edit.from - at));
    out.append(edit.text);
    at = edit.to;
  }
  out.append(text.substr(at));
  return out;
}

}  // namespace quillmark
