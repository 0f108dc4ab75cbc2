#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quillmark/syntax.h"

namespace quillmark::syntax {
namespace {

struct Expected {
  int line;
  Kind kind;
  const char* name;
  bool commented;
  const char* why;
};

void ExpectFound(std::string_view document, const FindOptions& options,
                 const std::vector<Expected>& expected) {
  std::vector<FoundDeclaration> found;
  std::string why;
  ASSERT_TRUE(FindDeclarations(document, options, &found, &why)) << why;
  ASSERT_EQ(expected.size(), found.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const Expected& e = expected[i];
    SCOPED_TRACE(e.why);
    EXPECT_EQ(e.line, found[i].line);
    EXPECT_EQ(e.kind, found[i].declaration.kind);
    EXPECT_EQ(e.name, found[i].declaration.name);
    EXPECT_EQ(e.commented, found[i].commented);
    // `begin` is the start of the line.
    EXPECT_TRUE(found[i].begin == 0 || document[found[i].begin - 1] == '\n');
  }
}

const char kFile[] =
    "#include <string>\n"                            // 1
    "#define SQUARE(x) ((x) * (x))\n"                // 2
    "#define PLAIN 1\n"                              // 3
    "// A shape.\n"                                  // 4
    "class Shape : public Base {\n"                  // 5
    " public:\n"                                     // 6
    "  virtual double Area() const = 0;\n"           // 7
    "  struct Corner { int x; };\n"                  // 8
    "};\n"                                           // 9
    "\n"                                             // 10
    "namespace geo {\n"                              // 11
    "enum class Unit : char { Mm, In };\n"           // 12
    "/* Sums.\n"                                     // 13
    "   Twice. */\n"                                 // 14
    "int Add(int a, int b = 2) { return a + b; }\n"  // 15
    "}  // namespace geo\n"                          // 16
    "\n"                                             // 17
    "template <class T>\n"                           // 18
    "T Max(T a, T b);\n"                             // 19
    "GTEST_API_\n"                                   // 20
    "void Exported(int n);\n"                        // 21
    "double Shape::Scale(double f) {\n"              // 22
    "  struct Local { int y; };\n"                   // 23
    "  return f;\n"                                  // 24
    "}\n"                                            // 25
    "class Forward;\n"                               // 26
    "int counter = 0;\n"                             // 27
    "int x; // trailing\n"                           // 28
    "union Bits { int i; float f; };\n";             // 29

TEST(FindDeclarations, DefaultKindsOverAFile) {
  ExpectFound(kFile, FindOptions{},
              {
                  {2, Kind::MacroWithParams, "SQUARE", false, "a macro with parameters"},
                  {5, Kind::Class, "Shape", true, "a class with a comment line above"},
                  {8, Kind::Struct, "Corner", false, "a nested struct"},
                  {12, Kind::Enum, "Unit", false, "an enum inside a namespace"},
                  {15, Kind::Function, "Add", true, "a block comment ending above"},
                  {18, Kind::Function, "Max", false, "a template starts at its template line"},
                  {20, Kind::Function, "Exported", false,
                   "an export macro on its own line belongs to the declaration"},
                  {22, Kind::MemberFunction, "Scale", false,
                   "an out-of-line member; its body's local struct is not reported"},
                  {29, Kind::Union, "Bits", false,
                   "a trailing comment on the line above is not about this declaration"},
              });
}

TEST(FindDeclarations, KindsAndMembersOnRequest) {
  FindOptions options;
  options.kinds = MaskOf(Kind::MemberFunction) | MaskOf(Kind::Macro);
  options.membersInsideClasses = true;
  ExpectFound(kFile, options,
              {
                  {3, Kind::Macro, "PLAIN", false, "a plain macro when asked for"},
                  {7, Kind::MemberFunction, "Area", false, "a member inside its class"},
                  {22, Kind::MemberFunction, "Scale", false, "an out-of-line member"},
              });
}

TEST(FindDeclarations, ComInterfacesAndMethods) {
  const char kCom[] =
      "DECLARE_INTERFACE_(IFoo, IUnknown)\n"           // 1
      "{\n"                                            // 2
      "  STDMETHOD(Go)(THIS_ int n) PURE;\n"           // 3
      "  // Counts.\n"                                 // 4
      "  STDMETHOD_(ULONG, Count)(THIS) PURE;\n"       // 5
      "};\n"                                           // 6
      "STDMETHODIMP CFoo::Go(int n) { return 0; }\n";  // 7
  FindOptions options;
  options.kinds = MaskOf(Kind::Interface) | MaskOf(Kind::MethodDeclaration) |
                  MaskOf(Kind::MethodImplementation);
  ExpectFound(kCom, options,
              {
                  {1, Kind::Interface, "IFoo", false, "the interface head"},
                  {3, Kind::MethodDeclaration, "Go", false, "a method declaration"},
                  {5, Kind::MethodDeclaration, "Count", true, "a commented method declaration"},
                  {7, Kind::MethodImplementation, "Go", false, "a method implementation"},
              });
}

TEST(FindDeclarations, WhatRealHeadersHoldWithMembersInsideClasses) {
  const char kReal[] =
      "FMT_BEGIN_EXPORT\n"                                              // 1
      "CJSON_PUBLIC(cJSON *) cJSON_Parse(const char *value);\n"         // 2
      "enum : ullong { is_unpacked_bit = 1ULL << 63 };\n"               // 3
      "class Buffer {\n"                                                // 4
      " public:\n"                                                      // 5
      "  Buffer() = default;\n"                                         // 6
      "  Buffer(const Buffer&) = delete;\n"                             // 7
      "  FMT_CONSTEXPR20 ~Buffer() { free(data_); }\n"                  // 8
      "  friend bool operator==(const Buffer& a, const Buffer& b) {\n"  // 9
      "    return a.data_ == b.data_;\n"                                // 10
      "  }\n"                                                           // 11
      "  friend void swap(Buffer& a, Buffer& b);\n"                     // 12
      "  char* data_ GUARDED_BY(mu_);\n"                                // 13
      "};\n"                                                            // 14
      "void Report(int code) {\n"                                       // 15
      "  FMT_TRY { Run(); }\n"                                          // 16
      "  FMT_CATCH(...) {}\n"                                           // 17
      "}\n";                                                            // 18
  FindOptions options;
  options.membersInsideClasses = true;
  ExpectFound(kReal, options,
              {
                  {2, Kind::Function, "cJSON_Parse", false,
                   "a prototype behind an export macro with arguments; the scope macro above "
                   "is no declaration"},
                  {4, Kind::Class, "Buffer", false, "an unnamed enum is not named by its type"},
                  {6, Kind::MemberFunction, "Buffer", false, "a defaulted constructor"},
                  {7, Kind::MemberFunction, "Buffer", false, "a deleted constructor"},
                  {8, Kind::MemberFunction, "~Buffer", false, "a destructor behind a macro"},
                  {9, Kind::Function, "operator==", false, "a friend defined in the class"},
                  {15, Kind::Function, "Report", false,
                   "a macro with a block inside a body is no function; a member's annotation "
                   "macro is no function and a friend only declared is left to its definition"},
              });
}

TEST(FindDeclarations, ABrokenConstructLosesOnlyItsOwnRegion) {
  const char kBroken[] =
      "int First(int a);\n"                                // 1
      "struct Good { int x; };\n"                          // 2
      "template <typename T> auto broken = [](T) { ) ;\n"  // 3
      "int Second(int b);\n"                               // 4
      "class Last { public: void Run(); };\n";             // 5
  std::vector<FoundDeclaration> found;
  std::string why;
  ASSERT_TRUE(FindDeclarations(kBroken, FindOptions{}, &found, &why)) << why;
  std::vector<std::string> names;
  for (const FoundDeclaration& f : found) names.push_back(f.declaration.name);
  EXPECT_EQ((std::vector<std::string>{"First", "Good", "Second", "Last"}), names);
}

TEST(FindDeclarations, AFileTheParserGivesUpOnIsRefusedNotPassed) {
  for (const char* head : {"template <class T = decltype((\n", "auto x = [=](\n"}) {
    SCOPED_TRACE(head);
    std::string document = head;
    for (int i = 0; i < 60; ++i) document += "int f" + std::to_string(i) + "(int a);\n";
    std::vector<FoundDeclaration> found;
    std::string why;
    EXPECT_FALSE(FindDeclarations(document, FindOptions{}, &found, &why));
    EXPECT_EQ("the C++ parser could not read lines 1 to 61", why);
    EXPECT_TRUE(found.empty());
  }
}

TEST(FindDeclarations, BrokenAndEmptyFilesGiveWhatCanBeRead) {
  const struct {
    const char* document;
    std::size_t count;
    int unreadFirst, unreadLast;  // the region a caller is told about; 0: none
    const char* why;
  } kCases[] = {
      {"", 0, 0, 0, "an empty file"},
      {"void f(int a\n", 0, 0, 0, "an unfinished declaration at the end is left alone"},
      {"}}}} class A {};\n", 1, 0, 0, "stray braces before a class"},
      {"\xff\xfe garbage \x01\n int f();\n", 1, 0, 0, "bytes that are not UTF-8"},
      {"auto x = [=](\nint f(int a);\n", 0, 1, 2,
       "an unclosed lambda swallows the rest: said, not passed over in silence"},
      {"X(a, 1)\nX(b, 2)\nX(c, 3)\n", 0, 1, 3, "a list of macro calls is no declaration"},
      {"int g(int);\nint h(int);\nint i(int);\nint j(int);\nauto x = [=](\nint f(int a);\n", 4, 0,
       0, "a broken region that is not most of the file is not worth a word"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    std::vector<FoundDeclaration> found;
    std::string why;
    UnreadRegion unread;
    ASSERT_TRUE(FindDeclarations(c.document, FindOptions{}, &found, &why, &unread)) << why;
    EXPECT_EQ(c.count, found.size());
    EXPECT_EQ(c.unreadFirst, unread.firstLine);
    EXPECT_EQ(c.unreadLast, unread.lastLine);
  }
}

// A parse that runs out of time fails with the reason, and the same parser
// then reads the next document from its start.
TEST(FindDeclarations, AParseOverItsTimeGivesUpAndTheParserGoesOn) {
  std::string junk;
  for (int i = 0; i < 4000; ++i) junk += "clas\x93s A\xad\xad";
  DeclarationParser parser;
  FindOptions hurried;
  hurried.parseTimeLimit = 1;
  std::vector<FoundDeclaration> found;
  std::string why;
  EXPECT_FALSE(parser.FindDeclarations(junk, hurried, &found, &why));
  EXPECT_EQ("the C++ parser gave up after 0.0 s", why);
  ASSERT_TRUE(parser.FindDeclarations("int f(int a);\n", FindOptions{}, &found, &why)) << why;
  ASSERT_EQ(1u, found.size());
  EXPECT_EQ("f", found[0].declaration.name);
}

// What is left for blocks after KeepOneDeclarationEach: "LINE NAME", with a "*"
// after a commented declaration (those are never dropped).
TEST(FindDeclarations, OneBlockForEachThingDeclaredMoreThanOnce) {
  const struct {
    const char* document;
    bool sourceFile;
    std::vector<std::string> kept;
    const char* why;
  } kCases[] = {
      {"static int Parse(const char *text);\n"
       "static int Print(void);\n"
       "int Parse(const char *text) { return 0; }\n"
       "int Print(void) { return 1; }\n",
       true,
       {"3 Parse", "4 Print"},
       "a .c file: the definitions, not their prototypes"},
      {"static int Parse(const char *text);\n"
       "int Parse(const char *text) { return 0; }\n",
       false,
       {"1 Parse", "2 Parse"},
       "a header keeps its prototypes"},
      {"int Late(int a) { return a; }\n"
       "int Late(int a);\n",
       true,
       {"1 Late", "2 Late"},
       "a prototype after the definition announces nothing"},
      {"int Lone(int a);\n"
       "int Other(int a) { return a; }\n",
       true,
       {"1 Lone", "2 Other"},
       "a prototype without a definition in the file stays"},
      {"int Sum(int a);\n"
       "int Sum(int a, int b);\n"
       "int Sum(int x) { return x; }\n",
       true,
       {"2 Sum", "3 Sum"},
       "an overload with another number of parameters stays"},
      {"int Count();\n"
       "int Count(void) { return 0; }\n",
       true,
       {"2 Count"},
       "(void) and () take the same parameters"},
      {"/* Parses. */\n"
       "int Parse(const char *text);\n"
       "int Parse(const char *text) { return 0; }\n",
       true,
       {"2 Parse*"},
       "a commented prototype: the function has its comment"},
      {"// Parses.\n"
       "int Parse(const char *text);\n"
       "// Parses.\n"
       "int Parse(const char *text) { return 0; }\n",
       true,
       {"2 Parse*", "4 Parse*"},
       "blocks on both, as an earlier run left them, stay"},
      {"template <class T> class Box {\n"
       "  void Put(T item);\n"
       "};\n"
       "template <class T> void Box<T>::Put(T item) {}\n",
       true,
       {"1 Box", "4 Put"},
       "a member declared in its class, defined out of line"},
      {"class Box {\n"
       "  void Put(int item);\n"
       "};\n"
       "void Other::Put(int item) {}\n",
       true,
       {"1 Box", "2 Put", "4 Put"},
       "a definition of another class's member"},
      {"#if defined(__has_feature)\n"
       "#  define HAS_FEATURE(x) __has_feature(x)\n"
       "#else\n"
       "#  define HAS_FEATURE(x) 0\n"
       "#endif\n",
       false,
       {"2 HAS_FEATURE"},
       "a macro in each #if branch: its first definition"},
      {"#ifdef USE_EXCEPTIONS\n"
       "// Throws.\n"
       "#  define THROW(x) throw x\n"
       "#else\n"
       "#  define THROW(x) abort()\n"
       "#endif\n",
       true,
       {"3 THROW*"},
       "the second run: the first definition has its block"},
      {"#ifdef USE_EXCEPTIONS\n"
       "#  define THROW(x) throw x\n"
       "#else\n"
       "/* No exceptions. */\n"
       "#  define THROW(x) abort()\n"
       "#endif\n",
       false,
       {"5 THROW*"},
       "a commented later definition: the macro has its comment"},
  };
  FindOptions options;
  options.membersInsideClasses = true;
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    std::vector<FoundDeclaration> found;
    std::string why;
    ASSERT_TRUE(FindDeclarations(c.document, options, &found, &why)) << why;
    KeepOneDeclarationEach(&found, c.sourceFile);
    std::vector<std::string> kept;
    for (const FoundDeclaration& f : found)
      kept.push_back(std::to_string(f.line) + " " + f.declaration.name + (f.commented ? "*" : ""));
    EXPECT_EQ(c.kept, kept);
  }
}

}  // namespace
}  // namespace quillmark::syntax
