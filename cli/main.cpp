// quillmark: the Linux host of the commands. Arguments in, one command run
// against the file, exit status out.
//
// Exit status: 0 done; 1 the command showed a message (the file is untouched);
// 2 usage, settings, I/O or internal error; 3 nothing in the selection was
// recognised, or its kind's template is empty.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <new>
#include <regex>

#include "argument_hint.h"
#include "batch.h"
#include "buffer_protocol.h"
#include "check.h"
#include "dialogs.h"
#include "document_command.h"
#include "messages.h"
#include "parser_choice.h"
#include "quillmark/commands.h"
#include "quillmark/lsp.h"
#include "quillmark/lsp_proxy.h"
#include "quillmark/memory_editor.h"
#include "quillmark/posix_platform.h"
#include "quillmark/settings.h"
#include "quillmark/signal_cleanup.h"
#include "quillmark/version.h"
#include "save_name.h"
#include "selection.h"
#include "settings_edit.h"
#include "settings_report.h"
#include "source_file.h"

namespace quillmark::cli {
namespace {

struct Options {
  std::string file;
  std::string output;
  std::string encoding = "auto";
  std::optional<int> line;
  std::string lines;
  std::string select;
  std::string settings;
  bool verbose = false;
  std::string parser;  // "": as the settings file says
  bool settingsPath = false;
  std::string loadFrom;
  std::string saveTo;
  std::string checkFile;  // "": the settings file
  bool edit = false;
  std::string assumeFilename;
  std::string format = "text";
  std::string columns = "chars";
};

int Fail(const std::string& message) {
  std::cerr << "quillmark: " << message << '\n';
  return kExitError;
}

std::optional<std::string> SettingsOverride(const Options& options) {
  if (options.settings.empty()) return std::nullopt;
  return options.settings;
}

SelectionRequest Selection(const Options& options) {
  return {options.line, options.lines, options.select,
          options.columns == "bytes" ? ColumnUnit::kBytes : ColumnUnit::kCharacters};
}

// A UTF-8 file name in the document's code page; a character the
// page cannot hold becomes "?", so a header never mixes two encodings.
std::string EncodedName(std::string_view name, CodePage page, const Platform& platform,
                        bool& replaced) {
  return EncodeLossy(name, page, platform.Converter(), &replaced);
}

// True when the command object could load its settings; else says why.
bool SettingsUsable(const Commands& commands) {
  if (commands.SettingsLoaded()) return true;
  Fail("cannot read settings file " + commands.settingsError());
  return false;
}

// Where the result goes: "-" is standard output.
bool WriteResult(const std::string& target, std::string_view bytes, const FileIdentity* expected,
                 std::string& error) {
  if (target == "-") {
    std::cout.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    std::cout.flush();
    if (!std::cout) error = "cannot write to standard output";
    return static_cast<bool>(std::cout);
  }
  return ReplaceFileAtomically(target, bytes, &error, expected);
}

int RunDocumentCommand(DocumentCommand command, const Options& options, const Platform& platform) {
  const EncodingChoice choice = EncodingChoiceOf(options.encoding);
  if (options.file == "-") {
    if (!options.output.empty())
      return Fail("with FILE - the result goes to standard output; --output does not go with it");
    return RunBufferCommand(
        {command, options.assumeFilename, choice, options.format == "json", options.verbose,
         Selection(options), SettingsOverride(options), options.parser},
        platform);
  }
  if (options.format == "json" || options.columns == "bytes" || !options.assumeFilename.empty())
    return Fail("--format, --columns and --assume-filename go with FILE - (the buffer protocol)");
  std::string error;
  std::optional<SourceFile> file = LoadSourceFile(options.file, choice, error);
  if (!file) return Fail(error);

  bool replacedInNames = false;
  MemoryDocument document(
      std::move(file->text),
      EncodedName(BaseName(file->path), file->codePage, platform, replacedInNames), file->codePage);
  const DocumentRun run = RunOnDocument({command, Selection(options), "document", file->path,
                                         SettingsOverride(options), options.parser},
                                        document, platform, &replacedInNames);
  if (!run.ran) return Fail(run.message);
  // What the command showed, as a console shows a message box: the system's
  // own text first, unchanged; then what it means, in English.
  if (run.status == kExitMessage) {
    for (std::size_t from = 0; from <= run.message.size();) {
      const std::size_t end = std::min(run.message.find('\n', from), run.message.size());
      const std::string_view text = std::string_view(run.message).substr(from, end - from);
      std::cerr << text << '\n';
      if (const std::string_view english = EnglishFor(text); !english.empty())
        std::cerr << "quillmark: " << english << '\n';
      from = end + 1;
    }
  }
  if (run.status == kExitError) std::cerr << "quillmark: " << run.message << '\n';
  if (!run.settingsSaved) std::cerr << "quillmark: warning: " << run.settingsError << '\n';
  ReportSyntaxFallback(run.result, options.verbose);
  // A current block is what refresh hopes for; it says so only when asked.
  if (run.status == kExitNothing && (command != DocumentCommand::kRefresh || options.verbose))
    std::cerr << "quillmark: " << run.message << '\n';
  if (run.status != kExitOk) return run.status;
  if (options.verbose)
    for (const FieldChange& change : run.changes)
      std::cerr << "quillmark: refreshed " << change.field << ": " << change.was << " now "
                << change.now << '\n';
  if (options.verbose &&
      (run.result.replacedCharacters || (replacedInNames && command == DocumentCommand::kHeader)))
    std::cerr << "quillmark: some characters cannot be written in this file's encoding (GBK) "
                 "and were written as \"?\"\n";
  const std::string target = options.output.empty() ? file->path : options.output;
  const std::string withBom = file->bom ? SourceBytes(file->bom, document.Text()) : std::string();
  const std::string_view bytes = file->bom ? std::string_view(withBom) : document.Text();
  // Replacing FILE itself is refused when it is no longer the file that was read.
  const FileIdentity* expected = options.output.empty() ? &file->identity : nullptr;
  if (!WriteResult(target, bytes, expected, error)) return Fail(error);
  const TextPosition caret = document.Caret();
  const std::string shown = target == "-" ? file->path : target;
  (target == "-" ? std::cerr : std::cout)
      << shown << ':' << caret.line << ':'
      << ByteToCharColumn(document.LineText(caret.line), caret.column, document.GetCodePage())
      << '\n';
  return kExitOk;
}

// True when `path` reads as an INI file without a single section: not a
// settings file, whatever its name.
bool HoldsNoSettings(const std::string& path, const Platform& platform) {
  IniFile file(path, platform.Converter());
  // A file that cannot be read is not called one without settings here.
  return file.Read(nullptr) && !HoldsSettings(file);
}

// The settings file a command uses: --settings, else the user's own.
std::string SettingsFilePath(const Options& options, const Platform& platform, std::string* error) {
  std::string path = options.settings;
  if (path.empty() && !GetProfilePath(platform, "Comment.ini", path, error)) return {};
  return path;
}

int RunSettingsCommand(const Options& options, const Platform& platform, bool check) {
  if (check) {
    std::string error;
    const std::string path =
        options.checkFile.empty() ? SettingsFilePath(options, platform, &error) : options.checkFile;
    if (path.empty()) return Fail(error);
    return RunSettingsCheck(path, platform.Converter());
  }
  const bool bare =
      !options.settingsPath && !options.edit && options.loadFrom.empty() && options.saveTo.empty();
  if (bare && !FindDialogsProgram().empty()) return RunDialogs("settings", options.settings);
  if (options.settingsPath || bare) {
    std::string path = options.settings;
    std::string error;
    if (path.empty() && !GetProfilePath(platform, "Comment.ini", path, &error)) return Fail(error);
    std::cout << path << '\n';
    if (options.settingsPath) return kExitOk;
    // Like about: a dialog that cannot be shown is an error.
    std::cerr << "quillmark: the settings dialog is not built into this command line; "
                 "edit the file above with `quillmark settings --edit`, or use --load FILE / "
                 "--save FILE\n";
    return kExitError;
  }
  if (options.edit) {
    // A file that does not load is the one most in need of editing, so it is
    // only created (from the defaults) when missing, never loaded first.
    std::string error;
    const std::string path = SettingsFilePath(options, platform, &error);
    if (path.empty()) return Fail(error);
    if (PathIsAbsent(path)) {
      RecordingUserInterface ui(/*echo=*/true);
      const Commands commands(ui, platform, path);
      if (!SettingsUsable(commands)) return kExitError;
    }
    return RunSettingsEdit(path, platform.Converter());
  }
  RecordingUserInterface ui(/*echo=*/true);
  Commands commands(ui, platform, SettingsOverride(options));
  if (!SettingsUsable(commands)) return kExitError;
  TemplateTree& tree = commands.templateTree();
  const TextConverter& converter = platform.Converter();
  if (!options.loadFrom.empty()) {
    if (HoldsNoSettings(options.loadFrom, platform))
      return Fail(options.loadFrom + " holds no settings (no [section] in it); nothing loaded");
    std::string why;
    if (!LoadSettings(tree, options.loadFrom, converter, false, &why)) {
      // Back to the previous settings; nothing is saved on this road, so a
      // failure here changes nothing the user keeps.
      static_cast<void>(LoadSettings(tree, tree.profilePath, converter, true, nullptr));
      // The system's text, then which file and why, in English.
      std::cerr << messages::kLoadFailed << "\nquillmark: cannot load settings from " << why
                << "; the previous settings are kept\n";
      return kExitMessage;
    }
    std::string error;
    if (!commands.SaveSettings(&error)) return Fail(error);
    return kExitOk;
  }
  std::string path, error;
  const auto holds = [&platform](const std::string& file) {
    return !HoldsNoSettings(file, platform);
  };
  if (!SettingsSaveTarget(options.saveTo, holds, &path, &error)) return Fail(error);
  if (!SaveSettingsAs(tree, path, converter, nullptr)) {
    ui.ShowMessage(messages::kSaveFailed);
    return kExitMessage;
  }
  std::cout << path << '\n';
  return kExitOk;
}

// "--line 0" and friends get a plain sentence, not a range of doubles.
CLI::Validator LineNumber(const std::string& option) {
  return CLI::Validator(
      [option](std::string& text) -> std::string {
        if (std::regex_match(text, std::regex(R"(0*[1-9]\d{9,})")))
          return text + " is too large; line numbers go up to 999999999";
        if (!std::regex_match(text, std::regex(R"(\d{1,9})")) || std::stoi(text) < 1)
          return option + " takes a line number from 1";
        return {};
      },
      "N");
}

// An empty path is refused: "--output ''" must not mean "no --output" and
// rewrite FILE, nor an empty --settings the default settings file.
CLI::Validator NonEmptyPath() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        return text.empty() ? "an empty path is not allowed" : std::string();
      },
      "PATH");
}

void AddSelectionOptions(CLI::App& command, Options& options) {
  auto* line =
      command.add_option("--line", options.line, "Select line N whole, caret at its start")
          ->check(LineNumber("--line"));
  auto* lines = command.add_option("--lines", options.lines,
                                   "Select lines N to M whole (N-M), caret at the start of N");
  auto* select =
      command.add_option("--select", options.select,
                         "Anchor at L1:C1, caret at L2:C2 (columns count characters, 1-based)");
  line->excludes(lines)->excludes(select);
  lines->excludes(select);
  command.callback([&command, line, lines, select] {
    if (line->count() + lines->count() + select->count() == 0)
      throw CLI::RequiredError(command.get_name() + ": one of --line, --lines, --select");
  });
}

void AddFileOptions(CLI::App& command, Options& options) {
  command
      .add_option("FILE", options.file,
                  "The C or C++ source file, or - for the buffer protocol: the buffer on standard "
                  "input, the whole resulting buffer on standard output (unchanged when nothing "
                  "was done), the caret LINE:COLUMN on standard error")
      ->required();
  command
      .add_option("--output", options.output,
                  "Write the result here, or to standard output with -; FILE stays untouched "
                  "(the caret then goes to standard error)")
      ->check(NonEmptyPath());
  command.add_option("--encoding", options.encoding, "auto (default), utf-8 or gbk")
      ->check(CLI::IsMember({"auto", "utf-8", "gbk"}));
  command
      .add_option("--assume-filename", options.assumeFilename,
                  "With FILE -: the buffer's file name, for %CurrentFileName% and the project")
      ->check(NonEmptyPath());
  command
      .add_option(
          "--format", options.format,
          "With FILE -: json puts one JSON line before the buffer: {\"status\":0,"
          "\"changed\":true,\"line\":8,\"column\":13,\"kind\":\"class\",\"message\":\"\"} (status: "
          "the exit status; line, column: the caret, null unless changed; kind: what was "
          "recognised, or null; message: the text shown, UTF-8); text (default) writes "
          "only the buffer")
      ->check(CLI::IsMember({"text", "json"}));
  command
      .add_option("--columns", options.columns,
                  "With FILE -: chars (default) or bytes, for the caret and --select columns")
      ->check(CLI::IsMember({"chars", "bytes"}));
}

// `lsp --with CMD [ARGS...]`: the words after --with are the other server's
// command line, its options included, so they never reach the option parser.
// Returns the number of arguments left for the parser.
int SplitWithCommand(int argc, char** argv, std::optional<std::vector<std::string>>& with) {
  int lsp = 1;
  while (lsp < argc && std::string_view(argv[lsp]) != "lsp") ++lsp;
  for (int i = lsp + 1; i < argc; ++i) {
    if (std::string_view(argv[i]) != "--with") continue;
    with.emplace(argv + i + 1, argv + argc);
    return i;
  }
  return argc;
}

}  // namespace

int Main(int argc, char** argv) {
  RemoveTempFilesOnSignals();
  const PosixPlatform platform;
  Options options;
  std::optional<std::vector<std::string>> with;
  argc = SplitWithCommand(argc, argv, with);
  CLI::App app{
      "quillmark (墨翎): structured Chinese comment blocks for C and C++ source.\n"
      "Exit status: 0 done, 1 a message was shown, 2 error, 3 nothing recognised\n"
      "(or the kind's template is empty).\n"
      "Files are replaced atomically and only when they are regular files you may write,\n"
      "with one link, and unchanged since they were read.\n"
      "Environment: QUILLMARK_DATE=YYYY-MM-DD fixes the date of %Time% (for reproducible\n"
      "output); XDG_CONFIG_HOME locates the settings directory."};
  app.set_version_flag("--version", std::string("quillmark ") + QUILLMARK_VERSION);
  app.require_subcommand(1);
  app.fallthrough();
  app.add_option("--settings", options.settings,
                 "Use this settings file (created from the defaults when missing)")
      ->check(NonEmptyPath());
  app.add_flag("--verbose,-v", options.verbose,
               "Say more in English: why nothing was done (also with FILE -), when the syntax "
               "mode fell back, and every mistake in the settings file, not only the first");
  app.add_option("--parser", options.parser,
                 "How comment takes a declaration apart: syntax (the default: a C++ grammar "
                 "that also reads the document around the selection, so a member selected "
                 "inside its class gets the class; falls back to keywords) or keywords (the "
                 "keyword tests the Windows add-in runs on the selection alone); the default "
                 "comes from Parser= in [Quillmark] when it is set")
      ->check(CLI::IsMember({"keywords", "syntax"}));

  CLI::App* comment = app.add_subcommand("comment", "Comment the selected declaration");
  AddFileOptions(*comment, options);
  AddSelectionOptions(*comment, options);
  CLI::App* header = app.add_subcommand("header", "Insert a file header at the top");
  AddFileOptions(*header, options);
  CLI::App* remove =
      app.add_subcommand("delete", "Mark the selected lines //DELETE!, or restore them");
  AddFileOptions(*remove, options);
  AddSelectionOptions(*remove, options);
  CLI::App* settings = app.add_subcommand(
      "settings", "Open the settings dialog, or show, load, save, check or edit the settings file");
  auto* path = settings->add_flag("--path", options.settingsPath, "Print the settings file's path");
  auto* load = settings->add_option("--load", options.loadFrom, "Load the settings from FILE")
                   ->check(NonEmptyPath());
  auto* save = settings->add_option("--save", options.saveTo, "Save the settings to FILE(.ini)")
                   ->check(NonEmptyPath());
  auto* check = settings
                    ->add_option("--check", options.checkFile,
                                 "List the mistakes in FILE (default: the settings file) as "
                                 "FILE:LINE: warning: ...; exit 0 none, 1 some, 2 unreadable")
                    ->expected(0, 1);
  auto* edit = settings->add_flag("--edit", options.edit,
                                  "Edit the settings file in $VISUAL or $EDITOR (as UTF-8); it is "
                                  "checked, then written back in its own encoding");
  CLI::App* about = app.add_subcommand("about", "Show the about dialog");
  path->excludes(load)->excludes(save)->excludes(check)->excludes(edit);
  load->excludes(save)->excludes(check)->excludes(edit);
  save->excludes(check)->excludes(edit);
  check->excludes(edit);
  CLI::App* server = app.add_subcommand(
      "lsp",
      "Serve code actions and stale-block warnings to any editor: a language server on standard "
      "input and output");
  server->add_option("--settings", options.settings,
                     "Use this settings file (the editor's initializationOptions.settings wins)");
  server->footer(
      "initializationOptions: settings (a settings file) and parser (syntax, the default, or "
      "keywords; else Parser= in the settings file's [Quillmark] section)");
  std::string withHelp;
  server
      ->add_option("--with", withHelp,
                   "Start this language server (the rest of the line) and stand in front of it, "
                   "for editors that run one server per file: quillmark lsp --with clangd")
      ->type_name("CMD [ARGS...]");
  BatchOptions batchOptions;
  CLI::App* batch = AddBatchCommand(app, batchOptions);
  CheckCommandOptions checkOptions;
  CLI::App* checkCommand = AddCheckCommand(app, checkOptions);
  CLI::App* refresh = app.add_subcommand(
      "refresh",
      "Bring the comment block above the selected declaration up to date: the fields its "
      "template fills from the declaration (names, class, base classes, parameters, return "
      "type) are derived again, with the syntax parser unless --parser keywords, and only the "
      "lines that carry them are rewritten; author, "
      "company, date and everything you typed stay. A block that does not follow its kind's "
      "template is left alone. Exit 0 refreshed (caret printed), 3 current or no block "
      "(--verbose says which), 2 error");
  AddFileOptions(*refresh, options);
  AddSelectionOptions(*refresh, options);

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    // A mistyped command or option word: name it and the nearest known one.
    if (const std::string hint = ArgumentHint(app, argc, argv); !hint.empty()) {
      std::cerr << "quillmark: " << hint << "\nRun with --help for more information.\n";
      return kExitError;
    }
    app.exit(e);
    return kExitError;
  }
  try {
    // The settings a command is about to use: their first mistake, once.
    // The buffer protocol's standard error in text form is the caret alone.
    const bool checking = check->count() > 0;
    const bool quietBuffer = options.file == "-" && options.format != "json" && !options.verbose;
    if (((comment->parsed() || header->parsed() || remove->parsed() || refresh->parsed()) &&
         !quietBuffer) ||
        batch->parsed() || checkCommand->parsed() ||
        (settings->parsed() && !checking && !options.settingsPath)) {
      const std::string path = !options.loadFrom.empty()
                                   ? options.loadFrom
                                   : SettingsFilePath(options, platform, nullptr);
      if (!path.empty()) ReportSettingsProblems(path, options.verbose, platform.Converter());
    }
    if (comment->parsed()) return RunDocumentCommand(DocumentCommand::kComment, options, platform);
    if (header->parsed()) return RunDocumentCommand(DocumentCommand::kHeader, options, platform);
    if (remove->parsed()) return RunDocumentCommand(DocumentCommand::kDelete, options, platform);
    if (refresh->parsed()) return RunDocumentCommand(DocumentCommand::kRefresh, options, platform);
    if (checkCommand->parsed())
      return RunCheck(checkOptions, SettingsOverride(options), options.verbose, platform);
    if (batch->parsed())
      return RunBatch(batchOptions, SettingsOverride(options), options.verbose, platform);
    if (about->parsed()) return RunDialogs("about", "");
    if (with && !server->parsed()) return Fail("--with is an option of lsp");
    if (with && with->empty()) return Fail("--with needs the command of a language server");
    if (server->parsed() && with)
      return lsp::RunLanguageServerWith(
          stdin, stdout, {.settingsPath = options.settings, .platform = &platform}, *with);
    if (server->parsed())
      return lsp::RunLanguageServer(stdin, stdout,
                                    {.settingsPath = options.settings, .platform = &platform});
    return RunSettingsCommand(options, platform, checking);
  } catch (const std::bad_alloc&) {
    return Fail("out of memory; nothing written");
  } catch (const std::exception& e) {
    return Fail(std::string("internal error: ") + e.what() + "; nothing written");
  }
}

}  // namespace quillmark::cli

int main(int argc, char** argv) {
  return quillmark::cli::Main(argc, argv);
}
