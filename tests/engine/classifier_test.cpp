#include "test_support.h"

namespace quillmark {
namespace {

using testing::EngineTest;
using testing::Gbk;

class ClassifierTest : public EngineTest {};

TEST_F(ClassifierTest, KindsInTestOrder) {
  const struct {
    const char* text;
    DeclKind kind;
    const char* why;
  } kCases[] = {
      {"class CFoo : public CBase", DeclKind::Class, "class head with a base list"},
      {"struct tagNODE", DeclKind::Struct, "struct head"},
      {"union UValue {", DeclKind::Union, "union head"},
      {"enum Color", DeclKind::Enum, "enum head"},
      {"typedef struct tagP { int x; int y; } P;", DeclKind::Struct, "plain data members"},
      {"typedef struct tagP { void (*pfn)(int); } P;", DeclKind::Function,
       "parentheses beat struct"},
      {"int f(int a)", DeclKind::Function, "free function"},
      {"void CFoo::Bar(int a)", DeclKind::MemberFunction, "member function"},
      {"void f(int a = NS::k)", DeclKind::MemberFunction, ":: in a default argument"},
      {"int f(int a,", DeclKind::None, "selection stops inside the parameter list"},
      {"#define MAX_LEN 256", DeclKind::Macro, "plain macro"},
      {"#define MAX(a, b) ((a) > (b))", DeclKind::MacroWithParams, "macro with parameters"},
      {"#define VAL (1+2)", DeclKind::MacroWithParams, "parenthesised value"},
      {"#define X class", DeclKind::Macro, "#define beats class"},
      {"DECLARE_INTERFACE_(IMyHost, IDispatch)", DeclKind::Interface, "interface macro"},
      {"interface IMyHost : IDispatch", DeclKind::Interface, "interface keyword"},
      {"STDMETHOD(GetCount)(THIS_ long* p) PURE;", DeclKind::MethodDeclaration, "STDMETHOD"},
      {"STDMETHOD_(ULONG, AddRef)(THIS) PURE;", DeclKind::MethodDeclaration, "STDMETHOD_"},
      {"STDMETHODIMP CMyObj::Release()", DeclKind::MethodImplementation, "STDMETHODIMP"},
      {"STDMETHODIMP_(ULONG) CMyObj::AddRef()", DeclKind::MethodImplementation, "STDMETHODIMP_"},
      {"interface IA { STDMETHOD(F)(THIS) PURE; }", DeclKind::MethodDeclaration,
       "STDMETHOD beats interface"},
      {"// the interface\nint f();", DeclKind::Interface, "a comment counts"},
      {"void f(class CFoo* p)", DeclKind::Class, "class beats parentheses"},
      {"int subclassCount;", DeclKind::Class, "keywords match inside words"},
      {"CLASS CFoo", DeclKind::None, "case matters"},
      {"Enum Color", DeclKind::None, "case matters"},
      {"int x = 0;", DeclKind::None, "a variable"},
      {"   \r\n\t", DeclKind::None, "white space only"},
      {"", DeclKind::None, "empty text"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(c.kind, Classify(c.text, CodePage::kUtf8)) << c.text;
  }
}

TEST_F(ClassifierTest, FindSubstring) {
  const struct {
    const char* text;
    const char* literal;
    int start;
    int expected;
  } kCases[] = {
      {"abcabc", "abc", 0, 0}, {"abcabc", "abc", 1, 3}, {"abcabc", "abc", 4, -1},
      {"abc", "c", 3, -1},     {"abc", "c", 9, -1},     {"abc", "C", 0, -1},
      {"abc", "c", -5, 2},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(c.expected, FindSubstring(c.text, c.literal, CodePage::kUtf8, c.start));
  }
}

TEST_F(ClassifierTest, DoubleByteCharactersHideTheirSecondByte) {
  // 0x81 0x40 is one character; "@" (0x40) must not be found inside it.
  const std::string text = "\x81\x40@";
  EXPECT_EQ(2, FindSubstring(text, "@", CodePage::kGbk));
  // 0xB0 0x63 is one character, so "class" cannot start on its second byte.
  EXPECT_EQ(-1, FindSubstring("\xB0"
                              "class",
                              "class", CodePage::kGbk));
  EXPECT_EQ(DeclKind::None, Classify("\xB0"
                                     "class",
                                     CodePage::kGbk));
  EXPECT_EQ(DeclKind::Class, Classify(Gbk("类") + " class", CodePage::kGbk));
  EXPECT_EQ(1, FindSubstring("\xB0"
                             "class",
                             "class", CodePage::kUtf8));
}

}  // namespace
}  // namespace quillmark
