#include "settings_edit.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "exit_status.h"
#include "quillmark/files.h"
#include "quillmark/settings_check.h"

namespace quillmark::cli {
namespace {

// A private temporary file that is removed however the edit ends.
class TemporaryFile {
 public:
  bool Create(std::string* error) {
    std::error_code ec;
    std::filesystem::path dir = std::filesystem::temp_directory_path(ec);
    if (ec) dir = "/tmp";
    std::string name = (dir / "quillmark-settings-XXXXXX.ini").string();
    const int fd = ::mkstemps(name.data(), 4);
    if (fd < 0) {
      *error = "cannot create a temporary file in " + dir.string() + ": " + std::strerror(errno);
      return false;
    }
    ::close(fd);
    path_ = name;
    return true;
  }
  ~TemporaryFile() {
    if (!path_.empty() && !kept_) ::unlink(path_.c_str());
  }
  const std::string& path() const { return path_; }
  // The file outlives the edit: it holds work that could not be written.
  void Keep() { kept_ = true; }

 private:
  std::string path_;
  bool kept_ = false;
};

std::string EditorCommand() {
  for (const char* name : {"VISUAL", "EDITOR"})
    if (const char* value = std::getenv(name); value != nullptr && *value != '\0') return value;
  return "vi";
}

// Runs the editor through the shell, as $EDITOR may carry arguments
// ("code --wait"); the file goes in as "$1", never pasted into the command.
bool RunEditor(const std::string& editor, const std::string& file, std::string* error) {
  const pid_t child = ::fork();
  if (child < 0) {
    *error = std::string("cannot start the editor: ") + std::strerror(errno);
    return false;
  }
  if (child == 0) {
    const std::string script = editor + " \"$1\"";
    ::execl("/bin/sh", "sh", "-c", script.c_str(), "sh", file.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
  *error = "the editor (" + editor + ") " +
           (WIFEXITED(status) ? "exited with status " + std::to_string(WEXITSTATUS(status))
                              : std::string("was killed"));
  return false;
}

enum class Choice { kEdit, kKeep, kWrite };

Choice Ask() {
  std::cerr << "quillmark: [e]dit again, [k]eep the old file, or [w]rite it anyway? ";
  std::string answer;
  if (!std::getline(std::cin, answer)) {
    std::cerr << '\n';
    return Choice::kKeep;
  }
  const char c = answer.empty() ? 'e' : answer.front();
  if (c == 'w' || c == 'W') return Choice::kWrite;
  if (c == 'k' || c == 'K' || c == 'q' || c == 'Q') return Choice::kKeep;
  return Choice::kEdit;
}

int Fail(const std::string& message) {
  std::cerr << "quillmark: " << message << "; the settings file is unchanged\n";
  return kExitError;
}

}  // namespace

int RunSettingsEdit(const std::string& path, const TextConverter& converter) {
  std::string bytes, error;
  FileIdentity identity;
  if (!ReadWholeFile(path, bytes, &error, &identity)) return Fail(error);
  std::string original;
  FileEncoding encoding = FileEncoding::kGbk;
  if (!DecodeSettingsBytes(bytes, converter, &original, &encoding))
    return Fail(path + " is neither UTF-8 nor code page 936 (GBK)");
  TemporaryFile copy;
  if (!copy.Create(&error)) return Fail(error);
  if (!ReplaceFileAtomically(copy.path(), original, &error)) return Fail(error);
  const std::string editor = EditorCommand();
  std::string edited;
  // Edits that cannot reach the settings file stay in the copy, never lost.
  const auto failKeepingEdits = [&](const std::string& why) {
    std::string now;
    if (ReadWholeFile(copy.path(), now, nullptr) && now != original) {
      copy.Keep();
      return Fail(why + " (your edits are kept in " + copy.path() + ")");
    }
    return Fail(why);
  };
  for (;;) {
    if (!RunEditor(editor, copy.path(), &error)) return failKeepingEdits(error);
    if (!ReadWholeFile(copy.path(), edited, &error)) return Fail(error);
    if (edited == original) {
      std::cerr << "quillmark: no changes; " << path << " is unchanged\n";
      return kExitOk;
    }
    if (!IsValidUtf8(edited)) {
      std::cerr << "quillmark: the edited copy is not UTF-8\n";
    } else {
      const std::vector<SettingsProblem> problems = CheckSettingsText(edited, true, converter);
      if (problems.empty()) break;
      for (const SettingsProblem& problem : problems)
        std::cerr << FormatProblem(path, problem) << '\n';
    }
    const Choice choice = Ask();
    if (choice == Choice::kKeep) {
      std::cerr << "quillmark: kept the old " << path << "\n";
      return kExitMessage;
    }
    if (choice == Choice::kWrite && IsValidUtf8(edited)) break;
  }
  if (!ReplaceFileAtomically(path, EncodeSettingsText(edited, encoding, converter), &error,
                             &identity))
    return failKeepingEdits(error);
  std::cerr << "quillmark: wrote " << path << '\n';
  return kExitOk;
}

}  // namespace quillmark::cli
