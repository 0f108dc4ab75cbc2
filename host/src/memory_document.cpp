// The in-memory editor component.
#include <algorithm>

#include "quillmark/memory_editor.h"

namespace quillmark {

MemoryDocument::MemoryDocument(std::string text, std::string name, CodePage codePage)
    : buffer_(std::move(text)),
      name_(std::move(name)),
      codePage_(codePage),
      lineBreak_(FirstLineBreak(buffer_)),
      lines_(buffer_) {}

std::string_view MemoryDocument::LineText(int line) const {
  if (line < 1 || line > LineCount()) return {};
  return std::string_view(buffer_).substr(lines_.LineStart(line), lines_.LineLength(line));
}

void MemoryDocument::Select(TextPosition anchor, TextPosition active) {
  anchor_ = lines_.Clamp(anchor);
  caret_ = lines_.Clamp(active);
}

void MemoryDocument::ApplyEdits(const std::vector<Edit>& edits, TextPosition caret) {
  if (!edits.empty()) {
    buffer_ = quillmark::ApplyEdits(buffer_, edits);
    lines_ = LineTable(buffer_);
    modified_ = true;
  }
  MoveCaretTo(caret);
}

void MemoryDocument::MoveCaretTo(TextPosition position) {
  caret_ = lines_.Clamp(position);
  anchor_ = caret_;
}

std::string MemoryDocument::GetSelectedText() {
  const std::size_t a = lines_.Offset(std::min(anchor_, caret_));
  const std::size_t b = lines_.Offset(std::max(anchor_, caret_));
  return MapLineBreaks(std::string_view(buffer_).substr(a, b - a), {}, "\r\n");
}

void MemoryDocument::ReplaceSelection(std::string_view text) {
  const std::size_t a = lines_.Offset(std::min(anchor_, caret_));
  const std::size_t b = lines_.Offset(std::max(anchor_, caret_));
  const std::string inserted = ReplacementText(buffer_, a, b, text, lineBreak_);
  if (b > a || !inserted.empty()) {
    lines_.ApplyEdit(buffer_, a, b, inserted);
    buffer_.replace(a, b - a, inserted);
    modified_ = true;
  }
  MoveCaretTo(lines_.PositionAt(a + inserted.size()));
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
