// The main road: a settings text, a document in either code page and a
// selection, through the same command object and editor the command line
// uses, for the comment and the file-header commands. Input layout:
//   byte 0: bit 0 the document's code page (1: 936), bit 1 the command,
//           bit 2 the syntax mode (when built with the syntax parser)
//   bytes 1-4: anchor line, anchor column, caret line, caret column
//   then the settings text, a NUL, the document.
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "quillmark/commands.h"
#include "quillmark/memory_editor.h"
#include "quillmark/posix_platform.h"
#ifdef QUILLMARK_HAVE_SYNTAX
#include "quillmark/syntax_fields.h"
#endif

namespace {

using namespace quillmark;

class FuzzPlatform final : public Platform {
 public:
  const TextConverter& Converter() const override { return converter_; }
  LocalDate Today() const override { return {2002, 9, 17}; }
  std::optional<std::string> LogonName() const override { return "fuzz"; }
  std::optional<std::string> ProfileDirectory() const override { return std::nullopt; }

 private:
  IconvTextConverter converter_;
};

class SilentUi final : public UserInterface {
 public:
  void ShowMessage(std::string_view) override {}
  void RunSettingsDialog(TemplateTree&) override {}
  void RunAboutDialog() override {}
  // An exception inside a command is a bug the fuzzer should see.
  void ReportError(std::string_view) override { std::abort(); }
};

std::string SettingsPath() {
  return "/tmp/quillmark-comment-fuzz-" + std::to_string(::getpid()) + ".ini";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 6) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const bool gbk = (data[0] & 1) != 0;
  const bool header = (data[0] & 2) != 0;
  const TextPosition anchor{data[1] % 16 + 1, data[2] % 64 + 1};
  const TextPosition caret{data[3] % 16 + 1, data[4] % 64 + 1};
  const std::string_view rest = input.substr(5);
  const std::size_t nul = rest.find('\0');
  if (nul == std::string_view::npos) return 0;

  const std::string path = SettingsPath();
  if (FILE* file = std::fopen(path.c_str(), "wb")) {
    std::fwrite(rest.data(), 1, nul, file);
    std::fclose(file);
  }
  const FuzzPlatform platform;
  SilentUi ui;
  Commands commands(ui, platform, path);
  if (!commands.SettingsLoaded()) return 0;
  MemoryDocument document(std::string(rest.substr(nul + 1)), "f.c",
                          gbk ? CodePage::kGbk : CodePage::kUtf8);
  const std::string before = document.Text();
  MemoryEditor editor;
  editor.Open(&document);
  commands.SetApplicationObject(&editor);
#ifdef QUILLMARK_HAVE_SYNTAX
  syntax::SyntaxFieldsSource syntaxSource;
  if ((data[0] & 4) != 0) commands.SetDeclarationSource(&syntaxSource);
#endif
  document.Select(anchor, caret);
  // The runner on the whole text, before the editor road changes it.
  const TextRun run = commands.Run(header ? EngineCommand::kHeader : EngineCommand::kComment,
                                   {before, document.GetCodePage(), &document.Lines(),
                                    document.Anchor(), document.Caret(), "f.c", std::nullopt});
  const CommandResult result =
      header ? commands.CommentFileNote() : commands.QuillmarkClassOrFunction();
  // Both roads end alike: the same bytes and the same caret.
  if (ApplyEdits(before, run.result.edits) != document.Text()) std::abort();
  if (run.result.caret != document.Caret()) std::abort();
  // A comment or a header only ever inserts: every byte of the document stays.
  if (result.outcome != CommentOutcome::kInserted && document.Text() != before) std::abort();
  if (document.Text().size() < before.size()) std::abort();
  return 0;
}
