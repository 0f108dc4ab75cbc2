#include "selection.h"

#include <regex>

#include "quillmark/engine.h"
#include "source_file.h"

namespace quillmark::cli {
namespace {

// A column of `line` in the request's unit as a byte column; nothing when it
// lies past the line's end + 1 or inside a character.
std::optional<int> ToByteColumn(std::string_view line, int column, ColumnUnit unit, CodePage page) {
  if (unit == ColumnUnit::kCharacters) return CharToByteColumn(line, column, page);
  if (column < 1 || static_cast<std::size_t>(column) > line.size() + 1) return std::nullopt;
  std::size_t offset = 0;
  while (offset + 1 < static_cast<std::size_t>(column)) offset += CharLengthAt(line, offset, page);
  if (offset + 1 != static_cast<std::size_t>(column)) return std::nullopt;
  return column;
}

}  // namespace

std::optional<std::pair<TextPosition, TextPosition>> ParseSelection(const SelectionRequest& request,
                                                                    const MemoryDocument& doc,
                                                                    std::string_view documentWord,
                                                                    std::string& error) {
  const int count = doc.LineCount();
  const auto lineEnd = [&doc](int line) {
    return TextPosition{line, static_cast<int>(doc.LineText(line).size()) + 1};
  };
  const auto checkLine = [&](int line) {
    if (line >= 1 && line <= count) return true;
    error = "line " + std::to_string(line) + " is outside the " + std::string(documentWord) +
            " (it has " + std::to_string(count) + " lines)";
    return false;
  };
  if (request.line) {
    if (!checkLine(*request.line)) return std::nullopt;
    return std::pair{lineEnd(*request.line), TextPosition{*request.line, 1}};
  }
  std::smatch m;
  if (!request.lines.empty()) {
    if (!std::regex_match(request.lines, m, std::regex(R"((\d{1,9})-(\d{1,9}))"))) {
      error = "--lines takes N-M, for example 3-7";
      return std::nullopt;
    }
    const int first = std::stoi(m[1]), last = std::stoi(m[2]);
    if (!checkLine(first) || !checkLine(last)) return std::nullopt;
    if (first > last) {
      error = "--lines " + request.lines + ": the first line comes after the last";
      return std::nullopt;
    }
    return std::pair{lineEnd(last), TextPosition{first, 1}};
  }
  if (!std::regex_match(request.select, m,
                        std::regex(R"((\d{1,9}):(\d{1,9})-(\d{1,9}):(\d{1,9}))"))) {
    error = "--select takes L1:C1-L2:C2, for example 3:1-5:10";
    return std::nullopt;
  }
  TextPosition ends[2];
  for (int i = 0; i < 2; ++i) {
    const int line = std::stoi(m[1 + 2 * i]), column = std::stoi(m[2 + 2 * i]);
    if (!checkLine(line)) return std::nullopt;
    const std::optional<int> byteColumn =
        ToByteColumn(doc.LineText(line), column, request.columns, doc.GetCodePage());
    if (!byteColumn) {
      error = "column " + std::to_string(column) + " is outside line " + std::to_string(line) +
              (request.columns == ColumnUnit::kBytes ? " or inside a character" : "");
      return std::nullopt;
    }
    ends[i] = {line, *byteColumn};
  }
  return std::pair{ends[0], ends[1]};
}

int FromByteColumn(std::string_view line, int byteColumn, ColumnUnit unit, CodePage page) {
  return unit == ColumnUnit::kBytes ? byteColumn : ByteToCharColumn(line, byteColumn, page);
}

}  // namespace quillmark::cli
