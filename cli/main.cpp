// quillmark: the Linux host of the commands. Arguments in, one command run
// against the file, exit status out.
//
// Exit status: 0 done; 1 the command showed a message (the file is untouched);
// 2 usage, settings, I/O or internal error; 3 nothing in the selection was
// recognised, or its kind's template is empty.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>
#include <new>
#include <regex>

#include "quillmark/commands.h"
#include "quillmark/memory_editor.h"
#include "quillmark/posix_platform.h"
#include "quillmark/settings.h"
#include "quillmark/version.h"
#include "source_file.h"

namespace quillmark::cli {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitMessage = 1;
constexpr int kExitError = 2;
constexpr int kExitNothing = 3;

struct Options {
  std::string file;
  std::string output;
  std::string encoding = "auto";
  std::optional<int> line;
  std::string lines;
  std::string select;
  std::string settings;
  bool verbose = false;
  bool settingsPath = false;
  std::string loadFrom;
  std::string saveTo;
};

// Messages the IDE would show in a box go to standard error as they are.
class ConsoleUserInterface final : public UserInterface {
 public:
  void ShowMessage(std::string_view text) override {
    std::cerr << text << '\n';
    ++shown_;
  }
  void RunSettingsDialog(TemplateTree&) override {}
  void RunAboutDialog() override {}
  void ReportError(std::string_view text) override {
    std::cerr << "quillmark: " << text << '\n';
    ++errors_;
  }
  int shown() const { return shown_; }
  int errors() const { return errors_; }

 private:
  int shown_ = 0;
  int errors_ = 0;
};

int Fail(const std::string& message) {
  std::cerr << "quillmark: " << message << '\n';
  return kExitError;
}

std::optional<std::string> SettingsOverride(const Options& options) {
  if (options.settings.empty()) return std::nullopt;
  return options.settings;
}

// The selection the options ask for, in the document's byte columns.
std::optional<std::pair<TextPosition, TextPosition>> ParseSelection(const Options& options,
                                                                    const MemoryDocument& doc,
                                                                    std::string& error) {
  const int count = doc.LineCount();
  const auto lineEnd = [&doc](int line) {
    return TextPosition{line, static_cast<int>(doc.LineText(line).size()) + 1};
  };
  const auto checkLine = [&](int line) {
    if (line >= 1 && line <= count) return true;
    error = "line " + std::to_string(line) + " is outside the document (it has " +
            std::to_string(count) + " lines)";
    return false;
  };
  if (options.line) {
    if (!checkLine(*options.line)) return std::nullopt;
    return std::pair{lineEnd(*options.line), TextPosition{*options.line, 1}};
  }
  std::smatch m;
  if (!options.lines.empty()) {
    if (!std::regex_match(options.lines, m, std::regex(R"((\d{1,9})-(\d{1,9}))"))) {
      error = "--lines takes N-M, for example 3-7";
      return std::nullopt;
    }
    const int first = std::stoi(m[1]), last = std::stoi(m[2]);
    if (!checkLine(first) || !checkLine(last)) return std::nullopt;
    if (first > last) {
      error = "--lines " + options.lines + ": the first line comes after the last";
      return std::nullopt;
    }
    return std::pair{lineEnd(last), TextPosition{first, 1}};
  }
  if (!std::regex_match(options.select, m,
                        std::regex(R"((\d{1,9}):(\d{1,9})-(\d{1,9}):(\d{1,9}))"))) {
    error = "--select takes L1:C1-L2:C2, for example 3:1-5:10";
    return std::nullopt;
  }
  TextPosition ends[2];
  for (int i = 0; i < 2; ++i) {
    const int line = std::stoi(m[1 + 2 * i]), column = std::stoi(m[2 + 2 * i]);
    if (!checkLine(line)) return std::nullopt;
    const std::optional<int> byteColumn =
        CharToByteColumn(doc.LineText(line), column, doc.GetCodePage());
    if (!byteColumn) {
      error = "column " + std::to_string(column) + " is outside line " + std::to_string(line);
      return std::nullopt;
    }
    ends[i] = {line, *byteColumn};
  }
  return std::pair{ends[0], ends[1]};
}

// A UTF-8 file or project name in the document's code page; a character the
// page cannot hold becomes "?", so a header never mixes two encodings.
std::string EncodedName(std::string_view name, CodePage page, const Platform& platform,
                        bool& replaced) {
  return EncodeLossy(name, page, platform.Converter(), &replaced);
}

// Builds the command object on the settings the options name; false, with
// the reason printed, when they cannot be used.
bool SettingsUsable(const Commands& commands) {
  if (commands.SettingsLoaded()) return true;
  Fail("cannot read settings file " + commands.settingsError());
  return false;
}

void SaveSettingsIfChanged(Commands& commands) {
  std::string error;
  if (!commands.SaveSettings(&error)) std::cerr << "quillmark: warning: " << error << '\n';
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

enum class DocumentCommand { kComment, kHeader, kDelete };

int RunDocumentCommand(DocumentCommand command, const Options& options, const Platform& platform) {
  const EncodingChoice choice = options.encoding == "utf-8" ? EncodingChoice::kUtf8
                                : options.encoding == "gbk" ? EncodingChoice::kGbk
                                                            : EncodingChoice::kAuto;
  std::string error;
  std::optional<SourceFile> file = LoadSourceFile(options.file, choice, error);
  if (!file) return Fail(error);

  bool replacedInNames = false;
  MemoryDocument document(
      std::move(file->text),
      EncodedName(BaseName(file->path), file->codePage, platform, replacedInNames), file->codePage);
  if (command != DocumentCommand::kHeader) {
    const auto selection = ParseSelection(options, document, error);
    if (!selection) return Fail(error);
    document.Select(selection->first, selection->second);
  }
  MemoryEditor editor;
  editor.Open(&document);
  if (std::optional<std::string> project = FindProjectName(file->path))
    editor.SetProjectName(EncodedName(*project, file->codePage, platform, replacedInNames));

  ConsoleUserInterface ui;
  Commands commands(ui, platform, SettingsOverride(options));
  if (!SettingsUsable(commands)) return kExitError;
  commands.SetApplicationObject(&editor);

  CommandResult result;
  switch (command) {
    case DocumentCommand::kComment:
      result = commands.QuillmarkClassOrFunction();
      break;
    case DocumentCommand::kHeader:
      result = commands.CommentFileNote();
      break;
    case DocumentCommand::kDelete:
      result = commands.CommentDeleteText();
      break;
  }
  SaveSettingsIfChanged(commands);
  if (ui.errors() > 0) return kExitError;
  if (ui.shown() > 0) return kExitMessage;
  if (!document.Modified()) {
    if (options.verbose) {
      if (result.outcome == CommentOutcome::kEmptyTemplate) {
        std::cerr << "quillmark: the selection is a " << KindName(result.kind)
                  << ", but its template in " << commands.templateTree().profilePath
                  << " is empty; nothing inserted\n";
      } else {
        std::cerr << "quillmark: the selection holds no declaration quillmark recognises "
                     "(class, struct, union, enum, function, macro or interface); nothing done\n";
      }
    }
    return kExitNothing;
  }
  if (options.verbose &&
      (result.replacedCharacters || (replacedInNames && command == DocumentCommand::kHeader)))
    std::cerr << "quillmark: some characters cannot be written in this file's encoding (GBK) "
                 "and were written as \"?\"\n";
  const std::string target = options.output.empty() ? file->path : options.output;
  const std::string withBom = file->bom ? SourceBytes(*file, document.Text()) : std::string();
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
  return file.Read() && !HoldsSettings(file);
}

int RunSettingsCommand(const Options& options, const Platform& platform) {
  if (options.settingsPath || (options.loadFrom.empty() && options.saveTo.empty())) {
    std::string path = options.settings;
    std::string error;
    if (path.empty() && !GetProfilePath(platform, "Comment.ini", path, &error)) return Fail(error);
    std::cout << path << '\n';
    if (!options.settingsPath)
      std::cerr << "quillmark: the settings dialog is not built into this command line; "
                   "edit the file above, or use --load FILE / --save FILE\n";
    return kExitOk;
  }
  ConsoleUserInterface ui;
  Commands commands(ui, platform, SettingsOverride(options));
  if (!SettingsUsable(commands)) return kExitError;
  TemplateTree& tree = commands.templateTree();
  const TextConverter& converter = platform.Converter();
  if (!options.loadFrom.empty()) {
    if (HoldsNoSettings(options.loadFrom, platform))
      return Fail(options.loadFrom + " holds no settings (no [section] in it); nothing loaded");
    if (!LoadSettings(tree, options.loadFrom, converter, false, nullptr)) {
      LoadSettings(tree, tree.profilePath, converter, true, nullptr);
      ui.ShowMessage(messages::kLoadFailed);
      return kExitMessage;
    }
    std::string error;
    if (!commands.SaveSettings(&error)) return Fail(error);
    return kExitOk;
  }
  const std::string path = WithIniExtension(options.saveTo);
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
        if (!std::regex_match(text, std::regex(R"(\d{1,9})")) || std::stoi(text) < 1)
          return option + " takes a line number from 1";
        return {};
      },
      "N");
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
  command.add_option("FILE", options.file, "The C or C++ source file")->required();
  command.add_option("--output", options.output,
                     "Write the result here, or to standard output with -; FILE stays untouched "
                     "(the caret then goes to standard error)");
  command.add_option("--encoding", options.encoding, "auto (default), utf-8 or gbk")
      ->check(CLI::IsMember({"auto", "utf-8", "gbk"}));
}

}  // namespace

int Main(int argc, char** argv) {
  const PosixPlatform platform;
  Options options;
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
                 "Use this settings file (created from the defaults when missing)");
  app.add_flag("--verbose,-v", options.verbose, "Explain in English when nothing was done");

  CLI::App* comment = app.add_subcommand("comment", "Comment the selected declaration");
  AddFileOptions(*comment, options);
  AddSelectionOptions(*comment, options);
  CLI::App* header = app.add_subcommand("header", "Insert a file header at the top");
  AddFileOptions(*header, options);
  CLI::App* remove =
      app.add_subcommand("delete", "Mark the selected lines //DELETE!, or restore them");
  AddFileOptions(*remove, options);
  AddSelectionOptions(*remove, options);
  CLI::App* settings = app.add_subcommand("settings", "Show, load or save the settings file");
  auto* path = settings->add_flag("--path", options.settingsPath, "Print the settings file's path");
  auto* load = settings->add_option("--load", options.loadFrom, "Load the settings from FILE");
  auto* save = settings->add_option("--save", options.saveTo, "Save the settings to FILE(.ini)");
  path->excludes(load)->excludes(save);
  load->excludes(save);

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kExitError;
  }
  try {
    if (comment->parsed()) return RunDocumentCommand(DocumentCommand::kComment, options, platform);
    if (header->parsed()) return RunDocumentCommand(DocumentCommand::kHeader, options, platform);
    if (remove->parsed()) return RunDocumentCommand(DocumentCommand::kDelete, options, platform);
    return RunSettingsCommand(options, platform);
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
