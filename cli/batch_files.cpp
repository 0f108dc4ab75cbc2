#include "batch_files.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <set>

#include "tree_files.h"

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

}  // namespace

bool IsImplementationFile(const std::string& path) {
  static constexpr std::string_view kExtensions[] = {".c", ".cc", ".cpp", ".cxx", ".c++", ".C"};
  const std::string ext = fs::path(path).extension().string();
  return std::find(std::begin(kExtensions), std::end(kExtensions), ext) != std::end(kExtensions);
}

// The files to work on, sorted, each once; paths that cannot be used go to `bad`.
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
      TreeListing listing =
          ListFilesUnder(given, [](const std::string& path) { return IsSourceName(path); });
      for (const auto& [path, why] : listing.skipped)
        std::cerr << "quillmark: " << path << ": " << why << "; skipped\n";
      if (!listing.error.empty()) bad.emplace_back(given, listing.error);
      const std::vector<std::string>& found = listing.files;
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
      bad.emplace_back(given, WhyUnusable(given));
    }
  }
  return files;
}

}  // namespace quillmark::cli
