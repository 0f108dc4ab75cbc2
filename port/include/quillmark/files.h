// Reading a file whole and replacing it atomically: the operating system's
// part of never losing a user's file. Paths are UTF-8. One implementation per
// system (platform/posix/files.cpp, platform/win32/files.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillmark {

// Which file a read saw, so a later replacement can tell whether someone else
// replaced or changed it meanwhile.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;  // the file index on Windows
  std::uint64_t size = 0;
  std::int64_t modified = 0;  // nanoseconds (POSIX) or 100 ns ticks (Windows)
  // What a replacement must keep, and the status change time, which moves with
  // any change to the file (a same-size edit whose mtime was put back, a new
  // link, mode, owner or extended attribute) and cannot be set back. Left 0
  // where a system does not give them.
  std::int64_t changed = 0;  // nanoseconds
  std::uint64_t links = 0;
  std::uint32_t mode = 0;
  std::uint32_t owner = 0;
  std::uint32_t group = 0;
  bool known = false;
};

// The same file, unchanged: device, inode, size, modification and status
// change times, link count, mode, owner and group agree.
inline bool SameFile(const FileIdentity& a, const FileIdentity& b) {
  return a.device == b.device && a.inode == b.inode && a.size == b.size &&
         a.modified == b.modified && a.changed == b.changed && a.links == b.links &&
         a.mode == b.mode && a.owner == b.owner && a.group == b.group;
}

// The largest file either reader accepts; the size is checked before reading.
inline constexpr std::uint64_t kMaxFileBytes = std::uint64_t{1} << 30;

// Reads a regular file (symbolic links followed) whole. Anything else (a
// directory, FIFO, device, socket) and a file larger than `limit` are refused
// before a byte is read. On failure `error` says why in English.
[[nodiscard]] bool ReadWholeFile(const std::string& path, std::string& bytes, std::string* error,
                                 FileIdentity* identity = nullptr,
                                 std::uint64_t limit = kMaxFileBytes);

// Which file is at `path` now (symbolic links followed), without reading it:
// false, with `error` saying why, when nothing is there or it cannot be told.
[[nodiscard]] bool IdentifyFile(const std::string& path, FileIdentity* identity,
                                std::string* error);

// True only when the system says nothing at all is at `path` (not even a
// dangling symbolic link); false when something is there or it cannot tell,
// so a file that exists but cannot be read is never taken for a missing one.
bool PathIsAbsent(const std::string& path);

// Writes `bytes` to a new sibling temporary file created with the final mode,
// flushes it to disk and renames it over `path` (through a symbolic link, to its
// target). With `expected`, refuses when the file is no longer the one read.
[[nodiscard]] bool ReplaceFileAtomically(const std::string& path, std::string_view bytes,
                                         std::string* error,
                                         const FileIdentity* expected = nullptr);

}  // namespace quillmark
