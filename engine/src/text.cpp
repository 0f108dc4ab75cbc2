// Code pages, the byte search every keyword test uses, and the process-wide
// sources (clock, logon name, host application) the engine reads.
#include <bit>
#include <cstdint>
#include <cstring>
#include <ctime>

#include "internal.h"

namespace quillmark {
namespace {

CodePage g_codePage = CodePage::kUtf8;
const TextConverter* g_converter = nullptr;
std::function<LocalDate()> g_dateSource;
std::function<std::optional<std::string>()> g_logonNameSource;
EditorHost* g_hostApplication = nullptr;

}  // namespace

void SetCodePage(CodePage page) {
  g_codePage = page;
}
CodePage GetCodePage() {
  return g_codePage;
}
void SetTextConverter(const TextConverter* converter) {
  g_converter = converter;
}
const TextConverter* GetTextConverter() {
  return g_converter;
}

bool IsLeadByte(unsigned char byte) {
  return g_codePage == CodePage::kGbk && byte >= 0x81 && byte <= 0xFE;
}

std::size_t CharLengthAt(std::string_view text, std::size_t pos) {
  if (pos >= text.size()) return 1;
  const auto lead = static_cast<unsigned char>(text[pos]);
  std::size_t length = 1;
  if (g_codePage == CodePage::kGbk) {
    length = IsLeadByte(lead) ? 2 : 1;
  } else if (lead >= 0xF0) {
    length = 4;
  } else if (lead >= 0xE0) {
    length = 3;
  } else if (lead >= 0xC0) {
    length = 2;
  }
  if (length > 1 && g_codePage == CodePage::kUtf8) {
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

std::optional<std::string> EncodeFromUtf8(std::string_view utf8, CodePage page) {
  if (page == CodePage::kUtf8) return std::string(utf8);
  if (g_converter == nullptr) return std::nullopt;
  return g_converter->Utf8ToGbk(utf8);
}

std::optional<std::string> DecodeToUtf8(std::string_view text, CodePage page) {
  if (page == CodePage::kUtf8) return std::string(text);
  if (g_converter == nullptr) return std::nullopt;
  return g_converter->GbkToUtf8(text);
}

int FindSubstring(std::string_view text, std::string_view literal, int start) {
  if (start < 0) start = 0;
  const auto from = static_cast<std::size_t>(start);
  if (from > text.size()) return -1;
  if (literal.empty()) return start;
  if (literal.size() > text.size() - from) return -1;
  if (g_codePage != CodePage::kGbk) {
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
    i += (IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
  }
  return -1;
}

void SetDateSource(std::function<LocalDate()> source) {
  g_dateSource = std::move(source);
}

LocalDate detail::Today() {
  if (g_dateSource) return g_dateSource();
  const std::time_t now = std::time(nullptr);
  const std::tm* local = std::localtime(&now);
  if (local == nullptr) return {1970, 1, 1};
  return {local->tm_year + 1900, local->tm_mon + 1, local->tm_mday};
}

void SetLogonNameSource(std::function<std::optional<std::string>()> source) {
  g_logonNameSource = std::move(source);
}

std::optional<std::string> QueryLogonName() {
  if (!g_logonNameSource) return std::nullopt;
  auto name = g_logonNameSource();
  // The system's buffer holds 260 bytes with the terminator.
  if (name && (name->empty() || name->size() >= 260)) return std::nullopt;
  return name;
}

EditorHost* GetHostApplication() {
  return g_hostApplication;
}
void SetHostApplication(EditorHost* application) {
  g_hostApplication = application;
}

}  // namespace quillmark
