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

ParserMode DefaultParserMode() {
  return SyntaxParserBuiltIn() ? ParserMode::kSyntax : ParserMode::kKeywords;
}

bool ChooseParser(const std::string& option, const Commands& commands,
                  std::unique_ptr<DeclarationFieldsSource>* source, std::string* error) {
  ParserMode mode = DefaultParserMode();
  if (!option.empty()) {
    mode = ParseParserMode(option).value_or(mode);
  } else {
    if (!commands.settingsOptionProblem().empty())
      std::cerr << "quillmark: warning: " << commands.settingsOptionProblem() << "; using the "
                << (mode == ParserMode::kSyntax ? "syntax" : "keyword") << " mode\n";
    mode = commands.SettingsParser().value_or(mode);
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
