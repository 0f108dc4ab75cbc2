#include "test_support.h"

namespace quillmark {
namespace {

using testing::EngineTest;

class NormaliseTest : public EngineTest {};

TEST_F(NormaliseTest, TrimDeclaration) {
  const struct {
    const char* text;
    const char* expected;
    const char* why;
  } kCases[] = {
      {"class CFoo : CBase\n{\n int n;\n};", "class CFoo : CBase\n", "keeps the head only"},
      {"// a { brace\nclass CFoo {", "// a ", "the first brace may sit in a comment"},
      {" \r\n\t \n", " \r\n\t \n", "white space only stays whole"},
      {"", "", "empty"},
      {"\r\n\tint f()  \r\n", "int f()  \r\n", "trailing white space stays"},
      {"{ body }", "", "brace first"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    std::string text = c.text;
    TrimDeclaration(text, CodePage::kUtf8);
    EXPECT_EQ(c.expected, text);
  }
}

TEST_F(NormaliseTest, Removals) {
  std::string head = "class  AFX_EXT_CLASS\r\n\tCMyView :\n public CView";
  RemoveWhitespace(head);
  EXPECT_EQ("classAFX_EXT_CLASSCMyView:publicCView", head);
  RemoveExportMacros(head, CodePage::kUtf8);
  EXPECT_EQ("classCMyView:publicCView", head);

  std::string spaced = "class __declspec( dllexport ) CFoo";
  RemoveWhitespace(spaced);
  RemoveExportMacros(spaced, CodePage::kUtf8);
  EXPECT_EQ("classCFoo", spaced);

  std::string macro = "A 1 + 2  3";
  KeepFirstOccurrence(macro, ' ');
  EXPECT_EQ("A 1+23", macro);
  std::string none;
  KeepFirstOccurrence(none, ' ');
  EXPECT_EQ("", none);

  // One pass: what the removal joins together is not searched again.
  std::string joined = "ststaticatic x";
  RemoveSubstring(joined, "static", CodePage::kUtf8);
  EXPECT_EQ("static x", joined);
  std::string words = "staticCount static";
  RemoveSubstring(words, "static", CodePage::kUtf8);
  EXPECT_EQ("Count ", words);
}

TEST_F(NormaliseTest, DoubleByteTextKeepsItsCharacters) {
  // 0xB0 0x41 is one character whose second byte is "A": not part of "AFX".
  std::string text =
      "\xB0"
      "AFX_EXT_CLASS";
  RemoveSubstring(text, "AFX_EXT_CLASS", CodePage::kGbk);
  EXPECT_EQ(
      "\xB0"
      "AFX_EXT_CLASS",
      text);
}

}  // namespace
}  // namespace quillmark
