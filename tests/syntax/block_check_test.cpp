// A whole document's blocks checked against its declarations, found as batch
// finds them.
#include <gtest/gtest.h>

#include <algorithm>

#include "quillmark/block_check.h"
#include "quillmark/posix_platform.h"
#include "quillmark/syntax_fields.h"

namespace quillmark {
namespace {

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

const std::string kRule(63, '/');

std::vector<std::string> FunctionBlock(const std::string& name, const std::string& returns,
                                       const std::vector<std::string>& params) {
  std::vector<std::string> block = {kRule,
                                    "//\t函 数 名 : " + name,
                                    "//\t函数功能 : ",
                                    "//\t处理过程 : ",
                                    "//\t备    注 : ",
                                    "//\t作    者 : A",
                                    "//\t时    间 : 2002年9月17日",
                                    "//\t返 回 值 : " + returns};
  for (std::size_t k = 0; k < params.size(); ++k)
    block.push_back((k == 0 ? "//\t参数说明 : " : "//\t\t\t\t") + params[k] +
                    (k + 1 < params.size() ? "," : ""));
  if (params.empty()) block.push_back("//\t参数说明 : ");
  block.push_back(kRule);
  return block;
}

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(BlockCheckTest, Findings) {
  const IconvTextConverter converter;
  TemplateTree tree;
  CommentContext context;
  context.converter = &converter;
  context.user = &tree.userInfo;
  const struct {
    std::string text;
    CheckOptions options;
    std::vector<std::string> expected;  // "LINE:COLUMN state message"
    const char* why;
  } kCases[] = {
      {Lines(Concat(FunctionBlock("Area", "double", {"double radius"}),
                    {"double Area(double radius, int precision);"})),
       {},
       {"11:1 stale comment of 'Area' is stale: parameters (double radius) now (double radius, "
        "int precision)"},
       "a parameter added"},
      {Lines(Concat(FunctionBlock("Area", "double", {"double radius", " int precision"}),
                    {"double Area(double radius, int precision);"})),
       {},
       {},
       "written by the keyword mode, with its leading blank: current"},
      {Lines(Concat(FunctionBlock("Area", "double", {"double radius"}),
                    {"double Area(double radius);", "", "int Volume(int h);", "// mine",
                     "int Mass(int g);"})),
       {.missing = true, .foreign = true},
       {"13:1 missing function 'Volume' has no comment",
        "15:1 foreign comment of 'Mass' does not follow the template of its kind (function); it "
        "is left as it is"},
       "missing and foreign on request"},
      {Lines(Concat({"class CShape", "{", "public:"},
                    Concat(FunctionBlock("Area", "double", {}),
                           {"    virtual double Area(int precision) const;", "};"}))),
       {},
       {"14:5 stale comment of 'CShape::Area' is stale: parameters () now (int precision)"},
       "a member in its class, written with the free-function template by the keyword mode"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    std::vector<BlockFinding> findings;
    std::string error;
    ASSERT_TRUE(CheckDocument(c.text, tree, context, c.options, &findings, &error)) << error;
    std::vector<std::string> got;
    for (const BlockFinding& f : findings)
      got.push_back(std::to_string(f.declaration.line) + ":" +
                    std::to_string(f.declaration.column) + " " + std::string(StateWord(f.state)) +
                    " " + FindingMessage(f));
    EXPECT_EQ(c.expected, got);
    for (const BlockFinding& f : findings) {
      if (f.state != BlockFinding::State::kStale) continue;
      // The refresh makes the block current.
      std::vector<BlockFinding> after;
      ASSERT_TRUE(
          CheckDocument(ApplyEdits(c.text, f.refresh), tree, context, c.options, &after, &error));
      EXPECT_TRUE(after.empty() || after.front().declaration.line != f.declaration.line);
    }
  }
}

}  // namespace
}  // namespace quillmark

namespace quillmark {
namespace {

// The refresh command with the syntax parser, every kind it finds: the
// refreshed text is what the comment command in the syntax mode writes for
// the edited declaration, and the block is then current.
TEST(BlockCheckTest, RefreshWithTheSyntaxParser) {
  const IconvTextConverter converter;
  TemplateTree tree;
  syntax::SyntaxFieldsSource source;
  ASSERT_TRUE(source.ok(nullptr));
  CommentContext context;
  context.converter = &converter;
  context.user = &tree.userInfo;
  context.declarations = &source;
  const auto run = [&](bool refresh, const std::string& text, int line) {
    const LineTable lines(text);
    const TextPosition end{line, static_cast<int>(lines.LineLength(line)) + 1};
    const DocumentView view{text, &lines, "\n", end, {line, 1}};
    if (refresh) return ApplyEdits(text, RefreshCommand(view, tree, context).edits);
    return ApplyEdits(text, RunCommand(EngineCommand::kComment, view, tree, context).edits);
  };
  const struct {
    const char* original;
    const char* edited;
    const char* why;
  } kCases[] = {
      {"class CShape : public CBase, public IDraw {};", "class CShape : public CBase {};",
       "a base class dropped"},
      {"struct SPoint { int x; };", "struct SPoint3 { int x; };", "struct renamed"},
      {"union UValue { int i; };", "union UNumber { int i; };", "union renamed"},
      {"enum class EColor : int { kRed };", "enum class EColour : int { kRed };", "enum renamed"},
      {"std::string Name(int id, bool full = false);",
       "const std::string& Name(int id, bool full = false, int width = 0);",
       "return type and a parameter with a default"},
      {"double CShape::Area(double radius) const {}", "double CCircle::Area(double r) const {}",
       "member function's class and parameter"},
      {"#define SCALE(x, y) ((x) * (y))", "#define SCALE(x, y, z) ((x) * (y))", "macro"},
      {"interface IHost : public IDispatch {};", "interface IHost : public IUnknown {};",
       "interface base"},
      {"STDMETHODIMP CObj::Get(long* p) {}", "STDMETHODIMP CObject::Get(long* p, int q) {}",
       "method implementation"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    const std::string head = "#include \"a.h\"\n";
    const std::string commented = run(false, head + c.original + "\n", 2);
    ASSERT_NE(commented, head + c.original + "\n");
    std::string edited = commented;
    edited.replace(edited.find(c.original), std::string_view(c.original).size(), c.edited);
    const int line = static_cast<int>(std::count(edited.begin(), edited.end(), '\n'));
    const std::string refreshed = run(true, edited, line);
    EXPECT_EQ(run(false, head + c.edited + "\n", 2), refreshed);
    EXPECT_EQ(refreshed,
              run(true, refreshed,
                  line + static_cast<int>(std::count(refreshed.begin(), refreshed.end(), '\n')) -
                      static_cast<int>(std::count(edited.begin(), edited.end(), '\n'))));
  }
}

}  // namespace
}  // namespace quillmark

namespace quillmark {
namespace {

// A template head: batch puts the block above it, the comment command between
// it and the rest of the declaration. check finds both and reports the head's
// line; refresh works from the head's line or the declaration's.
TEST(BlockCheckTest, TemplateHeads) {
  const IconvTextConverter converter;
  TemplateTree tree;
  syntax::SyntaxFieldsSource source;
  ASSERT_TRUE(source.ok(nullptr));
  CommentContext context;
  context.converter = &converter;
  context.user = &tree.userInfo;
  const std::string head = "template <typename T>";
  const std::string declaration = "T Largest(const std::vector<T>& items, int n)";
  const auto block = [](const std::vector<std::string>& params) {
    return FunctionBlock("Largest", "T", params);
  };
  const struct {
    std::vector<std::string> before, after;
    int line;  // where refresh is asked
    const char* why;
  } kCases[] = {
      {Concat(block({"const std::vector<T>& items"}), {head, declaration, "{}"}),
       Concat(block({"const std::vector<T>& items", "int n"}), {head, declaration, "{}"}), 11,
       "above the head, refreshed from the head's line"},
      {Concat(block({"const std::vector<T>& items"}), {head, declaration, "{}"}),
       Concat(block({"const std::vector<T>& items", "int n"}), {head, declaration, "{}"}), 12,
       "above the head, refreshed from the declaration's line"},
      {Concat(Concat({head}, block({"const std::vector<T>& items"})), {declaration, "{}"}),
       Concat(Concat({head}, block({"const std::vector<T>& items", "int n"})), {declaration, "{}"}),
       1, "between the head and the declaration, from the head's line"},
      {Concat(Concat({head}, block({"const std::vector<T>& items"})), {declaration, "{}"}),
       Concat(Concat({head}, block({"const std::vector<T>& items", "int n"})), {declaration, "{}"}),
       12, "between the head and the declaration, from the declaration's line"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    const std::string before = Lines(c.before);
    std::vector<BlockFinding> findings;
    std::string error;
    ASSERT_TRUE(CheckDocument(before, tree, context, {}, &findings, &error)) << error;
    ASSERT_EQ(1u, findings.size());
    // The head's line: after the 10 lines of the block, or the first.
    EXPECT_EQ(c.before.front() == head ? 1 : 11, findings[0].declaration.line);
    EXPECT_EQ(Lines(c.after), ApplyEdits(before, findings[0].refresh));
    CommentContext withParser = context;
    withParser.declarations = &source;
    const LineTable lines(before);
    const TextPosition end{c.line, static_cast<int>(lines.LineLength(c.line)) + 1};
    const RefreshResult result =
        RefreshCommand({before, &lines, "\n", end, {c.line, 1}}, tree, withParser);
    EXPECT_EQ(RefreshOutcome::kRefreshed, result.outcome);
    EXPECT_EQ(Lines(c.after), ApplyEdits(before, result.edits));
  }
}

}  // namespace
}  // namespace quillmark
