#include "batch_files.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>

extern char** environ;

namespace quillmark::cli {
namespace {

namespace fs = std::filesystem;

bool IsSourceName(const fs::path& path) {
  static constexpr std::string_view kExtensions[] = {".c",   ".h",   ".cc",  ".cpp", ".cxx",
                                                     ".c++", ".hpp", ".hh",  ".hxx", ".h++",
                                                     ".inl", ".ipp", ".tpp", ".C",   ".H"};
  const std::string ext = path.extension().string();
  return std::find(std::begin(kExtensions), std::end(kExtensions), ext) != std::end(kExtensions);
}

// The paths among `files` that git ignores, when `directory` lies in a git work
// tree; none when it does not, or git cannot be run.
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
  std::string dir = directory;
  char git[] = "git", dashC[] = "-C", check[] = "check-ignore", z[] = "-z", stdinFlag[] = "--stdin";
  char* argv[] = {git, dashC, dir.data(), check, z, stdinFlag, nullptr};
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, "git", &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  std::string answer;
  if (spawned == 0) {
    char buffer[65536];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
      answer.append(buffer, static_cast<std::size_t>(n));
    int status = 0;
    ::waitpid(pid, &status, 0);
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

}  // namespace

std::vector<std::string> CollectFiles(const std::vector<std::string>& paths,
                                      std::vector<std::pair<std::string, std::string> >& bad) {
  std::vector<std::string> files;
  std::set<std::string> seen;
  const auto add = [&](const fs::path& path) {
    std::error_code ec;
    const fs::path canonical = fs::weakly_canonical(path, ec);
    if (seen.insert(ec ? path.string() : canonical.string()).second) files.push_back(path.string());
  };
  for (const std::string& given : paths) {
    std::error_code ec;
    const fs::file_status status = fs::status(given, ec);
    if (fs::is_directory(status)) {
      std::vector<std::string> found;
      fs::recursive_directory_iterator it(given, fs::directory_options::skip_permission_denied, ec);
      for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const fs::directory_entry& entry = *it;
        if (entry.is_directory() && entry.path().filename() == ".git") {
          it.disable_recursion_pending();
          continue;
        }
        if (entry.is_symlink() || !entry.is_regular_file() || !IsSourceName(entry.path())) continue;
        found.push_back(entry.path().string());
      }
      if (ec) bad.emplace_back(given, "cannot read the directory: " + ec.message());
      // git answers with the paths as asked, so it is asked with absolute ones.
      std::vector<std::string> absolute;
      for (const std::string& file : found)
        absolute.push_back(fs::absolute(file, ec).lexically_normal().string());
      const std::set<std::string> ignored = IgnoredByGit(given, absolute);
      std::vector<std::size_t> order(found.size());
      for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
      std::sort(order.begin(), order.end(),
                [&found](std::size_t a, std::size_t b) { return found[a] < found[b]; });
      for (std::size_t i : order)
        if (!ignored.contains(absolute[i])) add(found[i]);
    } else if (fs::exists(status)) {
      add(given);  // a file named outright is worked on whatever its name
    } else {
      bad.emplace_back(given, "no such file or directory");
    }
  }
  return files;
}

}  // namespace quillmark::cli
