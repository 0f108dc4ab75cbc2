// quillmark: the Linux host of the commands. Arguments in, one command run
// against the file, exit status out.
//
// Exit status: 0 done; 1 the command showed a message (the file is untouched);
// 2 usage, settings or I/O error; 3 nothing in the selection was recognised.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>
#include <regex>

#include "buffer_protocol.h"
#include "quillmark/host.h"
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
  std::string assumeFilename;
  std::string format = "text";
  std::string columns = "chars";
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
  int shown() const { return shown_; }

 private:
  int shown_ = 0;
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
    const std::optional<int> byteColumn = CharToByteColumn(doc.LineText(line), column);
    if (!byteColumn) {
      error = "column " + std::to_string(column) + " is outside line " + std::to_string(line);
      return std::nullopt;
    }
    ends[i] = {line, *byteColumn};
  }
  return std::pair{ends[0], ends[1]};
}

std::string EncodedName(std::string_view name, CodePage page) {
  return EncodeFromUtf8(name, page).value_or(std::string(name));
}

enum class DocumentCommand { kComment, kHeader, kDelete };

int RunDocumentCommand(DocumentCommand command, const Options& options) {
  const EncodingChoice choice = options.encoding == "utf-8" ? EncodingChoice::kUtf8
                                : options.encoding == "gbk" ? EncodingChoice::kGbk
                                                            : EncodingChoice::kAuto;
  if (options.file == "-") {
    if (!options.output.empty())
      return Fail("with FILE - the result goes to standard output; --output does not go with it");
    const BufferCommand buffer = command == DocumentCommand::kHeader   ? BufferCommand::kHeader
                                 : command == DocumentCommand::kDelete ? BufferCommand::kDelete
                                                                       : BufferCommand::kComment;
    return RunBufferCommand(
        {buffer, options.assumeFilename, choice,
         options.columns == "bytes" ? ColumnUnit::kBytes : ColumnUnit::kCharacters,
         options.format == "json", options.verbose, options.line, options.lines, options.select,
         SettingsOverride(options)});
  }
  if (options.format == "json" || options.columns == "bytes" || !options.assumeFilename.empty())
    return Fail("--format, --columns and --assume-filename go with FILE - (the buffer protocol)");
  std::string error;
  std::optional<SourceFile> file = LoadSourceFile(options.file, choice, error);
  if (!file) return Fail(error);
  SetCodePage(file->codePage);

  MemoryDocument document(std::move(file->text), EncodedName(BaseName(file->path), file->codePage));
  if (command != DocumentCommand::kHeader) {
    const auto selection = ParseSelection(options, document, error);
    if (!selection) return Fail(error);
    document.Select(selection->first, selection->second);
  }
  MemoryEditor editor;
  editor.Open(&document);
  if (std::optional<std::string> project = FindProjectName(file->path))
    editor.SetProjectName(EncodedName(*project, file->codePage));

  ConsoleUserInterface ui;
  Commands commands(ui, SettingsOverride(options));
  if (commands.profileError() && commands.profileError()->unreadable)
    return Fail("cannot read settings file " + commands.profileError()->message);
  if (commands.profileError() && options.verbose)
    std::cerr << "quillmark: settings not saved: " << commands.profileError()->message << '\n';
  commands.SetApplicationObject(&editor);

  CommentOutcome outcome = CommentOutcome::kInserted;
  switch (command) {
    case DocumentCommand::kComment:
      outcome = commands.QuillmarkClassOrFunction();
      break;
    case DocumentCommand::kHeader:
      outcome = commands.CommentFileNote();
      break;
    case DocumentCommand::kDelete:
      commands.CommentDeleteText();
      break;
  }
  if (ui.shown() > 0) return kExitMessage;
  if (!document.Modified()) {
    if (options.verbose && outcome == CommentOutcome::kNoKind)
      std::cerr << "quillmark: the selection holds no declaration quillmark recognises "
                   "(class, struct, union, enum, function, macro or interface); nothing done\n";
    return kExitNothing;
  }
  const std::string target = options.output.empty() ? file->path : options.output;
  const std::string withBom = file->bom ? SourceBytes(*file, document.Text()) : std::string();
  const std::string_view bytes = file->bom ? std::string_view(withBom) : document.Text();
  if (!ReplaceFileAtomically(target, bytes, &error))
    return Fail("cannot write " + target + ": " + error);
  const TextPosition caret = document.Caret();
  std::cout << target << ':' << caret.line << ':'
            << ByteToCharColumn(document.LineText(caret.line), caret.column) << '\n';
  return kExitOk;
}

int RunSettingsCommand(const Options& options) {
  SetCodePage(CodePage::kUtf8);
  if (options.settingsPath || (options.loadFrom.empty() && options.saveTo.empty())) {
    std::cout << (options.settings.empty() ? GetProfilePath("Comment.ini") : options.settings)
              << '\n';
    if (!options.settingsPath)
      std::cerr << "quillmark: the settings dialog is not built into this command line; "
                   "edit the file above, or use --load FILE / --save FILE\n";
    return kExitOk;
  }
  ConsoleUserInterface ui;
  Commands commands(ui, SettingsOverride(options));
  if (commands.profileError() && commands.profileError()->unreadable)
    return Fail("cannot read settings file " + commands.profileError()->message);
  TemplateTree& tree = commands.templateTree();
  if (!options.loadFrom.empty()) {
    if (!LoadSettings(tree, options.loadFrom, false)) {
      LoadSettings(tree, tree.profilePath, true);
      ui.ShowMessage(messages::kLoadFailed);
      return kExitMessage;
    }
    return kExitOk;
  }
  const std::string path = WithIniExtension(options.saveTo);
  if (!SaveSettingsAs(tree, path)) {
    ui.ShowMessage(messages::kSaveFailed);
    return kExitMessage;
  }
  std::cout << path << '\n';
  return kExitOk;
}

void AddSelectionOptions(CLI::App& command, Options& options) {
  auto* line =
      command.add_option("--line", options.line, "Select line N whole, caret at its start")
          ->check(CLI::PositiveNumber);
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
  command.add_option("--output", options.output, "Write the result here; FILE stays untouched");
  command.add_option("--encoding", options.encoding, "auto (default), utf-8 or gbk")
      ->check(CLI::IsMember({"auto", "utf-8", "gbk"}));
  command.add_option("--assume-filename", options.assumeFilename,
                     "With FILE -: the buffer's file name, for %CurrentFileName% and the project");
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

}  // namespace

int Main(int argc, char** argv) {
  InstallPosixPlatform();
  Options options;
  CLI::App app{
      "quillmark (墨翎): structured Chinese comment blocks for C and C++ source.\n"
      "Exit status: 0 done, 1 a message was shown, 2 error, 3 nothing recognised."};
  app.set_version_flag("--version", std::string("quillmark 1.5.0.1"));
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
    if (comment->parsed()) return RunDocumentCommand(DocumentCommand::kComment, options);
    if (header->parsed()) return RunDocumentCommand(DocumentCommand::kHeader, options);
    if (remove->parsed()) return RunDocumentCommand(DocumentCommand::kDelete, options);
    return RunSettingsCommand(options);
  } catch (const std::exception& e) {
    return Fail(e.what());
  }
}

}  // namespace quillmark::cli

int main(int argc, char** argv) {
  return quillmark::cli::Main(argc, argv);
}
