// Finding the files batch works on under a directory: without following
// symbolic links, and asking git what it ignores without running anything the
// tree's own configuration names.
#pragma once

#include <set>
#include <string>
#include <vector>

namespace quillmark::cli {

// What the walk of one directory found.
struct TreeListing {
  std::vector<std::string> files;  // in walk order, each a path under the directory
  // Entries passed over with a reason worth a line (a symbolic link loop).
  std::vector<std::pair<std::string, std::string> > skipped;
  std::string error;  // not empty: the directory itself cannot be read
};

// The regular files under `directory` whose names `wanted` accepts. Symbolic
// links are not followed, .git directories not entered, directories the user
// may not read passed over; the walk keeps its own list, so depth costs no stack.
TreeListing ListFilesUnder(const std::string& directory, bool (*wanted)(const std::string& path));

// Why a path named on the command line cannot be used: "no such file or
// directory", "a symbolic link loop", "permission denied", ...
std::string WhyUnusable(const std::string& path);

// The paths among `files` (absolute) that git ignores, when `directory` lies in
// a git work tree; none when it does not, or git cannot be run. Git runs with
// the tree's hooks, file-system monitor, pager and helpers forced off.
std::set<std::string> IgnoredByGit(const std::string& directory,
                                   const std::vector<std::string>& files);

}  // namespace quillmark::cli
