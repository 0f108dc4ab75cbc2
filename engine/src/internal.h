// Helpers shared by the engine's sources; not part of the public interface.
#pragma once

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

// Builds the block from the node's lines and inserts it at the caret; returns
// true. The general placeholders sit between the two lists.
bool ExpandAndInsert(TextSelection& selection, const TemplateNode& node,
                     const CommentContext& context, std::span<const ExpansionStep> leading,
                     std::span<const ExpansionStep> trailing = {});

}  // namespace quillmark::detail
