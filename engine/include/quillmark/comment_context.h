// What one comment request works with besides the text and the template: the
// document's code page and converter, the date, the user, the names for
// %ProjectName% and %CurrentFileName%, and the syntax mode's parser.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

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
  // The whole document (in `page`) and the selection's byte range in it, where
  // the host has the document: the syntax mode reads there the class a member
  // is declared in and a template head above it. The Windows add-in has only
  // the selection, and leaves `hasDocument` false.
  bool hasDocument = false;
  std::string_view document;
  std::size_t selectionBegin = 0;
  std::size_t selectionEnd = 0;
};

}  // namespace quillmark
