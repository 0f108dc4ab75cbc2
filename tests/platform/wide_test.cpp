// The Windows module's one UTF-8/UTF-16 converter: what it refuses, what it
// replaces when asked to, and that valid text goes there and back unchanged.
// Plain code, so the same table runs on Linux and under Wine.
#include <gtest/gtest.h>

#include <string>

#include "quillmark/wide.h"

namespace quillmark::win32 {
namespace {

using std::string_literals::operator""s;

std::wstring Units(std::initializer_list<unsigned> units) {
  std::wstring out;
  for (unsigned unit : units) out.push_back(static_cast<wchar_t>(unit));
  return out;
}

TEST(WideTest, Utf8ToUtf16) {
  const struct {
    std::string utf8;
    bool valid;
    std::wstring utf16;  // the conversion, or with kReplace the replaced text
    const char* why;
  } kRows[] = {
      {"", true, L"", "empty"},
      {"a\0b"s, true, Units({'a', 0, 'b'}), "a NUL is a character like any other"},
      {"\xE4\xB8\xAD\xE6\x96\x87", true, Units({0x4E2D, 0x6587}), "three-byte characters"},
      {"\xC2\x80\xDF\xBF", true, Units({0x80, 0x7FF}), "the two-byte range's ends"},
      {"\xF0\x9F\x98\x80", true, Units({0xD83D, 0xDE00}), "beyond the BMP: a surrogate pair"},
      {"\xF4\x8F\xBF\xBF", true, Units({0xDBFF, 0xDFFF}), "U+10FFFF, the last code point"},
      {"\xEF\xBF\xBD", true, Units({0xFFFD}), "U+FFFD itself is valid"},
      {"\xC0\x80", false, Units({0xFFFD, 0xFFFD}), "an overlong NUL"},
      {"\xE0\x80\x80", false, Units({0xFFFD, 0xFFFD, 0xFFFD}), "an overlong three-byte form"},
      {"\xED\xA0\x80", false, Units({0xFFFD, 0xFFFD, 0xFFFD}), "an encoded surrogate"},
      {"\xF4\x90\x80\x80", false, Units({0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}), "past U+10FFFF"},
      {"a\xE4\xB8", false, Units({'a', 0xFFFD}), "a cut sequence is one replacement"},
      {"a\xE4\xB8"
       "b",
       false, Units({'a', 0xFFFD, 'b'}), "the text after it is kept"},
      {"\x80", false, Units({0xFFFD}), "a lone trailing byte"},
      {"\xF5\xFF", false, Units({0xFFFD, 0xFFFD}), "bytes that never start a character"},
      {"\xD6\xD0\xCE\xC4", false, Units({0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}), "code page 936 text"},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.why);
    const std::optional<std::wstring> refused = Widen(row.utf8);
    EXPECT_EQ(row.valid, refused.has_value());
    if (row.valid) {
      EXPECT_EQ(row.utf16, refused);
      EXPECT_EQ(row.utf8, Narrow(row.utf16)) << "back unchanged";
    }
    EXPECT_EQ(row.utf16, Widen(row.utf8, InvalidText::kReplace));
  }
}

TEST(WideTest, Utf16ToUtf8) {
  const struct {
    std::wstring utf16;
    bool valid;
    std::string utf8;  // the conversion, or with kReplace the replaced text
    const char* why;
  } kRows[] = {
      {L"", true, "", "empty"},
      {Units({0x7F, 0x80, 0x7FF, 0x800, 0xFFFF}), true,
       "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF", "each length's ends"},
      {Units({0xD83D, 0xDE00}), true, "\xF0\x9F\x98\x80", "a surrogate pair"},
      {Units({0xFFFD}), true, "\xEF\xBF\xBD", "U+FFFD itself is valid"},
      {Units({0xD800}), false, "\xEF\xBF\xBD", "a lone high surrogate"},
      {Units({'a', 0xDC00, 'b'}), false,
       "a\xEF\xBF\xBD"
       "b",
       "a lone low surrogate"},
      {Units({0xDE00, 0xD83D}), false, "\xEF\xBF\xBD\xEF\xBF\xBD", "a pair the wrong way round"},
      {Units({0xD800, 0xD800, 0xDC00}), false, "\xEF\xBF\xBD\xF0\x90\x80\x80",
       "a high surrogate before a pair"},
      {Units({'a', 0xD83D}), false, "a\xEF\xBF\xBD", "a high surrogate at the end"},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.why);
    const std::optional<std::string> refused = Narrow(row.utf16);
    EXPECT_EQ(row.valid, refused.has_value());
    if (row.valid) {
      EXPECT_EQ(row.utf8, refused);
      EXPECT_EQ(row.utf16, Widen(row.utf8)) << "back unchanged";
    }
    EXPECT_EQ(row.utf8, Narrow(row.utf16, InvalidText::kReplace));
  }
}

}  // namespace
}  // namespace quillmark::win32
