// Loading the source file the command line works on, and the conversions
// between its character columns and the editor's byte columns.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "quillmark/files.h"
#include "quillmark/platform.h"

namespace quillmark::cli {

enum class EncodingChoice { kAuto, kUtf8, kGbk };

struct SourceFile {
  std::string path;
  std::string text;  // without the BOM
  CodePage codePage = CodePage::kUtf8;
  bool bom = false;
  FileIdentity identity;  // the file that was read, for the check before replacing it
};

// Reads and classifies a file; on failure returns nothing and sets `error`.
std::optional<SourceFile> LoadSourceFile(const std::string& path, EncodingChoice choice,
                                         std::string& error);
// The bytes to write back: the BOM if the file had one, then the text.
std::string SourceBytes(const SourceFile& file, std::string_view text);

// Columns are 1-based. Nothing when the character column lies past the line's end + 1.
std::optional<int> CharToByteColumn(std::string_view line, int charColumn, CodePage page);
int ByteToCharColumn(std::string_view line, int byteColumn, CodePage page);

// The name of the nearest directory above `path` that holds .git,
// CMakeLists.txt or compile_commands.json.
std::optional<std::string> FindProjectName(const std::string& path);
std::string BaseName(const std::string& path);

}  // namespace quillmark::cli
