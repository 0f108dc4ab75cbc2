#include "batch.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <set>
#include <thread>

#include "exit_status.h"
#include "quillmark/commands.h"
#include "quillmark/memory_editor.h"
#include "source_file.h"
#ifdef QUILLMARK_HAVE_SYNTAX
#include "quillmark/syntax.h"
#include "quillmark/syntax_fields.h"
#endif

extern char** environ;

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

namespace fs = std::filesystem;
using syntax::Kind;
using syntax::KindMask;

struct KindWord {
  std::string_view word;
  Kind kind;
};
constexpr KindWord kKindWords[] = {
    {"class", Kind::Class},
    {"struct", Kind::Struct},
    {"union", Kind::Union},
    {"enum", Kind::Enum},
    {"function", Kind::Function},
    {"member", Kind::MemberFunction},
    {"macro", Kind::Macro},
    {"param-macro", Kind::MacroWithParams},
    {"interface", Kind::Interface},
    {"method", Kind::MethodDeclaration},
    {"method-impl", Kind::MethodImplementation},
};

std::optional<KindMask> ParseKinds(std::string_view text, std::string* error) {
  if (text.empty()) return syntax::kDefaultBatchKinds;
  KindMask mask = 0;
  while (!text.empty()) {
    const std::size_t comma = text.find(',');
    const std::string_view word = text.substr(0, comma);
    const auto* found = std::find_if(std::begin(kKindWords), std::end(kKindWords),
                                     [word](const KindWord& k) { return k.word == word; });
    if (found == std::end(kKindWords)) {
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

// One inserted block: before line `line` of the original text, these lines.
struct Insertion {
  int line;
  std::vector<std::string> lines;  // each with its line break
};

// The original's lines, each with the break it ends with.
std::vector<std::string_view> SplitKeepingBreaks(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) {
      lines.push_back(text.substr(start, i + 1 - start));
      start = i + 1;
    }
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

void AppendDiffLine(std::string& out, char mark, std::string_view line) {
  out += mark;
  out += line;
  if (line.empty() || (line.back() != '\n' && line.back() != '\r'))
    out += "\n\\ No newline at end of file\n";
}

// A unified diff of insertions only, with three lines of context.
std::string InsertionDiff(const std::string& path, std::string_view original,
                          std::vector<Insertion> insertions) {
  constexpr int kContext = 3;
  std::sort(insertions.begin(), insertions.end(),
            [](const Insertion& a, const Insertion& b) { return a.line < b.line; });
  const std::vector<std::string_view> lines = SplitKeepingBreaks(original);
  const int count = static_cast<int>(lines.size());
  std::string out = "--- " + path + "\n+++ " + path + "\n";
  int added = 0;  // lines inserted by earlier hunks
  for (std::size_t i = 0; i < insertions.size();) {
    const int first = std::max(1, insertions[i].line - kContext);
    int last = std::min(count, insertions[i].line + kContext - 1);
    std::size_t j = i + 1;
    while (j < insertions.size() && insertions[j].line - kContext <= last + 1) {
      last = std::min(count, insertions[j].line + kContext - 1);
      ++j;
    }
    int inserted = 0;
    for (std::size_t k = i; k < j; ++k) inserted += static_cast<int>(insertions[k].lines.size());
    const int oldCount = last - first + 1;
    out += "@@ -" + std::to_string(first) + "," + std::to_string(oldCount) + " +" +
           std::to_string(first + added) + "," + std::to_string(oldCount + inserted) + " @@\n";
    std::size_t k = i;
    for (int line = first; line <= last; ++line) {
      for (; k < j && insertions[k].line == line; ++k)
        for (const std::string& text : insertions[k].lines) AppendDiffLine(out, '+', text);
      AppendDiffLine(out, ' ', lines[static_cast<std::size_t>(line - 1)]);
    }
    added += inserted;
    i = j;
  }
  return out;
}

struct FileOutcome {
  std::string error;  // not empty: the file failed and was left alone
  int commented = 0;
  std::string report;  // --dry-run lines or the --diff text
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
  if (!parser.FindDeclarations(*utf8, syntax::FindOptions{job.kinds, false}, &found, &why)) {
    outcome.error = path + ": " + why;
    return outcome;
  }
  std::erase_if(found, [](const syntax::FoundDeclaration& f) { return f.commented; });
  // One block per line: two declarations that start on one line share it.
  std::sort(found.begin(), found.end(),
            [](const auto& a, const auto& b) { return a.line > b.line; });
  found.erase(std::unique(found.begin(), found.end(),
                          [](const auto& a, const auto& b) { return a.line == b.line; }),
              found.end());
  if (found.empty()) return outcome;

  bool replacedInNames = false;
  MemoryDocument document(file->text,
                          EncodeLossy(BaseName(path), file->codePage, converter, &replacedInNames),
                          file->codePage);
  std::string project;
  if (std::optional<std::string> found = FindProjectName(path))
    project = EncodeLossy(*found, file->codePage, converter, &replacedInNames);
  CommentContext context;
  context.page = file->codePage;
  context.converter = &converter;
  context.today = job.today;
  context.user = &job.tree.userInfo;
  context.projectName = [&project] { return project; };
  context.documentName = [&document] { return document.Name(); };

  std::vector<Insertion> insertions;
  std::vector<std::string> dryLines;
  for (const syntax::FoundDeclaration& f : found) {  // bottom to top: lines above stay put
    const DeclarationFields fields = syntax::ToFields(f.declaration);
    const TemplateNode* node = job.tree.FindKindNode(fields.kind);
    if (node == nullptr || node->lines.empty()) continue;
    ExpandedBlock block;
    if (!BuildBlockFromFields(fields, *node, context, &block, &why)) {
      outcome.error = path + ":" + std::to_string(f.line) + ": " + why;
      return outcome;
    }
    ++outcome.commented;
    dryLines.push_back(path + ":" + std::to_string(f.line) + ": " +
                       std::string(KindName(fields.kind)) + " " + f.declaration.name + "\n");
    if (job.options.dryRun) continue;
    document.Select({f.line, 1}, {f.line, 1});
    const int before = document.LineCount();
    document.ReplaceSelection(block.text);
    if (job.options.diff) {
      Insertion insertion{f.line, {}};
      const int added = document.LineCount() - before;
      for (int line = f.line; line < f.line + added; ++line)
        insertion.lines.push_back(std::string(document.LineText(line)) +
                                  std::string(document.LineBreak()));
      insertions.push_back(std::move(insertion));
    }
  }
  if (job.options.dryRun) {
    for (auto it = dryLines.rbegin(); it != dryLines.rend(); ++it) outcome.report += *it;
    return outcome;
  }
  if (job.options.diff) {
    outcome.report = InsertionDiff(path, file->text, std::move(insertions));
    return outcome;
  }
  if (outcome.commented == 0) return outcome;
  if (!ReplaceFileAtomically(path, SourceBytes(file->bom, document.Text()), &outcome.error,
                             &file->identity)) {
    outcome.commented = 0;
    if (outcome.error.find(path) == std::string::npos) outcome.error = path + ": " + outcome.error;
  }
  return outcome;
}

class SilentInterface final : public UserInterface {
 public:
  void ShowMessage(std::string_view) override {}
  void RunSettingsDialog(TemplateTree&) override {}
  void RunAboutDialog() override {}
  void ReportError(std::string_view) override {}
};

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
  SilentInterface ui;
  Commands commands(ui, platform, settings);
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
  std::atomic<int> commented{0};
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
        if (++done == files.size()) {
          std::lock_guard lock(mutex);
          finished.notify_all();
        }
      }
    });
  }
  const bool terminal = ::isatty(2) != 0;
  {
    std::unique_lock lock(mutex);
    while (done < files.size()) {
      if (terminal) DrawProgress(done, files.size(), commented);
      finished.wait_for(lock, std::chrono::milliseconds(100));
    }
  }
  for (std::thread& worker : workers) worker.join();
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
  std::cerr << "quillmark: " << files.size() << " files, " << commented << " declarations " << verb
            << ", " << failed << " failed\n";
  if (verbose && failed > 0)
    std::cerr << "quillmark: the files that failed were left as they were\n";
  return failed > 0 ? kExitError : kExitOk;
}

#endif

}  // namespace quillmark::cli
