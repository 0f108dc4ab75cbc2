// The keyword mode's parts: the declaration classifier, text normalisation,
// placeholder expansion, the parsing helpers and the per-kind generators.
// Declaration texts are byte strings in the context's code page.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "quillmark/code_page.h"
#include "quillmark/comment_context.h"
#include "quillmark/template_tree.h"

namespace quillmark {

// ---------------------------------------------------------------------------
// Classifier and normalisation

DeclKind Classify(std::string_view text, CodePage page);

void TrimDeclaration(std::string& text, CodePage page);
void KeepFirstOccurrence(std::string& text, char byte);
void RemoveSubstring(std::string& text, std::string_view literal, CodePage page);
void RemoveWhitespace(std::string& text);
void RemoveExportMacros(std::string& text, CodePage page);

// ---------------------------------------------------------------------------
// Expansion

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
// Generators: one per kind; each makes the block, never places it

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

}  // namespace quillmark
