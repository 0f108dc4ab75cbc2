#include "source_file.h"

#include <filesystem>

#include "quillmark/engine.h"
#include "quillmark/files.h"

namespace quillmark::cli {
namespace {

namespace fs = std::filesystem;
constexpr std::string_view kBom = "\xEF\xBB\xBF";

}  // namespace

EncodingChoice EncodingChoiceOf(std::string_view option) {
  return option == "utf-8" ? EncodingChoice::kUtf8
         : option == "gbk" ? EncodingChoice::kGbk
                           : EncodingChoice::kAuto;
}

TextProblem ClassifyText(std::string& bytes, EncodingChoice choice, CodePage* page, bool* bom) {
  if (bytes.find('\0') != std::string::npos) return TextProblem::kNulBytes;
  *bom = choice != EncodingChoice::kGbk && bytes.starts_with(kBom);
  if (*bom) bytes.erase(0, kBom.size());
  const bool utf8 = IsValidUtf8(bytes);
  if (choice == EncodingChoice::kUtf8 && !utf8) return TextProblem::kNotUtf8;
  const bool useUtf8 = choice == EncodingChoice::kUtf8 || (choice == EncodingChoice::kAuto && utf8);
  *page = useUtf8 ? CodePage::kUtf8 : CodePage::kGbk;
  return TextProblem::kNone;
}

std::optional<SourceFile> LoadSourceFile(const std::string& path, EncodingChoice choice,
                                         std::string& error) {
  SourceFile file;
  file.path = path;
  // Positions are int and line lengths 32-bit throughout; no source file comes near.
  if (!ReadWholeFile(path, file.text, &error, &file.identity, kMaxFileBytes - 1))
    return std::nullopt;
  switch (ClassifyText(file.text, choice, &file.codePage, &file.bom)) {
    case TextProblem::kNulBytes:
      error = path + " is not a text file (it holds NUL bytes)";
      return std::nullopt;
    case TextProblem::kNotUtf8:
      error = path + " is not valid UTF-8 (try --encoding gbk)";
      return std::nullopt;
    case TextProblem::kNone:
      break;
  }
  return file;
}

std::string SourceBytes(bool bom, std::string_view text) {
  std::string bytes = bom ? std::string(kBom) : std::string();
  bytes += text;
  return bytes;
}

std::optional<int> CharToByteColumn(std::string_view line, int charColumn, CodePage page) {
  if (charColumn < 1) return std::nullopt;
  std::size_t offset = 0;
  for (int c = 1; c < charColumn; ++c) {
    if (offset >= line.size()) return std::nullopt;
    offset += CharLengthAt(line, offset, page);
  }
  return static_cast<int>(offset) + 1;
}

int ByteToCharColumn(std::string_view line, int byteColumn, CodePage page) {
  const std::size_t end =
      std::min(line.size(), static_cast<std::size_t>(std::max(byteColumn, 1) - 1));
  int column = 1;
  for (std::size_t offset = 0; offset < end; offset += CharLengthAt(line, offset, page)) ++column;
  return column;
}

std::string BaseName(const std::string& path) {
  return fs::path(path).filename().string();
}

}  // namespace quillmark::cli
