#include "quillmark/syntax_fields.h"

namespace quillmark::syntax {

DeclarationFields ToFields(const ParsedDeclaration& declaration) {
  DeclarationFields fields;
  fields.kind = declaration.kind;
  fields.name = declaration.name;
  fields.scope = declaration.scope;
  fields.returnType = declaration.returnType;
  fields.bases = declaration.bases;
  fields.parameters.reserve(declaration.parameters.size());
  for (const Parameter& parameter : declaration.parameters)
    fields.parameters.push_back(FormatParameter(parameter));
  fields.macroParameters = declaration.macroParameters;
  return fields;
}

bool SyntaxFieldsSource::ok(std::string* why) const {
  if (parser_.ok()) return true;
  if (why != nullptr) *why = "the C++ grammar cannot be loaded";
  return false;
}

bool SyntaxFieldsSource::Parse(std::string_view utf8Selection, DeclarationFields* out,
                               std::string* why) {
  ParsedDeclaration parsed;
  if (!parser_.ParseDeclaration(ParseInput{utf8Selection, {}, 0}, &parsed, why)) return false;
  *out = ToFields(parsed);
  return true;
}

bool SyntaxFieldsSource::ParseInDocument(std::string_view utf8Document, std::size_t begin,
                                         std::size_t end, DeclarationFields* out,
                                         std::string* why) {
  ParsedDeclaration parsed;
  if (!parser_.ParseSelected(utf8Document, begin, end, &parsed, why)) return false;
  *out = ToFields(parsed);
  return true;
}

}  // namespace quillmark::syntax
