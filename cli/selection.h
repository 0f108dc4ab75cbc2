// The selection options the commands share (--line, --lines, --select) and
// the conversions between the caller's column unit and the editor's byte columns.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "quillmark/memory_editor.h"

namespace quillmark::cli {

enum class ColumnUnit { kCharacters, kBytes };

struct SelectionRequest {
  std::optional<int> line;  // --line N: line N whole, caret at its start
  std::string lines;        // --lines N-M: lines N to M whole, caret at the start of N
  std::string select;       // --select L1:C1-L2:C2: anchor, then caret
  ColumnUnit columns = ColumnUnit::kCharacters;
};

// The selection as (anchor, caret) in byte columns; nothing, and `error` set,
// when it does not fit the document. `documentWord` names it in messages
// ("document", "buffer").
std::optional<std::pair<TextPosition, TextPosition>> ParseSelection(const SelectionRequest& request,
                                                                    const MemoryDocument& doc,
                                                                    std::string_view documentWord,
                                                                    std::string& error);

// A byte column of `line` in the unit asked for.
int FromByteColumn(std::string_view line, int byteColumn, ColumnUnit unit, CodePage page);

}  // namespace quillmark::cli
