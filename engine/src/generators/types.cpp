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
  for (;;) {
    const int pub = FindSubstring(text, "public", segStart);
    const int prot = FindSubstring(text, "protected", segStart);
    const int priv = FindSubstring(text, "private", segStart);
    int comma = FindSubstring(text, ",", segStart);
    // A comma inside one level of template arguments does not end the item.
    const int gt = FindSubstring(text, ">", segStart);
    if (gt >= 0 && (comma < 0 || gt > comma)) {
      const int lt = FindSubstring(text, "<", segStart);
      if (lt < 0) return 0;
      if (lt < comma) comma = FindSubstring(text, ",", gt);
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
