// Code pages, the byte search every keyword test uses, and the process-wide
// sources (clock, logon name, host application) the engine reads.
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
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t n = 0;
    std::uint32_t cp = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      n = 1, cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      n = 2, cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      n = 3, cp = c & 0x07;
    } else {
      return false;
    }
    for (std::size_t k = 1; k <= n; ++k) {
      if (i + k >= text.size()) return false;
      const auto t = static_cast<unsigned char>(text[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (t & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    if ((n == 2 && cp < 0x800) || (n == 3 && cp < 0x10000) || cp > 0x10FFFF ||
        (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += n + 1;
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
