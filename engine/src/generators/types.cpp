// Class, struct, union and enum heads.
#include "../internal.h"

namespace quillmark {
namespace {

using detail::Mid;
using detail::Rest;

// Cut at the body, then no white space and no export decorations at all: a head
// written with spaces is parsed with its words run together.
void NormaliseTypeHead(std::string& text, CodePage page) {
  TrimDeclaration(text, page);
  RemoveWhitespace(text);
  RemoveExportMacros(text, page);
}

// Where a base item starts: after the strongest access keyword found before
// `limit` (-1: anywhere), "public" over "protected" over "private".
int BaseItemStart(int segStart, int pub, int prot, int priv, int limit) {
  const auto before = [limit](int pos) { return pos >= 0 && (limit < 0 || pos < limit); };
  if (before(pub)) return pub + 6;
  if (before(prot)) return prot + 9;
  if (before(priv)) return priv + 7;
  return segStart;
}

// Forward searches for one literal whose start never moves back: an
// occurrence found earlier (or its absence) answers every later search it
// covers, so a whole base list costs one pass per literal.
class ForwardFinder {
 public:
  ForwardFinder(const std::string& text, std::string_view literal, CodePage page)
      : text_(text), literal_(literal), page_(page) {}
  int Find(int from) {
    if (from < searchedFrom_ || (found_ >= 0 && found_ < from)) {
      searchedFrom_ = from;
      found_ = FindSubstring(text_, literal_, page_, from);
    }
    return found_;
  }

 private:
  const std::string& text_;
  std::string_view literal_;
  CodePage page_;
  int searchedFrom_ = 0x7FFFFFFF;
  int found_ = -1;
};

bool CommentNamedType(std::string& text, const TemplateNode& node, const CommentContext& context,
                      ExpandedBlock* block, std::string_view keyword, DeclKind kind) {
  const CodePage page = context.page;
  NormaliseTypeHead(text, page);
  const int start = FindSubstring(text, keyword, page) + static_cast<int>(keyword.size());
  if (start >= static_cast<int>(text.size())) return false;
  detail::KindValues values{.name = Rest(text, start)};
  text.clear();
  return detail::ExpandKindInto(kind, values, node, context, block);
}

}  // namespace

bool ParseClassHead(bool isClass, const std::string& text, std::string& name,
                    std::vector<std::string>& bases, CodePage page) {
  const std::string_view keyword = isClass ? "class" : "struct";
  const int start = FindSubstring(text, keyword, page) + static_cast<int>(keyword.size());
  const int colon = FindSubstring(text, ":", page, start);
  if (colon < 0) {
    // A forward declaration keeps its semicolon in the name.
    name = Rest(text, start);
    return true;
  }
  if (colon - start <= 0) return false;
  name = Mid(text, start, colon - start);
  int segStart = colon + 1;
  ForwardFinder publics(text, "public", page), protecteds(text, "protected", page),
      privates(text, "private", page), commas(text, ",", page), commasAfterGt(text, ",", page),
      gts(text, ">", page), lts(text, "<", page);
  for (;;) {
    const int pub = publics.Find(segStart);
    const int prot = protecteds.Find(segStart);
    const int priv = privates.Find(segStart);
    int comma = commas.Find(segStart);
    // A comma inside one level of template arguments does not end the item.
    const int gt = gts.Find(segStart);
    if (gt >= 0 && (comma < 0 || gt > comma)) {
      const int lt = lts.Find(segStart);
      if (lt < 0) return false;
      if (lt < comma) comma = commasAfterGt.Find(gt);
    }
    if (comma < 0) {
      std::string item = Rest(text, BaseItemStart(segStart, pub, prot, priv, -1));
      if (!item.empty()) bases.push_back(std::move(item));
      return true;
    }
    const int itemStart = BaseItemStart(segStart, pub, prot, priv, comma);
    std::string item = Mid(text, itemStart, comma - itemStart);
    if (!item.empty()) bases.push_back(std::move(item));
    segStart = comma + 1;
  }
}

bool CommentClassOrStruct(bool isClass, std::string& text, const TemplateNode& node,
                          const CommentContext& context, ExpandedBlock* block) {
  const CodePage page = context.page;
  NormaliseTypeHead(text, page);
  std::string name;
  std::vector<std::string> bases;
  if (!ParseClassHead(isClass, text, name, bases, page)) return false;
  detail::KindValues values{.name = std::move(name), .bases = JoinItems(bases)};
  text.clear();
  return detail::ExpandKindInto(isClass ? DeclKind::Class : DeclKind::Struct, values, node, context,
                                block);
}

bool CommentClass(std::string& text, const TemplateNode& node, const CommentContext& context,
                  ExpandedBlock* block) {
  return CommentClassOrStruct(true, text, node, context, block);
}

bool CommentStruct(std::string& text, const TemplateNode& node, const CommentContext& context,
                   ExpandedBlock* block) {
  return CommentClassOrStruct(false, text, node, context, block);
}

bool CommentUnion(std::string& text, const TemplateNode& node, const CommentContext& context,
                  ExpandedBlock* block) {
  return CommentNamedType(text, node, context, block, "union", DeclKind::Union);
}

bool CommentEnum(std::string& text, const TemplateNode& node, const CommentContext& context,
                 ExpandedBlock* block) {
  return CommentNamedType(text, node, context, block, "enum", DeclKind::Enum);
}

}  // namespace quillmark
