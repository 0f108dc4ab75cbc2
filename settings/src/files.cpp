// Whole-file reads and atomic replacement.
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <random>

#include "quillmark/settings.h"

namespace quillmark {
namespace {

namespace fs = std::filesystem;

void SetError(std::string* error, std::string text) {
  if (error != nullptr) *error = std::move(text);
}

// The file a path finally names, so a symbolic link survives the rename.
fs::path ResolveLinks(fs::path target) {
  std::error_code ec;
  for (int hops = 0; hops < 40 && fs::is_symlink(target, ec); ++hops) {
    fs::path next = fs::read_symlink(target, ec);
    if (ec) break;
    target = next.is_absolute() ? next : target.parent_path() / next;
  }
  return target;
}

std::string UniqueSuffix() {
  static std::atomic<unsigned> counter{0};
  static const unsigned seed = std::random_device{}();
  char text[32];
  std::snprintf(text, sizeof text, ".tmp-%08x%04x", seed, counter++ & 0xFFFFu);
  return text;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string& bytes, std::string* error) {
  std::error_code ec;
  if (fs::is_directory(fs::path(path), ec)) {
    SetError(error, "is a directory");
    return false;
  }
  std::FILE* in = std::fopen(path.c_str(), "rb");
  if (in == nullptr) {
    SetError(error,
             fs::exists(fs::path(path), ec) ? "permission denied or locked" : "no such file");
    return false;
  }
  std::string content;
  const std::uintmax_t expected = fs::file_size(fs::path(path), ec);
  content.resize(ec ? 0 : static_cast<std::size_t>(expected));
  std::size_t got = std::fread(content.data(), 1, content.size(), in);
  // Files that grow meanwhile, or report no size (pipes, /proc), read to their end.
  char chunk[65536];
  for (std::size_t n; got == content.size() && (n = std::fread(chunk, 1, sizeof chunk, in)) > 0;) {
    content.append(chunk, n);
    got += n;
  }
  const bool failed = std::ferror(in) != 0;
  std::fclose(in);
  if (failed) {
    SetError(error, "read error");
    return false;
  }
  content.resize(got);
  bytes = std::move(content);
  return true;
}

bool ReplaceFileAtomically(const std::string& path, std::string_view bytes, std::string* error) {
  const fs::path target = ResolveLinks(fs::path(path));
  fs::path dir = target.parent_path();
  if (dir.empty()) dir = ".";
  std::error_code ec;
  fs::path temp;
  std::FILE* out = nullptr;
  for (int attempt = 0; attempt < 16 && out == nullptr; ++attempt) {
    std::string name = ".";
    name.append(target.filename().string()).append(UniqueSuffix());
    temp = dir / name;
    out = std::fopen(temp.string().c_str(), "wbx");  // exclusive: never reuse another's file
    if (out == nullptr && !fs::exists(temp, ec)) break;
  }
  if (out == nullptr) {
    SetError(error, "cannot create a file in " + dir.string());
    return false;
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  const bool closed = std::fclose(out) == 0;
  if (!written || !closed) {
    fs::remove(temp, ec);
    SetError(error, "write error (disk full?)");
    return false;
  }
  const fs::file_status old = fs::status(target, ec);
  if (!ec && fs::exists(old)) fs::permissions(temp, old.permissions(), ec);
  fs::rename(temp, target, ec);
  if (ec) {
    fs::remove(temp, ec);
    SetError(error, "cannot replace " + target.string());
    return false;
  }
  return true;
}

}  // namespace quillmark
