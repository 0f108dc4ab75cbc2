#include "source_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "quillmark/settings.h"

namespace quillmark::cli {
namespace {

namespace fs = std::filesystem;
constexpr std::string_view kBom = "\xEF\xBB\xBF";

// Reads a file for editing. The buffer is asked for huge pages before it is
// touched: faulting a multi-megabyte file in page by page costs more than
// reading it. Room for the edit is reserved so inserting does not move it.
bool ReadForEditing(const std::string& path, std::string& bytes, std::string& why) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    why = errno == ENOENT ? "no such file" : std::strerror(errno);
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    why = S_ISDIR(st.st_mode) ? "is a directory" : std::strerror(errno);
    ::close(fd);
    return false;
  }
  const std::size_t size = S_ISREG(st.st_mode) ? static_cast<std::size_t>(st.st_size) : 0;
  std::string buffer;
  buffer.reserve(size + (1 << 16));
  constexpr std::uintptr_t kPage = 4096;
  const auto begin = (reinterpret_cast<std::uintptr_t>(buffer.data()) + kPage - 1) & ~(kPage - 1);
  const auto end =
      (reinterpret_cast<std::uintptr_t>(buffer.data()) + buffer.capacity()) & ~(kPage - 1);
  if (end > begin + (2u << 20))
    ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
  buffer.resize(size);
  std::size_t got = 0;
  for (;;) {
    if (got == buffer.size()) buffer.resize(buffer.size() + (1 << 16));  // grew, or no size known
    const ssize_t n = ::read(fd, buffer.data() + got, buffer.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      why = std::strerror(errno);
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  buffer.resize(got);
  bytes = std::move(buffer);
  return true;
}

}  // namespace

std::optional<SourceFile> LoadSourceFile(const std::string& path, EncodingChoice choice,
                                         std::string& error) {
  std::string bytes;
  std::string why;
  if (!ReadForEditing(path, bytes, why)) {
    error = "cannot read " + path + ": " + why;
    return std::nullopt;
  }
  // Positions are int and line lengths 32-bit throughout; no source file comes near.
  if (bytes.size() >= (std::size_t{1} << 30)) {
    error = path + " is too large (1 GiB or more)";
    return std::nullopt;
  }
  if (bytes.find('\0') != std::string::npos) {
    error = path + " is not a text file (it holds NUL bytes)";
    return std::nullopt;
  }
  SourceFile file;
  file.path = path;
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

std::optional<int> CharToByteColumn(std::string_view line, int charColumn) {
  if (charColumn < 1) return std::nullopt;
  std::size_t offset = 0;
  for (int c = 1; c < charColumn; ++c) {
    if (offset >= line.size()) return std::nullopt;
    offset += CharLengthAt(line, offset);
  }
  return static_cast<int>(offset) + 1;
}

int ByteToCharColumn(std::string_view line, int byteColumn) {
  const std::size_t end =
      std::min(line.size(), static_cast<std::size_t>(std::max(byteColumn, 1) - 1));
  int column = 1;
  for (std::size_t offset = 0; offset < end; offset += CharLengthAt(line, offset)) ++column;
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
