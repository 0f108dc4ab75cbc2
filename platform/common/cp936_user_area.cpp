// The user-defined area as Windows maps it: runs of codes, each run going to
// consecutive private-use characters. Trail byte 0x7F never occurs in code
// page 936, so a run that crosses it skips it.
#include "cp936_user_area.h"

#include <array>

namespace quillmark {
namespace {

struct Run {
  std::uint16_t first;  // first and last double-byte code of the run
  std::uint16_t last;
  char32_t character;  // the character of `first`
};

// Sorted by code. The characters of all runs together fill U+E000 to U+E864.
constexpr std::array<Run, 46> kRuns = {{
    {0xA140, 0xA1A0, 0xE4C6}, {0xA240, 0xA2A0, 0xE526}, {0xA2AB, 0xA2B0, 0xE766},
    {0xA2E3, 0xA2E4, 0xE76C}, {0xA2EF, 0xA2F0, 0xE76E}, {0xA2FD, 0xA2FE, 0xE770},
    {0xA340, 0xA3A0, 0xE586}, {0xA440, 0xA4A0, 0xE5E6}, {0xA4F4, 0xA4FE, 0xE772},
    {0xA540, 0xA5A0, 0xE646}, {0xA5F7, 0xA5FE, 0xE77D}, {0xA640, 0xA6A0, 0xE6A6},
    {0xA6B9, 0xA6C0, 0xE785}, {0xA6D9, 0xA6DF, 0xE78D}, {0xA6EC, 0xA6ED, 0xE794},
    {0xA6F3, 0xA6F3, 0xE796}, {0xA6F6, 0xA6FE, 0xE797}, {0xA740, 0xA7A0, 0xE706},
    {0xA7C2, 0xA7D0, 0xE7A0}, {0xA7F2, 0xA7FE, 0xE7AF}, {0xA896, 0xA8A0, 0xE7BC},
    {0xA8BC, 0xA8BC, 0xE7C7}, {0xA8BF, 0xA8BF, 0xE7C8}, {0xA8C1, 0xA8C4, 0xE7C9},
    {0xA8EA, 0xA8FE, 0xE7CD}, {0xA958, 0xA958, 0xE7E2}, {0xA95B, 0xA95B, 0xE7E3},
    {0xA95D, 0xA95F, 0xE7E4}, {0xA989, 0xA995, 0xE7E7}, {0xA997, 0xA9A3, 0xE7F4},
    {0xA9F0, 0xA9FE, 0xE801}, {0xAAA1, 0xAAFE, 0xE000}, {0xABA1, 0xABFE, 0xE05E},
    {0xACA1, 0xACFE, 0xE0BC}, {0xADA1, 0xADFE, 0xE11A}, {0xAEA1, 0xAEFE, 0xE178},
    {0xAFA1, 0xAFFE, 0xE1D6}, {0xD7FA, 0xD7FE, 0xE810}, {0xF8A1, 0xF8FE, 0xE234},
    {0xF9A1, 0xF9FE, 0xE292}, {0xFAA1, 0xFAFE, 0xE2F0}, {0xFBA1, 0xFBFE, 0xE34E},
    {0xFCA1, 0xFCFE, 0xE3AC}, {0xFDA1, 0xFDFE, 0xE40A}, {0xFE50, 0xFEA0, 0xE815},
    {0xFEA1, 0xFEFE, 0xE468},
}};

// Position of a code within its run; every run stays within one lead byte.
int Offset(const Run& run, std::uint16_t code) {
  const int trail = code & 0xFF;
  const int first = run.first & 0xFF;
  return trail - first - (first < 0x7F && trail > 0x7F ? 1 : 0);
}

int Length(const Run& run) {
  return Offset(run, run.last) + 1;
}

}  // namespace

std::optional<char32_t> Cp936UserAreaToUnicode(std::uint16_t code) {
  const int trail = code & 0xFF;
  if (trail < 0x40 || trail == 0x7F || trail == 0xFF) return std::nullopt;
  for (const Run& run : kRuns) {
    if ((run.first >> 8) != (code >> 8) || code < run.first || code > run.last) continue;
    return run.character + static_cast<char32_t>(Offset(run, code));
  }
  return std::nullopt;
}

std::optional<std::uint16_t> UnicodeToCp936UserArea(char32_t character) {
  for (const Run& run : kRuns) {
    if (character < run.character ||
        character >= run.character + static_cast<char32_t>(Length(run)))
      continue;
    int trail = (run.first & 0xFF) + static_cast<int>(character - run.character);
    if ((run.first & 0xFF) < 0x7F && trail >= 0x7F) ++trail;
    return static_cast<std::uint16_t>((run.first & 0xFF00) | trail);
  }
  return std::nullopt;
}

}  // namespace quillmark
