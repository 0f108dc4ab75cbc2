#include "batch.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <iostream>
#include <map>
#include <mutex>
#include <thread>

#include "batch_files.h"
#include "batch_plan.h"
#include "exit_status.h"
#include "messages.h"
#include "quillmark/commands.h"
#include "quillmark/signal_cleanup.h"
#include "source_file.h"
#include "unified_diff.h"
#ifdef QUILLMARK_HAVE_SYNTAX
#include "quillmark/block_check.h"
#include "quillmark/syntax.h"
#include "quillmark/syntax_fields.h"
#endif

namespace quillmark::cli {

CLI::App* AddBatchCommand(CLI::App& app, BatchOptions& options) {
  CLI::App* batch = app.add_subcommand(
      "batch",
      "Comment every declaration without a comment above it in the files and directories "
      "(C and C++ sources and headers; .gitignored paths skipped), with the syntax parser");
  batch->add_option("PATH", options.paths, "Files or directories")->required();
  batch->add_option("--kinds", options.kinds,
                    "Comma-separated: class, struct, union, enum, function, member, macro, "
                    "param-macro, interface, method, method-impl (default: class, struct, "
                    "union, enum, function, member, param-macro)");
  auto* dry = batch->add_flag("--dry-run", options.dryRun,
                              "Print PATH:LINE: kind name of what would be commented");
  auto* diff = batch->add_flag("--diff", options.diff, "Print a unified diff instead of writing");
  dry->excludes(diff);
  auto* refresh = batch->add_flag(
      "--refresh", options.refresh,
      "Also bring every stale comment block up to date, as `quillmark refresh` does (the "
      "blocks `quillmark check` reports); --dry-run lists them as PATH:LINE: refresh kind name");
  batch->add_flag("--no-new", options.noNew, "With --refresh: refresh only, comment nothing new")
      ->needs(refresh);
  refresh->excludes(diff);
  batch->add_option("--jobs,-j", options.jobs, "Files processed at once (default: one per core)");
  batch->add_option("--encoding", options.encoding, "auto (default), utf-8 or gbk")
      ->check(CLI::IsMember({"auto", "utf-8", "gbk"}));
  return batch;
}

#ifndef QUILLMARK_HAVE_SYNTAX

int RunBatch(const BatchOptions&, const std::optional<std::string>&, bool, const Platform&) {
  std::cerr << "quillmark: this quillmark was built without the syntax parser batch needs\n";
  return kExitError;
}

#else

namespace {

using syntax::KindMask;

}  // namespace

std::optional<KindMask> ParseKinds(std::string_view text, std::string* error) {
  if (text.empty()) return syntax::kDefaultBatchKinds;
  KindMask mask = 0;
  while (!text.empty()) {
    const std::size_t comma = text.find(',');
    const std::string_view word = text.substr(0, comma);
    const auto* found = std::find_if(
        std::begin(kKindNames), std::end(kKindNames),
        [word](const KindNames& k) { return !k.batchWord.empty() && k.batchWord == word; });
    if (found == std::end(kKindNames)) {
      *error = "--kinds: unknown kind \"" + std::string(word) +
               "\" (class, struct, union, enum, function, member, macro, param-macro, "
               "interface, method, method-impl)";
      return std::nullopt;
    }
    mask |= syntax::MaskOf(found->kind);
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
  }
  return mask;
}

namespace {

struct FileOutcome {
  std::string error;  // not empty: the file failed and was left alone
  int commented = 0;
  std::string report;  // --dry-run lines or the --diff text
  int refreshed = 0;
};

struct BatchJob {
  const BatchOptions& options;
  KindMask kinds;
  const TemplateTree& tree;
  const Platform& platform;
  EncodingChoice encoding;
  LocalDate today;
};

FileOutcome ProcessFile(const std::string& path, const BatchJob& job,
                        syntax::DeclarationParser& parser) {
  FileOutcome outcome;
  std::optional<SourceFile> file = LoadSourceFile(path, job.encoding, outcome.error);
  if (!file) return outcome;
  const TextConverter& converter = job.platform.Converter();
  std::optional<std::string> utf8 = file->codePage == CodePage::kUtf8
                                        ? std::optional<std::string>(file->text)
                                        : DecodeToUtf8(file->text, file->codePage, converter);
  if (!utf8) {
    outcome.error = path + " cannot be read as GBK text";
    return outcome;
  }
  std::vector<syntax::FoundDeclaration> found;
  std::string why;
  if (!parser.FindDeclarations(*utf8, syntax::FindOptions{job.kinds, true}, &found, &why)) {
    outcome.error = path + ": " + why;
    return outcome;
  }
  std::vector<BlockFinding> stale;
  if (job.options.refresh) {
    CommentContext reading;
    reading.page = file->codePage;
    reading.converter = &converter;
    reading.user = &job.tree.userInfo;
    CheckOptions check;
    check.kinds = job.kinds;
    if (!CheckFound(file->text, *utf8, found, job.tree, reading, check, &stale)) {
      outcome.error = path + " cannot be read as GBK text";
      return outcome;
    }
  }
  std::erase_if(found, [&job](const syntax::FoundDeclaration& f) {
    return f.commented || job.options.noNew;
  });
  // One block per line: two declarations that start on one line share it.
  std::sort(found.begin(), found.end(),
            [](const auto& a, const auto& b) { return a.line > b.line; });
  found.erase(std::unique(found.begin(), found.end(),
                          [](const auto& a, const auto& b) { return a.line == b.line; }),
              found.end());
  if (found.empty() && stale.empty()) return outcome;

  bool replacedInNames = false;
  const std::string name = EncodeLossy(BaseName(path), file->codePage, converter, &replacedInNames);
  std::string project;
  if (std::optional<std::string> found = FindProjectName(path))
    project = EncodeLossy(*found, file->codePage, converter, &replacedInNames);
  CommentContext context;
  context.page = file->codePage;
  context.converter = &converter;
  context.today = job.today;
  context.user = &job.tree.userInfo;
  context.projectName = [&project] { return project; };
  context.documentName = [&name] { return name; };

  // Bottom to top, as the blocks were always put in: the first failure from
  // the bottom is the one reported.
  std::vector<DeclarationToComment> declarations;
  std::map<int, std::string> names;
  for (const syntax::FoundDeclaration& f : found) {
    declarations.push_back({f.line, syntax::ToFields(f.declaration)});
    names[f.line] = f.declaration.name;
  }
  const LineTable lines(file->text);
  const std::string lineBreak = FirstLineBreak(file->text);
  FilePlan plan;
  if (!PlanFile(file->text, lines, lineBreak, declarations, job.tree, context, &plan,
                &outcome.error)) {
    outcome.error = path + ":" + outcome.error;
    return outcome;
  }
  outcome.commented = static_cast<int>(plan.edits.size());
  outcome.refreshed = static_cast<int>(stale.size());
  if (job.options.dryRun) {
    for (std::size_t i = 0; i < plan.edits.size(); ++i)
      outcome.report += path + ":" + std::to_string(plan.lines[i]) + ": " +
                        std::string(KindName(plan.kinds[i])) + " " + names[plan.lines[i]] + "\n";
    for (const BlockFinding& finding : stale)
      outcome.report += path + ":" + std::to_string(finding.declaration.line) + ": refresh " +
                        std::string(KindName(finding.kind)) + " " + finding.subject + "\n";
    return outcome;
  }
  if (job.options.diff) {
    outcome.report = InsertionDiff(path, file->text, InsertionsOf(plan, lineBreak));
    return outcome;
  }
  if (outcome.commented == 0 && outcome.refreshed == 0) return outcome;
  // The refreshes rewrite lines inside blocks, the insertions go in at the
  // starts of declarations without one: the two never overlap.
  std::vector<Edit> edits = std::move(plan.edits);
  for (BlockFinding& finding : stale)
    for (Edit& edit : finding.refresh) edits.push_back(std::move(edit));
  std::stable_sort(edits.begin(), edits.end(),
                   [](const Edit& a, const Edit& b) { return a.from < b.from; });
  if (!ReplaceFileAtomically(path, SourceBytes(file->bom, ApplyEdits(file->text, edits)),
                             &outcome.error, &file->identity)) {
    outcome.commented = 0;
    outcome.refreshed = 0;
    if (outcome.error.find(path) == std::string::npos) outcome.error = path + ": " + outcome.error;
  }
  return outcome;
}

// How far a batch got, for the line an interrupting signal leaves: the signal
// handler reads these, so they are plain atomics.
std::atomic<std::size_t> filesDone{0}, filesTotal{0};
std::atomic<bool> progressShown{false};

void NoteInterruptedBatch() {
  if (progressShown.load()) (void)!::write(STDERR_FILENO, "\n", 1);
  ReportInterruptedBatch(filesDone.load(), filesTotal.load());
}

void DrawProgress(std::size_t done, std::size_t total, int commented) {
  constexpr int kWidth = 30;
  const int filled = total == 0 ? kWidth : static_cast<int>(done * kWidth / total);
  std::fprintf(stderr, "\r[%s%s] %zu/%zu files, %d declarations commented",
               std::string(static_cast<std::size_t>(filled), '#').c_str(),
               std::string(static_cast<std::size_t>(kWidth - filled), ' ').c_str(), done, total,
               commented);
  std::fflush(stderr);
}

}  // namespace

int RunBatch(const BatchOptions& options, const std::optional<std::string>& settings, bool verbose,
             const Platform& platform) {
  std::string error;
  const std::optional<KindMask> kinds = ParseKinds(options.kinds, &error);
  if (!kinds) {
    std::cerr << "quillmark: " << error << '\n';
    return kExitError;
  }
  Commands commands(platform, settings);
  if (!commands.SettingsLoaded()) {
    std::cerr << "quillmark: cannot read settings file " << commands.settingsError() << '\n';
    return kExitError;
  }
  {
    syntax::DeclarationParser probe;
    if (!probe.ok()) {
      std::cerr << "quillmark: the C++ grammar cannot be loaded\n";
      return kExitError;
    }
  }
  std::vector<std::pair<std::string, std::string> > bad;
  const std::vector<std::string> files = CollectFiles(options.paths, bad);
  for (const auto& [path, why] : bad) std::cerr << "quillmark: " << path << ": " << why << '\n';

  const BatchJob job{options,
                     *kinds,
                     commands.templateTree(),
                     platform,
                     EncodingChoiceOf(options.encoding),
                     platform.Today()};
  std::vector<FileOutcome> outcomes(files.size());
  std::atomic<std::size_t> next{0}, done{0};
  // Ctrl-C or kill: how many files were done, and that the rest are untouched.
  filesDone = 0;
  filesTotal = files.size();
  SetInterruptNote(&NoteInterruptedBatch);
  std::atomic<int> commented{0}, refreshed{0};
  std::mutex mutex;
  std::condition_variable finished;
  const unsigned threads = std::max(
      1u, std::min<unsigned>(
              options.jobs != 0 ? options.jobs : std::max(1u, std::thread::hardware_concurrency()),
              static_cast<unsigned>(std::max<std::size_t>(files.size(), 1))));
  std::vector<std::thread> workers;
  for (unsigned t = 0; t < threads; ++t) {
    workers.emplace_back([&] {
      syntax::DeclarationParser parser;
      for (std::size_t i; (i = next.fetch_add(1)) < files.size();) {
        try {
          outcomes[i] = ProcessFile(files[i], job, parser);
        } catch (const std::exception& e) {
          outcomes[i] = FileOutcome{files[i] + ": internal error: " + e.what(), 0, {}};
        }
        commented += outcomes[i].commented;
        refreshed += outcomes[i].refreshed;
        ++filesDone;
        if (++done == files.size()) {
          std::lock_guard lock(mutex);
          finished.notify_all();
        }
      }
    });
  }
  const bool terminal = ::isatty(2) != 0;
  progressShown = terminal;
  {
    std::unique_lock lock(mutex);
    while (done < files.size()) {
      if (terminal) DrawProgress(done, files.size(), commented);
      finished.wait_for(lock, std::chrono::milliseconds(100));
    }
  }
  for (std::thread& worker : workers) worker.join();
  SetInterruptNote(nullptr);
  if (terminal) {
    DrawProgress(done, files.size(), commented);
    std::fputc('\n', stderr);
  }

  int failed = static_cast<int>(bad.size());
  for (const FileOutcome& outcome : outcomes) {
    std::cout << outcome.report;
    if (!outcome.error.empty()) {
      std::cerr << "quillmark: " << outcome.error << "; skipped\n";
      ++failed;
    }
  }
  std::cout.flush();
  const char* verb = options.dryRun ? "to comment" : options.diff ? "in the diff" : "commented";
  std::cerr << "quillmark: " << files.size() << " files, " << commented << " declarations " << verb;
  if (options.refresh)
    std::cerr << ", " << refreshed << " blocks " << (options.dryRun ? "to refresh" : "refreshed");
  std::cerr << ", " << failed << " failed\n";
  if (verbose && failed > 0)
    std::cerr << "quillmark: the files that failed were left as they were\n";
  return failed > 0 ? kExitError : kExitOk;
}

#endif

}  // namespace quillmark::cli
