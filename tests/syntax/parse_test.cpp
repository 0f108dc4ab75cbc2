#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "quillmark/syntax.h"

namespace quillmark::syntax {
namespace {

std::vector<std::string> Params(const ParsedDeclaration& d) {
  if (d.kind == Kind::MacroWithParams) return d.macroParameters;
  std::vector<std::string> out;
  for (const Parameter& p : d.parameters) out.push_back(FormatParameter(p));
  return out;
}

struct Row {
  const char* selection;
  Kind kind;
  const char* name;
  const char* scope;
  const char* returnType;
  std::vector<std::string> params;  // "text" or "text = default"; a macro's parameters
  std::vector<std::string> bases;
  const char* underlying;
  const char* why;
};

// The classes of declaration the keyword mode gets wrong, and the COM forms it
// gets right, which must stay right.
const Row kRows[] = {
    // std:: types and defaults
    {"int parse(const std::string& s, int base = 10);",
     Kind::Function,
     "parse",
     "",
     "int",
     {"const std::string& s", "int base = 10"},
     {},
     "",
     "a std:: parameter type does not make a member function"},
    {"std::string A::f() const",
     Kind::MemberFunction,
     "f",
     "A",
     "std::string",
     {},
     {},
     "",
     "the class is what stands before the last ::, not the return type's words"},
    {"const std::vector<int>& Registry::Lookup(const std::map<int, std::string>& m, "
     "std::pair<int, int> p = {1, 2}) const;",
     Kind::MemberFunction,
     "Lookup",
     "Registry",
     "const std::vector<int>&",
     {"const std::map<int, std::string>& m", "std::pair<int, int> p = {1, 2}"},
     {},
     "",
     "template arguments keep their commas; a braced default stays whole"},
    {"void Log(const char* fmt = \"a, b\", int level = f(1, 2));",
     Kind::Function,
     "Log",
     "",
     "void",
     {"const char* fmt = \"a, b\"", "int level = f(1, 2)"},
     {},
     "",
     "commas in string literals and calls in defaults do not split"},
    {"template <typename K, typename V> typename Map<K, V>::iterator Map<K, V>::find(const K& "
     "key)",
     Kind::MemberFunction,
     "find",
     "Map<K, V>",
     "typename Map<K, V>::iterator",
     {"const K& key"},
     {},
     "",
     "a template class scope is written with its arguments"},
    {"void ns::Outer::Inner::run(int n)",
     Kind::MemberFunction,
     "run",
     "ns::Outer::Inner",
     "void",
     {"int n"},
     {},
     "",
     "everything before the last :: is the scope"},
    {"const char* const* names() const;",
     Kind::Function,
     "names",
     "",
     "const char* const*",
     {},
     {},
     "",
     "a const pointer to const pointers keeps the blank before const"},
    {"public:\n  void Reset(int level);",
     Kind::Function,
     "Reset",
     "",
     "void",
     {"int level"},
     {},
     "",
     "an access label selected with the member"},
    // operators
    {"bool operator()(const T& a, const T& b) const;",
     Kind::Function,
     "operator()",
     "",
     "bool",
     {"const T& a", "const T& b"},
     {},
     "",
     "the call operator keeps its name"},
    {"std::ostream& operator<<(std::ostream& os, const Point& p);",
     Kind::Function,
     "operator<<",
     "",
     "std::ostream&",
     {"std::ostream& os", "const Point& p"},
     {},
     "",
     "a stream operator's < are no template brackets"},
    {"Matrix& Matrix::operator+=(const Matrix& other)",
     Kind::MemberFunction,
     "operator+=",
     "Matrix",
     "Matrix&",
     {"const Matrix& other"},
     {},
     "",
     "an out-of-line operator"},
    {"T& operator[](std::size_t i) noexcept;",
     Kind::Function,
     "operator[]",
     "",
     "T&",
     {"std::size_t i"},
     {},
     "",
     "the subscript operator"},
    // conversion operators
    {"explicit operator bool() const noexcept;",
     Kind::Function,
     "operator bool",
     "",
     "bool",
     {},
     {},
     "",
     "a conversion operator returns its target type"},
    {"Handle::operator HWND() const",
     Kind::MemberFunction,
     "operator HWND",
     "Handle",
     "HWND",
     {},
     {},
     "",
     "an out-of-line conversion operator"},
    // constructors and destructors
    {"explicit Widget(QObject* parent = nullptr);",
     Kind::Function,
     "Widget",
     "",
     "",
     {"QObject* parent = nullptr"},
     {},
     "",
     "a constructor has no return type"},
    {"Widget::Widget(int x) : m_x{x}, m_y(0) {",
     Kind::MemberFunction,
     "Widget",
     "Widget",
     "",
     {"int x"},
     {},
     "",
     "a braced member initialiser is not the body"},
    {"virtual ~Widget();",
     Kind::Function,
     "~Widget",
     "",
     "",
     {},
     {},
     "",
     "a destructor declared in a class, selected alone"},
    {"Widget::~Widget()",
     Kind::MemberFunction,
     "~Widget",
     "Widget",
     "",
     {},
     {},
     "",
     "an out-of-line destructor"},
    {"virtual void Draw(Canvas& c) const = 0;",
     Kind::Function,
     "Draw",
     "",
     "void",
     {"Canvas& c"},
     {},
     "",
     "a pure virtual function: virtual is no part of the return type"},
    // enums
    {"enum class Color : std::uint8_t { Red, Green };",
     Kind::Enum,
     "Color",
     "",
     "",
     {},
     {},
     "std::uint8_t",
     "enum class with an underlying type is an enum, not a class with a base"},
    {"enum Mode : char",
     Kind::Enum,
     "Mode",
     "",
     "",
     {},
     {},
     "char",
     "a plain enum head with a base type, no body selected"},
    {"typedef enum { A, B } Letters;",
     Kind::Enum,
     "Letters",
     "",
     "",
     {},
     {},
     "",
     "an anonymous typedef'd enum takes the typedef's name"},
    // templates and partial specialisations
    {"template <class T, class Alloc = std::allocator<T>> class vector : protected "
     "_Vector_base<T, Alloc>",
     Kind::Class,
     "vector",
     "",
     "",
     {},
     {"_Vector_base<T, Alloc>"},
     "",
     "template parameters stay out of the name; the base keeps its arguments"},
    {"template <class T> struct hash<T*> {",
     Kind::Struct,
     "hash<T*>",
     "",
     "",
     {},
     {},
     "",
     "a partial specialisation is named with its arguments"},
    {"template <typename T> T max(T a, T b)",
     Kind::Function,
     "max",
     "",
     "T",
     {"T a", "T b"},
     {},
     "",
     "a function template"},
    {"struct Derived : public Base<int, char>, private virtual Mixin, Pack<Ts>...",
     Kind::Struct,
     "Derived",
     "",
     "",
     {},
     {"Base<int, char>", "Mixin", "Pack<Ts>..."},
     "",
     "access keywords and virtual dropped; a pack expansion kept"},
    {"union Value { int i; float f; };",
     Kind::Union,
     "Value",
     "",
     "",
     {},
     {},
     "",
     "a union with its body"},
    // export and calling-convention macros
    {"class GTEST_API_ AssertionResult {",
     Kind::Class,
     "AssertionResult",
     "",
     "",
     {},
     {},
     "",
     "an export macro between class and the name"},
    {"GTEST_API_ AssertionResult IsSubstring(const char* needle, const char* haystack);",
     Kind::Function,
     "IsSubstring",
     "",
     "AssertionResult",
     {"const char* needle", "const char* haystack"},
     {},
     "",
     "an export macro before the type"},
    {"class AFX_EXT_CLASS CView : public CWnd",
     Kind::Class,
     "CView",
     "",
     "",
     {},
     {"CWnd"},
     "",
     "the keyword mode's own export macro"},
    {"__declspec(dllexport) int __stdcall Foo(int a);",
     Kind::Function,
     "Foo",
     "",
     "int",
     {"int a"},
     {},
     "",
     "__declspec and a calling convention"},
    {"DWORD WINAPI ThreadProc(LPVOID param);",
     Kind::Function,
     "ThreadProc",
     "",
     "DWORD",
     {"LPVOID param"},
     {},
     "",
     "an all-caps return type stays, the calling convention goes"},
    {"LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)",
     Kind::Function,
     "WndProc",
     "",
     "LRESULT",
     {"HWND hwnd", "UINT msg", "WPARAM wp", "LPARAM lp"},
     {},
     "",
     "a window procedure"},
    {"_GLIBCXX20_CONSTEXPR void push_back(const value_type& __x)",
     Kind::Function,
     "push_back",
     "",
     "void",
     {"const value_type& __x"},
     {},
     "",
     "a library's constexpr macro"},
    {"extern void *malloc (size_t __size) __THROW __attribute_malloc__ __wur;",
     Kind::Function,
     "malloc",
     "",
     "void*",
     {"size_t __size"},
     {},
     "",
     "glibc's trailing attribute macros"},
    {"afx_msg void OnPaint();",
     Kind::Function,
     "OnPaint",
     "",
     "void",
     {},
     {},
     "",
     "the lower-case message-map marker"},
    {"class MYLIB_EXPORT Engine final : public QObject",
     Kind::Class,
     "Engine",
     "",
     "",
     {},
     {"QObject"},
     "",
     "an unknown export macro and final"},
    // function-pointer and trailing returns
    {"void (*signal(int sig, void (*func)(int)))(int);",
     Kind::Function,
     "signal",
     "",
     "void (*)(int)",
     {"int sig", "void (*func)(int)"},
     {},
     "",
     "a function returning a function pointer"},
    {"auto f(int x) -> decltype(x + 1);",
     Kind::Function,
     "f",
     "",
     "decltype(x + 1)",
     {"int x"},
     {},
     "",
     "a trailing return type replaces auto"},
    {"auto Parser::next() -> std::optional<Token>",
     Kind::MemberFunction,
     "next",
     "Parser",
     "std::optional<Token>",
     {},
     {},
     "",
     "an out-of-line member with a trailing return type"},
    // comments inside
    {"int /* count */ f(int a, // first\n    int b = 3 /* second */);",
     Kind::Function,
     "f",
     "",
     "int",
     {"int a", "int b = 3"},
     {},
     "",
     "comments between the words are blanked"},
    {"// Draws it, quickly.\nvoid draw(int x);",
     Kind::Function,
     "draw",
     "",
     "void",
     {"int x"},
     {},
     "",
     "a comment line above the declaration in the selection"},
    {"class /* {not a body} */ Shape : public Base // : Other\n{",
     Kind::Class,
     "Shape",
     "",
     "",
     {},
     {"Base"},
     "",
     "braces and colons in comments count for nothing"},
    // partial selections
    {"int parse(const std::string& s, int ba",
     Kind::Function,
     "parse",
     "",
     "int",
     {"const std::string& s", "int ba"},
     {},
     "",
     "a selection cut inside the parameter list"},
    {"void Canvas::DrawLine(int x1, int y1,\n                      int x2",
     Kind::MemberFunction,
     "DrawLine",
     "Canvas",
     "void",
     {"int x1", "int y1", "int x2"},
     {},
     "",
     "a multi-line head cut on its last line"},
    {"class Shape : public Base",
     Kind::Class,
     "Shape",
     "",
     "",
     {},
     {"Base"},
     "",
     "a class head without its body"},
    {"void f(int a)\n{\n  return;\n}\n",
     Kind::Function,
     "f",
     "",
     "void",
     {"int a"},
     {},
     "",
     "a whole definition selected"},
    // macros
    {"#define MAX(a, b) ((a) > (b) ? (a) : (b))",
     Kind::MacroWithParams,
     "MAX",
     "",
     "",
     {"a", "b"},
     {},
     "",
     "a macro with parameters"},
    {"#define VERSION (3)",
     Kind::Macro,
     "VERSION",
     "",
     "",
     {},
     {},
     "",
     "a value in parentheses is no parameter list"},
    {"#  define LOG(fmt, ...) \\\n    printf(fmt, __VA_ARGS__)",
     Kind::MacroWithParams,
     "LOG",
     "",
     "",
     {"fmt", "..."},
     {},
     "",
     "an indented directive with a continuation line"},
    // every COM form
    {"STDMETHOD(GetName)(THIS_ BSTR* name) PURE;",
     Kind::MethodDeclaration,
     "GetName",
     "",
     "HRESULT",
     {"BSTR* name"},
     {},
     "",
     "STDMETHOD with THIS_ and PURE"},
    {"STDMETHOD_(ULONG, AddRef)(THIS) PURE;",
     Kind::MethodDeclaration,
     "AddRef",
     "",
     "ULONG",
     {},
     {},
     "",
     "STDMETHOD_ with its return type, THIS alone"},
    {"STDMETHODIMP CFoo::QueryInterface(REFIID riid, void** ppv)",
     Kind::MethodImplementation,
     "QueryInterface",
     "CFoo",
     "HRESULT",
     {"REFIID riid", "void** ppv"},
     {},
     "",
     "STDMETHODIMP"},
    {"STDMETHODIMP_(ULONG) CFoo::Release()",
     Kind::MethodImplementation,
     "Release",
     "CFoo",
     "ULONG",
     {},
     {},
     "",
     "STDMETHODIMP_"},
    {"DECLARE_INTERFACE_(IFoo, IUnknown)\n{",
     Kind::Interface,
     "IFoo",
     "",
     "",
     {},
     {"IUnknown"},
     "",
     "DECLARE_INTERFACE_ with a base"},
    {"DECLARE_INTERFACE(IRoot)",
     Kind::Interface,
     "IRoot",
     "",
     "",
     {},
     {},
     "",
     "DECLARE_INTERFACE without a base"},
    {"MIDL_INTERFACE(\"12345678-1234-1234-1234-123456789012\")\nIBar : public IUnknown",
     Kind::Interface,
     "IBar",
     "",
     "",
     {},
     {"IUnknown"},
     "",
     "MIDL_INTERFACE"},
    {"interface IBaz : IUnknown",
     Kind::Interface,
     "IBaz",
     "",
     "",
     {},
     {"IUnknown"},
     "",
     "the interface keyword"},
    // Misparses found on real headers
    {"struct alignas(16) Vec4 final : Base {",
     Kind::Struct,
     "Vec4",
     "",
     "",
     {},
     {"Base"},
     "",
     "alignas and final around a struct's name"},
    {"class alignas(CACHE_LINE) FMT_API Slot final {",
     Kind::Class,
     "Slot",
     "",
     "",
     {},
     {},
     "",
     "alignas with a macro argument, an export macro and final"},
    {"XtErrorMsgHandler\nXtAppSetErrorMsgHandler(XtAppContext app, XtErrorMsgHandler handler);",
     Kind::Function,
     "XtAppSetErrorMsgHandler",
     "",
     "XtErrorMsgHandler",
     {"XtAppContext app", "XtErrorMsgHandler handler"},
     {},
     "",
     "a typedef'd function pointer returned, on the line above the name"},
    {"void Copy(CONST T *from, CONST T **to, UINT n);",
     Kind::Function,
     "Copy",
     "",
     "void",
     {"CONST T *from", "CONST T **to", "UINT n"},
     {},
     "",
     "a macro-qualified pointer is one parameter"},
    {"extern double drand48 (void) __THROW;",
     Kind::Function,
     "drand48",
     "",
     "double",
     {},
     {},
     "",
     "(void) is no parameters"},
    {"CJSON_PUBLIC(cJSON *) cJSON_ParseWithLength(const char *value, size_t buffer_length);",
     Kind::Function,
     "cJSON_ParseWithLength",
     "",
     "cJSON*",
     {"const char *value", "size_t buffer_length"},
     {},
     "",
     "an export macro around the return type"},
    {"JSON_HEDLEY_NON_NULL(1)\ninline json operator \"\" _json(const char* s, std::size_t n)",
     Kind::Function,
     "operator \"\" _json",
     "",
     "json",
     {"const char* s", "std::size_t n"},
     {},
     "",
     "an attribute macro with arguments on the line above"},
    {"XMLPUBFUN xmlChar * XMLCALL\n\t\txmlNodeGetBase\t(const xmlDoc *doc);",
     Kind::Function,
     "xmlNodeGetBase",
     "",
     "xmlChar*",
     {"const xmlDoc *doc"},
     {},
     "",
     "an export macro whose name says PUBFUN"},
    {"ZEXTERN const char * ZEXPORT zlibVersion OF((void));",
     Kind::Function,
     "zlibVersion",
     "",
     "const char*",
     {},
     {},
     "",
     "a macro around the parameter list"},
    {"ZEXTERN int ZEXPORT deflate OF((z_streamp strm, int flush));",
     Kind::Function,
     "deflate",
     "",
     "int",
     {"z_streamp strm", "int flush"},
     {},
     "",
     "the same with parameters"},
    {"inline operator const char *() const;",
     Kind::Function,
     "operator const char *",
     "",
     "const char*",
     {},
     {},
     "",
     "a conversion to a pointer"},
    {"#if __cplusplus > 201402L\n\treference\n#else\n\tvoid\n#endif\n\templace_back(_Args&&... "
     "__args);",
     Kind::Function,
     "emplace_back",
     "",
     "reference",
     {"_Args&&... __args"},
     {},
     "",
     "a return type chosen by #if: the first branch"},
    {"class QByteArray::FromBase64Result\n{",
     Kind::Class,
     "FromBase64Result",
     "",
     "",
     {},
     {},
     "",
     "a nested class defined outside its class: the name without its scope"},
    {"Q_INVOKABLE explicit QObject(QObject *parent = nullptr);",
     Kind::Function,
     "QObject",
     "",
     "",
     {"QObject *parent = nullptr"},
     {},
     "",
     "a macro in front of a specifier keyword"},
    // UTF-8 text passes through untouched
    {"void 绘制(const std::string& 名称 = \"默认\");",
     Kind::Function,
     "绘制",
     "",
     "void",
     {"const std::string& 名称 = \"默认\""},
     {},
     "",
     "UTF-8 identifiers and literals"},
};

TEST(ParseDeclaration, FailureClassesOfTheKeywordMode) {
  DeclarationParser parser;
  ASSERT_TRUE(parser.ok());
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.why);
    SCOPED_TRACE(row.selection);
    ParsedDeclaration d;
    std::string why;
    EXPECT_TRUE(parser.ParseDeclaration({row.selection, {}, 0}, &d, &why)) << why;
    EXPECT_EQ(row.kind, d.kind);
    EXPECT_EQ(row.name, d.name);
    EXPECT_EQ(row.scope, d.scope);
    EXPECT_EQ(row.returnType, d.returnType);
    EXPECT_EQ(row.params, Params(d));
    EXPECT_EQ(row.bases, d.bases);
    EXPECT_EQ(row.underlying, d.underlyingType);
  }
}

TEST(ParseDeclaration, NothingToTakeApart) {
  const struct {
    const char* selection;
    const char* why;
  } kCases[] = {
      {"", "an empty selection"},
      {"  \r\n\t ", "white space only"},
      {"// just a comment", "a comment only"},
      {"int counter = 5;", "a variable is no kind"},
      {"return a + b;", "a statement"},
      {"class Foo;", "a forward declaration still names a class"},
  };
  DeclarationParser parser;
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    ParsedDeclaration d;
    std::string why;
    const bool parsed = parser.ParseDeclaration({c.selection, {}, 0}, &d, &why);
    if (std::string(c.selection) == "class Foo;") {
      EXPECT_TRUE(parsed);
      EXPECT_EQ("Foo", d.name);
      continue;
    }
    EXPECT_FALSE(parsed);
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(Kind::None, d.kind);
  }
}

TEST(ParseDeclaration, TheDocumentGivesAMemberItsClass) {
  const std::string document =
      "namespace app {\n"
      "class Q_DECL_EXPORT Outer : public Base {\n"
      " public:\n"
      "  struct Inner {\n"
      "    void Touch(int n);\n"
      "  };\n"
      "  virtual ~Outer();\n"
      "  explicit Outer(int x = 0);\n"
      "  Outer(const Outer&) = default;\n"
      "  Outer& operator=(Outer&&) noexcept = delete;\n"
      "  bool operator==(const Outer& other) const noexcept;\n"
      "  explicit operator bool() const { return ok_; }\n"
      "  int Size() const override\n"
      "  {\n"
      "    return size_;\n"
      "  }\n"
      "  template <typename T>\n"
      "  T Get(const std::string& key) const;\n"
      "  friend void swap(Outer& a, Outer& b) noexcept { a.Swap(b); }\n"
      "  friend bool operator<(const Outer&, const Outer&);\n"
      "#ifdef WIDE\n"
      "  class Wide : public Base {\n"
      "#else\n"
      "  class Wide {\n"
      "#endif\n"
      "    static Wide* Make(void);\n"
      "  };\n"
      " signals:\n"
      "  void changed(int value);\n"
      " private:\n"
      "  int size_ = 0;\n"
      "};\n"
      "void Free(int n);\n"
      "template <class T, class U = std::less<T>>\n"
      "struct alignas(16) Box final : Base {\n"
      "  Box() noexcept = default;\n"
      "  ~Box() override;\n"
      "};\n"
      "template <>\n"
      "class Box<int, int> {\n"
      "  int Value() const&;\n"
      "};\n"
      "struct Point MakePoint(int x) {\n"
      "  return Point{x};\n"
      "}\n"
      "DECLARE_INTERFACE_(IFoo, IUnknown)\n"
      "{\n"
      "  STDMETHOD(Go)(THIS) PURE;\n"
      "};\n"
      "}\n";
  const struct {
    const char* selection;
    Kind kind;
    const char* name;
    const char* scope;
    const char* returnType;
    const char* why;
  } kCases[] = {
      {"    void Touch(int n);", Kind::MemberFunction, "Touch", "Outer::Inner", "void",
       "nested classes joined"},
      {"  virtual ~Outer();", Kind::MemberFunction, "~Outer", "Outer", "",
       "a destructor in its class, the export macro in the class head passed over"},
      {"  explicit Outer(int x = 0);", Kind::MemberFunction, "Outer", "Outer", "", "a constructor"},
      {"  Outer(const Outer&) = default;", Kind::MemberFunction, "Outer", "Outer", "",
       "a defaulted constructor"},
      {"  Outer& operator=(Outer&&) noexcept = delete;", Kind::MemberFunction, "operator=", "Outer",
       "Outer&", "a deleted operator"},
      {"  bool operator==(const Outer& other) const noexcept;", Kind::MemberFunction,
       "operator==", "Outer", "bool", "a const noexcept operator"},
      {"  explicit operator bool() const { return ok_; }", Kind::MemberFunction, "operator bool",
       "Outer", "bool", "a conversion operator defined in the class"},
      {"  int Size() const override\n  {", Kind::MemberFunction, "Size", "Outer", "int",
       "an override whose body opens on the next line"},
      {"  T Get(const std::string& key) const;", Kind::MemberFunction, "Get", "Outer", "T",
       "a member template selected without its template head"},
      {"  template <typename T>\n  T Get(const std::string& key) const;", Kind::MemberFunction,
       "Get", "Outer", "T", "a member template selected with its template head"},
      {"  friend void swap(Outer& a, Outer& b) noexcept { a.Swap(b); }", Kind::Function, "swap", "",
       "void", "a friend defined in the class is no member"},
      {"  friend bool operator<(const Outer&, const Outer&);", Kind::Function, "operator<", "",
       "bool", "a friend operator is no member"},
      {"    static Wide* Make(void);", Kind::MemberFunction, "Make", "Outer::Wide", "Wide*",
       "a class head written twice under #ifdef counts once"},
      {"  void changed(int value);", Kind::MemberFunction, "changed", "Outer", "void",
       "a member after a signals: label"},
      {"void Free(int n);", Kind::Function, "Free", "", "void",
       "a free function after the class stays free"},
      {"  Box() noexcept = default;", Kind::MemberFunction, "Box", "Box", "",
       "a class template's head with alignas and final"},
      {"  ~Box() override;", Kind::MemberFunction, "~Box", "Box", "", "an overriding destructor"},
      {"  int Value() const&;", Kind::MemberFunction, "Value", "Box<int, int>", "int",
       "an explicit specialisation keeps its arguments"},
      {"  return Point{x};", Kind::None, "", "", "", "a statement in a function body"},
      {"  STDMETHOD(Go)(THIS) PURE;", Kind::MethodDeclaration, "Go", "IFoo", "HRESULT",
       "a method in its interface"},
  };
  DeclarationParser parser;
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    const std::size_t offset = document.find(c.selection);
    ASSERT_NE(std::string::npos, offset);
    ParsedDeclaration d;
    std::string why;
    const bool parsed =
        parser.ParseSelected(document, offset, offset + std::strlen(c.selection), &d, &why);
    EXPECT_EQ(c.kind != Kind::None, parsed) << why;
    EXPECT_EQ(c.kind, d.kind);
    EXPECT_EQ(c.name, d.name);
    EXPECT_EQ(c.scope, d.scope);
    EXPECT_EQ(c.returnType, d.returnType);
  }
}

TEST(ParseDeclaration, ATemplateHeadAboveBelongsToTheSelection) {
  const std::string document =
      "template <typename T,\n"
      "          typename A = std::allocator<T>>\n"
      "std::vector<T, A> Repeat(const T& value, std::size_t n);\n"
      "int x;\n"
      "int Plain(int a);\n";
  DeclarationParser parser;
  for (const char* selection :
       {"std::vector<T, A> Repeat(const T& value, std::size_t n);", "int Plain(int a);"}) {
    SCOPED_TRACE(selection);
    const std::size_t offset = document.find(selection);
    ParsedDeclaration alone, placed;
    std::string why;
    ASSERT_TRUE(parser.ParseDeclaration({selection, {}, 0}, &alone, &why)) << why;
    ASSERT_TRUE(
        parser.ParseSelected(document, offset, offset + std::strlen(selection), &placed, &why))
        << why;
    EXPECT_EQ(alone.kind, placed.kind);
    EXPECT_EQ(alone.name, placed.name);
    EXPECT_EQ(alone.returnType, placed.returnType);
    EXPECT_EQ(Params(alone), Params(placed));
  }
  ParsedDeclaration d;
  std::string why;
  EXPECT_FALSE(parser.ParseSelected(document, 10, 5, &d, &why));
  EXPECT_FALSE(parser.ParseSelected(document, 0, document.size() + 1, &d, &why));
  EXPECT_FALSE(why.empty());
}

TEST(ParseDeclaration, BadOffsetIntoTheDocumentIsIgnored) {
  ParsedDeclaration d;
  std::string why;
  ASSERT_TRUE(ParseDeclaration({"void f();", "class A {\n", 9999}, &d, &why)) << why;
  EXPECT_EQ(Kind::Function, d.kind);
  EXPECT_EQ("", d.scope);
}

}  // namespace
}  // namespace quillmark::syntax
