// The syntax mode: the fields come from a parser behind DeclarationFieldsSource,
// the block from the kind's template with the keyword mode's placeholders,
// layout and caret rules.
#include "internal.h"

namespace quillmark {
namespace {

// A UTF-8 field in the context's code page; nothing when it cannot be written there.
std::optional<std::string> InPage(std::string_view utf8, const CommentContext& context) {
  if (context.page == CodePage::kUtf8) return std::string(utf8);
  if (context.converter == nullptr) return std::nullopt;
  return EncodeFromUtf8(utf8, context.page, *context.converter);
}

std::optional<JoinedItems> JoinedInPage(const std::vector<std::string>& items,
                                        const CommentContext& context) {
  std::vector<std::string> encoded;
  encoded.reserve(items.size());
  for (const std::string& item : items) {
    std::optional<std::string> value = InPage(item, context);
    if (!value) return std::nullopt;
    encoded.push_back(std::move(*value));
  }
  return JoinItems(encoded);
}

// The selection in UTF-8, whatever the document's code page.
std::optional<std::string> SelectionInUtf8(const std::string& text, const CommentContext& context) {
  if (context.page == CodePage::kUtf8) return text;
  if (context.converter == nullptr) return std::nullopt;
  return DecodeToUtf8(text, context.page, *context.converter);
}

// Asks the parser with the whole document where the host has it, so that a
// member selected inside its class gets that class; else with the selection.
bool ParseDeclaration(const std::string& selectionUtf8, const CommentContext& context,
                      DeclarationFields* fields, std::string* why) {
  if (context.hasDocument && context.selectionBegin <= context.selectionEnd &&
      context.selectionEnd <= context.document.size()) {
    if (context.page == CodePage::kUtf8)
      return context.declarations->ParseInDocument(context.document, context.selectionBegin,
                                                   context.selectionEnd, fields, why);
    if (context.converter != nullptr) {
      const std::string_view document = context.document;
      const std::size_t begin = context.selectionBegin, end = context.selectionEnd;
      const std::optional<std::string> before =
          DecodeToUtf8(document.substr(0, begin), context.page, *context.converter);
      const std::optional<std::string> selected =
          DecodeToUtf8(document.substr(begin, end - begin), context.page, *context.converter);
      const std::optional<std::string> after =
          DecodeToUtf8(document.substr(end), context.page, *context.converter);
      if (before && selected && after)
        return context.declarations->ParseInDocument(*before + *selected + *after, before->size(),
                                                     before->size() + selected->size(), fields,
                                                     why);
    }
  }
  return context.declarations->Parse(selectionUtf8, fields, why);
}

}  // namespace

bool BuildBlockFromFields(const DeclarationFields& fields, const TemplateNode& node,
                          const CommentContext& context, ExpandedBlock* block, std::string* why) {
  const auto fail = [why](const char* reason) {
    if (why != nullptr) *why = reason;
    return false;
  };
  if (detail::NamePlaceholder(fields.kind).empty())
    return fail("the parser gave no kind with a template");
  std::optional<std::string> name = InPage(fields.name, context);
  std::optional<std::string> scope = InPage(fields.scope, context);
  std::optional<std::string> returnType = InPage(fields.returnType, context);
  std::optional<JoinedItems> bases = JoinedInPage(fields.bases, context);
  std::optional<JoinedItems> params = JoinedInPage(
      fields.kind == DeclKind::MacroWithParams ? fields.macroParameters : fields.parameters,
      context);
  if (!name || !scope || !returnType || !bases || !params)
    return fail("a field cannot be written in the document's code page");
  *block = detail::ExpandKind(fields.kind,
                              {.name = std::move(*name),
                               .scope = std::move(*scope),
                               .returnType = std::move(*returnType),
                               .bases = std::move(*bases),
                               .params = std::move(*params)},
                              node, context);
  return true;
}

namespace detail {

bool ParseWithSyntax(const std::string& text, const CommentContext& context,
                     DeclarationFields* fields, std::string* why) {
  const std::optional<std::string> utf8 = SelectionInUtf8(text, context);
  if (!utf8) {
    *why = "the selection cannot be converted to UTF-8";
    return false;
  }
  return ParseDeclaration(*utf8, context, fields, why);
}

std::optional<SyntaxBlock> CommentWithSyntax(const std::string& text, const TemplateTree& tree,
                                             const CommentContext& context, std::string* why) {
  DeclarationFields fields;
  if (!ParseWithSyntax(text, context, &fields, why)) return std::nullopt;
  const TemplateNode* node = tree.FindKindNode(fields.kind);
  if (node == nullptr || fields.kind == DeclKind::FileHeader) {
    *why = "the parsed kind has no template";
    return std::nullopt;
  }
  SyntaxBlock result{fields.kind, node, {}};
  if (!BuildBlockFromFields(fields, *node, context, &result.block, why)) return std::nullopt;
  return result;
}

}  // namespace detail
}  // namespace quillmark
