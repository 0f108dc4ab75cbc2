#include "parser_choice.h"

#include <iostream>

#include "quillmark/settings.h"
#ifdef QUILLMARK_HAVE_SYNTAX
#include "quillmark/syntax_fields.h"
#endif

namespace quillmark::cli {

bool SyntaxParserBuiltIn() {
#ifdef QUILLMARK_HAVE_SYNTAX
  return true;
#else
  return false;
#endif
}

bool ChooseParser(const std::string& option, const Commands& commands,
                  std::unique_ptr<DeclarationFieldsSource>* source, std::string* error) {
  ParserMode mode = ParserMode::kKeywords;
  if (!option.empty()) {
    mode = ParseParserMode(option).value_or(ParserMode::kKeywords);
  } else {
    if (!commands.settingsOptionProblem().empty())
      std::cerr << "quillmark: warning: " << commands.settingsOptionProblem()
                << "; using the keyword mode\n";
    if (commands.SettingsChooseSyntax()) mode = ParserMode::kSyntax;
  }
  source->reset();
  if (mode == ParserMode::kKeywords) return true;
#ifdef QUILLMARK_HAVE_SYNTAX
  auto parser = std::make_unique<syntax::SyntaxFieldsSource>();
  if (!parser->ok(error)) return false;
  *source = std::move(parser);
  return true;
#else
  *error = "this quillmark was built without the syntax parser (--parser syntax)";
  return false;
#endif
}

void ReportSyntaxFallback(const CommandResult& result, bool verbose) {
  if (verbose && result.syntaxFellBack)
    std::cerr << "quillmark: the syntax parser could not take the selection apart ("
              << result.syntaxFailure << "); the keyword mode was used\n";
}

}  // namespace quillmark::cli
