// The user-defined area against the table recorded from Windows, over every
// double-byte code; built for Windows, also against the system's converter.
#include "cp936_user_area.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace quillmark {
namespace {

std::string Hex(unsigned value) {
  char text[16];
  std::snprintf(text, sizeof text, "%04X", value);
  return text;
}

// Every code a double-byte character of code page 936 can have.
template <typename Visit>
void ForEachDoubleByteCode(Visit visit) {
  for (unsigned lead = 0x81; lead <= 0xFE; ++lead)
    for (unsigned trail = 0x40; trail <= 0xFE; ++trail)
      if (trail != 0x7F) visit(static_cast<std::uint16_t>(lead << 8 | trail));
}

std::map<std::uint16_t, char32_t> RecordedTable() {
  std::map<std::uint16_t, char32_t> table;
  std::ifstream in(QUILLMARK_CP936_TABLE);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    unsigned code = 0, character = 0;
    std::istringstream fields(line);
    fields >> std::hex >> code >> character;
    table[static_cast<std::uint16_t>(code)] = character;
  }
  return table;
}

TEST(Cp936UserArea, EveryCodeAgreesWithTheRecordedWindowsTable) {
  const std::map<std::uint16_t, char32_t> table = RecordedTable();
  ASSERT_EQ(static_cast<std::size_t>(kCp936UserAreaSize), table.size());
  int mismatches = 0;
  ForEachDoubleByteCode([&](std::uint16_t code) {
    const auto it = table.find(code);
    // 0 for "not in the area": no private-use character is 0.
    const char32_t expected = it == table.end() ? 0 : it->second;
    if (Cp936UserAreaToUnicode(code).value_or(0) != expected && ++mismatches <= 5)
      ADD_FAILURE() << "code " << Hex(code);
  });
  EXPECT_EQ(0, mismatches);
}

TEST(Cp936UserArea, PrivateUseCharactersMapBackOneToOne) {
  int mapped = 0;
  for (char32_t c = 0xD800; c <= 0xF8FF; ++c) {
    const std::optional<std::uint16_t> code = UnicodeToCp936UserArea(c);
    const bool inArea = c >= kCp936UserAreaFirst && c <= kCp936UserAreaLast;
    ASSERT_EQ(inArea, code.has_value()) << "U+" << Hex(c);
    if (!code) continue;
    ++mapped;
    ASSERT_EQ(c, Cp936UserAreaToUnicode(*code)) << "U+" << Hex(c);
  }
  EXPECT_EQ(kCp936UserAreaSize, mapped);
}

TEST(Cp936UserArea, CodesAroundTheArea) {
  const struct {
    std::uint16_t code;
    std::optional<char32_t> character;
    const char* why;
  } kCases[] = {
      {0xAAA1, 0xE000, "first code of the first user row"},
      {0xA17E, 0xE504, "last trail byte before the gap at 0x7F"},
      {0xA180, 0xE505, "first trail byte after the gap at 0x7F"},
      {0xA17F, std::nullopt, "0x7F is never a trail byte"},
      {0xA1A1, std::nullopt, "the ideographic space, an assigned character"},
      {0xB0A1, std::nullopt, "an ordinary hanzi"},
      {0xD7F9, std::nullopt, "the last hanzi of its row"},
      {0xD7FA, 0xE810, "the unassigned tail of row D7"},
      {0xFE4F, std::nullopt, "an assigned character just before the FE50 run"},
      {0xFEFE, 0xE4C5, "last code of the last user row"},
      {0xA13F, std::nullopt, "trail byte below 0x40"},
      {0x00A1, std::nullopt, "no lead byte"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(c.character, Cp936UserAreaToUnicode(c.code));
  }
  EXPECT_EQ(std::nullopt, UnicodeToCp936UserArea(U'墨'));
  EXPECT_EQ(std::nullopt, UnicodeToCp936UserArea(0xE865));
}

#ifdef _WIN32
// The recorded table is what this system's converter does, both ways.
TEST(Cp936UserArea, AgreesWithTheSystemConverter) {
  int checked = 0;
  int mismatches = 0;
  ForEachDoubleByteCode([&](std::uint16_t code) {
    const char bytes[2] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
    wchar_t wide[4] = {};
    const int n = MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, bytes, 2, wide, 4);
    const bool privateUse = n == 1 && wide[0] >= 0xE000 && wide[0] <= 0xF8FF;
    const char32_t system = privateUse ? wide[0] : 0;
    if (Cp936UserAreaToUnicode(code).value_or(0) != system && ++mismatches <= 5)
      ADD_FAILURE() << "code " << Hex(code) << " gives U+" << Hex(wide[0]);
    if (privateUse) ++checked;
  });
  EXPECT_EQ(kCp936UserAreaSize, checked);
  for (char32_t c = kCp936UserAreaFirst; c <= kCp936UserAreaLast; ++c) {
    const wchar_t wide = static_cast<wchar_t>(c);
    char bytes[4] = {};
    BOOL usedDefault = FALSE;
    const int n =
        WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, &wide, 1, bytes, 4, nullptr, &usedDefault);
    ASSERT_EQ(2, n) << "U+" << Hex(c);
    ASSERT_FALSE(usedDefault) << "U+" << Hex(c);
    const auto code = static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[0]) << 8 |
                                                 static_cast<unsigned char>(bytes[1]));
    ASSERT_EQ(std::optional<std::uint16_t>(code), UnicodeToCp936UserArea(c)) << "U+" << Hex(c);
  }
}
#endif

}  // namespace
}  // namespace quillmark
