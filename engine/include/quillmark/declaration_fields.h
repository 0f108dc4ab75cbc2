// The syntax mode: the fields of a declaration from a parser outside the
// engine. The engine knows only this interface, never the parser behind it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "quillmark/kinds.h"

namespace quillmark {

// A declaration taken apart, in UTF-8. How the fields fill a kind's template:
// `name` the kind's own name placeholder; `scope` the member's class
// (%ClassName% of a member function, %Interface% of a method implementation);
// `bases` joined like the keyword mode's base list (%BaseClassName%,
// %BaseInterface%); `returnType` %ReturnValue%; `parameters` ("text" or
// "text = default") and a macro's `macroParameters` %FunctionParam%, one per line.
struct DeclarationFields {
  DeclKind kind = DeclKind::None;
  std::string name;
  std::string scope;
  std::string returnType;
  std::vector<std::string> bases;
  std::vector<std::string> parameters;
  std::vector<std::string> macroParameters;
};

class DeclarationFieldsSource {
 public:
  virtual ~DeclarationFieldsSource() = default;
  // Takes the UTF-8 selection apart; false, with the reason in `why` (English),
  // when it holds nothing the parser knows.
  virtual bool Parse(std::string_view utf8Selection, DeclarationFields* out, std::string* why) = 0;
  // The same for the selection [begin, end) of the whole UTF-8 document, for hosts
  // that have it: the document tells a member selected inside its class body from
  // a free function. A source that cannot use the document parses the selection.
  virtual bool ParseInDocument(std::string_view utf8Document, std::size_t begin, std::size_t end,
                               DeclarationFields* out, std::string* why) {
    if (begin > end || end > utf8Document.size()) {
      if (why != nullptr) *why = "the selection lies outside the document";
      return false;
    }
    return Parse(utf8Document.substr(begin, end - begin), out, why);
  }
};

}  // namespace quillmark
