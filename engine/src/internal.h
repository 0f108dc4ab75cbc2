// Helpers shared by the engine's sources; not part of the public interface.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "quillmark/engine.h"

namespace quillmark::detail {

// The n bytes from index `start`, clamped to the text like a string class's Mid:
// a negative start reads from 0, a start past the end or a negative count gives "".
std::string Mid(std::string_view text, int start, int count);
// Everything from index `start` to the end, clamped the same way.
std::string Rest(std::string_view text, int start);

// Every TAB, then every LF, then every CR becomes a space; the length stays.
void BlankControlChars(std::string& text);

// A parameter text cut at its commas and joined into one multi-line value.
JoinedItems SplitAndJoin(std::string params, CodePage page);

// Replaces every occurrence of `placeholder` in one left-to-right pass; the
// inserted value is not searched again. Returns whether anything was replaced.
bool ReplaceAll(std::string& line, std::string_view placeholder, std::string_view value,
                CodePage page);

// What a kind's placeholders are replaced with, in the document's code page.
// Each kind uses only its own: a macro its name, a class its name and bases.
struct KindValues {
  std::string name{};
  std::string scope{};  // a member function's class, a method implementation's interface
  std::string returnType{};
  JoinedItems bases{};
  JoinedItems params{};
};

// The placeholder a kind's name goes into; empty for a kind without one.
std::string_view NamePlaceholder(DeclKind kind);

// Builds the block from the node's lines with each kind's placeholders in one
// order, whichever mode found the values.
ExpandedBlock ExpandKind(DeclKind kind, const KindValues& values, const TemplateNode& node,
                         const CommentContext& context);

// ExpandKind into `block`; returns true.
bool ExpandKindInto(DeclKind kind, const KindValues& values, const TemplateNode& node,
                    const CommentContext& context, ExpandedBlock* block);

// The syntax mode of a comment request: the kind and its block when the
// context's parser took the selection apart; nothing, with the reason, when
// the keyword mode has to take over.
struct SyntaxBlock {
  DeclKind kind = DeclKind::None;
  const TemplateNode* node = nullptr;
  ExpandedBlock block;
};
// The context's parser on a selection (in the context's code page), with the
// document around it where the context has one.
bool ParseWithSyntax(const std::string& text, const CommentContext& context,
                     DeclarationFields* fields, std::string* why);

std::optional<SyntaxBlock> CommentWithSyntax(const std::string& text, const TemplateTree& tree,
                                             const CommentContext& context, std::string* why);

}  // namespace quillmark::detail
