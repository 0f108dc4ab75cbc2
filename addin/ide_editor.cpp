#include "ide_editor.h"

#include <cstdio>
#include <stdexcept>
#include <string>

#include "quillmark/wide.h"

namespace quillmark::addin {
namespace {

// The IDE's constants: move without extending the selection, and the first
// column (not the first text) of a line.
constexpr long kMove = 0;
constexpr long kFirstColumn = 0;

// What the IDE failed to do, as the internal error the command reports: a
// failed read taken for an empty answer would change the document wrongly.
[[noreturn]] void Refused(const char* what, HRESULT hr) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
  throw std::runtime_error(std::string("the IDE refused ") + what + " (" + code + ")");
}

void Check(const char* what, HRESULT hr) {
  if (FAILED(hr)) Refused(what, hr);
}

// A property holding text; a failed read or text that is not UTF-16 stops the
// command.
std::string ReadText(const DispatchRef& object, const wchar_t* name, const char* what) {
  const std::optional<std::wstring> text = object.GetString(name);
  if (!text) throw std::runtime_error(std::string("the IDE did not give ") + what);
  std::optional<std::string> utf8 = win32::Narrow(*text);
  if (!utf8) throw std::runtime_error(std::string(what) + " from the IDE is not valid UTF-16");
  return std::move(*utf8);
}

// A property holding an object, or none; a failed read stops the command.
DispatchRef ReadObject(const DispatchRef& object, const wchar_t* name, const char* what) {
  bool failed = false;
  DispatchRef value = object.GetObject(name, &failed);
  if (failed) throw std::runtime_error(std::string("the IDE did not give ") + what);
  return value;
}

}  // namespace

std::string IdeSelection::GetSelectedText() {
  // Taking a failed read for an empty selection would answer the user with
  // the wrong message, and an unconvertible text taken for an empty one would
  // be replaced by nothing; the command reports the failure instead.
  return ReadText(selection_, L"Text", "the selected text");
}

void IdeSelection::ReplaceSelection(std::string_view text) {
  // The engine writes UTF-8; text that is not is never sent half-converted.
  const std::optional<std::wstring> wide = win32::Widen(text);
  if (!wide) throw std::runtime_error("the text to insert is not UTF-8");
  Check("the new text", selection_.PutString(L"Text", *wide));
}

void IdeSelection::MoveUpLines(int count) {
  Check("LineUp", selection_.Call(L"LineUp", {LongArg(kMove), LongArg(count)}));
}

void IdeSelection::MoveDownLines(int count) {
  Check("LineDown", selection_.Call(L"LineDown", {LongArg(kMove), LongArg(count)}));
}

void IdeSelection::MoveToLineStart() {
  Check("StartOfLine", selection_.Call(L"StartOfLine", {LongArg(kFirstColumn), LongArg(kMove)}));
}

void IdeSelection::MoveToLineEnd() {
  Check("EndOfLine", selection_.Call(L"EndOfLine", {LongArg(kMove)}));
}

void IdeSelection::MoveToDocumentStart() {
  Check("StartOfDocument", selection_.Call(L"StartOfDocument", {LongArg(kMove)}));
}

IdeSelection* IdeDocument::Selection() {
  if (!selection_) {
    DispatchRef selection = ReadObject(document_, L"Selection", "the selection");
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
  DispatchRef document = ReadObject(application_, L"ActiveDocument", "the active document");
  if (!document) return nullptr;
  // Only text documents have a selection to comment.
  if (ReadText(document, L"Type", "the document's type") != "Text") return nullptr;
  documents_.push_back(std::make_unique<IdeDocument>(std::move(document)));
  return documents_.back().get();
}

TextSelection* IdeEditorHost::GetSelection(TextDocument& document) {
  return static_cast<IdeDocument&>(document).Selection();
}

std::string IdeEditorHost::GetDocumentName(TextDocument& document) {
  std::string name =
      ReadText(static_cast<IdeDocument&>(document).object(), L"Name", "the document's name");
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
  DispatchRef project = ReadObject(application_, L"ActiveProject", "the active project");
  if (!project) return std::nullopt;
  return ReadText(project, L"Name", "the project's name");
}

}  // namespace quillmark::addin
