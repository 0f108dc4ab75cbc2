#include "check.h"

#include <algorithm>
#include <atomic>
#include <iostream>
#include <thread>

#include "exit_status.h"
#ifdef QUILLMARK_HAVE_SYNTAX
#include "batch.h"
#include "batch_files.h"
#include "buffer_protocol.h"
#include "quillmark/block_check.h"
#include "quillmark/commands.h"
#include "quillmark/files.h"
#include "quillmark/settings.h"
#include "source_file.h"
#endif

namespace quillmark::cli {

CLI::App* AddCheckCommand(CLI::App& app, CheckCommandOptions& options) {
  CLI::App* check = app.add_subcommand(
      "check",
      "Report comment blocks that no longer agree with their declarations (a parameter added, "
      "a class renamed, a base class dropped), in the files and directories (C and C++ sources "
      "and headers; .gitignored paths skipped), with the syntax parser, one a line: "
      "PATH:LINE:COLUMN: warning: MESSAGE [stale]. Reads only. Exit 0 nothing found, "
      "1 findings, 2 error. --verbose also reports comments that do not follow their kind's "
      "template [foreign]; `quillmark refresh FILE --line LINE` brings a stale block up to date");
  AddPathsAndKinds(*check, options.paths, options.kinds);
  check->add_flag("--missing", options.missing,
                  "Also report every declaration of the chosen kinds without a comment [missing]");
  check
      ->add_option("--format", options.format,
                   "text (default) or json: one array of objects {\"path\", \"line\", "
                   "\"column\", \"state\" (stale, missing, foreign), \"kind\", \"subject\", "
                   "\"message\", \"block\" ({\"first\", \"last\"} lines, or null), \"changes\" "
                   "([{\"field\", \"was\", \"now\"}])}")
      ->check(CLI::IsMember({"text", "json"}));
  AddJobsAndEncoding(*check, options.jobs, options.encoding, "Files checked at once");
  return check;
}

#ifndef QUILLMARK_HAVE_SYNTAX

int RunCheck(const CheckCommandOptions&, const std::optional<std::string>&, bool, const Platform&) {
  std::cerr << "quillmark: this quillmark was built without the syntax parser check needs\n";
  return kExitError;
}

#else

namespace {

struct FileFindings {
  std::string error;  // not empty: the file could not be checked
  std::vector<BlockFinding> findings;
};

FileFindings CheckFile(const std::string& path, const TemplateTree& tree,
                       const CheckOptions& options, EncodingChoice encoding,
                       const Platform& platform, syntax::DeclarationParser& parser) {
  FileFindings result;
  std::optional<SourceFile> file = LoadSourceFile(path, encoding, result.error);
  if (!file) return result;
  CommentContext context;
  context.page = file->codePage;
  context.converter = &platform.Converter();
  context.user = &tree.userInfo;
  CheckOptions forFile = options;
  forFile.sourceFile = IsImplementationFile(path);
  if (!CheckDocument(file->text, tree, context, forFile, parser, &result.findings, &result.error))
    result.error = path + ": " + result.error;
  return result;
}

std::string TextLine(const std::string& path, const BlockFinding& finding) {
  return path + ":" + std::to_string(finding.declaration.line) + ":" +
         std::to_string(finding.declaration.column) + ": warning: " + FindingMessage(finding) +
         " [" + std::string(StateWord(finding.state)) + "]\n";
}

std::string JsonObject(const std::string& path, const BlockFinding& finding) {
  std::string out = "{\"path\":";
  AppendJsonString(out, path);
  out += ",\"line\":" + std::to_string(finding.declaration.line);
  out += ",\"column\":" + std::to_string(finding.declaration.column);
  out += ",\"state\":";
  AppendJsonString(out, StateWord(finding.state));
  out += ",\"kind\":";
  AppendJsonString(out, KindIdentifier(finding.kind));
  out += ",\"subject\":";
  AppendJsonString(out, finding.subject);
  out += ",\"message\":";
  AppendJsonString(out, FindingMessage(finding));
  out += ",\"block\":";
  out += finding.blockFirstLine == 0
             ? std::string("null")
             : "{\"first\":" + std::to_string(finding.blockFirstLine) +
                   ",\"last\":" + std::to_string(finding.blockLastLine) + "}";
  out += ",\"changes\":[";
  for (std::size_t k = 0; k < finding.changes.size(); ++k) {
    const FieldChange& change = finding.changes[k];
    out += k > 0 ? ",{\"field\":" : "{\"field\":";
    AppendJsonString(out, change.field);
    out += ",\"was\":";
    AppendJsonString(out, change.was);
    out += ",\"now\":";
    AppendJsonString(out, change.now);
    out += '}';
  }
  out += "]}";
  return out;
}

// The user's templates, or the defaults when there is no settings file yet:
// a check writes nothing, not even the first settings file.
bool ReadSettingsWithoutCreating(const Platform& platform,
                                 const std::optional<std::string>& settings, TemplateTree* tree,
                                 std::string* error) {
  std::string path;
  if (settings) {
    path = *settings;
  } else if (!GetProfilePath(platform, "Comment.ini", path, error)) {
    return false;
  }
  if (PathIsAbsent(path)) return true;
  return LoadSettings(*tree, path, platform.Converter(), false, error);
}

}  // namespace

int RunCheck(const CheckCommandOptions& options, const std::optional<std::string>& settings,
             bool verbose, const Platform& platform) {
  std::string error;
  const std::optional<syntax::KindMask> kinds = ParseKinds(options.kinds, &error);
  if (!kinds) {
    std::cerr << "quillmark: " << error << '\n';
    return kExitError;
  }
  TemplateTree tree(platform.LogonName());
  if (!ReadSettingsWithoutCreating(platform, settings, &tree, &error)) {
    std::cerr << "quillmark: cannot read settings file " << error << '\n';
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

  CheckOptions check;
  check.missing = options.missing;
  check.foreign = verbose;
  check.kinds = *kinds;
  const EncodingChoice encoding = EncodingChoiceOf(options.encoding);
  std::vector<FileFindings> results(files.size());
  std::atomic<std::size_t> next{0};
  const unsigned threads = WorkerCount(options.jobs, files.size());
  std::vector<std::thread> workers;
  for (unsigned t = 0; t < threads; ++t) {
    workers.emplace_back([&] {
      syntax::DeclarationParser parser;
      for (std::size_t i; (i = next.fetch_add(1)) < files.size();) {
        try {
          results[i] = CheckFile(files[i], tree, check, encoding, platform, parser);
        } catch (const std::exception& e) {
          results[i] = FileFindings{files[i] + ": internal error: " + e.what(), {}};
        }
      }
    });
  }
  for (std::thread& worker : workers) worker.join();

  int failed = static_cast<int>(bad.size());
  std::size_t found = 0, stale = 0, missing = 0;
  const bool json = options.format == "json";
  std::string out = json ? "[" : "";
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (!results[i].error.empty()) {
      std::cerr << "quillmark: " << results[i].error << '\n';
      ++failed;
      continue;
    }
    for (const BlockFinding& finding : results[i].findings) {
      if (json) {
        out += found == 0 ? "\n" : ",\n";
        out += JsonObject(files[i], finding);
      } else {
        out += TextLine(files[i], finding);
      }
      ++found;
      stale += finding.state == BlockFinding::State::kStale;
      missing += finding.state == BlockFinding::State::kMissing;
    }
  }
  if (json) out += found == 0 ? "]\n" : "\n]\n";
  std::cout << out;
  std::cout.flush();
  if (verbose)
    std::cerr << "quillmark: " << files.size() << " files, " << stale << " stale, " << missing
              << " missing, " << (found - stale - missing) << " foreign, " << failed << " failed\n";
  if (failed > 0) return kExitError;
  return found > 0 ? kExitMessage : kExitOk;
}

#endif

}  // namespace quillmark::cli
