// quillmark batch: every uncommented declaration of the chosen kinds in the
// given files and directories gets its block, found with the syntax parser.
#pragma once

#include <CLI/CLI.hpp>

#include <optional>
#include <string>
#include <vector>

#include "quillmark/platform.h"
#ifdef QUILLMARK_HAVE_SYNTAX
#include "quillmark/syntax.h"
#endif

namespace quillmark::cli {

struct BatchOptions {
  std::vector<std::string> paths;
  std::string kinds;  // comma-separated kind names; empty: the default set
  bool dryRun = false;
  bool diff = false;
  bool refresh = false;  // also write stale blocks again
  bool noNew = false;    // with refresh: comment nothing new
  unsigned jobs = 0;     // 0: one thread per core
  std::string encoding = "auto";
};

#ifdef QUILLMARK_HAVE_SYNTAX
// The --kinds value (comma-separated kind words; empty: the default set) as a
// set of kinds; nothing, and `error` set, for an unknown word.
std::optional<syntax::KindMask> ParseKinds(std::string_view text, std::string* error);
#endif

// The options batch and check share: the paths and --kinds; --jobs and
// --encoding.
void AddPathsAndKinds(CLI::App& command, std::vector<std::string>& paths, std::string& kinds);
void AddJobsAndEncoding(CLI::App& command, unsigned& jobs, std::string& encoding,
                        const std::string& jobsHelp);
// Threads for `files` files: --jobs, else one per core; never more than the
// files, never none.
unsigned WorkerCount(unsigned jobs, std::size_t files);

CLI::App* AddBatchCommand(CLI::App& app, BatchOptions& options);

// Exit status: 0 done (or nothing to do), 2 a usage or settings error, or a
// file that failed (reported and left untouched; the others are written).
int RunBatch(const BatchOptions& options, const std::optional<std::string>& settings, bool verbose,
             const Platform& platform);

}  // namespace quillmark::cli
