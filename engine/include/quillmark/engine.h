// The comment engine's pure call: a command on a selection (or a whole
// document), the template tree and a context in; the plan of editor steps, or
// the edits and the caret, out. Nothing here throws on bad input, keeps state
// between calls or touches the operating system or an editor: the date, the
// converter and the names arrive in a CommentContext.
//
// The parts have headers of their own; this one includes them all.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "quillmark/block_reader.h"
#include "quillmark/code_page.h"
#include "quillmark/comment_context.h"
#include "quillmark/declaration_fields.h"
#include "quillmark/editor_port.h"
#include "quillmark/edits.h"
#include "quillmark/generators.h"
#include "quillmark/kinds.h"
#include "quillmark/template_tree.h"

namespace quillmark {

// Messages the system shows, in UTF-8.
namespace messages {
inline constexpr char kSelectDeclaration[] = "请选中要加注释的类，或函数声明!";
inline constexpr char kOpenFile[] = "请打开要加注释的文件!";
inline constexpr char kCheckDeclaration[] = "请重新检查声明，可能存在语法错误";
inline constexpr char kSelectDeleteText[] = "请选中要删除/反删除的文本!";
inline constexpr char kLoadFailed[] = "加载文件失败!,恢复原来设置";
inline constexpr char kSaveFailed[] = "保存配置文件失败!";
}  // namespace messages

enum class CommentOutcome {
  kInserted,
  kNoDocument,      // message shown
  kEmptySelection,  // message shown
  kNoKind,          // nothing recognised; no message
  kParseFailed,     // message shown
  kNoSelection,     // the document gave no selection; nothing happens
  kEmptyTemplate,   // recognised, but the kind's template has no lines: nothing inserted
  kInternalError,   // something failed inside; reported by the command object
};

// What a comment request did, and which kind it recognised (None when it did not
// get that far).
struct CommentResult {
  CommentOutcome outcome = CommentOutcome::kNoKind;
  DeclKind kind = DeclKind::None;
};

// The block a kind's template makes of the fields (UTF-8, encoded here into the
// context's code page), with the placeholders the keyword mode fills for that
// kind. False, with the reason, when a field cannot be written in the code page.
[[nodiscard]] bool BuildBlockFromFields(const DeclarationFields& fields, const TemplateNode& node,
                                        const CommentContext& context, ExpandedBlock* block,
                                        std::string* why);

// The three document commands.
enum class EngineCommand { kComment, kHeader, kDelete };

inline constexpr std::string_view kDeleteMarker = "//DELETE!";

// The toggle on a selected text: lines split at LF (a CR stays with its line),
// marked or restored as the first line decides, joined without the LFs.
std::string ToggleDeletedText(std::string_view selected);

// What a command does, as an editor with one selection would be driven to do
// it: the steps (moves, the one text put, the messages shown, in order), the
// outcome and the kind recognised.
struct CommandPlan {
  CommentOutcome outcome = CommentOutcome::kNoKind;
  DeclKind kind = DeclKind::None;
  std::vector<EditorStep> steps;
  // The messages shown, one a line, in UTF-8.
  std::string shown;
  // A template character the document's code page cannot hold was written as "?".
  bool replacedCharacters = false;
  // The syntax mode was asked and the keyword mode did the work; `syntaxFailure` says why.
  bool syntaxFellBack = false;
  std::string syntaxFailure;
};

// The engine's pure call for a host that has the selection alone (the IDE):
// `selectedText` is the selection as the editor hands it over (line breaks
// "\r\n"); the header never looks at it.
CommandPlan PlanCommand(EngineCommand command, std::string_view selectedText,
                        const TemplateTree& tree, const CommentContext& context);

// A document the engine may see whole, with its selection.
struct DocumentView {
  std::string_view text;       // in the context's code page
  const LineTable* lines;      // the text's line table
  std::string_view lineBreak;  // the document's style (FirstLineBreak)
  TextPosition anchor;
  TextPosition caret;
};

// The result of a command on a whole document: the plan, the edits it makes
// (byte ranges of the document, sorted, not overlapping; none when nothing
// changes) and the caret after them.
struct CommandResultOnText {
  CommandPlan plan;
  std::vector<Edit> edits;
  TextPosition caret;
};

// The engine's pure call for a host that has the whole document.
CommandResultOnText RunCommand(EngineCommand command, const DocumentView& document,
                               const TemplateTree& tree, const CommentContext& context);

// The selected text as an editor hands it over: every line break "\r\n".
std::string SelectedText(const DocumentView& document);

// The old road for editor hosts: plans the command and replays its steps on
// the selection and message boxes.
CommentResult RequestComment(TextSelection& selection, const TemplateTree& tree,
                             MessageSink& messages, const CommentContext& context);
CommentResult RequestFileHeader(TextSelection& selection, const TemplateTree& tree,
                                MessageSink& messages, const CommentContext& context);

// The kind's name for messages in English ("class", "member function", ...).
std::string_view KindName(DeclKind kind);
// The kind's name for programs ("class", "member_function", ...); "" for None.
std::string_view KindIdentifier(DeclKind kind);

}  // namespace quillmark
