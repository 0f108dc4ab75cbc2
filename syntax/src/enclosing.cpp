// Which class body a byte of a document stands in, found by counting braces: a
// grammar's tree of a whole real header often breaks somewhere above the
// selection (a macro it cannot read, an #if that splits a head), braces rarely do.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "prepass.h"

namespace quillmark::syntax::detail {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// The end of the string or character literal opening at `i`, or of its line.
std::size_t SkipQuoted(std::string_view s, std::size_t i) {
  const char quote = s[i];
  for (++i; i < s.size() && s[i] != quote && s[i] != '\n'; ++i)
    if (s[i] == '\\') ++i;
  return std::min(s.size(), i + 1);
}

// The end of the preprocessor line starting at `i`, continuations included.
std::size_t LineEnd(std::string_view s, std::size_t i) {
  while (i < s.size() && s[i] != '\n') {
    if (s[i] == '\\' && i + 1 < s.size() && (s[i + 1] == '\n' || s[i + 1] == '\r')) {
      i += s[i + 1] == '\r' && i + 2 < s.size() && s[i + 2] == '\n' ? 3 : 2;
      continue;
    }
    ++i;
  }
  return i;
}

// The directive's word: "if", "ifdef", "else", "endif"...
std::string_view Directive(std::string_view s, std::size_t hash) {
  std::size_t b = hash + 1;
  while (b < s.size() && (s[b] == ' ' || s[b] == '\t')) ++b;
  std::size_t e = b;
  while (e < s.size() && IsIdentByte(static_cast<unsigned char>(s[e]))) ++e;
  return s.substr(b, e - b);
}

// From an #else or #elif at `i` to the line after the #endif that closes its
// group: the code after the first branch is left out, as the grammar would have
// to choose one branch too, and two class heads for one body would unbalance
// the braces.
std::size_t SkipToEndif(std::string_view s, std::size_t i) {
  int depth = 0;
  while (i < s.size()) {
    std::size_t k = i;
    while (k < s.size() && (s[k] == ' ' || s[k] == '\t')) ++k;
    const std::size_t end = LineEnd(s, k);
    if (k < s.size() && s[k] == '#') {
      const std::string_view d = Directive(s, k);
      if (d.starts_with("if")) ++depth;
      if (d == "endif" && depth-- == 0) return end;
    }
    i = end < s.size() ? end + 1 : end;
  }
  return s.size();
}

struct Word {
  std::size_t begin;
  std::size_t end;
};

// The words and punctuation of a class head, as "tokens" of one byte or one word.
std::vector<Word> HeadTokens(std::string_view head) {
  std::vector<Word> out;
  for (std::size_t i = 0; i < head.size();) {
    if (IsBlank(head[i])) {
      ++i;
    } else if (IsIdentByte(static_cast<unsigned char>(head[i]))) {
      const std::size_t b = i;
      while (i < head.size() && IsIdentByte(static_cast<unsigned char>(head[i]))) ++i;
      out.push_back({b, i});
    } else {
      const std::size_t n = head.compare(i, 2, "::") == 0 ? 2 : 1;
      out.push_back({i, i + n});
      i += n;
    }
  }
  return out;
}

// Words whose parentheses stand in a class head: attributes and macros.
bool MacroOrAttribute(std::string_view w) {
  if (w == "alignas" || w == "__declspec" || w == "__attribute__" || w == "__attribute")
    return true;
  bool upper = false;
  for (char c : w) {
    if (c >= 'a' && c <= 'z') return false;
    if (c >= 'A' && c <= 'Z') upper = true;
  }
  return upper;
}

// The class a brace opens, from the text in front of it back to the end of the
// previous statement: "class NAME ... {" with a template head, export macros,
// attributes, alignas(...) and "final" allowed around the name. Returns false
// for any other brace (a namespace, a function body, an initializer, an enum).
bool ClassHeadName(std::string_view head, std::string* name) {
  const std::vector<Word> toks = HeadTokens(head);
  const auto text = [&](std::size_t i) {
    return head.substr(toks[i].begin, toks[i].end - toks[i].begin);
  };
  // The class keyword at the top level, not in a template parameter list.
  int angle = 0, paren = 0;
  std::size_t keyword = toks.size();
  for (std::size_t i = 0; i < toks.size(); ++i) {
    const std::string_view t = text(i);
    if (t == "(") ++paren;
    if (t == ")" && paren > 0) --paren;
    if (paren > 0) continue;
    if (t == "<") ++angle;
    if (t == ">" && angle > 0) --angle;
    if (angle > 0) continue;
    if (t == "=" || t == ";" || t == "namespace" || t == "enum") return false;
    if (t == "class" || t == "struct" || t == "union") {
      if (i > 0 && text(i - 1) == "enum") return false;
      keyword = i;
      break;
    }
  }
  if (keyword == toks.size()) return false;
  // The name: the last qualified word (with its template arguments) before the
  // base clause or the brace.
  std::size_t nameBegin = std::string_view::npos, nameEnd = 0;
  for (std::size_t i = keyword + 1; i < toks.size(); ++i) {
    const std::string_view t = text(i);
    if (t == ":") break;
    if (t == "(" || t == "[") {
      // alignas(...), __declspec(...), [[...]], an export macro's arguments; any
      // other parenthesis is a function's ("struct S f() {").
      if (t == "(" && !MacroOrAttribute(text(i - 1))) return false;
      int depth = 0;
      for (; i < toks.size(); ++i) {
        const std::string_view u = text(i);
        if (u == "(" || u == "[") ++depth;
        if ((u == ")" || u == "]") && --depth == 0) break;
      }
      nameBegin = std::string_view::npos;
      continue;
    }
    if (t == "final" && (i + 1 == toks.size() || text(i + 1) == ":")) break;
    if (IsIdentByte(static_cast<unsigned char>(t[0]))) {
      const bool continues = i > keyword + 1 && text(i - 1) == "::";
      if (!continues || nameBegin == std::string_view::npos) nameBegin = toks[i].begin;
      nameEnd = toks[i].end;
      // Template arguments of a specialisation belong to the name.
      if (i + 1 < toks.size() && text(i + 1) == "<") {
        int depth = 0;
        for (++i; i < toks.size(); ++i) {
          const std::string_view u = text(i);
          if (u == "<") ++depth;
          if (u == ">" && --depth == 0) break;
        }
        if (i < toks.size()) nameEnd = toks[i].end;
      }
      continue;
    }
    if (t != "::") nameBegin = std::string_view::npos;  // stray punctuation
  }
  if (nameBegin == std::string_view::npos) {
    name->clear();  // an unnamed class
    return true;
  }
  *name = CollapseBlanks(head.substr(nameBegin, nameEnd - nameBegin));
  return true;
}

}  // namespace

std::vector<std::string> EnclosingClassesAt(const Prepared& prepared, std::size_t at) {
  const std::string_view s = prepared.text;
  at = std::min(at, s.size());
  // One entry per open brace: whether it opened a class, and its name.
  struct Frame {
    bool isClass;
    std::string name;
  };
  std::vector<Frame> frames;
  std::size_t statement = 0;  // where the text in front of the next brace starts
  bool lineStart = true;
  for (std::size_t i = 0; i < at;) {
    const char c = s[i];
    if (c == '\n') {
      lineStart = true;
      ++i;
      continue;
    }
    if (IsBlank(c)) {
      ++i;
      continue;
    }
    if (c == '#' && lineStart) {
      const std::string_view d = Directive(s, i);
      std::size_t end = LineEnd(s, i);
      if (d == "else" || d.starts_with("elif")) end = SkipToEndif(s, end);
      // A directive ends the text in front of a brace only where it stands alone.
      i = std::min(end, at);
      continue;
    }
    lineStart = false;
    if (c == '"' || (c == '\'' && !(i > 0 && IsIdentByte(static_cast<unsigned char>(s[i - 1]))))) {
      i = SkipQuoted(s, i);
      continue;
    }
    if (c == '{') {
      std::string name;
      std::string head;
      // The head without its preprocessor lines.
      for (std::size_t k = statement; k < i;) {
        std::size_t lineEnd = s.find('\n', k);
        if (lineEnd == std::string_view::npos || lineEnd > i) lineEnd = i;
        std::size_t first = k;
        while (first < lineEnd && (s[first] == ' ' || s[first] == '\t')) ++first;
        if (first < lineEnd && s[first] == '#') {
          lineEnd = std::min(LineEnd(s, first), i);
        } else {
          head.append(s.substr(k, lineEnd - k));
          head.push_back('\n');
        }
        k = lineEnd + 1;
      }
      const bool isClass = ClassHeadName(head, &name);
      frames.push_back({isClass, std::move(name)});
      statement = i + 1;
    } else if (c == '}') {
      if (!frames.empty()) frames.pop_back();
      statement = i + 1;
    } else if (c == ';') {
      statement = i + 1;
    } else if (c == ':' && !(i + 1 < s.size() && s[i + 1] == ':') && !(i > 0 && s[i - 1] == ':')) {
      // "public:" ends what came before it, a base clause does not.
      const std::string_view before = s.substr(statement, i - statement);
      const std::string word = CollapseBlanks(before);
      if (word == "public" || word == "private" || word == "protected" ||
          word.ends_with("Q_SLOTS") || word.ends_with("Q_SIGNALS") || word == "signals" ||
          word.ends_with(" slots"))
        statement = i + 1;
    }
    ++i;
  }
  // The classes directly around `at`, innermost last; none when a function body
  // or a namespace is the innermost scope.
  std::vector<std::string> names;
  for (std::size_t k = frames.size(); k-- > 0;) {
    if (!frames[k].isClass) break;
    names.insert(names.begin(), frames[k].name);
  }
  return names;
}

std::string CollapseBlanks(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  bool space = false;
  for (char c : text) {
    if (IsBlank(c)) {
      space = !out.empty();
      continue;
    }
    if (space) out.push_back(' ');
    space = false;
    out.push_back(c);
  }
  return out;
}

}  // namespace quillmark::syntax::detail
