// Reading a comment block back: the block directly above a declaration is
// matched against the template of the declaration's kind, its generated
// fields are compared with the declaration as it is now, and the lines that
// carry changed fields are written again. The author, company, date, project
// and file values stay as written, and so does every character the user typed
// (after the caret marker, after a field, on lines of their own). A block that
// does not line up with the template is foreign and never changed.
//
// Everything works on the document's bytes, in its code page and with its
// line breaks; lines are 1-based.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "quillmark/comment_context.h"
#include "quillmark/declaration_fields.h"
#include "quillmark/edits.h"
#include "quillmark/template_tree.h"

namespace quillmark {

// The fields a kind's generator fills, as one reading of a declaration, in
// the document's code page. A kind uses only its own: a macro its name and
// parameters, a class its name and bases.
struct FieldValues {
  std::string name;
  std::string scope;  // a member function's class, a method implementation's interface
  std::string returnType;
  std::vector<std::string> bases;
  std::vector<std::string> parameters;  // a macro's parameters too
};

// The syntax mode's fields in the context's code page; false, with the
// reason, when one cannot be written there.
[[nodiscard]] bool FieldValuesOf(const DeclarationFields& fields, const CommentContext& context,
                                 FieldValues* out, std::string* why);

// The keyword mode's reading of `text` (in the context's code page) as `kind`:
// what that kind's generator would fill. False when the generator cannot take
// the text apart.
[[nodiscard]] bool KeywordFieldValues(std::string text, DeclKind kind,
                                      const CommentContext& context, FieldValues* out);

// A kind's template as its generator writes it: per template line, the fixed
// text and the places values go. Slots: 'n' name, 's' scope, 'r' return type,
// 'b' bases, 'p' parameters (the generated fields); 'A' author, 'C' company,
// 'T' date, 'J' project, 'F' file name (kept as written); 'U' the caret
// marker, where the user's own text goes.
struct BlockPattern {
  struct Piece {
    char slot = 0;     // 0: fixed text
    std::string text;  // the fixed text, in the code page
  };
  DeclKind kind = DeclKind::None;
  CodePage page = CodePage::kUtf8;
  std::vector<std::vector<Piece>> lines;
};

[[nodiscard]] bool MakeBlockPattern(DeclKind kind, const TemplateNode& node,
                                    const CommentContext& context, BlockPattern* out,
                                    std::string* why);

// One template line as found in the document.
struct ReadLine {
  int first = 0;  // the document lines it spans: more than one when a list
  int last = 0;   // of bases or parameters goes on over continuation lines
  // What stands in each slot piece, in piece order; for a list that ends its
  // line, what the first physical line holds there.
  std::vector<std::string> captures;
  // A list that ends the line: its text on each physical line, without the
  // continuation prefix (item, comma and anything typed after it).
  std::vector<std::string> listLines;
  std::string suffix;  // typed after the line's last fixed text
};

struct ReadBlock {
  int firstLine = 0;
  int lastLine = 0;
  std::vector<ReadLine> lines;  // one per template line
};

enum class BlockShape {
  kNone,     // no comment directly above the declaration
  kForeign,  // a comment that does not line up with the template
  kMatched,
};

// The block directly above `declarationLine` (blank lines between them
// skipped), matched against `pattern`.
BlockShape ReadBlockAbove(std::string_view text, const LineTable& lines, int declarationLine,
                          const BlockPattern& pattern, ReadBlock* out);

// The line a declaration's block sits directly above: `declarationLine`, or,
// when that line is a template head and a comment stands between the head and
// the rest of the declaration (where the comment command puts it), the line
// after that comment.
int BlockAnchorLine(std::string_view text, const LineTable& lines, int declarationLine);

// A template head ("template <typename T>") on a line of its own.
bool IsTemplateHead(std::string_view line);

// A generated field whose value in the block differs from the declaration.
// Values are UTF-8, lists joined with ", ", parameters in parentheses:
// {"parameters", "(double radius)", "(double radius, int precision)"}.
struct FieldChange {
  std::string field;
  std::string was;
  std::string now;
  bool operator==(const FieldChange&) const = default;
};

// Whether the block's fields agree with one of `readings` (white space aside:
// the two modes space lists differently); when none does, the fields that
// differ from `readings[0]`. True when current.
[[nodiscard]] bool CompareBlock(const ReadBlock& block, const BlockPattern& pattern,
                                const std::vector<FieldValues>& readings,
                                const CommentContext& context, std::vector<FieldChange>* changes);

// The edits that write the lines carrying fields that differ from `now`
// again, keeping everything else; none when the block is current. `caret`
// (if given) is set to the end of the last rewritten line, after the edits.
std::vector<Edit> RefreshEdits(std::string_view text, const LineTable& lines,
                               std::string_view lineBreak, const ReadBlock& block,
                               const BlockPattern& pattern, const FieldValues& now,
                               TextPosition* caret = nullptr);

// The refresh command on a whole document: the declaration starts on the
// caret's line, and is read by the context's parser when it has one (the
// keyword mode otherwise, or when that parser cannot read it).
enum class RefreshOutcome {
  kRefreshed,       // the edits make the block current
  kCurrent,         // the block already agrees with the declaration
  kNoBlock,         // no comment above the declaration
  kForeign,         // the comment above does not line up with the template
  kNoDeclaration,   // nothing recognised in the selection
  kEmptySelection,  // nothing selected
};
struct RefreshResult {
  RefreshOutcome outcome = RefreshOutcome::kNoDeclaration;
  DeclKind kind = DeclKind::None;
  std::vector<FieldChange> changes;
  std::vector<Edit> edits;  // sorted, not overlapping
  TextPosition caret;       // after the edits
};
struct DocumentView;
RefreshResult RefreshCommand(const DocumentView& document, const TemplateTree& tree,
                             const CommentContext& context);

// Why nothing was refreshed, in English ("the comment is current").
std::string_view RefreshOutcomeText(RefreshOutcome outcome);

}  // namespace quillmark
