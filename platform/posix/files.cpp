// Whole-file reads and atomic replacement on POSIX systems.
//
// A file is replaced the way a careful editor saves: a new sibling file is
// created with the final mode, filled, flushed to disk and renamed over the old
// one, and only when the old one is still a regular file the user may write,
// with one link, and still the file that was read: the same inode, size,
// times, link count, mode and owner just before the rename.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>

#include "quillmark/files.h"
#include "quillmark/posix_platform.h"
#include "quillmark/signal_cleanup.h"

namespace quillmark {
namespace {

bool Fail(std::string* error, std::string text) {
  if (error != nullptr) *error = std::move(text);
  return false;
}

std::string Errno() {
  return std::strerror(errno);
}

const char* FileTypeName(mode_t mode) {
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

std::string NotRegular(const std::string& path, mode_t mode) {
  return path + " is " + FileTypeName(mode) + ", not a regular file";
}

FileIdentity IdentityOf(const struct stat& st) {
  FileIdentity id;
  id.device = static_cast<std::uint64_t>(st.st_dev);
  id.inode = static_cast<std::uint64_t>(st.st_ino);
  id.size = static_cast<std::uint64_t>(st.st_size);
  id.modified = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  id.changed = static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
  id.links = static_cast<std::uint64_t>(st.st_nlink);
  id.mode = static_cast<std::uint32_t>(st.st_mode);
  id.owner = static_cast<std::uint32_t>(st.st_uid);
  id.group = static_cast<std::uint32_t>(st.st_gid);
  id.known = true;
  return id;
}

std::string SizeText(std::uint64_t bytes) {
  char text[64];
  std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / (1 << 20));
  return text;
}

// Reserves room for the file plus an edit and asks for huge pages before the
// buffer is touched: faulting a multi-megabyte file in page by page costs more
// than reading it.
void ReserveForEditing(std::string& buffer, std::size_t size) {
  buffer.reserve(size + (1 << 16));
  constexpr std::uintptr_t kPage = 4096;
  const auto begin = (reinterpret_cast<std::uintptr_t>(buffer.data()) + kPage - 1) & ~(kPage - 1);
  const auto end =
      (reinterpret_cast<std::uintptr_t>(buffer.data()) + buffer.capacity()) & ~(kPage - 1);
  if (end > begin + (2u << 20))
    ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

bool ReadDescriptor(int fd, const std::string& path, std::size_t size, std::uint64_t limit,
                    std::string& bytes, std::string* error) {
  std::string buffer;
  try {
    ReserveForEditing(buffer, size);
    buffer.resize(size);
    std::size_t got = 0;
    for (;;) {
      if (got == buffer.size()) {
        if (got >= limit)
          return Fail(error, path + " grew past " + SizeText(limit) + " while read");
        buffer.resize(buffer.size() + (1 << 16));  // it grew meanwhile
      }
      const ssize_t n = ::read(fd, buffer.data() + got, buffer.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return Fail(error, "cannot read " + path + ": " + Errno());
      if (n == 0) break;
      got += static_cast<std::size_t>(n);
    }
    buffer.resize(got);
  } catch (const std::bad_alloc&) {
    return Fail(error, "not enough memory to read " + path + " (" + SizeText(size) + ")");
  }
  bytes = std::move(buffer);
  return true;
}

// The file a path finally names, so a symbolic link survives the rename. A
// link to a missing file names the file to create.
std::string ResolveLinks(std::string path) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
    std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
    const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
    if (n < 0) break;
    target.resize(static_cast<std::size_t>(n));
    if (!target.empty() && target.front() == '/') {
      path = target;
    } else {
      const std::size_t slash = path.rfind('/');
      path = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + target;
    }
  }
  return path;
}

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Temporary files are named ".<up to 32 bytes of the name>.quillmark-XXXXXX",
// short enough for any file name and plain to a user who finds one.
constexpr char kTempMark[] = ".quillmark-";
constexpr std::size_t kTempNameStem = 32;

// The template for mkostemp, which fills in the six X's.
std::string TempTemplate(const std::string& dir, const std::string& base) {
  return dir + "/." + base.substr(0, kTempNameStem) + kTempMark + "XXXXXX";
}

// The temporary files being written, for the signal handler to remove: one
// slot per file in flight (batch writes one per thread). A file that finds no
// free slot is written all the same, only not removed on a signal.
struct TempSlot {
  std::atomic<bool> taken{false};
  std::atomic<bool> ready{false};  // `path` is whole and may be unlinked
  char path[4096];
};
TempSlot tempSlots[256];

TempSlot* RegisterTemp(const std::string& path) {
  if (path.size() >= sizeof TempSlot::path) return nullptr;
  for (TempSlot& slot : tempSlots) {
    bool expected = false;
    if (!slot.taken.compare_exchange_strong(expected, true)) continue;
    std::memcpy(slot.path, path.c_str(), path.size() + 1);
    slot.ready.store(true, std::memory_order_release);
    return &slot;
  }
  return nullptr;
}

void Unregister(TempSlot* slot) {
  if (slot == nullptr) return;
  slot->ready.store(false, std::memory_order_release);
  slot->taken.store(false, std::memory_order_release);
}

std::atomic<void (*)()> interruptNote{nullptr};

// Only async-signal-safe calls: unlink, the note, sigaction, raise.
extern "C" void RemoveTempsAndDie(int signal) {
  for (TempSlot& slot : tempSlots)
    if (slot.ready.load(std::memory_order_acquire)) ::unlink(slot.path);
  if (void (*note)() = interruptNote.load()) note();
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  ::sigemptyset(&fallback.sa_mask);
  ::sigaction(signal, &fallback, nullptr);
  ::raise(signal);
}

// Temporary files of ours that a killed run left behind more than a day ago.
void RemoveStaleTempFiles(const std::string& dir) {
  DIR* listing = ::opendir(dir.c_str());
  if (listing == nullptr) return;
  const std::time_t dayAgo = std::time(nullptr) - 24 * 60 * 60;
  while (const dirent* entry = ::readdir(listing)) {
    const std::string_view name = entry->d_name;
    const std::size_t mark = name.rfind(kTempMark);
    if (name.empty() || name.front() != '.' || mark == std::string_view::npos ||
        name.size() != mark + sizeof kTempMark - 1 + 6)
      continue;
    const std::string path = dir + "/" + std::string(name);
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_mtime < dayAgo)
      ::unlink(path.c_str());
  }
  ::closedir(listing);
}

bool MayWrite(const struct stat& st, const std::string& path) {
  // Root may write anything; a file nobody may write is still read-only to us.
  if (::geteuid() == 0) return (st.st_mode & 0222) != 0;
  return ::access(path.c_str(), W_OK) == 0;
}

void CopyExtendedAttributes(const std::string& from, int to) {
  const ssize_t size = ::listxattr(from.c_str(), nullptr, 0);
  if (size <= 0) return;
  std::string names(static_cast<std::size_t>(size), '\0');
  const ssize_t got = ::listxattr(from.c_str(), names.data(), names.size());
  if (got <= 0) return;
  names.resize(static_cast<std::size_t>(got));
  for (std::size_t at = 0; at < names.size();) {
    const std::string name = names.c_str() + at;
    at += name.size() + 1;
    const ssize_t length = ::getxattr(from.c_str(), name.c_str(), nullptr, 0);
    if (length < 0) continue;
    std::string value(static_cast<std::size_t>(length), '\0');
    if (::getxattr(from.c_str(), name.c_str(), value.data(), value.size()) == length)
      ::fsetxattr(to, name.c_str(), value.data(), value.size(), 0);
  }
}

void SyncDirectory(const std::string& dir) {
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string& bytes, std::string* error,
                   FileIdentity* identity, std::uint64_t limit) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT) return Fail(error, "cannot read " + path + ": no such file");
    return Fail(error, "cannot read " + path + ": " + Errno());
  }
  if (!S_ISREG(st.st_mode)) return Fail(error, NotRegular(path, st.st_mode));
  if (static_cast<std::uint64_t>(st.st_size) > limit)
    return Fail(error, path + " is too large (" + SizeText(static_cast<std::uint64_t>(st.st_size)) +
                           "; the limit is " + SizeText(limit) + ")");
  // Non-blocking, so a file swapped for a FIFO meanwhile cannot hang the open.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return Fail(error, "cannot read " + path + ": " + Errno());
  struct stat opened {};
  if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
    ::close(fd);
    return Fail(error, NotRegular(path, opened.st_mode));
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  const bool ok =
      ReadDescriptor(fd, path, static_cast<std::size_t>(opened.st_size), limit, bytes, error);
  ::close(fd);
  if (ok && identity != nullptr) *identity = IdentityOf(opened);
  return ok;
}

bool PathIsAbsent(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0) return false;
  return errno == ENOENT || errno == ENOTDIR;
}

bool ReplaceFileAtomically(const std::string& path, std::string_view bytes, std::string* error,
                           const FileIdentity* expected) {
  const std::string target = ResolveLinks(path);
  const std::string dir = DirectoryOf(target);
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (!exists && errno != ENOENT) return Fail(error, "cannot write " + path + ": " + Errno());
  if (exists) {
    if (!S_ISREG(old.st_mode)) return Fail(error, NotRegular(path, old.st_mode));
    if (!MayWrite(old, target)) return Fail(error, path + " is read-only; nothing written");
    if (old.st_nlink > 1)
      return Fail(error, path + " has " + std::to_string(old.st_nlink) +
                             " hard links; replacing it would split them, so nothing was written");
    if (expected != nullptr && expected->known && !SameFile(*expected, IdentityOf(old)))
      return Fail(error, path + " changed while it was being edited; nothing written");
  } else if (expected != nullptr && expected->known) {
    return Fail(error, path + " was removed while it was being edited; nothing written");
  }
  RemoveStaleTempFiles(dir);

  // New files get what the umask leaves of 0666; existing ones keep their mode.
  mode_t mode = exists ? (old.st_mode & 07777) : 0;
  if (!exists) {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  // Created exclusively with mode 0600 while empty, then given the final mode
  // before a byte is written.
  std::string temp = TempTemplate(dir, BaseOf(target));
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0 && errno == EEXIST)
    return Fail(error, "cannot write " + path + ": too many name clashes in " + dir);
  if (fd < 0)
    return Fail(error,
                "cannot write " + path + ": cannot create a file in " + dir + ": " + Errno());
  TempSlot* slot = RegisterTemp(temp);
  bool ok = ::fchmod(fd, mode) == 0;
  if (ok && exists) {
    // Keep the owner and group where we may; a plain user keeps at least the group.
    if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
      if (::fchown(fd, old.st_uid, old.st_gid) != 0) (void)!::fchown(fd, (uid_t)-1, old.st_gid);
      ::fchmod(fd, mode);  // chown clears set-id bits
    }
    CopyExtendedAttributes(target, fd);
  }
  ok = ok && WriteAll(fd, bytes) && ::fsync(fd) == 0;
  const std::string writeError = ok ? std::string() : Errno();
  if (::close(fd) != 0 && ok) ok = false;
  if (!ok) {
    ::unlink(temp.c_str());
    Unregister(slot);
    return Fail(error, "cannot write " + path + ": " + (writeError.empty() ? Errno() : writeError));
  }
  // Once more, holding a lock on the file, just before the rename: of two
  // runs that read the same file, the second to get here sees the first's
  // replacement and gives up instead of overwriting its edit.
  int lock = -1;
  if (exists && expected != nullptr && expected->known) {
    lock = ::open(target.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (lock >= 0) ::flock(lock, LOCK_EX);
    struct stat now {};
    if (lock < 0 || ::stat(target.c_str(), &now) != 0 || !SameFile(*expected, IdentityOf(now))) {
      if (lock >= 0) ::close(lock);
      ::unlink(temp.c_str());
      Unregister(slot);
      return Fail(error, path + " changed while it was being edited; nothing written");
    }
  }
  const bool renamed = ::rename(temp.c_str(), target.c_str()) == 0;
  const std::string why = renamed ? std::string() : Errno();
  if (lock >= 0) ::close(lock);
  if (!renamed) ::unlink(temp.c_str());
  Unregister(slot);
  if (!renamed) return Fail(error, "cannot replace " + path + ": " + why);
  SyncDirectory(dir);
  return true;
}

void SetInterruptNote(void (*note)()) {
  interruptNote.store(note);
}

void RemoveTempFilesOnSignals() {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction now {};
    if (::sigaction(signal, nullptr, &now) != 0 || now.sa_handler == SIG_IGN) continue;
    struct sigaction handler {};
    handler.sa_handler = RemoveTempsAndDie;
    ::sigfillset(&handler.sa_mask);  // one handler at a time
    ::sigaction(signal, &handler, nullptr);
  }
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool IdentifyFile(const std::string& path, FileIdentity* identity, std::string* error) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (error != nullptr) *error = path + ": " + std::strerror(errno);
    return false;
  }
  *identity = IdentityOf(st);
  return true;
}

}  // namespace quillmark
