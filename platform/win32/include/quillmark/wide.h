// UTF-8 <-> UTF-16, the one converter of the Windows module: paths, registry
// values, automation strings, window texts and message boxes all cross here.
// Plain code rather than the system's converter, so that every Windows version
// (XP's converter knows no way to refuse an unpaired surrogate) gives the same
// answer; wchar_t holds UTF-16 code units.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillmark::win32 {

// What a conversion does with input that is not valid: UTF-8 that is not
// well formed (overlong forms, encoded surrogates, code points beyond
// U+10FFFF, cut sequences) or UTF-16 with an unpaired surrogate.
enum class InvalidText {
  // The conversion fails: nothing is silently turned into something else.
  kRefuse,
  // Each invalid piece becomes U+FFFD (one per maximal ill-formed subpart)
  // and the conversion always gives a text. Only for text that is shown and
  // never kept or handed on; a caller that asks for it says why.
  kReplace,
};

// Nothing when `utf8` is not valid UTF-8 and `invalid` is kRefuse.
[[nodiscard]] std::optional<std::wstring> Widen(std::string_view utf8,
                                                InvalidText invalid = InvalidText::kRefuse);
// Nothing when `utf16` holds an unpaired surrogate and `invalid` is kRefuse.
[[nodiscard]] std::optional<std::string> Narrow(std::wstring_view utf16,
                                                InvalidText invalid = InvalidText::kRefuse);

}  // namespace quillmark::win32
