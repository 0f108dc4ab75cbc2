// Code page 936's user-defined area on Linux: the converter answers as Windows
// does, and a settings file holding every such code loads and saves unchanged.
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

#include "test_support.h"

namespace quillmark {
namespace {

std::string Utf8Of(char32_t c) {
  return {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
          static_cast<char>(0x80 | (c & 0x3F))};
}

std::string BytesOf(unsigned code) {
  return {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
}

// The table recorded from Windows' own converter: code, character.
std::vector<std::pair<unsigned, char32_t>> RecordedTable() {
  std::vector<std::pair<unsigned, char32_t>> table;
  std::ifstream in(QUILLMARK_CP936_TABLE);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    unsigned code = 0, character = 0;
    std::istringstream(line) >> std::hex >> code >> character;
    table.emplace_back(code, character);
  }
  return table;
}

TEST(Cp936UserAreaConverter, EveryCodeBothWaysAsWindows) {
  const auto table = RecordedTable();
  ASSERT_EQ(2149u, table.size());
  const TextConverter& converter = testing::Converter();
  std::string allGbk, allUtf8;
  for (const auto& [code, character] : table) {
    SCOPED_TRACE(BytesOf(code));
    ASSERT_EQ(Utf8Of(character), converter.GbkToUtf8(BytesOf(code)));
    ASSERT_EQ(BytesOf(code), converter.Utf8ToGbk(Utf8Of(character)));
    allGbk += BytesOf(code);
    allUtf8 += Utf8Of(character);
  }
  EXPECT_EQ(allUtf8, converter.GbkToUtf8(allGbk));
  EXPECT_EQ(allGbk, converter.Utf8ToGbk(allUtf8));
}

TEST(Cp936UserAreaConverter, MixedWithOrdinaryText) {
  const std::string user = "\xAA\xA1";  // U+E000
  const std::string pua = "\xEE\x80\x80";
  const std::string mo = "\xC4\xAB";  // 墨
  const struct {
    std::string gbk;
    std::optional<std::string> utf8;
    const char* why;
  } kRows[] = {
      {"a" + user + "b", "a" + pua + "b", "between ASCII"},
      {user + mo + user, pua + "墨" + pua, "around a hanzi, at both ends"},
      {mo + user + user + mo, "墨" + pua + pua + "墨", "two in a row between hanzi"},
      {"\xB0" + user, std::nullopt, "a lead byte whose trail is a user code's lead"},
      {user + "\xB0", std::nullopt, "a lead byte cut short after a user code"},
      {"\xA1\xAA\xA1", std::nullopt, "the trail byte of A1AA is no lead of AAA1"},
      {"\xA1\xA1" + user, "\xE3\x80\x80" + pua, "the ideographic space stays iconv's"},
  };
  const TextConverter& converter = testing::Converter();
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.why);
    EXPECT_EQ(row.utf8, converter.GbkToUtf8(row.gbk));
    if (row.utf8) {
      EXPECT_EQ(row.gbk, converter.Utf8ToGbk(*row.utf8));
    }
  }
  const struct {
    std::string utf8;
    const char* why;
  } kRefused[] = {
      {"\xEE\x80", "a private-use character cut short"},
      {"\xEE\xA1\xA5", "U+E865, past the area, has no code"},
      {"a\xEE"
       "b",
       "a lone lead byte"},
  };
  for (const auto& row : kRefused) {
    SCOPED_TRACE(row.why);
    EXPECT_EQ(std::nullopt, converter.Utf8ToGbk(row.utf8));
  }
}

class Cp936UserAreaSettingsTest : public testing::ScratchDirTest {};

TEST_F(Cp936UserAreaSettingsTest, FileHoldingEveryCodeLoadsAndSavesUnchanged) {
  std::string allGbk, allUtf8;
  for (const auto& [code, character] : RecordedTable()) {
    allGbk += BytesOf(code);
    allUtf8 += Utf8Of(character);
  }
  const TextConverter& converter = testing::Converter();
  {
    TemplateTree tree;
    tree.userInfo.authorName = allUtf8;
    tree.userInfo.companyName = "墨翎" + allUtf8.substr(0, 30);
    std::string error;
    ASSERT_TRUE(SaveSettingsAs(tree, profile_, converter, &error)) << error;
  }
  std::string written;
  ASSERT_TRUE(ReadWholeFile(profile_, written, nullptr));
  EXPECT_NE(std::string::npos, written.find("AuthorName=" + allGbk + "\r\n"))
      << "the file is in code page 936, codes as Windows writes them";

  TemplateTree tree;
  std::string error;
  ASSERT_TRUE(LoadSettings(tree, profile_, converter, false, &error)) << error;
  EXPECT_EQ(allUtf8, tree.userInfo.authorName);
  ASSERT_TRUE(SaveSettings(tree, profile_, converter, &error)) << error;
  std::string saved;
  ASSERT_TRUE(ReadWholeFile(profile_, saved, nullptr));
  EXPECT_EQ(written, saved);
}

}  // namespace
}  // namespace quillmark
