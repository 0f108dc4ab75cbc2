// Which files `quillmark batch` works on: the files named, and the C and C++
// sources and headers under the directories named, less what git ignores.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace quillmark::cli {

// The files to work on, sorted, each once; paths that cannot be used go to
// `bad` with the reason.
std::vector<std::string> CollectFiles(const std::vector<std::string>& paths,
                                      std::vector<std::pair<std::string, std::string> >& bad);

// True for a C or C++ source file (.c, .cpp, ...), false for a header: where a
// function's definition, not its prototype, gets the block.
bool IsImplementationFile(const std::string& path);

}  // namespace quillmark::cli
