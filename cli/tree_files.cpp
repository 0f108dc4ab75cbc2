#include "tree_files.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>

extern char** environ;

namespace quillmark::cli {
namespace {

namespace fs = std::filesystem;

bool IsLoop(const std::error_code& ec) {
  return ec == std::errc::too_many_symbolic_link_levels;
}

// Settings of a repository that make git run a program, each forced off from
// the command line, which outranks every configuration file. check-ignore needs
// none of them; the file-system monitor it would otherwise start is the one seen
// run from a tree's .git/config.
constexpr const char* kSafeSettings[] = {
    "core.fsmonitor=false",
    "core.hooksPath=/dev/null",
    "core.untrackedCache=false",
    "core.pager=cat",
    "pager.check-ignore=false",
    "core.sshCommand=",
    "core.gitProxy=",
    "core.askPass=",
    "credential.helper=",
    "diff.external=",
    "protocol.allow=never",
};

// The environment for git: ours, without variables that point it at another
// repository or configuration, and with prompts and pagers off.
std::vector<std::string> GitEnvironment() {
  static constexpr std::string_view kDropped[] = {
      "GIT_DIR=",           "GIT_WORK_TREE=", "GIT_INDEX_FILE=",  "GIT_CONFIG=",
      "GIT_CONFIG_COUNT=",  "GIT_EXEC_PATH=", "GIT_PAGER=",       "GIT_ASKPASS=",
      "GIT_EXTERNAL_DIFF=", "GIT_SSH=",       "GIT_SSH_COMMAND=", "GIT_CONFIG_PARAMETERS="};
  std::vector<std::string> env;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    const std::string_view text = *entry;
    bool dropped = false;
    for (std::string_view prefix : kDropped) dropped = dropped || text.starts_with(prefix);
    if (!dropped) env.emplace_back(text);
  }
  env.emplace_back("GIT_PAGER=cat");
  env.emplace_back("GIT_TERMINAL_PROMPT=0");
  env.emplace_back("GIT_OPTIONAL_LOCKS=0");
  return env;
}

}  // namespace

TreeListing ListFilesUnder(const std::string& directory, bool (*wanted)(const std::string& path)) {
  TreeListing listing;
  std::vector<fs::path> pending{fs::path(directory)};
  bool top = true;
  while (!pending.empty()) {
    const fs::path dir = std::move(pending.back());
    pending.pop_back();
    std::error_code ec;
    fs::directory_iterator it(dir, ec);
    if (ec) {
      if (top) listing.error = "cannot read the directory: " + ec.message();
      // Below the top, a directory the user may not read is passed over.
      else if (ec != std::errc::permission_denied)
        listing.skipped.emplace_back(dir.string(), "cannot read the directory: " + ec.message());
      top = false;
      continue;
    }
    top = false;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
      const fs::path& path = it->path();
      std::error_code statusError;
      const fs::file_status own = it->symlink_status(statusError);
      if (statusError) continue;
      if (fs::is_symlink(own)) {
        // Links are not followed; only a loop gets a line.
        std::error_code targetError;
        (void)fs::status(path, targetError);
        if (IsLoop(targetError))
          listing.skipped.emplace_back(path.string(), "a symbolic link loop");
      } else if (fs::is_directory(own)) {
        if (path.filename() != ".git") pending.push_back(path);
      } else if (fs::is_regular_file(own) && wanted(path.string())) {
        listing.files.push_back(path.string());
      }
    }
    if (ec)
      listing.skipped.emplace_back(dir.string(), "cannot read the directory: " + ec.message());
  }
  return listing;
}

std::string WhyUnusable(const std::string& path) {
  std::error_code ec;
  (void)fs::status(path, ec);
  if (IsLoop(ec)) return "a symbolic link loop";
  if (ec == std::errc::permission_denied) return "permission denied";
  if (!ec || ec == std::errc::no_such_file_or_directory) {
    std::error_code own;
    if (fs::is_symlink(fs::symlink_status(path, own))) return "a symbolic link to nothing";
    return "no such file or directory";
  }
  return ec.message();
}

std::set<std::string> IgnoredByGit(const std::string& directory,
                                   const std::vector<std::string>& files) {
  std::set<std::string> ignored;
  if (files.empty()) return ignored;
  char listName[] = "/tmp/quillmark-batch-XXXXXX";
  const int listFd = ::mkstemp(listName);
  if (listFd < 0) return ignored;
  std::string list;
  for (const std::string& file : files) {
    list += file;
    list += '\0';
  }
  bool written = true;
  for (std::size_t done = 0; written && done < list.size();) {
    const ssize_t n = ::write(listFd, list.data() + done, list.size() - done);
    if (n <= 0)
      written = false;
    else
      done += static_cast<std::size_t>(n);
  }
  ::close(listFd);
  int out[2];
  if (!written || ::pipe(out) != 0) {
    ::unlink(listName);
    return ignored;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, listName, O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  posix_spawn_file_actions_addclose(&actions, out[1]);
  std::vector<std::string> args{"git", "-C", directory};
  for (const char* setting : kSafeSettings) {
    args.emplace_back("-c");
    args.emplace_back(setting);
  }
  for (const char* arg : {"check-ignore", "-z", "--stdin"}) args.emplace_back(arg);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  std::vector<std::string> env = GitEnvironment();
  std::vector<char*> envp;
  for (std::string& entry : env) envp.push_back(entry.data());
  envp.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, "git", &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  std::string answer;
  if (spawned == 0) {
    char buffer[65536];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
      answer.append(buffer, static_cast<std::size_t>(n));
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    // 0: some paths are ignored; 1: none; anything else: no work tree, no answer.
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) answer.clear();
  }
  ::close(out[0]);
  ::unlink(listName);
  for (std::size_t from = 0; from < answer.size();) {
    const std::size_t nul = answer.find('\0', from);
    if (nul == std::string::npos) break;
    ignored.insert(answer.substr(from, nul - from));
    from = nul + 1;
  }
  return ignored;
}

}  // namespace quillmark::cli
