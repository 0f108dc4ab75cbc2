// Code pages and the byte search every keyword test uses.
#include <bit>
#include <cstdint>
#include <cstring>

#include "internal.h"

namespace quillmark {

bool IsLeadByte(unsigned char byte, CodePage page) {
  return page == CodePage::kGbk && byte >= 0x81 && byte <= 0xFE;
}

std::size_t CharLengthAt(std::string_view text, std::size_t pos, CodePage page) {
  if (pos >= text.size()) return 1;
  const auto lead = static_cast<unsigned char>(text[pos]);
  std::size_t length = 1;
  if (page == CodePage::kGbk) {
    length = IsLeadByte(lead, page) ? 2 : 1;
  } else if (lead >= 0xF0) {
    length = 4;
  } else if (lead >= 0xE0) {
    length = 3;
  } else if (lead >= 0xC0) {
    length = 2;
  }
  if (length > 1 && page == CodePage::kUtf8) {
    // A malformed sequence counts one byte at a time.
    for (std::size_t i = 1; i < length; ++i) {
      if (pos + i >= text.size() || (static_cast<unsigned char>(text[pos + i]) & 0xC0) != 0x80)
        return 1;
    }
  }
  return pos + length <= text.size() ? length : text.size() - pos;
}
bool IsValidUtf8(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* const end = p + text.size();
  const auto cont = [](unsigned char b) { return (b & 0xC0) == 0x80; };
  while (p < end) {
    // ASCII eight bytes at a time, up to the first byte with its high bit set.
    if (end - p >= 8) {
      std::uint64_t chunk;
      std::memcpy(&chunk, p, 8);
      const std::uint64_t high = chunk & 0x8080808080808080ull;
      if (high == 0) {
        p += 8;
        continue;
      }
      if constexpr (std::endian::native == std::endian::little) {
        const int ascii = std::countr_zero(high) / 8;
        if (ascii > 0) {
          p += ascii;
          continue;
        }
      }
    }
    const unsigned char c = *p;
    if (c < 0x80) {
      ++p;
    } else if (c < 0xC2) {
      return false;  // a continuation byte or an overlong two-byte form
    } else if (c < 0xE0) {
      if (end - p < 2 || !cont(p[1])) return false;
      p += 2;
    } else if (c < 0xF0) {
      if (end - p < 3 || !cont(p[1]) || !cont(p[2])) return false;
      if ((c == 0xE0 && p[1] < 0xA0) || (c == 0xED && p[1] >= 0xA0))
        return false;  // overlong, surrogate
      p += 3;
    } else if (c < 0xF5) {
      if (end - p < 4 || !cont(p[1]) || !cont(p[2]) || !cont(p[3])) return false;
      if ((c == 0xF0 && p[1] < 0x90) || (c == 0xF4 && p[1] >= 0x90))
        return false;  // overlong, > U+10FFFF
      p += 4;
    } else {
      return false;
    }
  }
  return true;
}

std::optional<std::string> EncodeFromUtf8(std::string_view utf8, CodePage page,
                                          const TextConverter& converter) {
  if (page == CodePage::kUtf8) return std::string(utf8);
  return converter.Utf8ToGbk(utf8);
}

std::optional<std::string> DecodeToUtf8(std::string_view text, CodePage page,
                                        const TextConverter& converter) {
  if (page == CodePage::kUtf8) return std::string(text);
  return converter.GbkToUtf8(text);
}

std::string EncodeLossy(std::string_view utf8, CodePage page, const TextConverter& converter,
                        bool* replaced) {
  if (page == CodePage::kUtf8) return std::string(utf8);
  if (std::optional<std::string> whole = converter.Utf8ToGbk(utf8)) return std::move(*whole);
  // Character by character, so one that has no counterpart costs only itself.
  std::string out;
  for (std::size_t pos = 0; pos < utf8.size();) {
    const std::size_t length = CharLengthAt(utf8, pos, CodePage::kUtf8);
    const std::optional<std::string> one = converter.Utf8ToGbk(utf8.substr(pos, length));
    if (one) {
      out += *one;
    } else {
      out += '?';
      if (replaced != nullptr) *replaced = true;
    }
    pos += length;
  }
  return out;
}

int FindSubstring(std::string_view text, std::string_view literal, CodePage page, int start) {
  if (start < 0) start = 0;
  const auto from = static_cast<std::size_t>(start);
  if (from > text.size()) return -1;
  if (literal.empty()) return start;
  if (literal.size() > text.size() - from) return -1;
  if (page != CodePage::kGbk) {
    // In UTF-8 an ASCII literal cannot begin inside a character, and a
    // multi-byte literal can only match whole characters.
    const auto pos = text.find(literal, from);
    return pos == std::string_view::npos ? -1 : static_cast<int>(pos);
  }
  const std::size_t last = text.size() - literal.size();
  const char first = literal.front();
  std::size_t i = from;
  while (i <= last) {
    if (text[i] == first && std::memcmp(text.data() + i, literal.data(), literal.size()) == 0)
      return static_cast<int>(i);
    i += (IsLeadByte(static_cast<unsigned char>(text[i]), page) && i + 1 < text.size()) ? 2 : 1;
  }
  return -1;
}

std::optional<std::string> UsableLogonName(const std::optional<std::string>& logonName) {
  // The system's buffer holds 260 bytes with the terminator.
  if (!logonName || logonName->empty() || logonName->size() >= 260) return std::nullopt;
  return logonName;
}

}  // namespace quillmark
