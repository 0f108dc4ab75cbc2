// The syntax parser behind the engine's DeclarationFieldsSource: what the
// comment command asks in the syntax mode. One per thread, like the parser.
#pragma once

#include <string>
#include <string_view>

#include "quillmark/engine.h"
#include "quillmark/syntax.h"

namespace quillmark::syntax {

// The engine's fields of a parsed declaration: parameters as "text" or
// "text = default", the kind converted.
DeclarationFields ToFields(const ParsedDeclaration& declaration);

class SyntaxFieldsSource final : public DeclarationFieldsSource {
 public:
  // False (with the reason) when the grammar cannot be loaded.
  bool ok(std::string* why) const;
  bool Parse(std::string_view utf8Selection, DeclarationFields* out, std::string* why) override;
  bool ParseInDocument(std::string_view utf8Document, std::size_t begin, std::size_t end,
                       DeclarationFields* out, std::string* why) override;

 private:
  DeclarationParser parser_;
};

}  // namespace quillmark::syntax
