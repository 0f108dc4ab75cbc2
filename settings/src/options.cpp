// The "[Quillmark]" section: options of this tool kept beside the templates.
#include "quillmark/settings.h"

namespace quillmark {

std::optional<ParserMode> ParseParserMode(std::string_view text) {
  if (text == "syntax") return ParserMode::kSyntax;
  if (text == "keywords") return ParserMode::kKeywords;
  return std::nullopt;
}

bool ReadQuillmarkOptions(IniFile& file, QuillmarkOptions* options, std::string* error) {
  std::string value;
  if (!file.GetValue(value, kQuillmarkSection, kParserKey)) return true;
  const std::optional<ParserMode> mode = ParseParserMode(value);
  if (!mode) {
    if (error != nullptr)
      *error = file.path + ": [Quillmark] Parser=" + value + " is neither syntax nor keywords";
    return false;
  }
  options->parser = *mode;
  return true;
}

bool ReadQuillmarkOptions(const std::string& path, const TextConverter& converter,
                          QuillmarkOptions* options, std::string* error) {
  IniFile file(path, converter);
  std::string why;
  if (!file.Read(&why)) {
    if (file.missing) return true;
    if (error != nullptr) *error = "cannot read settings file " + path + ": " + why;
    return false;
  }
  return ReadQuillmarkOptions(file, options, error);
}

}  // namespace quillmark
