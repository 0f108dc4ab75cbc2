// Comment blanking, COM lowering and macro removal ahead of the grammar.
#include "prepass.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace quillmark::syntax::detail {
namespace {

// Decorations that are always removed where they stand as whole words: the keyword
// mode's export list and the calling conventions.
constexpr std::array<std::string_view, 20> kDecorations = {
    "__stdcall",      "_stdcall",
    "__cdecl",        "_cdecl",
    "__fastcall",     "__thiscall",
    "__vectorcall",   "WINAPI",
    "WINAPIV",        "APIENTRY",
    "AFXAPI",         "CALLBACK",
    "PASCAL",         "STDMETHODCALLTYPE",
    "STDAPICALLTYPE", "AFX_EXT_CLASS",
    "afx_msg",        "NTAPI",
    "__clrcall",      "AFX_CDECL",
};

// Words the grammar knows that look like macros by their underscores.
constexpr std::array<std::string_view, 24> kGrammarWords = {
    "__restrict__",  "__inline__", "__asm__",     "__volatile__", "__attribute__",
    "__extension__", "__typeof__", "__alignof__", "__const__",    "__signed__",
    "__declspec",    "__based",    "__restrict",  "__inline",     "__forceinline",
    "__int8",        "__int16",    "__int32",     "__int64",      "__unaligned",
    "__ptr32",       "__ptr64",    "__thread",    "__asm",
};

// Keywords after which a type, not a declarator, still has to come.
constexpr std::array<std::string_view, 14> kSpecifierKeywords = {
    "static", "inline",  "virtual", "explicit", "extern",  "constexpr", "consteval",
    "friend", "typedef", "const",   "volatile", "mutable", "register",  "thread_local",
};

// Keywords that open a declaration or a scope.
constexpr std::array<std::string_view, 19> kOpeningKeywords = {
    "extern",  "template", "namespace", "class",    "struct",   "union",   "enum",
    "inline",  "static",   "typedef",   "using",    "public",   "private", "protected",
    "virtual", "friend",   "constexpr", "explicit", "namespace"};

constexpr std::array<std::string_view, 4> kTypeKeywords = {"class", "struct", "union", "enum"};

template <std::size_t N>
bool OneOf(std::string_view word, const std::array<std::string_view, N>& list) {
  return std::find(list.begin(), list.end(), word) != list.end();
}

enum class Tok { kIdent, kPunct };
struct Token {
  std::size_t begin;
  std::size_t end;
  Tok type;
};

// Blanks a byte range (line breaks stay) and marks it.
void Blank(Prepared& p, std::size_t begin, std::size_t end, Blanked why) {
  for (std::size_t i = begin; i < end && i < p.text.size(); ++i) {
    if (p.text[i] != '\n' && p.text[i] != '\r') p.text[i] = ' ';
    p.mask[i] = why;
  }
}

void Write(Prepared& p, std::size_t at, std::string_view what) {
  for (std::size_t i = 0; i < what.size() && at + i < p.text.size(); ++i) p.text[at + i] = what[i];
}

// Skips a string or character literal starting at `i` (its quote); returns the
// index after it, never past `end`.
std::size_t SkipLiteral(std::string_view s, std::size_t i) {
  const char quote = s[i];
  ++i;
  while (i < s.size() && s[i] != quote && s[i] != '\n') {
    if (s[i] == '\\') ++i;
    ++i;
  }
  return std::min(s.size(), i + 1);
}

void BlankComments(Prepared& p) {
  const std::string_view s = p.text;
  std::size_t i = 0;
  while (i < s.size()) {
    const char c = s[i];
    if (c == '"' || c == '\'') {
      // A quote inside a number or identifier (1'000, u8'x') still opens nothing
      // worth skipping wrongly: literals end at the line's end at the latest.
      if (c == '\'' && i > 0 && std::isxdigit(static_cast<unsigned char>(s[i - 1]))) {
        ++i;
        continue;
      }
      i = SkipLiteral(s, i);
    } else if (c == '/' && i + 1 < s.size() && s[i + 1] == '/') {
      std::size_t end = i;
      while (end < s.size() && s[end] != '\n') {
        // A line comment ending in a backslash goes on to the next line.
        if (s[end] == '\\' && end + 1 < s.size() && s[end + 1] == '\n') ++end;
        ++end;
      }
      if (end > i && s[end - 1] == '\r') --end;
      Blank(p, i, end, kComment);
      i = end;
    } else if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
      const std::size_t close = s.find("*/", i + 2);
      const std::size_t end = close == std::string_view::npos ? s.size() : close + 2;
      Blank(p, i, end, kComment);
      i = end;
    } else {
      ++i;
    }
  }
}

// Identifiers and single punctuation bytes outside literals and preprocessor lines;
// "::" and "->" are one token.
std::vector<Token> Tokenize(std::string_view s) {
  std::vector<Token> out;
  std::size_t i = 0;
  bool lineStart = true;
  while (i < s.size()) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == '\n') {
      lineStart = true;
      ++i;
    } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
      ++i;
    } else if (c == '#' && lineStart) {
      // The preprocessor line, with its continuations.
      while (i < s.size() && s[i] != '\n') {
        if (s[i] == '\\' && i + 1 < s.size() && (s[i + 1] == '\n' || s[i + 1] == '\r')) {
          i += s[i + 1] == '\r' && i + 2 < s.size() && s[i + 2] == '\n' ? 3 : 2;
          continue;
        }
        ++i;
      }
    } else if (c == '"' || c == '\'') {
      lineStart = false;
      const std::size_t begin = i;
      i = SkipLiteral(s, i);
      out.push_back({begin, i, Tok::kPunct});
    } else if (IsIdentByte(c)) {
      lineStart = false;
      const std::size_t begin = i;
      while (i < s.size() && IsIdentByte(static_cast<unsigned char>(s[i]))) ++i;
      out.push_back({begin, i, Tok::kIdent});
    } else {
      lineStart = false;
      const std::size_t len =
          (i + 1 < s.size() && ((c == ':' && s[i + 1] == ':') || (c == '-' && s[i + 1] == '>')))
              ? 2
              : 1;
      out.push_back({i, i + len, Tok::kPunct});
      i += len;
    }
  }
  return out;
}

class Rewriter {
 public:
  explicit Rewriter(Prepared& p) : p_(p), toks_(Tokenize(p.text)) {}

  void Run() {
    for (std::size_t i = 0; i < toks_.size(); ++i) {
      if (toks_[i].type != Tok::kIdent || done_[i]) continue;
      if (!LowerComForm(i)) RemoveMacro(i);
    }
  }

 private:
  std::string_view Word(std::size_t i) const {
    if (i >= toks_.size()) return {};
    return std::string_view(p_.text).substr(toks_[i].begin, toks_[i].end - toks_[i].begin);
  }
  bool Is(std::size_t i, std::string_view w) const { return i < toks_.size() && Word(i) == w; }
  bool IsIdent(std::size_t i) const { return i < toks_.size() && toks_[i].type == Tok::kIdent; }

  // The index of the ")" that closes the "(" at `open`, or toks_.size().
  std::size_t Closing(std::size_t open) const {
    int depth = 0;
    for (std::size_t i = open; i < toks_.size(); ++i) {
      if (Is(i, "(")) ++depth;
      if (Is(i, ")") && --depth == 0) return i;
    }
    return toks_.size();
  }
  // The first comma at the top level of the group opened at `open`, before `close`.
  std::size_t TopComma(std::size_t open, std::size_t close, std::size_t from = 0) const {
    int depth = from > open ? 1 : 0;
    for (std::size_t i = std::max(open, from); i < close; ++i) {
      if (Is(i, "(") || Is(i, "<")) ++depth;
      if (Is(i, ")") || Is(i, ">")) --depth;
      if (depth == 1 && Is(i, ",") && i > from) return i;
    }
    return close;
  }

  void BlankTok(std::size_t i) {
    if (i >= toks_.size()) return;
    Blank(p_, toks_[i].begin, toks_[i].end, kMacro);
    done_[i] = true;
  }
  void BlankToks(std::size_t from, std::size_t to) {  // inclusive
    for (std::size_t i = from; i <= to && i < toks_.size(); ++i) BlankTok(i);
  }
  void Mark(std::size_t from, std::size_t to, Kind kind) {
    const std::size_t last = std::min(to, toks_.size() - 1);
    p_.markers.push_back({toks_[from].begin, toks_[last].end, kind});
  }
  // Blanks the word at `i` and, when a "(" follows, its whole group.
  void BlankWithGroup(std::size_t i) {
    if (Is(i + 1, "(")) {
      BlankToks(i, Closing(i + 1));
    } else {
      BlankTok(i);
    }
  }

  bool LowerComForm(std::size_t i) {
    const std::string_view w = Word(i);
    const bool call = Is(i + 1, "(");
    if (w == "STDMETHOD" && call) {
      const std::size_t close = Closing(i + 1);
      BlankToks(i, i + 1);
      Write(p_, toks_[i].begin, "HRESULT");
      BlankTok(close);
      Mark(i, close, Kind::MethodDeclaration);
      return true;
    }
    if (w == "STDMETHOD_" && call) {
      const std::size_t close = Closing(i + 1);
      const std::size_t comma = TopComma(i + 1, close);
      BlankToks(i, i + 1);
      BlankTok(comma);
      BlankTok(close);
      Mark(i, close, Kind::MethodDeclaration);
      return true;
    }
    if (w == "STDMETHODIMP" && !call) {
      BlankTok(i);
      Write(p_, toks_[i].begin, "HRESULT");
      Mark(i, i, Kind::MethodImplementation);
      return true;
    }
    if (w == "STDMETHODIMP_" && call) {
      const std::size_t close = Closing(i + 1);
      BlankToks(i, i + 1);
      BlankTok(close);
      Mark(i, close, Kind::MethodImplementation);
      return true;
    }
    if ((w == "DECLARE_INTERFACE" || w == "DECLARE_INTERFACE_" || w == "DECLARE_INTERFACE_IID_") &&
        call) {
      const std::size_t close = Closing(i + 1);
      const std::size_t comma = TopComma(i + 1, close);
      BlankToks(i, i + 1);
      Write(p_, toks_[i].begin, "struct");
      if (w != "DECLARE_INTERFACE") {
        if (comma < close) {
          BlankTok(comma);
          Write(p_, toks_[comma].begin, ":");
          // The IID form's third argument is the interface's identity, not a base.
          const std::size_t second = TopComma(i + 1, close, comma);
          if (second < close) BlankToks(second, close - 1);
        }
      }
      BlankTok(close);
      Mark(i, close, Kind::Interface);
      return true;
    }
    if (w == "MIDL_INTERFACE" && call) {
      const std::size_t close = Closing(i + 1);
      BlankToks(i, close);
      Write(p_, toks_[i].begin, "struct");
      Mark(i, close, Kind::Interface);
      return true;
    }
    if (w == "interface" && IsIdent(i + 1)) {
      BlankTok(i);
      Write(p_, toks_[i].begin, "struct");
      Mark(i, i, Kind::Interface);
      return true;
    }
    if (w == "THIS_" || w == "THIS") {
      BlankTok(i);
      return true;
    }
    if (w == "PURE") {
      BlankTok(i);
      Write(p_, toks_[i].begin, "=0");
      return true;
    }
    if (w == "_Xconst") {
      BlankTok(i);
      Write(p_, toks_[i].begin, "const");
      return true;
    }
    // The OLE declaration macros stand for an HRESULT-returning export.
    if ((w == "STDAPI" || w == "WINOLEAPI" || w == "WINOLEAUTAPI") && !call &&
        toks_[i].end < p_.text.size() &&
        (p_.text[toks_[i].end] == ' ' || p_.text[toks_[i].end] == '\t')) {
      BlankTok(i);
      Write(p_, toks_[i].begin, "HRESULT");
      return true;
    }
    if ((w == "STDAPI_" || w == "WINOLEAPI_" || w == "WINOLEAUTAPI_") && call) {
      const std::size_t close = Closing(i + 1);
      BlankToks(i, i + 1);
      BlankTok(close);
      return true;
    }
    return false;
  }

  static bool AllCaps(std::string_view w) {
    bool letter = false;
    for (char c : w) {
      if (c >= 'A' && c <= 'Z')
        letter = true;
      else if (!(c == '_' || (c >= '0' && c <= '9')))
        return false;
    }
    return letter && w.size() >= 2;
  }
  // Names that say "macro" by their shape: a leading or trailing underscore, or
  // the usual words of export and attribute macros.
  static bool MacroShaped(std::string_view w) {
    if (OneOf(w, kGrammarWords)) return false;
    // glibc's __wur, __extern_always_inline, __attribute_pure__ and the like.
    if (w.size() > 2 && w.starts_with("__")) return true;
    if (!AllCaps(w)) return false;
    if (w.front() == '_' || w.back() == '_') return true;
    for (std::string_view part :
         {"API",       "EXPORT",     "IMPORT",    "CALL",       "ENTRY", "INLINE",
          "CONSTEXPR", "NOEXCEPT",   "NOTHROW",   "DEPRECATED", "DECL",  "DLL",
          "VISIBLE",   "VISIBILITY", "NODISCARD", "ATTR",       "CLASS", "NOVTABLE",
          "PUBFUN",    "EXTERN",     "IMPEXP",    "WARN",       "PUBLIC"}) {
      if (w.find(part) != std::string_view::npos) return true;
    }
    return false;
  }
  bool TypeLikeBefore(std::size_t i) const {
    while (i > 0 && done_[i - 1]) --i;  // over words already removed
    if (i == 0) return false;
    const std::size_t b = i - 1;
    if (Is(b, "*") || Is(b, "&") || Is(b, ">")) return true;
    return IsIdent(b) && !OneOf(Word(b), kSpecifierKeywords) && !OneOf(Word(b), kTypeKeywords);
  }
  bool CanFollowParams(std::size_t i) const {
    return Is(i, ")") || Is(i, "const") || Is(i, "noexcept") || Is(i, "override") ||
           Is(i, "final") || Is(i, "volatile") || Is(i, "&") || (i < toks_.size() && done_[i]);
  }

  // True where a declaration can start: the text's start or after ";", "{", "}",
  // a label's ":" or a string (extern "C").
  bool StartsDeclaration(std::size_t i) const {
    while (i > 0 && done_[i - 1]) --i;
    if (i == 0) return true;
    const std::string_view b = Word(i - 1);
    return b == ";" || b == "{" || b == "}" || b == ":" || b.front() == '"' ||
           OneOf(b, kSpecifierKeywords);
  }
  // FMT_BEGIN_NAMESPACE, G_END_DECLS, NLOHMANN_JSON_NAMESPACE_BEGIN.
  static bool OpensOrClosesScope(std::string_view w) {
    for (std::string_view part : {"BEGIN", "END"}) {
      const std::size_t at = w.find(part);
      if (at == std::string_view::npos) continue;
      const bool before = at == 0 || w[at - 1] == '_';
      const bool after = at + part.size() == w.size() || w[at + part.size()] == '_';
      if (before && after) return true;
    }
    return false;
  }
  // True when no other token shares the line of token `i`.
  bool AloneOnItsLine(std::size_t i) const {
    const std::string_view s = p_.text;
    for (std::size_t k = toks_[i].begin; k-- > 0 && s[k] != '\n';)
      if (s[k] != ' ' && s[k] != '\t') return false;
    for (std::size_t k = toks_[i].end; k < s.size() && s[k] != '\n'; ++k)
      if (s[k] != ' ' && s[k] != '\t' && s[k] != '\r') return false;
    return true;
  }
  // True when the group from `open` to `close` holds a top-level comma.
  bool HasTopComma(std::size_t open, std::size_t close) const {
    return TopComma(open, close) < close;
  }

  // A macro with arguments in front of a declaration: an export macro around the
  // return type keeps the type ("CJSON_PUBLIC(cJSON *) f(...)"), an attribute
  // macro goes with its arguments ("JSON_HEDLEY_NON_NULL(1) f(...)").
  bool RemoveMacroCall(std::size_t i) {
    const std::string_view w = Word(i);
    if (!Is(i + 1, "(") || !AllCaps(w) || !StartsDeclaration(i)) return false;
    const std::size_t close = Closing(i + 1);
    if (close >= toks_.size() || close == i + 2) return false;
    // What follows must go on with the declaration: a word, not a call's ";".
    const std::size_t next = close + 1;
    if (!(IsIdent(next) || Is(next, "::"))) return false;
    const bool aroundType =
        MacroShaped(w) && !w.ends_with("_") &&
        (w.find("API") != std::string_view::npos || w.find("EXPORT") != std::string_view::npos ||
         w.find("PUBLIC") != std::string_view::npos || w.find("EXTERN") != std::string_view::npos ||
         w.find("IMPORT") != std::string_view::npos);
    if (aroundType) {
      if (HasTopComma(i + 1, close)) return false;  // the macro is the whole declaration
      BlankToks(i, i + 1);
      BlankTok(close);
      return true;
    }
    BlankToks(i, close);
    return true;
  }

  // name OF((int a, int b)): a macro around the parameter list of old headers.
  bool RemoveParameterMacro(std::size_t i) {
    if (!AllCaps(Word(i)) || i == 0 || !IsIdent(i - 1) || !Is(i + 1, "(") || !Is(i + 2, "("))
      return false;
    const std::size_t outer = Closing(i + 1);
    const std::size_t inner = Closing(i + 2);
    if (outer >= toks_.size() || inner + 1 != outer) return false;
    BlankToks(i, i + 1);
    BlankTok(outer);
    return true;
  }

  void RemoveMacro(std::size_t i) {
    const std::string_view w = Word(i);
    if (OneOf(w, kDecorations)) {
      BlankTok(i);
      return;
    }
    if (RemoveParameterMacro(i) || RemoveMacroCall(i)) return;
    // Q_INVOKABLE explicit A(...): a macro opening a declaration before a specifier.
    if (AllCaps(w) && StartsDeclaration(i) && IsIdent(i + 1) &&
        OneOf(Word(i + 1), kSpecifierKeywords) && !Is(i + 1, "const") && !Is(i + 1, "volatile") &&
        !Is(i + 1, "typedef")) {
      BlankTok(i);
      return;
    }
    if ((w == "__declspec" || w == "__attribute__" || w.starts_with("DECLSPEC_")) &&
        Is(i + 1, "(")) {
      BlankWithGroup(i);
      return;
    }
    if (w.starts_with("DECLSPEC_")) {
      BlankTok(i);
      return;
    }
    // After a parameter list: __THROW, _GLIBCXX_NOEXCEPT, __wur, __nonnull ((1)).
    if (i > 0 && CanFollowParams(i - 1) && !OneOf(w, kGrammarWords) &&
        (w.starts_with("__") || (AllCaps(w) && w.find('_') != std::string_view::npos)) &&
        (i + 1 == toks_.size() || Is(i + 1, "(") || Is(i + 1, ";") || Is(i + 1, "{") ||
         Is(i + 1, "}") || Is(i + 1, "=") || Is(i + 1, "->") || Is(i + 1, ":") || IsIdent(i + 1))) {
      BlankWithGroup(i);
      return;
    }
    // FMT_BEGIN_EXPORT or Q_OBJECT alone on its line, before a keyword that
    // opens a declaration: a macro that stands for a scope or for members.
    if (AllCaps(w) && StartsDeclaration(i) && AloneOnItsLine(i) &&
        (i + 1 == toks_.size() || OneOf(Word(i + 1), kOpeningKeywords) || Is(i + 1, "}") ||
         OpensOrClosesScope(w))) {
      Blank(p_, toks_[i].begin, toks_[i].end, kScope);
      done_[i] = true;
      return;
    }
    // FMT_CONSTEXPR20 ~A(): a macro in front of a destructor.
    if (Is(i + 1, "~") && MacroShaped(w)) {
      BlankTok(i);
      return;
    }
    // Version* const version GUARDED_BY(mu);: an annotation after a member's name.
    if (Is(i + 1, "(") && AllCaps(w) && w.find('_') != std::string_view::npos && i >= 2 &&
        IsIdent(i - 1) && !AllCaps(Word(i - 1)) && !StartsDeclaration(i - 1) &&
        (IsIdent(i - 2) || Is(i - 2, "*") || Is(i - 2, "&") || Is(i - 2, ">"))) {
      const std::size_t close = Closing(i + 1);
      if (close < toks_.size() &&
          (Is(close + 1, ";") || Is(close + 1, "=") || Is(close + 1, "{") || Is(close + 1, ","))) {
        BlankToks(i, close);
        return;
      }
    }
    // In specifier position: a word followed by another word.
    if (!IsIdent(i + 1)) return;
    if (i > 0 && Is(i - 1, "::")) return;
    // "TYPE name," with nothing else in front: the word is the type, however it looks.
    const bool nameEnds = i + 2 >= toks_.size() || Is(i + 2, ",") || Is(i + 2, ")") ||
                          Is(i + 2, "=") || Is(i + 2, "[") || Is(i + 2, ";");
    const bool afterTypeKeyword = i > 0 && OneOf(Word(i - 1), kTypeKeywords);
    if (nameEnds && !afterTypeKeyword && !TypeLikeBefore(i)) return;
    if (MacroShaped(w)) {
      BlankTok(i);
      return;
    }
    if (!AllCaps(w) || Is(i + 1, "const") || Is(i + 1, "volatile")) return;
    // class EXPORT Name
    if (i > 0 && OneOf(Word(i - 1), kTypeKeywords)) {
      BlankTok(i);
      return;
    }
    // Type MACRO name(
    const bool nameFollows = Is(i + 2, "(") || (Is(i + 2, "::") && IsIdent(i + 3));
    if (nameFollows && TypeLikeBefore(i)) BlankTok(i);
  }

  Prepared& p_;
  std::vector<Token> toks_;
  std::vector<bool> done_ = std::vector<bool>(toks_.size(), false);
};

}  // namespace

void BlankConditionals(Prepared& p) {
  const std::string_view s = p.text;
  int skipping = 0;  // depth of the #if group whose later branch is being left out
  int depth = 0;
  for (std::size_t i = 0; i < s.size();) {
    std::size_t end = s.find('\n', i);
    if (end == std::string_view::npos) end = s.size();
    std::size_t k = i;
    while (k < end && (s[k] == ' ' || s[k] == '\t')) ++k;
    bool blank = skipping > 0;
    if (k < end && s[k] == '#') {
      std::size_t w = k + 1;
      while (w < end && (s[w] == ' ' || s[w] == '\t')) ++w;
      const std::string_view rest = s.substr(w, end - w);
      if (rest.starts_with("if")) {
        ++depth;
        blank = true;
      } else if (rest.starts_with("el")) {
        if (skipping == 0) skipping = depth;
        blank = true;
      } else if (rest.starts_with("endif")) {
        if (skipping == depth) skipping = 0;
        if (depth > 0) --depth;
        blank = true;
      }
    }
    if (blank) {
      Blank(p, i, end, kMacro);
      for (std::size_t b = i; b < end && b < p.written.size(); ++b)
        if (p.written[b] != '\r') p.written[b] = ' ';
    }
    i = end + 1;
  }
}

Prepared Prepare(std::string_view source) {
  Prepared p;
  p.text.assign(source);
  p.mask.assign(source.size(), kKept);
  BlankComments(p);
  p.written = p.text;
  Rewriter(p).Run();
  return p;
}

}  // namespace quillmark::syntax::detail
