// The comment engine: templates, the declaration classifier, text normalisation,
// placeholder expansion and the per-kind generators.
//
// Declaration texts are byte strings in the document's code page, which every
// routine that searches them is given; indices and lengths count bytes. Template
// trees hold their names and lines in UTF-8 and are encoded into the document's
// code page when a block is built. Nothing here throws on bad input, keeps
// state between calls or touches the operating system: the date, the converter
// and the editor arrive in a CommentContext.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "quillmark/editor_port.h"
#include "quillmark/edits.h"
#include "quillmark/kinds.h"
#include "quillmark/platform.h"

namespace quillmark {

// ---------------------------------------------------------------------------
// Code pages

// True when `byte` starts a two-byte character in `page`.
bool IsLeadByte(unsigned char byte, CodePage page);
// Length in bytes of the character starting at `pos` (1 at least, never past the end).
std::size_t CharLengthAt(std::string_view text, std::size_t pos, CodePage page);
// Converts UTF-8 into `page`; nothing when a character has no counterpart there.
std::optional<std::string> EncodeFromUtf8(std::string_view utf8, CodePage page,
                                          const TextConverter& converter);
std::optional<std::string> DecodeToUtf8(std::string_view text, CodePage page,
                                        const TextConverter& converter);
// Like EncodeFromUtf8, but a character `page` cannot hold becomes "?", as the
// Windows conversion does; `replaced` (if given) is set when that happened.
std::string EncodeLossy(std::string_view utf8, CodePage page, const TextConverter& converter,
                        bool* replaced = nullptr);
bool IsValidUtf8(std::string_view text);

// The one text search of the engine: case-sensitive bytes, never matching from
// the second byte of a double-byte character. Returns the byte index or -1.
int FindSubstring(std::string_view text, std::string_view literal, CodePage page, int start = 0);

// ---------------------------------------------------------------------------
// Declaration kinds and the template tree

struct TemplateNode;
struct CommentContext;
struct ExpandedBlock;

// A kind's routine: true when it made the block, false when the declaration
// text cannot be taken apart. `text` is the caller's copy, in the context's
// code page. Where the block goes is the driver's business, not the routine's.
using Generator = bool (*)(std::string& text, const TemplateNode& node,
                           const CommentContext& context, ExpandedBlock* block);

struct TemplateNode {
  std::string name;                // UTF-8
  std::vector<std::string> lines;  // UTF-8 template lines, without line terminators
  std::unique_ptr<TemplateNode> next;
  std::unique_ptr<TemplateNode> firstChild;
  Generator generator = nullptr;

  bool IsGroup() const { return firstChild != nullptr; }
};

// Frees the sibling chain starting at `node`: each node's children before the
// node, siblings in list order. Returns the number of nodes freed.
int FreeNodeChain(std::unique_ptr<TemplateNode> node);

// The values of "%Company%" and "%Author%", in UTF-8.
struct UserInfo {
  std::string companyName;
  std::string authorName;
};

// Owns the groups, the kinds and the user information. Construction fills the
// defaults, the author being the logon name when there is a usable one;
// loading the user's settings file is the settings subsystem's job.
class TemplateTree {
 public:
  explicit TemplateTree(const std::optional<std::string>& logonName = std::nullopt);
  ~TemplateTree();
  TemplateTree(const TemplateTree&) = delete;
  TemplateTree& operator=(const TemplateTree&) = delete;

  TemplateNode* FindKindNode(DeclKind kind) const;

  std::string profilePath;
  UserInfo userInfo;
  std::map<int, TemplateNode*> kindTable;
  std::unique_ptr<TemplateNode> root;

 private:
  void BuildDefaultTemplates();
  // Links a new node as `previous`'s next sibling, else as `group`'s first
  // child, else as the root.
  TemplateNode* AppendNode(TemplateNode* group, TemplateNode* previous, std::string name);
};

// The logon name as the defaults may use it: nothing when it is empty or would
// not fit the system's 260-byte buffer.
std::optional<std::string> UsableLogonName(const std::optional<std::string>& logonName);

// ---------------------------------------------------------------------------
// The syntax mode: the fields of a declaration from a parser outside the
// engine. The engine knows only this interface, never the parser behind it.

// A declaration taken apart, in UTF-8. How the fields fill a kind's template:
// `name` the kind's own name placeholder; `scope` the member's class
// (%ClassName% of a member function, %Interface% of a method implementation);
// `bases` joined like the keyword mode's base list (%BaseClassName%,
// %BaseInterface%); `returnType` %ReturnValue%; `parameters` ("text" or
// "text = default") and a macro's `macroParameters` %FunctionParam%, one per line.
struct DeclarationFields {
  DeclKind kind = DeclKind::None;
  std::string name;
  std::string scope;
  std::string returnType;
  std::vector<std::string> bases;
  std::vector<std::string> parameters;
  std::vector<std::string> macroParameters;
};

class DeclarationFieldsSource {
 public:
  virtual ~DeclarationFieldsSource() = default;
  // Takes the UTF-8 selection apart; false, with the reason in `why` (English),
  // when it holds nothing the parser knows.
  virtual bool Parse(std::string_view utf8Selection, DeclarationFields* out, std::string* why) = 0;
};

// ---------------------------------------------------------------------------
// What one comment request works with besides the text and the template.

struct CommentContext {
  CodePage page = CodePage::kUtf8;           // the document's
  const TextConverter* converter = nullptr;  // needed only for code page 936
  LocalDate today;
  const UserInfo* user = nullptr;
  // Asked for "%ProjectName%" and "%CurrentFileName%" (in the context's code
  // page), only for lines that hold them; empty when not given.
  std::function<std::string()> projectName;
  std::function<std::string()> documentName;
  // When set, the comment request asks it for the fields first and uses the
  // keyword mode only when it cannot parse the selection.
  DeclarationFieldsSource* declarations = nullptr;
};

// ---------------------------------------------------------------------------
// Classifier and normalisation

DeclKind Classify(std::string_view text, CodePage page);

void TrimDeclaration(std::string& text, CodePage page);
void KeepFirstOccurrence(std::string& text, char byte);
void RemoveSubstring(std::string& text, std::string_view literal, CodePage page);
void RemoveWhitespace(std::string& text);
void RemoveExportMacros(std::string& text, CodePage page);

// ---------------------------------------------------------------------------
// Expansion and insertion

struct ExpansionStep {
  std::string_view placeholder;
  std::string value;
  int lineBreaks = 0;  // line breaks inside `value`
};

struct ExpandedBlock {
  std::string text;
  int lineCount = 0;
  int caretLine = 1;
  // A template character the document's code page cannot hold was written as "?".
  bool replacedCharacters = false;
};

// Steps' placeholders and values are in the context's code page; the template
// lines and the user information are UTF-8 and encoded here.
ExpandedBlock ExpandTemplate(const std::vector<std::string>& lines,
                             std::span<const ExpansionStep> leading,
                             std::span<const ExpansionStep> trailing,
                             const CommentContext& context);
// `replaced` (if given) is set when a character was written as "?".
void ExpandTime(std::string& line, const CommentContext& context, bool* replaced = nullptr);

// ---------------------------------------------------------------------------
// Parsing helpers shared by the generators

struct JoinedItems {
  std::string value;
  int extraLines = 0;
};
inline constexpr std::string_view kItemSeparator = ",\r\n//\t\t\t\t";
JoinedItems JoinItems(const std::vector<std::string>& items);
void SplitParams(std::string text, std::vector<std::string>& items, CodePage page);
[[nodiscard]] bool ParseClassHead(bool isClass, const std::string& text, std::string& name,
                                  std::vector<std::string>& bases, CodePage page);
bool SplitFunctionHead(std::string& head, std::string& returnType, std::string& name,
                       CodePage page);
[[nodiscard]] bool SplitMemberHead(std::string& head, std::string& className,
                                   std::string& returnType, std::string& functionName,
                                   CodePage page);
[[nodiscard]] bool ParseInterfaceHead(const std::string& text, std::string& interfaceName,
                                      std::string& baseInterface, CodePage page);

// ---------------------------------------------------------------------------
// Generators

[[nodiscard]] bool CommentClass(std::string& text, const TemplateNode& node,
                                const CommentContext& context, ExpandedBlock* block);
[[nodiscard]] bool CommentStruct(std::string& text, const TemplateNode& node,
                                 const CommentContext& context, ExpandedBlock* block);
[[nodiscard]] bool CommentClassOrStruct(bool isClass, std::string& text, const TemplateNode& node,
                                        const CommentContext& context, ExpandedBlock* block);
[[nodiscard]] bool CommentUnion(std::string& text, const TemplateNode& node,
                                const CommentContext& context, ExpandedBlock* block);
[[nodiscard]] bool CommentEnum(std::string& text, const TemplateNode& node,
                               const CommentContext& context, ExpandedBlock* block);
[[nodiscard]] bool CommentFunction(std::string& text, const TemplateNode& node,
                                   const CommentContext& context, ExpandedBlock* block);
[[nodiscard]] bool CommentMemberFunction(std::string& text, const TemplateNode& node,
                                         const CommentContext& context, ExpandedBlock* block);
[[nodiscard]] bool CommentMacro(std::string& text, const TemplateNode& node,
                                const CommentContext& context, ExpandedBlock* block);
[[nodiscard]] bool CommentParamMacro(std::string& text, const TemplateNode& node,
                                     const CommentContext& context, ExpandedBlock* block);
[[nodiscard]] bool CommentInterface(std::string& text, const TemplateNode& node,
                                    const CommentContext& context, ExpandedBlock* block);
[[nodiscard]] bool CommentMethodDecl(std::string& text, const TemplateNode& node,
                                     const CommentContext& context, ExpandedBlock* block);
[[nodiscard]] bool CommentMethodImpl(std::string& text, const TemplateNode& node,
                                     const CommentContext& context, ExpandedBlock* block);
[[nodiscard]] bool CommentFileHeader(std::string& text, const TemplateNode& node,
                                     const CommentContext& context, ExpandedBlock* block);

// ---------------------------------------------------------------------------
// Drivers

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
