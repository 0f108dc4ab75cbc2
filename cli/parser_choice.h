// The choice between the keyword mode and the syntax mode of the comment
// command: --parser on the command line, else Parser= in the settings file's
// [Quillmark] section, else the syntax mode where this build holds the parser.
//
// The syntax mode is the default here because the command line sees the whole
// file: a member selected inside its class gets its class, and a qualified
// return type (std::string) is not read as a member function's class. The
// Windows add-in hands the engine the selection alone and keeps the keyword
// mode.
#pragma once

#include <memory>
#include <string>

#include "quillmark/commands.h"
#include "quillmark/engine.h"
#include "quillmark/platform.h"

namespace quillmark::cli {

// True when this build holds the syntax parser.
bool SyntaxParserBuiltIn();

// The syntax mode when this build holds the parser, else the keyword mode.
ParserMode DefaultParserMode();

// The syntax parser as the engine's field source, or null for the keyword mode.
// `option` is the --parser value ("" when not given). False, with the reason,
// when the syntax mode is asked for but cannot be had; a bad Parser= value in
// the settings file (as `commands` loaded it) is only a warning (printed), and
// the default stays.
[[nodiscard]] bool ChooseParser(const std::string& option, const Commands& commands,
                                std::unique_ptr<DeclarationFieldsSource>* source,
                                std::string* error);

// With --verbose: says that the syntax mode could not parse the selection and
// the keyword mode did the work.
void ReportSyntaxFallback(const CommandResult& result, bool verbose);

}  // namespace quillmark::cli
