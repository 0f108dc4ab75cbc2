// The rewriting a text needs before the grammar sees it: comments blanked, COM
// macro forms lowered to plain C++, export and calling-convention macros removed.
// Every rewrite keeps the length and the line breaks, so a byte offset into the
// result is the same offset into the source.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "quillmark/syntax.h"

namespace quillmark::syntax::detail {

// A COM form lowered at [begin, end): the declaration it opens has `kind`.
struct Marker {
  std::size_t begin = 0;
  std::size_t end = 0;
  Kind kind = Kind::None;
};

// What each source byte became.
// kScope: a macro that stands for a scope's opening or closing, or for members
// (FMT_BEGIN_EXPORT, Q_OBJECT), which belongs to no declaration.
enum Blanked : char { kKept = ' ', kComment = 'c', kMacro = 'm', kScope = 's' };

struct Prepared {
  std::string text;     // as long as the source
  std::string written;  // the source with comments blanked only: for texts shown as written
  std::string mask;     // one Blanked value per byte
  std::vector<Marker> markers;
};

Prepared Prepare(std::string_view source);

// For one selected declaration: the conditional directives and every branch
// after the first are blanked ("#if A / reference / #else / void / #endif"
// reads as "reference").
void BlankConditionals(Prepared& prepared);

// The classes whose body byte `at` of a prepared document stands in directly,
// outermost first ("" for an unnamed one); empty when a namespace, a function
// body or nothing is the innermost scope there. Found by counting braces, so a
// tree the grammar breaks above `at` does not lose the class.
std::vector<std::string> EnclosingClassesAt(const Prepared& prepared, std::size_t at);

// True for a name written the way macros are: capitals, digits and underscores.
inline bool IsMacroName(std::string_view name) {
  bool letter = false;
  for (char c : name) {
    if (c >= 'A' && c <= 'Z') {
      letter = true;
    } else if (!(c == '_' || (c >= '0' && c <= '9'))) {
      return false;
    }
  }
  return letter;
}

// True for bytes that can continue an identifier (UTF-8 bytes included).
inline bool IsIdentByte(unsigned char c) {
  return c == '_' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         c >= 0x80;
}

// Each run of white space becomes one blank; none at either end.
std::string CollapseBlanks(std::string_view text);

}  // namespace quillmark::syntax::detail
