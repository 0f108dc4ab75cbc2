#include "test_support.h"

namespace quillmark {
namespace {

using testing::EngineTest;

class IniFileTest : public EngineTest {};

TEST_F(IniFileTest, LineRules) {
  IniFile ini({}, testing::Converter());
  ini.Parse(
      "top=1\n"
      "[S]\r\n"
      "a=\r\n"
      "=skipped\n"
      "k=v=w\n"
      " sp = v \n"
      "[\n"
      "noequals\n"
      ";c=1\n"
      "[s]\n"
      "a=lower\n"
      "[[S]]\n"
      "a=again\n"
      "cr=x\ry\r\n"
      "[Empty]\n");
  const struct {
    const char* section;
    const char* key;
    const char* value;  // nullptr: not found
  } kCases[] = {
      {"", "top", "1"},        {"S", "a", "again"},        {"S", "", nullptr},
      {"S", "k", "v=w"},       {"S", " sp ", " v "},       {"S", "sp", nullptr},
      {"S", ";c", "1"},        {"s", "a", "lower"},        {"S", "cr", "x\ry"},
      {"Empty", "x", nullptr}, {"[", "noequals", nullptr},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.section) + "/" + c.key);
    std::string value = "junk";
    EXPECT_EQ(c.value != nullptr, ini.GetValue(value, c.section, c.key));
    EXPECT_EQ(c.value ? c.value : "", value);
  }
  EXPECT_EQ(
      "[]\r\ntop=1\r\n\r\n"
      "[S]\r\na=again\r\nk=v=w\r\n sp = v \r\n;c=1\r\ncr=x\ry\r\n\r\n"
      "[s]\r\na=lower\r\n\r\n",
      ini.Serialize());
}

TEST_F(IniFileTest, ErrorsAndIntegers) {
  IniFile ini({}, testing::Converter());
  ini.Parse("[n]\na=42abc\nb=  -7\nc=x1\nd=99999999999\ne=+3\n");
  const struct {
    const char* key;
    bool found;
    int value;
  } kCases[] = {{"a", true, 42},         {"b", true, -7}, {"c", true, 0},
                {"d", true, 2147483647}, {"e", true, 3},  {"z", false, 0}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.key);
    int value = -1;
    EXPECT_EQ(c.found, ini.GetIntValue(value, "n", c.key));
    EXPECT_EQ(c.value, value);
  }
  std::string out;
  std::string error;
  EXPECT_FALSE(ini.GetValue(out, "nope", "a", &error));
  EXPECT_EQ(kKeyNotFound, error);
  EXPECT_FALSE(ini.GetValue(out, "n", "nope", &error));
  EXPECT_EQ(kValueNotFound, error);
  EXPECT_TRUE(ini.GetValue(out, "n", "a", &error));
  EXPECT_EQ(kValueNotFound, error);  // a success leaves it
  EXPECT_FALSE(ini.SetValue("n", "new", "v", false));
  EXPECT_FALSE(ini.SetValue("new", "k", "v", false));
  EXPECT_TRUE(ini.SetIntValue("n", "new", -12, true));
  EXPECT_TRUE(ini.GetValue(out, "n", "new"));
  EXPECT_EQ("-12", out);

  ini.path = "/nonexistent-dir/x.ini";
  std::string systemError;
  EXPECT_FALSE(ini.Read(&error, &systemError));
  EXPECT_EQ(kUnableToOpen, error);
  EXPECT_NE(std::string::npos, systemError.find("/nonexistent-dir/x.ini")) << systemError;
  EXPECT_TRUE(ini.missing);
  EXPECT_EQ(0, ini.FindSection("n"));  // content kept after a failed read
  EXPECT_FALSE(ini.Write(nullptr));
}

TEST_F(IniFileTest, WriteReadWriteIsStable) {
  IniFile ini({}, testing::Converter());
  ini.Parse("x=1\n[A]\nk=v\n[B]\nLine0=//\t名 : %Time% \n[A]\nk2=\n");
  const std::string once = ini.Serialize();
  IniFile again({}, testing::Converter());
  again.Parse(once);
  EXPECT_EQ(once, again.Serialize());
}

TEST_F(IniFileTest, CodePage936FilesAreHeldInUtf8) {
  IniFile ini({}, testing::Converter());
  // 0x81 0x80 is one character; its key is found by its UTF-8 spelling.
  ASSERT_TRUE(ini.LoadBytes("[s]\r\n\x81\x80=v\r\n"));
  std::string error;
  // A byte-order mark in front of bytes that are not UTF-8.
  EXPECT_FALSE(ini.LoadBytes("\xEF\xBB\xBF[s]\r\nk=\x81\x80\r\n", &error));
  EXPECT_EQ(kUnableToConvert, error);
  EXPECT_EQ(FileEncoding::kGbk, ini.encoding) << "the content read before stays";
  EXPECT_EQ(FileEncoding::kGbk, ini.encoding);
  std::string out;
  EXPECT_TRUE(ini.GetValue(out, "s", testing::Converter().GbkToUtf8("\x81\x80").value()));
  EXPECT_EQ("v", out);
}

}  // namespace
}  // namespace quillmark
