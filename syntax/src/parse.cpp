// Reading declarations off the grammar's syntax tree.
#include <tree_sitter/api.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "prepass.h"
#include "quillmark/syntax.h"

extern "C" const TSLanguage* tree_sitter_cpp(void);

namespace quillmark::syntax {
namespace {

using detail::Prepared;

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// Each run of white space becomes one blank; none at either end.
std::string Clean(std::string_view text) {
  return detail::CollapseBlanks(text);
}

// The runtime Debian ships (tree-sitter 0.20.7) keeps only the low 16 bits of
// the child count of an error node it builds from 65,536 or more parse-stack
// entries, as a long unfinished chain or nesting ("class A {" repeated) gives.
// The node's size then counts only the children kept, so the root no longer
// spans the text's tokens; deleting such a tree frees a pointer into the
// middle of a block.
bool TreeIsDamaged(TSTree* tree, std::string_view text) {
  const TSNode root = ts_tree_root_node(tree);
  if (!ts_node_has_error(root)) return false;
  std::size_t first = 0, last = text.size();
  while (first < last && IsSpace(text[first])) ++first;
  while (last > first && IsSpace(text[last - 1])) --last;
  return first < last && (ts_node_start_byte(root) > first || ts_node_end_byte(root) < last);
}

constexpr char kTooDeep[] = "the text nests or chains too deeply for the C++ parser";

// The same damaged node can be built and released inside one parse, in a
// stack version the parser drops (330 KB of junk did it). So every block the
// runtime allocates carries a header, and a free of a pointer without one (the
// middle of a block) is passed over: that memory is left to the process instead
// of corrupting the heap. Installed once, before the first parser exists.
constexpr std::uint64_t kBlockMark = 0x51554d4b54534b31;  // "QMKTSK1"
struct alignas(16) BlockHeader {
  std::uint64_t mark;
  std::uint64_t size;
};

BlockHeader* HeaderOf(void* block) {
  return static_cast<BlockHeader*>(block) - 1;
}

void* MarkedMalloc(std::size_t size) {
  auto* header = static_cast<BlockHeader*>(std::malloc(sizeof(BlockHeader) + size));
  if (header == nullptr) std::abort();  // as the runtime's own allocator does
  *header = {kBlockMark, size};
  return header + 1;
}

void* MarkedCalloc(std::size_t count, std::size_t size) {
  if (size != 0 && count > (SIZE_MAX - sizeof(BlockHeader)) / size) std::abort();
  void* block = MarkedMalloc(count * size);
  std::memset(block, 0, count * size);
  return block;
}

void MarkedFree(void* block) {
  if (block == nullptr || HeaderOf(block)->mark != kBlockMark) return;
  HeaderOf(block)->mark = 0;
  std::free(HeaderOf(block));
}

void* MarkedRealloc(void* block, std::size_t size) {
  if (block == nullptr) return MarkedMalloc(size);
  if (HeaderOf(block)->mark != kBlockMark) std::abort();  // never seen; not ours to move
  auto* header =
      static_cast<BlockHeader*>(std::realloc(HeaderOf(block), sizeof(BlockHeader) + size));
  if (header == nullptr) std::abort();
  header->size = size;
  return header + 1;
}

void UseMarkedBlocks() {
  static std::once_flag once;
  std::call_once(once,
                 [] { ts_set_allocator(MarkedMalloc, MarkedCalloc, MarkedRealloc, MarkedFree); });
}

// Scopes deeper than this are not taken apart: a file nesting brackets,
// namespaces, classes or #if blocks further is refused as a whole. The parser's
// error recovery takes time quadratic in the depth of unclosed brackets (8,000
// braces: 8 s; 8,000 parentheses: 2.4 s), so they are counted before it runs.
constexpr std::size_t kMaxNesting = 1000;

// The end of the string or character literal opening at `i` (at its quote, or
// at the R of a raw string), or of its line when it is not closed there.
std::size_t SkipLiteral(std::string_view text, std::size_t i) {
  if (text[i] == 'R') {
    const std::size_t open = text.find('(', i + 2);
    const std::size_t lineEnd = text.find('\n', i);
    if (open == std::string_view::npos || open > lineEnd || open - i - 2 > 16) return i + 2;
    const std::string closing = ")" + std::string(text.substr(i + 2, open - i - 2)) + "\"";
    const std::size_t end = text.find(closing, open);
    return end == std::string_view::npos ? text.size() : end + closing.size();
  }
  const char quote = text[i];
  for (++i; i < text.size() && text[i] != quote && text[i] != '\n'; ++i)
    if (text[i] == '\\') ++i;
  return i + 1;
}

// Braces, parentheses and square brackets, outside literals, all counted as one.
bool BracketsNestDeeperThan(std::string_view text, std::size_t limit) {
  std::size_t depth = 0;
  for (std::size_t i = 0; i < text.size();) {
    const char c = text[i];
    const bool afterIdent = i > 0 && detail::IsIdentByte(static_cast<unsigned char>(text[i - 1]));
    if (c == 'R' && i + 1 < text.size() && text[i + 1] == '"' &&
        (!afterIdent || text[i - 1] == 'u' || text[i - 1] == 'U' || text[i - 1] == 'L' ||
         text[i - 1] == '8')) {
      i = SkipLiteral(text, i);
    } else if (c == '"' || (c == '\'' && !afterIdent)) {  // 1'000: a digit separator
      i = SkipLiteral(text, i);
    } else {
      if ((c == '{' || c == '(' || c == '[') && ++depth > limit) return true;
      if ((c == '}' || c == ')' || c == ']') && depth > 0) --depth;
      ++i;
    }
  }
  return false;
}

// Owns a tree; deletes it when done. A damaged tree is neither read nor
// deleted: its memory is left to the process rather than freed wrongly.
class Tree {
 public:
  Tree(TSTree* tree, std::string_view text)
      : tree_(tree), damaged_(tree != nullptr && TreeIsDamaged(tree, text)) {}
  ~Tree() {
    if (tree_ && !damaged_) ts_tree_delete(tree_);
  }
  Tree(const Tree&) = delete;
  Tree& operator=(const Tree&) = delete;
  bool ok() const { return tree_ != nullptr && !damaged_; }
  bool damaged() const { return damaged_; }
  TSNode root() const { return ts_tree_root_node(tree_); }

 private:
  TSTree* tree_;
  bool damaged_;
};

std::string_view Type(TSNode n) {
  return ts_node_is_null(n) ? std::string_view() : ts_node_type(n);
}
bool Is(TSNode n, std::string_view type) {
  return !ts_node_is_null(n) && Type(n) == type;
}
// Null-safe forms of the runtime's accessors, which dereference a null node.
TSNode Field(TSNode n, const char* name) {
  if (ts_node_is_null(n)) return TSNode{};
  return ts_node_child_by_field_name(n, name, static_cast<uint32_t>(std::strlen(name)));
}
uint32_t ChildCount(TSNode n) {
  return ts_node_is_null(n) ? 0 : ts_node_child_count(n);
}
uint32_t NamedCount(TSNode n) {
  return ts_node_is_null(n) ? 0 : ts_node_named_child_count(n);
}
TSNode Child(TSNode n, uint32_t i) {
  return i < ChildCount(n) ? ts_node_child(n, i) : TSNode{};
}
TSNode Named(TSNode n, uint32_t i) {
  return i < NamedCount(n) ? ts_node_named_child(n, i) : TSNode{};
}

// Reads node texts out of one source.
class Reader {
 public:
  // `written` is `src` as the user wrote it (same offsets, macros not removed),
  // where the parameters are read.
  Reader(std::string_view src, std::string_view written, const std::vector<detail::Marker>& markers,
         std::ptrdiff_t shift)
      : src_(src), written_(written), markers_(markers), shift_(shift) {}

  std::string_view Raw(TSNode n) const {
    const uint32_t b = ts_node_start_byte(n), e = ts_node_end_byte(n);
    if (b >= src_.size() || e <= b) return {};
    return src_.substr(b, std::min<std::size_t>(e, src_.size()) - b);
  }
  std::string Text(TSNode n) const { return Clean(Raw(n)); }
  std::string Between(std::size_t b, std::size_t e) const {
    if (b >= e || b >= src_.size()) return {};
    return Clean(src_.substr(b, std::min(e, src_.size()) - b));
  }

  // The kind a lowered COM form gives the declaration at `n`, or None.
  Kind MarkedKind(TSNode n) const {
    const std::ptrdiff_t b = ts_node_start_byte(n), e = ts_node_end_byte(n);
    for (const detail::Marker& m : markers_) {
      // The lowered macro may end inside the declaration or open it.
      const std::ptrdiff_t mb = static_cast<std::ptrdiff_t>(m.begin) + shift_;
      const std::ptrdiff_t me = static_cast<std::ptrdiff_t>(m.end) + shift_;
      if (mb < e && me >= b) return m.kind;
    }
    return Kind::None;
  }

  bool Analyze(TSNode n, ParsedDeclaration* out) const;

 private:
  bool FillFunction(TSNode decl, TSNode declarator, ParsedDeclaration* out) const;
  bool FillType(TSNode specifier, ParsedDeclaration* out) const;
  void FillParameters(TSNode list, ParsedDeclaration* out) const;
  std::string ReturnTypeInFront(TSNode decl, TSNode outer, TSNode fd) const;
  std::string CastTarget(TSNode cast, TSNode parameters) const;

  std::string WrittenBetween(std::size_t b, std::size_t e) const {
    if (b >= e || b >= written_.size()) return Between(b, e);
    return Clean(written_.substr(b, std::min(e, written_.size()) - b));
  }

  std::string_view src_;
  std::string_view written_;
  const std::vector<detail::Marker>& markers_;
  std::ptrdiff_t shift_;  // where the marked text starts in `src_`
};

// The function declarator that declares a name (not a pointer to function) inside
// `d`, or a null node.
TSNode FindFunctionDeclarator(TSNode d) {
  for (int guard = 0; guard < 64 && !ts_node_is_null(d); ++guard) {
    const std::string_view t = Type(d);
    if (t == "function_declarator") {
      TSNode inner = Field(d, "declarator");
      const std::string_view it = ts_node_is_null(inner) ? "" : Type(inner);
      if (it == "parenthesized_declarator") {
        TSNode deeper = FindFunctionDeclarator(Named(inner, 0));
        if (!ts_node_is_null(deeper)) return deeper;
        return TSNode{};
      }
      return d;
    }
    if (t == "pointer_declarator" || t == "reference_declarator" ||
        t == "parenthesized_declarator" || t == "init_declarator" || t == "attributed_declarator") {
      TSNode next = Field(d, "declarator");
      if (ts_node_is_null(next)) next = Named(d, NamedCount(d) - 1);
      if (t == "parenthesized_declarator" || t == "reference_declarator") next = Named(d, 0);
      d = next;
      continue;
    }
    if (t == "operator_cast") return d;
    if (t == "qualified_identifier") {
      // A::operator T() is a qualified name around the conversion.
      TSNode name = Field(d, "name");
      while (Is(name, "qualified_identifier")) name = Field(name, "name");
      return Is(name, "operator_cast") ? d : TSNode{};
    }
    return TSNode{};
  }
  return TSNode{};
}

// The position of the last "::" outside template arguments and parentheses.
std::size_t LastScopeSeparator(std::string_view name) {
  std::size_t last = std::string_view::npos;
  int depth = 0;
  const std::size_t op = name.find("operator");
  const std::size_t limit = op == std::string_view::npos ? name.size() : op;
  for (std::size_t i = 0; i + 1 < limit; ++i) {
    const char c = name[i];
    if (c == '<' || c == '(') ++depth;
    if ((c == '>' || c == ')') && depth > 0) --depth;
    if (depth == 0 && c == ':' && name[i + 1] == ':') {
      last = i;
      ++i;
    }
  }
  return last;
}

// Children that are not part of a function's return type.
bool LeftOutOfReturnType(std::string_view t) {
  static constexpr std::array<std::string_view, 10> kLeftOut = {"storage_class_specifier",
                                                                "virtual",
                                                                "explicit_function_specifier",
                                                                "attribute_specifier",
                                                                "attribute_declaration",
                                                                "ms_declspec_modifier",
                                                                "friend",
                                                                "ms_call_modifier",
                                                                "template",
                                                                "comment"};
  return std::find(kLeftOut.begin(), kLeftOut.end(), t) != kLeftOut.end();
}

void Reader::FillParameters(TSNode list, ParsedDeclaration* out) const {
  const uint32_t count = ChildCount(list);
  for (uint32_t i = 0; i < count; ++i) {
    TSNode c = Child(list, i);
    const std::string_view t = Type(c);
    if (t == "(" || t == ")" || t == "," || t == "comment") continue;
    Parameter p;
    TSNode def = Field(c, "default_value");
    if (!ts_node_is_null(def)) {
      // The parameter ends at its "=".
      std::size_t eq = ts_node_start_byte(def);
      for (uint32_t k = 0; k < ChildCount(c); ++k) {
        TSNode e = Child(c, k);
        if (Type(e) == "=") eq = ts_node_start_byte(e);
      }
      p.text = WrittenBetween(ts_node_start_byte(c), eq);
      p.defaultValue = WrittenBetween(ts_node_start_byte(def), ts_node_end_byte(def));
    } else {
      p.text = WrittenBetween(ts_node_start_byte(c), ts_node_end_byte(c));
    }
    if (!p.text.empty()) out->parameters.push_back(std::move(p));
  }
  // "(void)" declares no parameters.
  if (out->parameters.size() == 1 && out->parameters[0].text == "void" &&
      out->parameters[0].defaultValue.empty())
    out->parameters.clear();
}

// The parameter list's declarator of a conversion operator: "operator const
// char *()" nests it in the pointer that belongs to the target type.
TSNode CastParameters(TSNode cast) {
  TSNode abstract = Field(cast, "declarator");
  for (int guard = 0; guard < 16 && !ts_node_is_null(abstract); ++guard) {
    if (!Is(abstract, "abstract_pointer_declarator") &&
        !Is(abstract, "abstract_reference_declarator"))
      break;
    TSNode inner = Field(abstract, "declarator");
    if (ts_node_is_null(inner)) inner = Named(abstract, NamedCount(abstract) - 1);
    abstract = inner;
  }
  return abstract;
}

// The target type of a conversion operator, with the "*" or "&" written between
// the type and the parameter list.
std::string Reader::CastTarget(TSNode cast, TSNode parameters) const {
  TSNode keyword = Child(cast, 0);
  if (ts_node_is_null(keyword) || ts_node_is_null(parameters)) return Text(Field(cast, "type"));
  // "const char *" is written "const char*".
  const std::string written = Between(ts_node_end_byte(keyword), ts_node_start_byte(parameters));
  std::string target;
  for (std::size_t k = 0; k < written.size(); ++k) {
    if (written[k] == ' ' && k + 1 < written.size() &&
        (written[k + 1] == '*' || written[k + 1] == '&'))
      continue;
    target.push_back(written[k]);
  }
  return target;
}

bool Reader::FillFunction(TSNode decl, TSNode outer, ParsedDeclaration* out) const {
  TSNode fd = FindFunctionDeclarator(outer);
  if (ts_node_is_null(fd)) return false;
  TSNode nameNode{};
  TSNode params{};
  if (Is(fd, "operator_cast")) {
    // operator T() as the whole declarator.
    TSNode abstract = CastParameters(fd);
    params = Field(abstract, "parameters");
    out->returnType = CastTarget(fd, abstract);
    out->name = Between(ts_node_start_byte(fd), ts_node_start_byte(abstract));
  } else {
    const bool qualifiedCast = Is(fd, "qualified_identifier");
    nameNode = qualifiedCast ? fd : Field(fd, "declarator");
    params = Field(fd, "parameters");
    if (ts_node_is_null(nameNode) || (ts_node_is_null(params) && !qualifiedCast)) return false;
    std::string full = Text(nameNode);
    // A qualified conversion operator: A::operator bool.
    TSNode cast = Field(nameNode, "name");
    while (Is(cast, "qualified_identifier")) cast = Field(cast, "name");
    if (Is(cast, "operator_cast")) {
      TSNode abstract = CastParameters(cast);
      params = Field(abstract, "parameters");
      out->returnType = CastTarget(cast, abstract);
      full = Between(ts_node_start_byte(nameNode), ts_node_start_byte(abstract));
    }
    const std::size_t sep = LastScopeSeparator(full);
    if (sep != std::string::npos) {
      out->scope = Clean(full.substr(0, sep));
      out->name = Clean(full.substr(sep + 2));
    } else {
      out->name = std::move(full);
    }
  }
  if (out->name.empty()) return false;
  // The return type: after "->", else the specifiers in front plus what the
  // declarator adds around the name ("*", "&", a function pointer's parentheses).
  TSNode trailing{};
  for (uint32_t i = 0; i < NamedCount(fd); ++i) {
    TSNode c = Named(fd, i);
    if (Is(c, "trailing_return_type")) trailing = c;
  }
  if (!ts_node_is_null(trailing)) {
    out->returnType = Text(Named(trailing, 0));
  } else if (out->returnType.empty()) {
    out->returnType = ReturnTypeInFront(decl, outer, fd);
  }
  if (!ts_node_is_null(params)) FillParameters(params, out);
  const Kind marked = MarkedKind(decl);
  if (marked == Kind::MethodDeclaration || marked == Kind::MethodImplementation) {
    out->kind = marked;
  } else {
    out->kind = out->scope.empty() ? Kind::Function : Kind::MemberFunction;
  }
  return true;
}

// The specifiers in front of the declarator `outer` plus what it adds around
// the function declarator `fd` ("*", "&", a function pointer's parentheses).
std::string Reader::ReturnTypeInFront(TSNode decl, TSNode outer, TSNode fd) const {
  std::string type;
  const uint32_t declStart = ts_node_start_byte(outer);
  for (uint32_t i = 0; i < ChildCount(decl); ++i) {
    TSNode c = Child(decl, i);
    if (ts_node_start_byte(c) >= declStart) break;
    if (LeftOutOfReturnType(Type(c))) continue;
    const std::string piece = Text(c);
    // The grammar counts these as type qualifiers; they say nothing of the type.
    if (piece == "constexpr" || piece == "consteval" || piece == "constinit" ||
        piece == "mutable" || piece == "inline")
      continue;
    if (piece.empty()) continue;
    if (!type.empty()) type.push_back(' ');
    type += piece;
  }
  std::string around = Between(ts_node_start_byte(outer), ts_node_start_byte(fd));
  if (ts_node_end_byte(fd) < ts_node_end_byte(outer)) {
    std::string after = Between(ts_node_end_byte(fd), ts_node_end_byte(outer));
    // An init_declarator's "= 0" or value is not part of the type.
    if (!after.empty() && after.front() != '=') around += after;
  }
  // "T *" is written "T*"; "void (*)(int)" keeps its blank.
  // Blanks stay only before a word ("* const").
  const std::string collapsed = Clean(around);
  std::string cleaned;
  for (std::size_t k = 0; k < collapsed.size(); ++k) {
    if (collapsed[k] == ' ' && k + 1 < collapsed.size() &&
        !detail::IsIdentByte(static_cast<unsigned char>(collapsed[k + 1])))
      continue;
    if (collapsed[k] == ' ' && k > 0 && collapsed[k - 1] == '(') continue;
    cleaned.push_back(collapsed[k]);
  }
  if (!cleaned.empty() && cleaned.front() == '(' && !type.empty()) type.push_back(' ');
  return type + cleaned;
}

bool Reader::FillType(TSNode specifier, ParsedDeclaration* out) const {
  const std::string_view t = Type(specifier);
  TSNode name = Field(specifier, "name");
  // class Outer::Inner { ... }: the name without its scope.
  while (Is(name, "qualified_identifier") && !ts_node_is_null(Field(name, "name")))
    name = Field(name, "name");
  out->name = ts_node_is_null(name) ? std::string() : Text(name);
  if (t == "enum_specifier") {
    out->kind = Kind::Enum;
    TSNode base = Field(specifier, "base");
    if (!ts_node_is_null(base)) out->underlyingType = Text(base);
    // enum : ullong { ... } has no name; the grammar may take the type for one.
    for (uint32_t i = 0; i < ChildCount(specifier) && !ts_node_is_null(name); ++i) {
      TSNode c = Child(specifier, i);
      if (ts_node_start_byte(c) >= ts_node_start_byte(name)) break;
      if (Type(c) == ":" || (Type(c) == "ERROR" && Text(c) == ":")) {
        if (out->underlyingType.empty()) out->underlyingType = out->name;
        out->name.clear();
      }
    }
    return true;
  }
  out->kind = t == "class_specifier"    ? Kind::Class
              : t == "struct_specifier" ? Kind::Struct
                                        : Kind::Union;
  if (MarkedKind(specifier) == Kind::Interface) out->kind = Kind::Interface;
  for (uint32_t i = 0; i < NamedCount(specifier); ++i) {
    TSNode clause = Named(specifier, i);
    if (!Is(clause, "base_class_clause")) continue;
    for (uint32_t k = 0; k < ChildCount(clause); ++k) {
      TSNode c = Child(clause, k);
      const std::string_view ct = Type(c);
      if (ct == ":" || ct == "," || ct == "access_specifier" || ct == "virtual" ||
          ct == "attribute_declaration" || ct == "comment")
        continue;
      if (ct == "..." && !out->bases.empty()) {
        out->bases.back() += "...";
        continue;
      }
      out->bases.push_back(Text(c));
    }
  }
  return true;
}

bool IsTypeSpecifier(TSNode n) {
  return Is(n, "class_specifier") || Is(n, "struct_specifier") || Is(n, "union_specifier") ||
         Is(n, "enum_specifier");
}

bool Reader::Analyze(TSNode n, ParsedDeclaration* out) const {
  // Templates and friends wrap the declaration they hold, as often as written.
  for (;;) {
    const std::string_view t = Type(n);
    if (t == "template_declaration") {
      TSNode inner{};
      for (uint32_t i = NamedCount(n); i-- > 0 && ts_node_is_null(inner);) {
        TSNode c = Named(n, i);
        if (!Is(c, "template_parameter_list")) inner = c;
      }
      if (ts_node_is_null(inner)) return false;
      n = inner;
      continue;
    }
    if (t == "friend_declaration") {
      n = Named(n, 0);
      if (ts_node_is_null(n)) return false;
      continue;
    }
    break;
  }
  const std::string_view t = Type(n);
  if (IsTypeSpecifier(n)) return FillType(n, out);
  if (t == "function_definition" || t == "declaration" || t == "field_declaration") {
    TSNode declarator = Field(n, "declarator");
    if (!ts_node_is_null(declarator) && FillFunction(n, declarator, out)) return true;
    *out = ParsedDeclaration();
    // struct S { ... } s;
    TSNode type = Field(n, "type");
    if (IsTypeSpecifier(type)) return FillType(type, out);
    return false;
  }
  if (t == "type_definition") {
    TSNode type = Field(n, "type");
    if (!IsTypeSpecifier(type) || !FillType(type, out)) return false;
    // typedef struct { ... } NAME;
    if (out->name.empty()) out->name = Text(Field(n, "declarator"));
    return true;
  }
  return false;
}

bool IsMacroLine(std::string_view text, std::size_t at, std::size_t* nameStart) {
  std::size_t i = at;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  if (i >= text.size() || text[i] != '#') return false;
  ++i;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  if (text.substr(i, 6) != "define" || i + 6 >= text.size() || !IsSpace(text[i + 6])) return false;
  i += 6;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  *nameStart = i;
  return i < text.size() && detail::IsIdentByte(static_cast<unsigned char>(text[i]));
}

// A "#define" at `nameStart`'s line: name and parameter list. Returns the end of
// the directive (continuation lines included).
std::size_t ParseMacro(std::string_view text, std::size_t i, ParsedDeclaration* out) {
  const std::size_t nameBegin = i;
  while (i < text.size() && detail::IsIdentByte(static_cast<unsigned char>(text[i]))) ++i;
  out->name = std::string(text.substr(nameBegin, i - nameBegin));
  out->kind = Kind::Macro;
  if (i < text.size() && text[i] == '(') {
    out->kind = Kind::MacroWithParams;
    std::string item;
    for (++i; i < text.size() && text[i] != ')'; ++i) {
      if (text[i] == ',') {
        out->macroParameters.push_back(Clean(item));
        item.clear();
      } else if (text[i] != '\\') {
        item.push_back(text[i]);
      }
    }
    const std::string last = Clean(item);
    if (!last.empty() || !out->macroParameters.empty()) out->macroParameters.push_back(last);
  }
  while (i < text.size() && text[i] != '\n') {
    if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == '\n' || text[i + 1] == '\r')) {
      i += 2;
      continue;
    }
    ++i;
  }
  return i;
}

// The head of the first declaration in a selection, made complete: cut before its
// body or at its ";", unclosed parentheses closed, and an empty body or ";" added,
// so a selection that stops anywhere in the head still parses.
std::string CloseHead(std::string_view text) {
  int depth = 0, braces = 0;
  bool sawParen = false, afterParams = false, initList = false;
  // typedef struct { ... } NAME; takes its name after the body.
  const bool typedefHead = text.starts_with("typedef") && text.size() > 7 && IsSpace(text[7]);
  std::size_t i = 0;
  std::size_t cut = text.size();
  char stop = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '"' ||
        (c == '\'' && !(i > 0 && std::isxdigit(static_cast<unsigned char>(text[i - 1]))))) {
      const char q = c;
      for (++i; i < text.size() && text[i] != q && text[i] != '\n'; ++i)
        if (text[i] == '\\') ++i;
      ++i;
      continue;
    }
    if (c == '(' || c == '[') {
      ++depth;
      sawParen = true;
    } else if ((c == ')' || c == ']') && depth > 0) {
      if (--depth == 0) afterParams = true;
    } else if (depth == 0 && c == ':' && afterParams &&
               !(i + 1 < text.size() && text[i + 1] == ':') && !(i > 0 && text[i - 1] == ':')) {
      initList = true;
    } else if (typedefHead && (c == '{' || c == '}')) {
      braces += c == '{' ? 1 : (braces > 0 ? -1 : 0);
    } else if (typedefHead && braces > 0) {
      // inside the typedef'd body
    } else if (depth == 0 && (c == '{' || c == ';')) {
      // A braced member initialiser (m_x{x}) is not the body.
      std::size_t k = i;
      while (k > 0 && IsSpace(text[k - 1])) --k;
      const bool braced =
          c == '{' && initList && k > 0 &&
          (detail::IsIdentByte(static_cast<unsigned char>(text[k - 1])) || text[k - 1] == '>');
      if (braced) {
        int braces = 0;
        for (; i < text.size(); ++i) {
          if (text[i] == '{') ++braces;
          if (text[i] == '}' && --braces == 0) break;
        }
        ++i;
        continue;
      }
      cut = i;
      stop = c;
      break;
    }
    ++i;
  }
  std::string head(text.substr(0, cut));
  while (!head.empty() && IsSpace(head.back())) head.pop_back();
  if (stop == ';') return head + ";";
  if (typedefHead) return head + std::string(static_cast<std::size_t>(braces), '}') + ";";
  for (; depth > 0; --depth) head += ")";
  std::string compact;
  for (char ch : head)
    if (!IsSpace(ch)) compact.push_back(ch);
  const auto ends = [&compact](std::string_view s) { return compact.ends_with(s); };
  if (ends("=0") || ends("=default") || ends("=delete")) return head + ";";
  if (!sawParen) return head + " {};";
  return head + " {}";
}

bool FirstNamedDeclaration(const Reader& reader, TSNode container, ParsedDeclaration* out) {
  for (uint32_t i = 0; i < NamedCount(container); ++i) {
    TSNode c = Named(container, i);
    if (Is(c, "linkage_specification")) {
      TSNode body = Field(c, "body");
      if (!Is(body, "declaration_list")) return reader.Analyze(body, out);
      container = body;  // extern "C" { ... }: its first declaration
      i = static_cast<uint32_t>(-1);
      continue;
    }
    if (Is(c, "access_specifier") || Is(c, "comment")) continue;
    *out = ParsedDeclaration();
    return reader.Analyze(c, out) && !out->name.empty();
  }
  return false;
}

}  // namespace

std::string FormatParameter(const Parameter& parameter) {
  if (parameter.defaultValue.empty()) return parameter.text;
  return parameter.text + " = " + parameter.defaultValue;
}

struct DeclarationParser::Impl {
  TSParser* parser = nullptr;
  std::string error;

  // Nothing when the parse takes longer than `limit` microseconds: its error
  // recovery on long runs of junk can take minutes.
  TSTree* Parse(std::string_view text, std::uint64_t limit = kDefaultParseTimeLimit) {
    ts_parser_set_timeout_micros(parser, limit);
    TSTree* tree =
        ts_parser_parse_string(parser, nullptr, text.data(), static_cast<uint32_t>(text.size()));
    if (tree == nullptr) ts_parser_reset(parser);  // else the next parse would resume this one
    return tree;
  }
};

DeclarationParser::DeclarationParser() : impl_(std::make_unique<Impl>()) {
  UseMarkedBlocks();
  impl_->parser = ts_parser_new();
  if (impl_->parser == nullptr) {
    impl_->error = "cannot create a tree-sitter parser";
  } else if (!ts_parser_set_language(impl_->parser, tree_sitter_cpp())) {
    impl_->error = "the tree-sitter runtime cannot load the C++ grammar (ABI " +
                   std::to_string(ts_language_version(tree_sitter_cpp())) + ")";
  }
}

DeclarationParser::~DeclarationParser() {
  if (impl_->parser) ts_parser_delete(impl_->parser);
}

bool DeclarationParser::ok() const {
  return impl_->error.empty();
}

namespace {

// Where a template head standing on the lines directly above byte `at` (the
// start of a line) begins, or npos: "template <typename T>" above a selected
// "T f(T)" belongs to it.
std::size_t TemplateHeadAbove(std::string_view text, std::size_t at) {
  std::size_t lineBegin = at;
  for (int lines = 0; lines < 4 && lineBegin > 0; ++lines) {
    const std::size_t prevEnd = lineBegin - 1;  // the '\n' ending the line above
    std::size_t prevBegin = prevEnd == 0 ? 0 : text.rfind('\n', prevEnd - 1);
    prevBegin = (prevEnd == 0 || prevBegin == std::string_view::npos) ? 0 : prevBegin + 1;
    const std::string line = Clean(text.substr(prevBegin, prevEnd - prevBegin));
    if (line.empty() || line.back() == ';' || line.back() == '{' || line.back() == '}') break;
    lineBegin = prevBegin;
    if (!line.starts_with("template") ||
        (line.size() > 8 && detail::IsIdentByte(static_cast<unsigned char>(line[8]))))
      continue;
    // The head is whole: its angle brackets close at the end of what it spans.
    const std::string head = Clean(text.substr(prevBegin, at - prevBegin));
    int depth = 0;
    for (std::size_t i = 0; i < head.size(); ++i) {
      if (head[i] == '<') ++depth;
      if (head[i] == '>' && !(i > 0 && head[i - 1] == '-')) --depth;
    }
    return depth == 0 && !head.empty() && head.back() == '>' ? prevBegin : std::string_view::npos;
  }
  return std::string_view::npos;
}

// True when the prepared selection declares a friend (after any template head):
// a friend belongs to no class.
bool DeclaresFriend(std::string_view text) {
  std::size_t i = text.find_first_not_of(" \t\r\n\f\v");
  if (i == std::string_view::npos) return false;
  if (text.compare(i, 8, "template") == 0) {
    int depth = 0;
    for (; i < text.size(); ++i) {
      if (text[i] == '<') ++depth;
      if (text[i] == '>' && --depth == 0) break;
    }
    i = text.find_first_not_of(" \t\r\n\f\v", i + 1);
    if (i == std::string_view::npos) return false;
  }
  return text.compare(i, 6, "friend") == 0 &&
         (i + 6 == text.size() || !detail::IsIdentByte(static_cast<unsigned char>(text[i + 6])));
}

}  // namespace

bool DeclarationParser::ParseDeclaration(const ParseInput& input, ParsedDeclaration* out,
                                         std::string* why) {
  *out = ParsedDeclaration();
  const std::string_view doc = input.document;
  const bool inDocument = !doc.empty() && doc.size() <= 0xFFFFFFF &&
                          input.selectionOffset <= doc.size() &&
                          input.selection.size() <= doc.size() - input.selectionOffset;
  if (!inDocument) return ParseSelection(input.selection, out, why);
  const Prepared prepared = detail::Prepare(doc);
  // A template head on the lines above belongs to the selected declaration.
  std::string_view selection = input.selection;
  std::size_t selectionOffset = input.selectionOffset;
  const std::size_t lineBegin = doc.rfind('\n', selectionOffset == 0 ? 0 : selectionOffset - 1);
  const std::size_t lineStart =
      (selectionOffset == 0 || lineBegin == std::string_view::npos) ? 0 : lineBegin + 1;
  if (Clean(doc.substr(lineStart, selectionOffset - lineStart)).empty() &&
      !Clean(selection).starts_with("template")) {
    const std::size_t head = TemplateHeadAbove(prepared.text, lineStart);
    if (head != std::string_view::npos) {
      selection = doc.substr(head, selectionOffset + selection.size() - head);
      selectionOffset = head;
    }
  }
  if (!ParseSelection(selection, out, why)) return false;
  if ((out->kind != Kind::Function && out->kind != Kind::MethodDeclaration) || !out->scope.empty())
    return true;
  const std::string_view selected =
      std::string_view(prepared.text).substr(selectionOffset, selection.size());
  if (DeclaresFriend(selected)) return true;
  // The class whose body holds the selection: the innermost, with the classes
  // around it ("Outer::Inner").
  const std::size_t first = selected.find_first_not_of(" \t\r\n\f\v");
  const std::size_t at = selectionOffset + (first == std::string_view::npos ? 0 : first);
  for (const std::string& name : detail::EnclosingClassesAt(prepared, at)) {
    if (name.empty()) continue;
    if (!out->scope.empty()) out->scope += "::";
    out->scope += name;
  }
  if (!out->scope.empty() && out->kind == Kind::Function) out->kind = Kind::MemberFunction;
  return true;
}

bool DeclarationParser::ParseSelected(std::string_view utf8Document, std::size_t begin,
                                      std::size_t end, ParsedDeclaration* out, std::string* why) {
  if (begin > end || end > utf8Document.size()) {
    *out = ParsedDeclaration();
    if (why) *why = "the selection lies outside the document";
    return false;
  }
  return ParseDeclaration(ParseInput{utf8Document.substr(begin, end - begin), utf8Document, begin},
                          out, why);
}

bool DeclarationParser::ParseSelection(std::string_view selection, ParsedDeclaration* out,
                                       std::string* why) {
  *out = ParsedDeclaration();
  const auto fail = [why](std::string message) {
    if (why) *why = std::move(message);
    return false;
  };
  if (!ok()) return fail(impl_->error);
  if (selection.size() > 0xFFFFFFF) return fail("the selection is too large");
  Prepared prepared = detail::Prepare(selection);
  const std::string_view text = prepared.text;
  const std::size_t first = text.find_first_not_of(" \t\r\n\f\v");
  if (first == std::string_view::npos) return fail("the selection holds no declaration");

  std::size_t nameStart = 0;
  if (IsMacroLine(text, first, &nameStart)) {
    ParseMacro(text, nameStart, out);
    if (out->name.empty()) return fail("the #define has no name");
    return true;
  }
  detail::BlankConditionals(prepared);

  // First as it stands at namespace scope; then inside a class body, where
  // constructors, "= 0" and access labels belong.
  const std::string head = CloseHead(text.substr(first));
  ParsedDeclaration best;
  bool found = false;
  static constexpr std::string_view kOpen = "struct Q_ {\n";
  for (int attempt = 0; attempt < 2 && !found; ++attempt) {
    const std::string source = attempt == 0 ? head : std::string(kOpen) + head + "\n};";
    const std::string written =
        (attempt == 0 ? std::string() : std::string(kOpen)) + prepared.written.substr(first);
    Tree tree(impl_->Parse(source), source);
    if (!tree.ok()) return fail(tree.damaged() ? kTooDeep : "the parser gave up");
    // Markers count from the selection's start; the head starts at `first`.
    const std::ptrdiff_t shift = (attempt == 0 ? 0 : static_cast<std::ptrdiff_t>(kOpen.size())) -
                                 static_cast<std::ptrdiff_t>(first);
    const Reader reader(source, written, prepared.markers, shift);
    TSNode container = tree.root();
    if (attempt == 1) {
      TSNode specifier = Named(tree.root(), 0);
      if (Is(specifier, "declaration")) specifier = Field(specifier, "type");
      container = Field(specifier, "body");
      if (ts_node_is_null(container)) continue;
    }
    ParsedDeclaration candidate;
    if (!FirstNamedDeclaration(reader, container, &candidate)) continue;
    const bool clean = !ts_node_has_error(container);
    if (clean || best.kind == Kind::None) {
      best = std::move(candidate);
      found = clean;
    }
  }
  if (best.kind == Kind::None) return fail("no class, function, enum or macro recognised");
  *out = std::move(best);

  return true;
}

namespace {

// A friend declaration, under any template heads.
bool IsFriend(TSNode n) {
  while (Is(n, "template_declaration")) n = Named(n, NamedCount(n) - 1);
  return Is(n, "friend_declaration");
}

// True when the friend declaration `n` holds a function's body.
bool DefinesFunction(TSNode n) {
  while (Is(n, "template_declaration") || Is(n, "friend_declaration"))
    n = Named(n, NamedCount(n) - 1);
  return Is(n, "function_definition");
}

// True when `n`, under template heads and a friend, defines a function: a
// body, "= default" or "= delete".
bool IsFunctionDefinition(TSNode n) {
  while (Is(n, "template_declaration") || Is(n, "friend_declaration"))
    n = Named(n, NamedCount(n) - 1);
  if (Is(n, "function_definition")) return true;
  for (uint32_t i = 0; i < NamedCount(n); ++i) {
    const TSNode c = Named(n, i);
    if (Is(c, "default_method_clause") || Is(c, "delete_method_clause")) return true;
  }
  return false;
}

// Visits the declarations of a tree with a work list of its own, so nesting
// costs memory, not stack.
struct Walk {
  const Reader& reader;
  const Prepared& prepared;
  const FindOptions& options;
  std::vector<FoundDeclaration>* out;

  struct Pending {
    TSNode node;
    std::size_t scope;  // index into `scopes`; 0: no enclosing class
    std::size_t depth;
  };
  std::vector<std::string> scopes;  // [0] is the empty scope
  std::vector<Pending> pending;
  // Bytes of the largest region the parser could not read.
  std::pair<uint32_t, uint32_t> largestError{0, 0};

  void NoteUnread(TSNode n) {
    const uint32_t b = ts_node_start_byte(n), e = ts_node_end_byte(n);
    if (e - b > largestError.second - largestError.first) largestError = {b, e};
  }

  void Add(TSNode outer, const ParsedDeclaration& decl) {
    FoundDeclaration f;
    f.declaration = decl;
    f.begin = ts_node_start_byte(outer);
    f.end = ts_node_end_byte(outer);
    f.definition = IsFunctionDefinition(outer);
    out->push_back(std::move(f));
  }

  // Queues the named children of `n`; the order of `out` does not matter. A
  // cursor, since the runtime finds the i-th child by counting from the first.
  void Container(TSNode n, std::size_t scope, std::size_t depth) {
    TSTreeCursor cursor = ts_tree_cursor_new(n);
    for (bool more = ts_tree_cursor_goto_first_child(&cursor); more;
         more = ts_tree_cursor_goto_next_sibling(&cursor)) {
      const TSNode child = ts_tree_cursor_current_node(&cursor);
      if (ts_node_is_named(child)) pending.push_back({child, scope, depth});
    }
    ts_tree_cursor_delete(&cursor);
  }

  // False when the tree nests deeper than kMaxNesting.
  bool Run(TSNode root) {
    Container(root, 0, 0);
    while (!pending.empty()) {
      const Pending p = pending.back();
      pending.pop_back();
      if (p.depth > kMaxNesting) return false;
      Item(p.node, p.scope, p.depth);
    }
    return true;
  }

  void Item(TSNode n, std::size_t scope, std::size_t depth) {
    const std::string_view t = Type(n);
    if (t == "namespace_definition" || t == "linkage_specification") {
      TSNode body = Field(n, "body");
      if (Is(body, "declaration_list")) {
        Container(body, scope, depth + 1);
      } else if (!ts_node_is_null(body)) {
        pending.push_back({body, scope, depth + 1});
      }
      return;
    }
    if (t.starts_with("preproc_if") || t == "preproc_else" || t == "preproc_elif" ||
        t == "preproc_elifdef") {
      Container(n, scope, depth + 1);
      return;
    }
    if (t == "preproc_def" || t == "preproc_function_def" || t == "comment") return;
    if (t == "ERROR") {
      // What the parser could not place: the declarations it still holds count,
      // the rest is left out rather than the whole file.
      NoteUnread(n);
      Container(n, scope, depth + 1);
      return;
    }
    ParsedDeclaration decl;
    if (!reader.Analyze(n, &decl)) {
      // A statement the parser patched up with missing tokens (an unclosed
      // lambda swallowing the rest of the file) hides what follows it as well.
      if (ts_node_has_error(n)) NoteUnread(n);
      return;
    }
    // The type specifier whose body holds nested declarations.
    TSNode specifier = n;
    while (Is(specifier, "template_declaration"))
      specifier = Named(specifier, NamedCount(specifier) - 1);
    if (!IsTypeSpecifier(specifier)) {
      TSNode type = Field(specifier, "type");
      specifier = IsTypeSpecifier(type) ? type : TSNode{};
    }
    TSNode body = ts_node_is_null(specifier) ? TSNode{} : Field(specifier, "body");
    const bool isType = decl.kind == Kind::Class || decl.kind == Kind::Struct ||
                        decl.kind == Kind::Union || decl.kind == Kind::Enum ||
                        decl.kind == Kind::Interface;
    const std::string& enclosing = scopes[scope];
    const bool inClass = !enclosing.empty();
    if (isType) {
      // Forward declarations and anonymous types need no block.
      if (!ts_node_is_null(body) && !decl.name.empty() && (options.kinds & MaskOf(decl.kind)))
        Add(n, decl);
      if (Is(body, "field_declaration_list") && depth < kMaxNesting) {
        scopes.push_back(enclosing.empty() ? decl.name : enclosing + "::" + decl.name);
        Container(body, scopes.size() - 1, depth + 1);
      } else if (Is(body, "field_declaration_list")) {
        pending.push_back({body, scope, depth + 1});  // reported as too deep by Run
      }
      return;
    }
    if (inClass) {
      if (decl.kind == Kind::MethodDeclaration || decl.kind == Kind::MethodImplementation) {
        decl.scope = enclosing;
      } else if (IsFriend(n)) {
        // A friend defined in the class is a free function; one only declared
        // there is documented where it is defined.
        if (!options.membersInsideClasses || !DefinesFunction(n)) return;
      } else if (options.membersInsideClasses && decl.kind == Kind::Function) {
        decl.kind = Kind::MemberFunction;
        decl.scope = enclosing;
      } else {
        return;
      }
    }
    // FMT_CATCH(...) {} or TEST(A, B) {}: a macro with a block, where a function
    // at namespace scope would need a return type.
    if (!inClass && decl.kind == Kind::Function && decl.returnType.empty() &&
        !decl.name.starts_with("operator") && detail::IsMacroName(decl.name))
      return;
    if (options.kinds & MaskOf(decl.kind)) Add(n, decl);
  }
};

bool LineIsComment(const Prepared& p, std::string_view doc, std::size_t lineBegin,
                   std::size_t lineEnd, bool wholeLine) {
  std::size_t a = lineBegin, b = lineEnd;
  while (a < b && IsSpace(doc[a])) ++a;
  while (b > a && IsSpace(doc[b - 1])) --b;
  if (a == b) return false;
  if (p.mask[a] != detail::kComment) return false;
  return !wholeLine || p.mask[b - 1] == detail::kComment;
}

// Macros, found line by line: the grammar's preprocessor nodes stop at any
// directive it cannot place.
void AppendMacros(std::string_view text, KindMask kinds, std::vector<FoundDeclaration>* out) {
  if (!(kinds & (MaskOf(Kind::Macro) | MaskOf(Kind::MacroWithParams)))) return;
  std::size_t lineBegin = 0;
  while (lineBegin < text.size()) {
    std::size_t nameStart = 0;
    std::size_t next = text.find('\n', lineBegin);
    next = next == std::string::npos ? text.size() : next + 1;
    if (IsMacroLine(text, lineBegin, &nameStart)) {
      FoundDeclaration f;
      const std::size_t end = ParseMacro(text, nameStart, &f.declaration);
      if (kinds & MaskOf(f.declaration.kind)) {
        f.begin = lineBegin;
        f.end = end;
        out->push_back(std::move(f));
      }
      next = std::min(text.size(), end + 1);
    }
    lineBegin = next;
  }
}

// Moves each found declaration (sorted by where it begins) to the start of its
// line, numbers the line, and says whether a comment already stands there.
void PlaceOnLines(const Prepared& prepared, std::string_view doc,
                  std::vector<FoundDeclaration>* found) {
  std::size_t line = 1, counted = 0;
  for (FoundDeclaration& f : *found) {
    // Export macros blanked in front of the declaration belong to it.
    std::size_t start = f.begin;
    for (std::size_t q = f.begin; q > 0; --q) {
      const std::size_t c = q - 1;
      if (prepared.mask[c] == detail::kComment || prepared.mask[c] == detail::kScope ||
          !IsSpace(prepared.text[c]))
        break;
      if (prepared.mask[c] == detail::kMacro) start = c;
    }
    std::size_t lineBegin = doc.rfind('\n', start == 0 ? 0 : start - 1);
    lineBegin = (start == 0 || lineBegin == std::string_view::npos) ? 0 : lineBegin + 1;
    if (start > 0 && doc[start - 1] == '\n') lineBegin = start;
    f.begin = lineBegin;
    line +=
        static_cast<std::size_t>(std::count(doc.begin() + counted, doc.begin() + f.begin, '\n'));
    counted = f.begin;
    f.line = static_cast<int>(line);
    std::size_t lineEnd = doc.find('\n', f.begin);
    if (lineEnd == std::string_view::npos) lineEnd = doc.size();
    bool commented = LineIsComment(prepared, doc, f.begin, lineEnd, false);
    if (!commented && f.begin > 0) {
      const std::size_t prevEnd = f.begin - 1;
      std::size_t prevBegin = prevEnd == 0 ? 0 : doc.rfind('\n', prevEnd - 1);
      prevBegin = (prevEnd == 0 || prevBegin == std::string_view::npos) ? 0 : prevBegin + 1;
      commented = LineIsComment(prepared, doc, prevBegin, prevEnd, true);
    }
    f.commented = commented;
  }
}

}  // namespace

bool DeclarationParser::FindDeclarations(std::string_view doc, const FindOptions& options,
                                         std::vector<FoundDeclaration>* out, std::string* why,
                                         UnreadRegion* unread) {
  out->clear();
  if (unread != nullptr) *unread = {};
  if (!ok()) {
    if (why) *why = impl_->error;
    return false;
  }
  if (doc.size() > 0xFFFFFFF) {
    if (why) *why = "the document is too large";
    return false;
  }
  const Prepared prepared = detail::Prepare(doc);
  if (BracketsNestDeeperThan(prepared.text, kMaxNesting)) {
    if (why) *why = "brackets nest more than " + std::to_string(kMaxNesting) + " levels deep";
    return false;
  }
  Tree tree(impl_->Parse(prepared.text, options.parseTimeLimit), prepared.text);
  if (!tree.ok()) {
    if (why && tree.damaged()) *why = kTooDeep;
    if (why && !tree.damaged()) {
      char seconds[32];
      std::snprintf(seconds, sizeof seconds, "%.1f", options.parseTimeLimit / 1e6);
      *why = std::string("the C++ parser gave up after ") + seconds + " s";
    }
    return false;
  }
  const Reader reader(prepared.text, prepared.written, prepared.markers, 0);
  Walk walk{reader, prepared, options, out, {std::string()}, {}};
  if (!walk.Run(tree.root())) {
    out->clear();
    if (why) *why = "declarations nest more than " + std::to_string(kMaxNesting) + " levels deep";
    return false;
  }

  // A region the parser gave up on, when it is most of the file and nothing in
  // it could be read, makes the file fail rather than pass as done.
  // Plain variables, not a structured binding: the lambda below captures them.
  const std::uint32_t errorBegin = walk.largestError.first;
  const std::uint32_t errorEnd = walk.largestError.second;
  if (errorEnd > errorBegin) {
    const auto lineOf = [&doc](std::size_t at) {
      return 1 + std::count(doc.begin(), doc.begin() + std::min(at, doc.size()), '\n');
    };
    const auto errorLines = lineOf(errorEnd) - lineOf(errorBegin) + 1;
    const auto lines = lineOf(doc.size());
    const bool readInside = std::any_of(out->begin(), out->end(), [&](const FoundDeclaration& f) {
      return f.begin >= errorBegin && f.begin < errorEnd;
    });
    if (!readInside && errorLines >= 2 && errorLines * 2 >= lines) {
      if (errorLines >= 50) {
        out->clear();
        if (why)
          *why = "the C++ parser could not read lines " + std::to_string(lineOf(errorBegin)) +
                 " to " + std::to_string(lineOf(errorEnd));
        return false;
      }
      if (unread != nullptr)
        *unread = {static_cast<int>(lineOf(errorBegin)), static_cast<int>(lineOf(errorEnd))};
    }
  }

  AppendMacros(prepared.text, options.kinds, out);
  std::sort(out->begin(), out->end(),
            [](const FoundDeclaration& a, const FoundDeclaration& b) { return a.begin < b.begin; });
  PlaceOnLines(prepared, doc, out);
  return true;
}

bool ParseDeclaration(const ParseInput& input, ParsedDeclaration* out, std::string* why) {
  DeclarationParser parser;
  return parser.ParseDeclaration(input, out, why);
}

bool FindDeclarations(std::string_view utf8Document, const FindOptions& options,
                      std::vector<FoundDeclaration>* out, std::string* why, UnreadRegion* unread) {
  DeclarationParser parser;
  return parser.FindDeclarations(utf8Document, options, out, why, unread);
}

}  // namespace quillmark::syntax
