// The comment command in both modes on the declarations the keyword mode gets
// wrong: the same templates and placeholders, the fields from the grammar in the
// syntax mode, the keyword mode unchanged, and the fallback when the grammar
// cannot help.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quillmark/commands.h"
#include "quillmark/memory_editor.h"
#include "quillmark/posix_platform.h"
#include "quillmark/syntax_fields.h"

namespace quillmark {
namespace {

// One short line per kind, so a row shows every field the kind's template takes.
void UseShortTemplates(TemplateTree& tree) {
  const std::pair<DeclKind, const char*> kLines[] = {
      {DeclKind::Class, "//C %ClassName% : %BaseClassName%"},
      {DeclKind::Struct, "//S %StructName% : %BaseClassName%"},
      {DeclKind::Union, "//U %UnionName%"},
      {DeclKind::Enum, "//E %EnumName%"},
      {DeclKind::Function, "//F %ReturnValue% | %Function% | %FunctionParam%"},
      {DeclKind::MemberFunction, "//M %ReturnValue% | %ClassName% | %Function% | %FunctionParam%"},
      {DeclKind::Macro, "//D %MicroName%"},
      {DeclKind::MacroWithParams, "//P %MicroName% | %FunctionParam%"},
      {DeclKind::Interface, "//I %Interface% : %BaseInterface%"},
      {DeclKind::MethodDeclaration, "//X %ReturnValue% | %MethodName% | %FunctionParam%"},
      {DeclKind::MethodImplementation,
       "//Y %ReturnValue% | %Interface% | %MethodName% | %FunctionParam%"},
  };
  for (const auto& [kind, line] : kLines) tree.FindKindNode(kind)->lines = {line};
}

class SilentSink final : public MessageSink {
 public:
  void ShowMessage(std::string_view text) override { shown = text; }
  std::string shown;
};

struct Outcome {
  std::string block;  // the inserted line, items joined by "; "; or the outcome
  bool fellBack = false;
};

// Comments `selection` (UTF-8) put under a blank first line, in `page`; the
// syntax mode when `source` is set.
Outcome Comment(const std::string& selection, CodePage page, DeclarationFieldsSource* source) {
  const IconvTextConverter converter;
  TemplateTree tree(std::string("t"));
  UseShortTemplates(tree);
  std::string text = selection;
  if (page == CodePage::kGbk) text = *converter.Utf8ToGbk(selection);
  MemoryDocument document("\n" + text, "f.cpp", page);
  document.Select(
      {document.LineCount(), static_cast<int>(document.LineText(document.LineCount()).size()) + 1},
      {2, 1});
  CommentContext context;
  context.page = page;
  context.converter = &converter;
  context.declarations = source;
  Outcome run;
  SilentSink sink;
  const CommandPlan result =
      PlanCommand(EngineCommand::kComment, document.GetSelectedText(), tree, context);
  ReplaySteps(result.steps, document, &sink);
  run.fellBack = result.syntaxFellBack;
  if (result.outcome == CommentOutcome::kNoKind) {
    run.block = "(nothing recognised)";
    return run;
  }
  if (result.outcome == CommentOutcome::kParseFailed) {
    run.block = "(refused)";
    return run;
  }
  std::string inserted = document.Text().substr(1, document.Text().size() - 1 - text.size());
  if (page == CodePage::kGbk) inserted = *converter.GbkToUtf8(inserted);
  // The items of a list, one per line in the block, shown on one line.
  constexpr std::string_view kSeparator = ",\n//\t\t\t\t";
  std::string shown;
  for (std::size_t pos = 0; pos < inserted.size();) {
    const std::size_t sep = inserted.find(kSeparator, pos);
    if (sep == std::string::npos) {
      shown += inserted.substr(pos);
      break;
    }
    shown += inserted.substr(pos, sep - pos) + "; ";
    pos = sep + kSeparator.size();
  }
  if (shown.ends_with("\n")) shown.pop_back();
  run.block = shown;
  return run;
}

struct Row {
  const char* selection;
  const char* syntax;    // the block in the syntax mode
  const char* keywords;  // the block in the keyword mode
  bool fellBack;         // the syntax mode handed over to the keyword mode
  const char* why;
};

const Row kRows[] = {
    {"int parse(const std::string& s, int base = 10);",
     "//F int | parse | const std::string& s; int base = 10", "(refused)", false,
     "std:: types and defaults: refused as a member function by keywords"},
    {"std::string A::f() const", "//M std::string | A | f | ", "//M  | string A | f | ", false,
     "a qualified return type: keywords take \"string A\" as the class"},
    {"void Log(const char* fmt = \"a, b\", int level = f(1, 2));",
     "//F void | Log | const char* fmt = \"a, b\"; int level = f(1, 2)",
     "//F void | Log | const char* fmt = \"a;  b\";  int level = f(1;  2", false,
     "commas inside defaults"},
    {"void Apply(std::map<int, std::pair<int, int>> m, int n);",
     "//F void | Apply | std::map<int, std::pair<int, int>> m; int n", "(refused)", false,
     "commas inside template arguments"},
    {"bool operator()(const T& a, const T& b) const;",
     "//F bool | operator() | const T& a; const T& b", "//F bool | operator | ", false,
     "the call operator"},
    {"Matrix& Matrix::operator+=(const Matrix& other)",
     "//M Matrix& | Matrix | operator+= | const Matrix& other",
     "//M Matrix& | Matrix | operator+= | const Matrix& other", false, "an out-of-line operator"},
    {"explicit operator bool() const noexcept;", "//F bool | operator bool | ",
     "//F operator | bool | ", false, "a conversion operator"},
    {"Handle::operator HWND() const", "//M HWND | Handle | operator HWND | ",
     "//M  | Handle | operator HWND | ", false, "an out-of-line conversion operator"},
    {"explicit Widget(QObject* parent = nullptr);", "//F  | Widget | QObject* parent = nullptr",
     "//F explicit | Widget | QObject* parent = nullptr", false, "a constructor: no return type"},
    {"Widget::~Widget()", "//M  | Widget | ~Widget | ", "//M  | Widget | ~Widget | ", false,
     "an out-of-line destructor"},
    {"enum class Color : std::uint8_t { Red, Green };", "//E Color", "//C Color : std::uint8_t",
     false, "enum class with an underlying type: keywords see a class"},
    {"template <class T, class Alloc = std::allocator<T>> class vector : protected Base<T, Alloc>",
     "//C vector : Base<T, Alloc>", "(refused)", false, "template parameters stay out of the name"},
    {"template <class T> struct hash<T*> {", "//S hash<T*> : ", "//C T>structhash<T*> : ", false,
     "a partial specialisation"},
    {"class GTEST_API_ AssertionResult {",
     "//C AssertionResult : ", "//C GTEST_API_AssertionResult : ", false, "an export macro"},
    {"__declspec(dllexport) int __stdcall Foo(int a);", "//F int | Foo | int a",
     "//F  | __declspec | dllexport", false, "declspec and calling convention"},
    {"void (*signal(int sig, void (*func)(int)))(int);",
     "//F void (*)(int) | signal | int sig; void (*func)(int)",
     "//F  | void | *signal(int sig;  void (*func", false,
     "a function returning a function pointer"},
    {"auto Parser::next() -> std::optional<Token>", "//M std::optional<Token> | Parser | next | ",
     "//M auto | Parser | next | ", false, "a trailing return type"},
    {"int /* count */ f(int a, // first\n    int b = 3 /* second */);",
     "//F int | f | int a; int b = 3", "//F */ | f | int a;  // first      int b = 3 /* second */",
     false, "comments inside"},
    {"int parse(const std::string& s, int ba", "//F int | parse | const std::string& s; int ba",
     "(nothing recognised)", false, "a selection cut mid-parameter"},
    {"void 绘制(const std::string& 名称 = \"默认\");",
     "//F void | 绘制 | const std::string& 名称 = \"默认\"", "(refused)", false,
     "Chinese names and strings (GBK too)"},
    {"#define MAX(a, b) ((a) > (b) ? (a) : (b))", "//P MAX | a; b", "//P MAX | a;  b", false,
     "a macro with parameters"},
    {"#define VERSION 3", "//D VERSION", "//D VERSION", false, "a plain macro"},
    {"STDMETHOD(GetName)(THIS_ BSTR* name) PURE;", "//X HRESULT | GetName | BSTR* name",
     "//X HRESULT | GetName | THIS_ BSTR* name", false, "STDMETHOD"},
    {"STDMETHOD_(ULONG, AddRef)(THIS) PURE;", "//X ULONG | AddRef | ", "//X ULONG |  AddRef | THIS",
     false, "STDMETHOD_"},
    {"STDMETHODIMP CFoo::QueryInterface(REFIID riid, void** ppv)",
     "//Y HRESULT | CFoo | QueryInterface | REFIID riid; void** ppv",
     "//Y HRESULT | CFoo | QueryInterface | REFIID riid;  void** ppv", false, "STDMETHODIMP"},
    {"STDMETHODIMP_(ULONG) CFoo::Release()", "//Y ULONG | CFoo | Release | ",
     "//Y ULONG | CFoo | Release | ", false, "STDMETHODIMP_"},
    {"DECLARE_INTERFACE_(IFoo, IUnknown)", "//I IFoo : IUnknown", "//I IFoo : IUnknown", false,
     "DECLARE_INTERFACE_"},
    {"DECLARE_INTERFACE(IRoot)", "//I IRoot : ", "//I IRoot : ", false, "DECLARE_INTERFACE"},
    {"MIDL_INTERFACE(\"12345678-1234-1234-1234-123456789012\")\nIBar : public IUnknown",
     "//I IBar : IUnknown", "//F  | MIDL_INTERFACE | \"12345678-1234-1234-1234-123456789012\"",
     false, "MIDL_INTERFACE"},
    {"interface IBaz : IUnknown", "//I IBaz : IUnknown", "//I IBaz : IUnknown", false,
     "the interface keyword"},
    {"x = f(1, 2);", "//F = | f | 1;  2", "//F = | f | 1;  2", true,
     "a statement, no declaration: the keyword mode takes over"},
};

TEST(SyntaxModeTest, BothModesOnTheFailureClasses) {
  syntax::SyntaxFieldsSource source;
  ASSERT_TRUE(source.ok(nullptr));
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.why);
    SCOPED_TRACE(row.selection);
    const Outcome syntaxRun = Comment(row.selection, CodePage::kUtf8, &source);
    EXPECT_EQ(row.syntax, syntaxRun.block);
    EXPECT_EQ(row.fellBack, syntaxRun.fellBack);
    const Outcome keywordRun = Comment(row.selection, CodePage::kUtf8, nullptr);
    EXPECT_EQ(row.keywords, keywordRun.block);
    EXPECT_FALSE(keywordRun.fellBack);
    // A document in code page 936 gives the same fields.
    const Outcome gbkRun = Comment(row.selection, CodePage::kGbk, &source);
    EXPECT_EQ(row.syntax, gbkRun.block);
  }
}

// The seam the engine calls with the whole document: the syntax source places a
// member in its class; a source that only reads selections parses the range.
TEST(SyntaxModeTest, TheFieldsSourceTakesTheDocument) {
  const std::string document = "class Canvas {\n public:\n  void Draw(int x) const;\n};\n";
  const std::string selection = "  void Draw(int x) const;";
  const std::size_t begin = document.find(selection);
  syntax::SyntaxFieldsSource source;
  DeclarationFields fields;
  std::string why;
  ASSERT_TRUE(source.ParseInDocument(document, begin, begin + selection.size(), &fields, &why))
      << why;
  EXPECT_EQ(DeclKind::MemberFunction, fields.kind);
  EXPECT_EQ("Canvas", fields.scope);
  EXPECT_EQ(std::vector<std::string>{"int x"}, fields.parameters);
  EXPECT_FALSE(source.ParseInDocument(document, begin, document.size() + 1, &fields, &why));

  struct SelectionOnly final : DeclarationFieldsSource {
    std::string seen;
    bool Parse(std::string_view utf8Selection, DeclarationFields*, std::string*) override {
      seen = utf8Selection;
      return true;
    }
  } selectionOnly;
  EXPECT_TRUE(
      selectionOnly.ParseInDocument(document, begin, begin + selection.size(), &fields, &why));
  EXPECT_EQ(selection, selectionOnly.seen);
}

// Where the host has the whole document, the command hands it to the parser:
// a member selected inside its class gets the class, in either code page.
TEST(SyntaxModeTest, TheCommandHandsTheParserTheDocument) {
  const IconvTextConverter converter;
  syntax::SyntaxFieldsSource source;
  const std::string utf8 = "// 画布\nclass Canvas {\n public:\n  void Draw(int x) const;\n};\n";
  for (const CodePage page : {CodePage::kUtf8, CodePage::kGbk}) {
    SCOPED_TRACE(page == CodePage::kGbk ? "GBK" : "UTF-8");
    TemplateTree tree(std::string("t"));
    UseShortTemplates(tree);
    const std::string text = page == CodePage::kGbk ? *converter.Utf8ToGbk(utf8) : utf8;
    const LineTable lines(text);
    CommentContext context;
    context.page = page;
    context.converter = &converter;
    context.declarations = &source;
    const CommandResultOnText result =
        RunCommand(EngineCommand::kComment, {text, &lines, "\n", {4, 27}, {4, 1}}, tree, context);
    ASSERT_EQ(1u, result.edits.size());
    std::string inserted = result.edits[0].text;
    if (page == CodePage::kGbk) inserted = *converter.GbkToUtf8(inserted);
    EXPECT_EQ("//M void | Canvas | Draw | int x\n", inserted);
  }
}

}  // namespace
}  // namespace quillmark
