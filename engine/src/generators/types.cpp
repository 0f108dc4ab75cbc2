// Class, struct, union and enum heads.
#include "../internal.h"

namespace quillmark {
namespace {

using detail::Mid;
using detail::Rest;

// Cut at the body, then no white space and no export decorations at all: a head
// written with spaces is parsed with its words run together.
void NormaliseTypeHead(std::string& text, TextSelection& selection) {
  PrepareInsertionPoint(selection);
  TrimDeclaration(text);
  RemoveWhitespace(text);
  RemoveExportMacros(text);
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
  ForwardFinder(const std::string& text, std::string_view literal)
      : text_(text), literal_(literal) {}
  int Find(int from) {
    if (from < searchedFrom_ || (found_ >= 0 && found_ < from)) {
      searchedFrom_ = from;
      found_ = FindSubstring(text_, literal_, from);
    }
    return found_;
  }

 private:
  const std::string& text_;
  std::string_view literal_;
  int searchedFrom_ = 0x7FFFFFFF;
  int found_ = -1;
};

int CommentNamedType(std::string& text, TextSelection& selection, const TemplateNode& node,
                     std::string_view keyword, std::string_view placeholder) {
  NormaliseTypeHead(text, selection);
  const int start = FindSubstring(text, keyword) + static_cast<int>(keyword.size());
  if (start >= static_cast<int>(text.size())) return 0;
  const ExpansionStep steps[] = {{placeholder, Rest(text, start)}};
  text.clear();
  return detail::ExpandAndInsert(selection, node, steps);
}

}  // namespace

int ParseClassHead(bool isClass, const std::string& text, std::string& name,
                   std::vector<std::string>& bases) {
  const std::string_view keyword = isClass ? "class" : "struct";
  const int start = FindSubstring(text, keyword) + static_cast<int>(keyword.size());
  const int colon = FindSubstring(text, ":", start);
  if (colon < 0) {
    // A forward declaration keeps its semicolon in the name.
    name = Rest(text, start);
    return 1;
  }
  if (colon - start <= 0) return 0;
  name = Mid(text, start, colon - start);
  int segStart = colon + 1;
  ForwardFinder publics(text, "public"), protecteds(text, "protected"), privates(text, "private"),
      commas(text, ","), commasAfterGt(text, ","), gts(text, ">"), lts(text, "<");
  for (;;) {
    const int pub = publics.Find(segStart);
    const int prot = protecteds.Find(segStart);
    const int priv = privates.Find(segStart);
    int comma = commas.Find(segStart);
    // A comma inside one level of template arguments does not end the item.
    const int gt = gts.Find(segStart);
    if (gt >= 0 && (comma < 0 || gt > comma)) {
      const int lt = lts.Find(segStart);
      if (lt < 0) return 0;
      if (lt < comma) comma = commasAfterGt.Find(gt);
    }
    if (comma < 0) {
      std::string item = Rest(text, BaseItemStart(segStart, pub, prot, priv, -1));
      if (!item.empty()) bases.push_back(std::move(item));
      return 1;
    }
    const int itemStart = BaseItemStart(segStart, pub, prot, priv, comma);
    std::string item = Mid(text, itemStart, comma - itemStart);
    if (!item.empty()) bases.push_back(std::move(item));
    segStart = comma + 1;
  }
}

int CommentClassOrStruct(bool isClass, std::string& text, TextSelection& selection,
                         const TemplateNode& node) {
  NormaliseTypeHead(text, selection);
  std::string name;
  std::vector<std::string> bases;
  if (ParseClassHead(isClass, text, name, bases) == 0) return 0;
  JoinedItems joined = JoinItems(bases);
  const ExpansionStep steps[] = {
      {isClass ? "%ClassName%" : "%StructName%", std::move(name)},
      {"%BaseClassName%", std::move(joined.value), joined.extraLines},
  };
  text.clear();
  return detail::ExpandAndInsert(selection, node, steps);
}

int CommentClass(std::string& text, TextSelection& selection, const TemplateNode& node) {
  return CommentClassOrStruct(true, text, selection, node);
}

int CommentStruct(std::string& text, TextSelection& selection, const TemplateNode& node) {
  return CommentClassOrStruct(false, text, selection, node);
}

int CommentUnion(std::string& text, TextSelection& selection, const TemplateNode& node) {
  return CommentNamedType(text, selection, node, "union", "%UnionName%");
}

int CommentEnum(std::string& text, TextSelection& selection, const TemplateNode& node) {
  return CommentNamedType(text, selection, node, "enum", "%EnumName%");
}

}  // namespace quillmark
