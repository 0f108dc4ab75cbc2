// UTF-8 <-> UTF-16 by the letter of the Unicode standard's well-formed
// sequences.
#include "quillmark/wide.h"

#include <cstddef>

namespace quillmark::win32 {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// One code point read from `text` at `at`: its value and length when the
// sequence there is well formed; else the length of its maximal ill-formed
// subpart (at least one byte), which a replacing conversion skips as one.
struct Decoded {
  char32_t code = 0;
  std::size_t length = 1;
  bool valid = false;
};

Decoded DecodeUtf8(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80) return {lead, 1, true};
  std::size_t trailing = 0;
  char32_t code = 0;
  // The range of the first trailing byte narrows for E0, ED, F0 and F4: they
  // would otherwise start overlong forms, surrogates or values past U+10FFFF.
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    trailing = 1;
    code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    trailing = 2;
    code = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    trailing = 3;
    code = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return {};
  }
  for (std::size_t i = 1; i <= trailing; ++i) {
    if (at + i >= text.size()) return {0, i, false};
    const auto byte = static_cast<unsigned char>(text[at + i]);
    if (byte < low || byte > high) return {0, i, false};
    code = (code << 6) | (byte & 0x3F);
    low = 0x80;
    high = 0xBF;
  }
  return {code, trailing + 1, true};
}

void AppendUtf16(std::wstring& out, char32_t code) {
  if (code < 0x10000) {
    out.push_back(static_cast<wchar_t>(code));
    return;
  }
  code -= 0x10000;
  out.push_back(static_cast<wchar_t>(0xD800 + (code >> 10)));
  out.push_back(static_cast<wchar_t>(0xDC00 + (code & 0x3FF)));
}

void AppendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

bool IsHighSurrogate(char32_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(char32_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

std::optional<std::wstring> Widen(std::string_view utf8, InvalidText invalid) {
  std::wstring out;
  out.reserve(utf8.size());
  for (std::size_t at = 0; at < utf8.size();) {
    const Decoded decoded = DecodeUtf8(utf8, at);
    if (!decoded.valid && invalid == InvalidText::kRefuse) return std::nullopt;
    AppendUtf16(out, decoded.valid ? decoded.code : kReplacement);
    at += decoded.length;
  }
  return out;
}

std::optional<std::string> Narrow(std::wstring_view utf16, InvalidText invalid) {
  std::string out;
  out.reserve(utf16.size());
  for (std::size_t at = 0; at < utf16.size(); ++at) {
    // A wchar_t wider than 16 bits (off Windows) still holds one code unit.
    const auto unit = static_cast<char32_t>(utf16[at]);
    char32_t code = unit;
    bool valid = unit <= 0xFFFF && !IsLowSurrogate(unit);
    if (IsHighSurrogate(unit)) {
      const char32_t next = at + 1 < utf16.size() ? static_cast<char32_t>(utf16[at + 1]) : 0;
      valid = IsLowSurrogate(next);
      if (valid) {
        code = 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00);
        ++at;
      }
    }
    if (!valid) {
      if (invalid == InvalidText::kRefuse) return std::nullopt;
      code = kReplacement;
    }
    AppendUtf8(out, code);
  }
  return out;
}

}  // namespace quillmark::win32
