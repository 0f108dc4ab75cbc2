// Loading the source file the command line works on, and the conversions
// between its character columns and the editor's byte columns.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "quillmark/files.h"
#include "quillmark/platform.h"
// FindProjectName, which the language server shares.
#include "quillmark/project_name.h"

namespace quillmark::cli {

enum class EncodingChoice { kAuto, kUtf8, kGbk };

// The --encoding value ("auto", "utf-8" or "gbk") as a choice.
EncodingChoice EncodingChoiceOf(std::string_view option);

enum class TextProblem { kNone, kNulBytes, kNotUtf8 };

// Reads the bytes of a file or buffer as text: takes a UTF-8 BOM off the front
// (unless GBK is chosen) and picks the code page. Anything but kNone when they
// cannot be used as chosen.
TextProblem ClassifyText(std::string& bytes, EncodingChoice choice, CodePage* page, bool* bom);

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
std::string SourceBytes(bool bom, std::string_view text);

// Columns are 1-based. Nothing when the character column lies past the line's end + 1.
std::optional<int> CharToByteColumn(std::string_view line, int charColumn, CodePage page);
int ByteToCharColumn(std::string_view line, int byteColumn, CodePage page);

std::string BaseName(const std::string& path);

}  // namespace quillmark::cli
