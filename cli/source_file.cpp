#include "source_file.h"

#include <filesystem>

#include "quillmark/engine.h"
#include "quillmark/files.h"

namespace quillmark::cli {
namespace {

namespace fs = std::filesystem;
constexpr std::string_view kBom = "\xEF\xBB\xBF";

}  // namespace

std::optional<SourceFile> LoadSourceFile(const std::string& path, EncodingChoice choice,
                                         std::string& error) {
  std::string bytes;
  FileIdentity identity;
  // Positions are int and line lengths 32-bit throughout; no source file comes near.
  if (!ReadWholeFile(path, bytes, &error, &identity, kMaxFileBytes - 1)) return std::nullopt;
  if (bytes.find('\0') != std::string::npos) {
    error = path + " is not a text file (it holds NUL bytes)";
    return std::nullopt;
  }
  SourceFile file;
  file.path = path;
  file.identity = identity;
  std::string_view text = bytes;
  if (choice != EncodingChoice::kGbk && text.starts_with(kBom)) {
    file.bom = true;
    text.remove_prefix(kBom.size());
  }
  const bool utf8 = IsValidUtf8(text);
  if (choice == EncodingChoice::kUtf8 && !utf8) {
    error = path + " is not valid UTF-8 (try --encoding gbk)";
    return std::nullopt;
  }
  const bool useUtf8 = choice == EncodingChoice::kUtf8 || (choice == EncodingChoice::kAuto && utf8);
  file.codePage = useUtf8 ? CodePage::kUtf8 : CodePage::kGbk;
  if (file.bom) bytes.erase(0, kBom.size());
  file.text = std::move(bytes);
  return file;
}

std::string SourceBytes(const SourceFile& file, std::string_view text) {
  std::string bytes = file.bom ? std::string(kBom) : std::string();
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

std::optional<std::string> FindProjectName(const std::string& path) {
  std::error_code ec;
  fs::path dir = fs::absolute(fs::path(path), ec).parent_path();
  for (; !ec && !dir.empty(); dir = dir.parent_path()) {
    for (const char* marker : {".git", "CMakeLists.txt", "compile_commands.json"}) {
      if (fs::exists(dir / marker, ec)) return dir.filename().string();
    }
    if (dir == dir.root_path()) break;
  }
  return std::nullopt;
}

std::string BaseName(const std::string& path) {
  return fs::path(path).filename().string();
}

}  // namespace quillmark::cli
