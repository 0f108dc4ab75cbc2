// Whole-file reads and atomic replacement on Windows. Paths arrive in UTF-8 and
// go to the wide API: the C library's fopen reads its argument in the ANSI
// code page, so a path with characters outside it could never be opened.
#include "quillmark/files.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "quillmark/wide.h"

namespace quillmark {
namespace {

using win32::Widen;

void SetError(std::string* error, std::string text) {
  if (error != nullptr) *error = std::move(text);
}

// Closes a handle on every way out.
class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() { Close(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  bool Close() {
    const bool ok = !valid() || CloseHandle(handle_) != 0;
    handle_ = INVALID_HANDLE_VALUE;
    return ok;
  }
  void Reset(HANDLE handle) {
    Close();
    handle_ = handle;
  }

 private:
  HANDLE handle_;
};

bool IdentityOf(HANDLE file, FileIdentity& identity) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file, &info)) return false;
  identity.device = info.dwVolumeSerialNumber;
  identity.inode = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  identity.size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  identity.modified =
      static_cast<std::int64_t>((std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) |
                                info.ftLastWriteTime.dwLowDateTime);
  identity.known = true;
  return true;
}

HANDLE OpenForReading(const std::wstring& path) {
  return CreateFileW(path.c_str(), GENERIC_READ,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string OpenFailure(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
      return "no such file";
    default:
      return "permission denied or locked";
  }
}

// The file a path finally names, so a symbolic link survives the rename; the
// path itself when it names nothing yet, or on Windows XP, which has neither
// symbolic links nor the call that resolves them.
std::wstring FinalPath(const std::wstring& path) {
  using FinalPathName = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);
  const auto resolve = reinterpret_cast<FinalPathName>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetFinalPathNameByHandleW")));
  if (resolve == nullptr) return path;
  Handle file(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file.valid()) return path;
  wchar_t buffer[32768];
  constexpr DWORD kNormalizedName = 0;  // FILE_NAME_NORMALIZED
  const DWORD got = resolve(file.get(), buffer, 32768, kNormalizedName);
  if (got == 0 || got >= 32768) return path;
  return std::wstring(buffer, got);
}

// A name no other writer is using: the process, a clock tick and the attempt.
std::wstring TempName(const std::wstring& directory, const std::wstring& base, int attempt) {
  LARGE_INTEGER tick;
  QueryPerformanceCounter(&tick);
  wchar_t suffix[64];
  std::swprintf(suffix, 64, L".tmp-%08lx%08lx%02x",
                static_cast<unsigned long>(GetCurrentProcessId()),
                static_cast<unsigned long>(tick.LowPart), static_cast<unsigned>(attempt));
  return directory + L"." + base + suffix;
}

bool WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = bytes.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string& bytes, std::string* error,
                   FileIdentity* identity, std::uint64_t limit) {
  const std::optional<std::wstring> wide = Widen(path);
  if (!wide || wide->empty()) {
    SetError(error, "no such file");
    return false;
  }
  const DWORD attributes = GetFileAttributesW(wide->c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    SetError(error, "is a directory");
    return false;
  }
  Handle file(OpenForReading(*wide));
  if (!file.valid()) {
    SetError(error, OpenFailure(GetLastError()));
    return false;
  }
  if (GetFileType(file.get()) != FILE_TYPE_DISK) {
    SetError(error, "not a regular file");
    return false;
  }
  FileIdentity seen;
  if (!IdentityOf(file.get(), seen)) {
    SetError(error, "read error");
    return false;
  }
  if (seen.size > limit) {
    SetError(error, "file too large");
    return false;
  }
  std::string content(static_cast<std::size_t>(seen.size), '\0');
  std::size_t got = 0;
  while (got < content.size()) {
    DWORD read = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(content.size() - got, 1u << 30));
    if (!ReadFile(file.get(), content.data() + got, want, &read, nullptr)) {
      SetError(error, "read error");
      return false;
    }
    if (read == 0) break;  // the file shrank meanwhile
    got += read;
  }
  content.resize(got);
  bytes = std::move(content);
  if (identity != nullptr) *identity = seen;
  return true;
}

bool PathIsAbsent(const std::string& path) {
  const std::optional<std::wstring> wide = Widen(path);
  if (!wide || wide->empty()) return false;
  // Reparse points are not followed: a dangling link is something.
  if (GetFileAttributesW(wide->c_str()) != INVALID_FILE_ATTRIBUTES) return false;
  const DWORD code = GetLastError();
  return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

bool ReplaceFileAtomically(const std::string& path, std::string_view bytes, std::string* error,
                           const FileIdentity* expected) {
  const std::optional<std::wstring> wide = Widen(path);
  if (!wide || wide->empty()) {
    SetError(error, "invalid path");
    return false;
  }
  const std::wstring target = FinalPath(*wide);
  const std::size_t slash = target.find_last_of(L"\\/");
  const std::wstring directory = slash == std::wstring::npos ? L"" : target.substr(0, slash + 1);
  const std::wstring base = slash == std::wstring::npos ? target : target.substr(slash + 1);

  // CREATE_NEW, never an fopen mode: Wine's C library ignores "x" and would
  // truncate another writer's temporary file.
  std::wstring temp;
  Handle out(INVALID_HANDLE_VALUE);
  for (int attempt = 0; attempt < 16 && !out.valid(); ++attempt) {
    temp = TempName(directory, base, attempt);
    out.Reset(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out.valid() && GetLastError() != ERROR_FILE_EXISTS &&
        GetLastError() != ERROR_ALREADY_EXISTS)
      break;
  }
  if (!out.valid()) {
    // Only a message: a name the converter cannot take is shown with U+FFFD.
    SetError(error,
             "cannot create a file in " + *win32::Narrow(directory, win32::InvalidText::kReplace));
    return false;
  }
  const bool written = WriteAll(out.get(), bytes) && FlushFileBuffers(out.get()) != 0;
  if (!out.Close() || !written) {
    DeleteFileW(temp.c_str());
    SetError(error, "write error (disk full?)");
    return false;
  }
  if (expected != nullptr && expected->known) {
    Handle current(OpenForReading(target));
    FileIdentity now;
    if (!current.valid() || !IdentityOf(current.get(), now) || !SameFile(now, *expected)) {
      DeleteFileW(temp.c_str());
      SetError(error, "the file was changed by someone else meanwhile");
      return false;
    }
  }
  if (!MoveFileExW(temp.c_str(), target.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileW(temp.c_str());
    SetError(error, "cannot replace " + path);
    return false;
  }
  return true;
}

bool IdentifyFile(const std::string& path, FileIdentity* identity, std::string* error) {
  const std::optional<std::wstring> wide = Widen(path);
  if (!wide || wide->empty()) {
    SetError(error, "no such file");
    return false;
  }
  // No access asked: the file's information only, whoever holds it open.
  Handle file(CreateFileW(wide->c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file.valid()) {
    SetError(error, OpenFailure(GetLastError()));
    return false;
  }
  FileIdentity seen;
  if (!IdentityOf(file.get(), seen)) {
    SetError(error, "cannot read the file's information");
    return false;
  }
  *identity = seen;
  return true;
}

}  // namespace quillmark
