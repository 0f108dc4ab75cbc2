#include "ide_editor.h"

#include <stdexcept>

#include "quillmark/wide.h"

namespace quillmark::addin {
namespace {

// The IDE's constants: move without extending the selection, and the first
// column (not the first text) of a line.
constexpr long kMove = 0;
constexpr long kFirstColumn = 0;

std::string Utf8(const std::optional<std::wstring>& text) {
  return text ? win32::NarrowOrEmpty(*text) : std::string();
}

}  // namespace

std::string IdeSelection::GetSelectedText() {
  // Taking a failed read for an empty selection would answer the user with
  // the wrong message; the command reports the failure instead.
  const std::optional<std::wstring> text = selection_.GetString(L"Text");
  if (!text) throw std::runtime_error("the IDE did not give the selected text");
  return win32::NarrowOrEmpty(*text);
}

void IdeSelection::ReplaceSelection(std::string_view text) {
  // The engine writes UTF-8; text that is not is never sent half-converted.
  if (const std::optional<std::wstring> wide = win32::Widen(text))
    selection_.PutString(L"Text", *wide);
}

void IdeSelection::MoveUpLines(int count) {
  selection_.Call(L"LineUp", {LongArg(kMove), LongArg(count)});
}

void IdeSelection::MoveDownLines(int count) {
  selection_.Call(L"LineDown", {LongArg(kMove), LongArg(count)});
}

void IdeSelection::MoveToLineStart() {
  selection_.Call(L"StartOfLine", {LongArg(kFirstColumn), LongArg(kMove)});
}

void IdeSelection::MoveToLineEnd() {
  selection_.Call(L"EndOfLine", {LongArg(kMove)});
}

void IdeSelection::MoveToDocumentStart() {
  selection_.Call(L"StartOfDocument", {LongArg(kMove)});
}

IdeSelection* IdeDocument::Selection() {
  if (!selection_) {
    DispatchRef selection = document_.GetObject(L"Selection");
    if (!selection) return nullptr;
    selection_ = std::make_unique<IdeSelection>(std::move(selection));
  }
  return selection_.get();
}

void IdeEditorHost::SetModelessEnabled(bool enabled) {
  // A command starts: nothing handed out before is in use any more.
  if (!enabled) documents_.clear();
  application_.Call(L"EnableModeless", {BoolArg(enabled)});
}

TextDocument* IdeEditorHost::GetActiveTextDocument() {
  DispatchRef document = application_.GetObject(L"ActiveDocument");
  if (!document) return nullptr;
  // Only text documents have a selection to comment.
  if (document.GetString(L"Type").value_or(L"") != L"Text") return nullptr;
  documents_.push_back(std::make_unique<IdeDocument>(std::move(document)));
  return documents_.back().get();
}

TextSelection* IdeEditorHost::GetSelection(TextDocument& document) {
  return static_cast<IdeDocument&>(document).Selection();
}

std::string IdeEditorHost::GetDocumentName(TextDocument& document) {
  std::string name = Utf8(static_cast<IdeDocument&>(document).object().GetString(L"Name"));
  const std::size_t slash = name.find_last_of("\\/");
  if (slash != std::string::npos) name.erase(0, slash + 1);
  return name;
}

// Text crosses the IDE boundary as UTF-16 (BSTR) and this module converts it
// to and from UTF-8 itself, so to the engine every document is UTF-8 whatever
// the file's encoding on disk: no template character is turned into "?" here,
// and the IDE alone decides how its buffer stores what it is given.
CodePage IdeEditorHost::GetDocumentCodePage(TextDocument&) {
  return CodePage::kUtf8;
}

std::optional<std::string> IdeEditorHost::GetActiveProjectName() {
  DispatchRef project = application_.GetObject(L"ActiveProject");
  if (!project) return std::nullopt;
  const std::optional<std::wstring> name = project.GetString(L"Name");
  if (!name) return std::nullopt;
  return win32::Narrow(*name);
}

}  // namespace quillmark::addin
