// The comment engine: templates, the declaration classifier, text normalisation,
// placeholder expansion and the per-kind generators.
//
// Texts are byte strings in the code page in use (see SetCodePage); indices and
// lengths count bytes. Nothing here throws on bad input or touches the operating
// system directly: the clock and the logon name come through replaceable sources.
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
#include "quillmark/platform.h"

namespace quillmark {

// ---------------------------------------------------------------------------
// Code pages

// The code page of every engine text. Process-wide, like the ANSI code page.
void SetCodePage(CodePage page);
CodePage GetCodePage();
void SetTextConverter(const TextConverter* converter);  // not owned; may be null
const TextConverter* GetTextConverter();

// True when `byte` starts a two-byte character in the code page in use.
bool IsLeadByte(unsigned char byte);
// Length in bytes of the character starting at `pos` (1 at least, never past the end).
std::size_t CharLengthAt(std::string_view text, std::size_t pos);
// Converts UTF-8 (the encoding of the source and of messages) into `page`.
std::optional<std::string> EncodeFromUtf8(std::string_view utf8, CodePage page);
std::optional<std::string> DecodeToUtf8(std::string_view text, CodePage page);
bool IsValidUtf8(std::string_view text);

// The one text search of the engine: case-sensitive bytes, never matching from
// the second byte of a double-byte character. Returns the byte index or -1.
int FindSubstring(std::string_view text, std::string_view literal, int start = 0);

// ---------------------------------------------------------------------------
// Declaration kinds and the template tree

enum class DeclKind : int {
  None = -1,
  Class = 0,
  Struct = 1,
  Union = 2,
  Enum = 3,
  Function = 4,
  MemberFunction = 5,
  Macro = 6,
  MacroWithParams = 7,
  Interface = 8,
  FileHeader = 9,
  MethodDeclaration = 11,
  MethodImplementation = 12,
};

struct TemplateNode;

// A kind's routine: 1 when a block was inserted, 0 when the declaration text
// cannot be taken apart (then nothing was inserted). `text` is the caller's copy.
using Generator = int (*)(std::string& text, TextSelection& selection, const TemplateNode& node);

struct TemplateNode {
  std::string name;
  std::vector<std::string> lines;  // template lines, without line terminators
  std::unique_ptr<TemplateNode> next;
  std::unique_ptr<TemplateNode> firstChild;
  Generator generator = nullptr;

  bool IsGroup() const { return firstChild != nullptr; }
};

// Frees the sibling chain starting at `node`: each node's children before the
// node, siblings in list order. Returns the number of nodes freed.
int FreeNodeChain(std::unique_ptr<TemplateNode> node);

struct UserInfo {
  std::string companyName;
  std::string authorName;
};
// The one instance, or null before a TemplateTree exists and after it is gone.
UserInfo* GetUserInfo();

// Owns the groups and kinds. Construction creates UserInfo and fills the
// defaults; loading the user's settings file is the settings subsystem's job.
class TemplateTree {
 public:
  TemplateTree();
  ~TemplateTree();
  TemplateTree(const TemplateTree&) = delete;
  TemplateTree& operator=(const TemplateTree&) = delete;

  TemplateNode* FindKindNode(DeclKind kind) const;

  std::string profilePath;
  std::map<int, TemplateNode*> kindTable;
  std::unique_ptr<TemplateNode> root;

 private:
  void BuildDefaultTemplates();
  // Links a new node as `previous`'s next sibling, else as `group`'s first
  // child, else as the root.
  TemplateNode* AppendNode(TemplateNode* group, TemplateNode* previous, std::string name);
};

// ---------------------------------------------------------------------------
// Operating-system sources the engine reads; tests and hosts replace them.

EditorHost* GetHostApplication();
void SetHostApplication(EditorHost* application);
void SetDateSource(std::function<LocalDate()> source);  // empty restores the real clock
// The logon name in UTF-8, or nothing when it cannot be read.
void SetLogonNameSource(std::function<std::optional<std::string>()> source);
std::optional<std::string> QueryLogonName();

// ---------------------------------------------------------------------------
// Classifier and normalisation

DeclKind Classify(std::string_view text);

void TrimDeclaration(std::string& text);
void RemoveChar(std::string& text, char byte);
void KeepFirstOccurrence(std::string& text, char byte);
void RemoveSubstring(std::string& text, std::string_view literal);
void RemoveWhitespace(std::string& text);
void RemoveExportMacros(std::string& text);

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
};

void PrepareInsertionPoint(TextSelection& selection);
ExpandedBlock ExpandTemplate(const std::vector<std::string>& lines,
                             std::span<const ExpansionStep> leading,
                             std::span<const ExpansionStep> trailing);
void ExpandTime(std::string& line);
void InsertBlockAndPlaceCaret(TextSelection& selection, const std::string& block, int lineCount,
                              int caretLine);

// ---------------------------------------------------------------------------
// Parsing helpers shared by the generators

struct JoinedItems {
  std::string value;
  int extraLines = 0;
};
inline constexpr std::string_view kItemSeparator = ",\r\n//\t\t\t\t";
JoinedItems JoinItems(const std::vector<std::string>& items);
void SplitParams(std::string text, std::vector<std::string>& items);
int ParseClassHead(bool isClass, const std::string& text, std::string& name,
                   std::vector<std::string>& bases);
int SplitFunctionHead(std::string& head, std::string& returnType, std::string& name);
int SplitMemberHead(std::string& head, std::string& className, std::string& returnType,
                    std::string& functionName);
int ParseInterfaceHead(const std::string& text, std::string& interfaceName,
                       std::string& baseInterface);

// ---------------------------------------------------------------------------
// Generators

int CommentClass(std::string& text, TextSelection& selection, const TemplateNode& node);
int CommentStruct(std::string& text, TextSelection& selection, const TemplateNode& node);
int CommentClassOrStruct(bool isClass, std::string& text, TextSelection& selection,
                         const TemplateNode& node);
int CommentUnion(std::string& text, TextSelection& selection, const TemplateNode& node);
int CommentEnum(std::string& text, TextSelection& selection, const TemplateNode& node);
int CommentFunction(std::string& text, TextSelection& selection, const TemplateNode& node);
int CommentMemberFunction(std::string& text, TextSelection& selection, const TemplateNode& node);
int CommentMacro(std::string& text, TextSelection& selection, const TemplateNode& node);
int CommentParamMacro(std::string& text, TextSelection& selection, const TemplateNode& node);
int CommentInterface(std::string& text, TextSelection& selection, const TemplateNode& node);
int CommentMethodDecl(std::string& text, TextSelection& selection, const TemplateNode& node);
int CommentMethodImpl(std::string& text, TextSelection& selection, const TemplateNode& node);
int CommentFileHeader(std::string& text, TextSelection& selection, const TemplateNode& node);

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
};

CommentOutcome RequestComment(TextSelection& selection, const TemplateTree& tree,
                              MessageSink& messages);
CommentOutcome RequestFileHeader(TextSelection& selection, const TemplateTree& tree,
                                 MessageSink& messages);

}  // namespace quillmark
