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
#include <set>
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
      "(C and C++ sources and headers; .gitignored paths skipped), with the syntax parser. "
      "One block per function and macro: in a .c or .cpp file a function's definition gets it "
      "and its prototypes earlier in the file are skipped; a macro defined in several #if "
      "branches gets it above its first definition");
  AddPathsAndKinds(*batch, options.paths, options.kinds);
  auto* dry = batch->add_flag("--dry-run", options.dryRun,
                              "Print PATH:LINE: kind name of what would be commented (PATH:LINE: "
                              "refresh kind name with --refresh); warn when // blocks would go "
                              "into .c files (C89 rejects them)");
  auto* diff = batch->add_flag("--diff", options.diff, "Print a unified diff instead of writing");
  dry->excludes(diff);
  auto* refresh =
      batch->add_flag("--refresh", options.refresh,
                      "Also refresh stale blocks: write the fields that no longer agree with their "
                      "declarations again, keeping author, date and everything typed");
  batch
      ->add_flag("--no-new", options.noNew,
                 "With --refresh: only refresh, comment no declaration that has no block")
      ->needs(refresh);
  AddJobsAndEncoding(*batch, options.jobs, options.encoding, "Files processed at once");
  return batch;
}

void AddPathsAndKinds(CLI::App& command, std::vector<std::string>& paths, std::string& kinds) {
  command.add_option("PATH", paths, "Files or directories")->required();
  command.add_option("--kinds", kinds,
                     "Comma-separated: class, struct, union, enum, function, member, macro, "
                     "param-macro, interface, method, method-impl (default: class, struct, "
                     "union, enum, function, member, param-macro)");
}

void AddJobsAndEncoding(CLI::App& command, unsigned& jobs, std::string& encoding,
                        const std::string& jobsHelp) {
  command.add_option("--jobs,-j", jobs, jobsHelp + " (default: one per core)");
  command.add_option("--encoding", encoding, "auto (default), utf-8 or gbk")
      ->check(CLI::IsMember({"auto", "utf-8", "gbk"}));
}

unsigned WorkerCount(unsigned jobs, std::size_t files) {
  const unsigned wanted = jobs != 0 ? jobs : std::max(1u, std::thread::hardware_concurrency());
  return std::max(1u, static_cast<unsigned>(std::min<std::size_t>(wanted, files)));
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
  std::string report;            // --dry-run lines or the --diff text
  std::string warning;           // not empty: part of the file was not read
  bool lineCommentsInC = false;  // a block for a .c file holds "//" comments
  int refreshed = 0;             // stale blocks written again
};

struct BatchJob {
  const BatchOptions& options;
  KindMask kinds;
  const TemplateTree& tree;
  const Platform& platform;
  EncodingChoice encoding;
  LocalDate today;
};

// Leaves of the file's declarations those that get a new block, bottom to
// top, one per line.
void SelectUncommented(const std::string& path, std::vector<syntax::FoundDeclaration>* found) {
  // One block for each thing: a function's definition rather than its prototype
  // in a source file, a macro's first definition.
  syntax::KeepOneDeclarationEach(found, IsImplementationFile(path));
  std::erase_if(*found, [](const syntax::FoundDeclaration& f) { return f.commented; });
  // One block per line: two declarations that start on one line share it.
  std::sort(found->begin(), found->end(),
            [](const auto& a, const auto& b) { return a.line > b.line; });
  found->erase(std::unique(found->begin(), found->end(),
                           [](const auto& a, const auto& b) { return a.line == b.line; }),
               found->end());
}

// A --dry-run line, and the line it is about for sorting them.
using ReportLine = std::pair<int, std::string>;

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
  const bool refresh = job.options.refresh;
  std::vector<syntax::FoundDeclaration> found;
  std::string why;
  syntax::UnreadRegion unread;
  if (!parser.FindDeclarations(*utf8, syntax::FindOptions{job.kinds, true}, &found, &why,
                               &unread)) {
    outcome.error = path + ": " + why;
    return outcome;
  }
  if (unread.firstLine > 0)
    outcome.warning = path + ":" + std::to_string(unread.firstLine) +
                      ": warning: the C++ parser could not read lines " +
                      std::to_string(unread.firstLine) + " to " + std::to_string(unread.lastLine) +
                      "; nothing there was commented";
  if (!refresh) {
    SelectUncommented(path, &found);
    if (found.empty()) return outcome;
  }

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

  // Stale blocks: the lines of their fields written again.
  std::vector<Edit> edits;
  std::vector<ReportLine> report;
  if (refresh) {
    // The declarations just found, read back against their blocks: one parse.
    CheckOptions check;
    check.kinds = job.kinds;
    check.current = true;
    std::vector<BlockFinding> findings;
    if (!CheckFound(file->text, *utf8, found, job.tree, context, check, &findings)) {
      outcome.error = path + " cannot be read as GBK text";
      return outcome;
    }
    if (job.options.noNew) {
      found.clear();
    } else {
      SelectUncommented(path, &found);
      // A block read back above a declaration (over blank lines, which the
      // comment test above does not look across) is its block: no second one.
      std::set<int> withBlocks;
      for (const BlockFinding& finding : findings)
        if (finding.blockFirstLine > 0) withBlocks.insert(finding.declaration.line);
      std::erase_if(found, [&withBlocks](const syntax::FoundDeclaration& f) {
        return withBlocks.contains(f.line);
      });
    }
    for (BlockFinding& finding : findings) {
      if (finding.state != BlockFinding::State::kStale) continue;
      ++outcome.refreshed;
      report.emplace_back(finding.declaration.line,
                          path + ":" + std::to_string(finding.declaration.line) + ": refresh " +
                              std::string(KindName(finding.kind)) + " " + finding.subject + "\n");
      for (Edit& edit : finding.refresh) edits.push_back(std::move(edit));
    }
  }

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
  outcome.lineCommentsInC =
      path.ends_with(".c") && std::any_of(plan.edits.begin(), plan.edits.end(),
                                          [](const Edit& e) { return HasLineComment(e.text); });
  if (job.options.dryRun) {
    for (std::size_t i = 0; i < plan.edits.size(); ++i)
      report.emplace_back(plan.lines[i], path + ":" + std::to_string(plan.lines[i]) + ": " +
                                             std::string(KindName(plan.kinds[i])) + " " +
                                             names[plan.lines[i]] + "\n");
    std::stable_sort(report.begin(), report.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const ReportLine& line : report) outcome.report += line.second;
    return outcome;
  }
  if (outcome.commented + outcome.refreshed == 0) return outcome;
  if (job.options.diff && edits.empty()) {
    outcome.report = InsertionDiff(path, file->text, InsertionsOf(plan, lineBreak));
    return outcome;
  }
  // A refresh rewrites lines of a block, a new block goes in above a
  // declaration without one: they never meet, which is checked all the same.
  for (Edit& edit : plan.edits) edits.push_back(std::move(edit));
  std::stable_sort(edits.begin(), edits.end(),
                   [](const Edit& a, const Edit& b) { return a.from < b.from; });
  for (std::size_t k = 1; k < edits.size(); ++k) {
    if (edits[k].from < edits[k - 1].to) {
      outcome = FileOutcome{};
      outcome.error = path + ":" + std::to_string(lines.PositionAt(edits[k].from).line) +
                      ": a new block would go inside a refreshed one";
      return outcome;
    }
  }
  if (job.options.diff) {
    outcome.report = InsertionDiff(path, file->text, LineChangesOf(file->text, lines, edits));
    return outcome;
  }
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

// `refreshed` below 0: not a --refresh run, which says nothing of refreshes.
void DrawProgress(std::size_t done, std::size_t total, int commented, int refreshed) {
  constexpr int kWidth = 30;
  const int filled = total == 0 ? kWidth : static_cast<int>(done * kWidth / total);
  std::fprintf(stderr, "\r[%s%s] %zu/%zu files, %d declarations commented",
               std::string(static_cast<std::size_t>(filled), '#').c_str(),
               std::string(static_cast<std::size_t>(kWidth - filled), ' ').c_str(), done, total,
               commented);
  if (refreshed >= 0) std::fprintf(stderr, ", %d blocks refreshed", refreshed);
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
  const unsigned threads = WorkerCount(options.jobs, files.size());
  std::vector<std::thread> workers;
  for (unsigned t = 0; t < threads; ++t) {
    workers.emplace_back([&] {
      syntax::DeclarationParser parser;
      for (std::size_t i; (i = next.fetch_add(1)) < files.size();) {
        try {
          outcomes[i] = ProcessFile(files[i], job, parser);
        } catch (const std::exception& e) {
          outcomes[i] = FileOutcome{};
          outcomes[i].error = files[i] + ": internal error: " + e.what();
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
  const auto shownRefreshed = [&] { return options.refresh ? refreshed.load() : -1; };
  {
    std::unique_lock lock(mutex);
    while (done < files.size()) {
      if (terminal) DrawProgress(done, files.size(), commented, shownRefreshed());
      finished.wait_for(lock, std::chrono::milliseconds(100));
    }
  }
  for (std::thread& worker : workers) worker.join();
  SetInterruptNote(nullptr);
  if (terminal) {
    DrawProgress(done, files.size(), commented, shownRefreshed());
    std::fputc('\n', stderr);
  }

  // C89 code built with -pedantic breaks on "//" comments: said once, before
  // anything is written.
  const bool preview = options.dryRun || options.diff;
  if (preview && std::any_of(outcomes.begin(), outcomes.end(),
                             [](const FileOutcome& o) { return o.lineCommentsInC; }))
    std::cerr << "quillmark: warning: these blocks put // comments into .c files, which C89 "
                 "(-std=c89 -pedantic) rejects; for C89 code, use the /* */ templates of "
                 "examples/c89-settings.ini (or the English c89-settings-en.ini) with --settings\n";
  int failed = static_cast<int>(bad.size());
  for (const FileOutcome& outcome : outcomes) {
    std::cout << outcome.report;
    if (!outcome.warning.empty()) std::cerr << "quillmark: " << outcome.warning << "\n";
    if (!outcome.error.empty()) {
      std::cerr << "quillmark: " << outcome.error << "; skipped\n";
      ++failed;
    }
  }
  std::cout.flush();
  const char* verb = options.dryRun ? "to comment" : options.diff ? "in the diff" : "commented";
  std::cerr << "quillmark: " << files.size() << " files, " << commented << " declarations " << verb;
  if (options.refresh)
    std::cerr << ", " << refreshed << " blocks "
              << (options.dryRun ? "to refresh"
                  : options.diff ? "in the diff"
                                 : "refreshed");
  std::cerr << ", " << failed << " failed\n";
  if (verbose && failed > 0)
    std::cerr << "quillmark: the files that failed were left as they were\n";
  return failed > 0 ? kExitError : kExitOk;
}

#endif

}  // namespace quillmark::cli
