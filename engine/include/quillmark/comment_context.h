// What one comment request works with besides the text and the template: the
// document's code page and converter, the date, the user, the names for
// %ProjectName% and %CurrentFileName%, and the syntax mode's parser.
#pragma once

#include <functional>
#include <string>

#include "quillmark/declaration_fields.h"
#include "quillmark/platform.h"
#include "quillmark/template_tree.h"

namespace quillmark {

struct CommentContext {
  CodePage page = CodePage::kUtf8;           // the document's
  const TextConverter* converter = nullptr;  // needed only for code page 936
  LocalDate today;
  const UserInfo* user = nullptr;
  // Asked for "%ProjectName%" and "%CurrentFileName%" (in the context's code
  // page), only for lines that hold them; empty when not given.
  std::function<std::string()> projectName;
  std::function<std::string()> documentName;
  // When set, the comment request asks it for the fields first and uses the
  // keyword mode only when it cannot parse the selection.
  DeclarationFieldsSource* declarations = nullptr;
};

}  // namespace quillmark
