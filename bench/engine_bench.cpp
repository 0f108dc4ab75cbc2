// Speed of the engine: classify+generate per declaration kind, and every
// routine on inputs from 1 KB to 1 MB. After the run it prints, per routine,
// the time at 1 MB divided by the time at 1 KB, which must stay at most 1000:
// a routine that goes over does more work per byte on large inputs.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>
#include <map>

#include "quillmark/commands.h"
#include "quillmark/memory_editor.h"
#include "quillmark/posix_platform.h"
#include "quillmark/settings.h"

namespace quillmark {
namespace {

// A text of about `size` bytes made of `unit` repeated between `head` and `tail`.
std::string Make(std::string_view head, std::string_view unit, std::string_view tail,
                 std::size_t size) {
  std::string text(head);
  while (text.size() + unit.size() + tail.size() <= size) text += unit;
  text += tail;
  return text;
}

TemplateTree& Tree() {
  static TemplateTree* tree = new TemplateTree;
  return *tree;
}

const IconvTextConverter kConverter;

// The context of a UTF-8 document on a fixed date.
const CommentContext& Context() {
  static const CommentContext context = [] {
    CommentContext c;
    c.converter = &kConverter;
    c.today = {2002, 9, 17};
    c.user = &Tree().userInfo;
    return c;
  }();
  return context;
}

void BM_CommentKind(benchmark::State& state, const char* text) {
  const TemplateTree& tree = Tree();
  for (auto _ : state) {
    std::string copy = text;
    const TemplateNode* node = tree.FindKindNode(Classify(copy, CodePage::kUtf8));
    ExpandedBlock block;
    benchmark::DoNotOptimize(node->generator(copy, *node, Context(), &block));
    benchmark::DoNotOptimize(block.text.data());
  }
}
BENCHMARK_CAPTURE(BM_CommentKind, class,
                  "class AFX_EXT_CLASS CMyView : public CView, protected IHost");
BENCHMARK_CAPTURE(BM_CommentKind, struct, "struct tagNODE : NODEBASE { int n; };");
BENCHMARK_CAPTURE(BM_CommentKind, union, "union UValue {");
BENCHMARK_CAPTURE(BM_CommentKind, enum, "typedef enum tagColor { red, green }");
BENCHMARK_CAPTURE(BM_CommentKind, function,
                  "LRESULT CALLBACK WndProc(HWND h, UINT m, WPARAM w, LPARAM l)");
BENCHMARK_CAPTURE(BM_CommentKind, member, "void CFoo::Bar(int a, int b)");
BENCHMARK_CAPTURE(BM_CommentKind, macro, "#define MAX_LEN 256");
BENCHMARK_CAPTURE(BM_CommentKind, param_macro, "#define MAX(a, b) ((a) > (b) ? (a) : (b))");
BENCHMARK_CAPTURE(BM_CommentKind, interface, "interface IMyHost : public IDispatch");
BENCHMARK_CAPTURE(BM_CommentKind, method_decl, "STDMETHOD_(ULONG, AddRef)(THIS) PURE;");
BENCHMARK_CAPTURE(BM_CommentKind, method_impl,
                  "STDMETHODIMP CMyObj::QueryInterface(REFIID riid, void** ppv)");

// Each routine on a worst-ish input of the given size.
using Routine = void (*)(std::string& input);
struct Case {
  const char* name;
  const char* head;
  const char* unit;
  const char* tail;
  Routine run;
};

const Case kRoutines[] = {
    {"FindSubstring", "", "a classic", "",
     [](std::string& t) { benchmark::DoNotOptimize(FindSubstring(t, "class ", CodePage::kUtf8)); }},
    {"Classify", "", "int x = 0; ", "",
     [](std::string& t) { benchmark::DoNotOptimize(Classify(t, CodePage::kUtf8)); }},
    {"TrimDeclaration", "", " \r\n\t", "x",
     [](std::string& t) { TrimDeclaration(t, CodePage::kUtf8); }},
    {"RemoveWhitespace", "", "a b\tc\r\n", "", [](std::string& t) { RemoveWhitespace(t); }},
    {"KeepFirstOccurrence", "", "a b ", "", [](std::string& t) { KeepFirstOccurrence(t, ' '); }},
    {"RemoveSubstring", "", "staticx", "",
     [](std::string& t) { RemoveSubstring(t, "static", CodePage::kUtf8); }},
    {"RemoveExportMacros", "", "AFX_EXT_CLASS__declspec(dllexport)", "",
     [](std::string& t) { RemoveExportMacros(t, CodePage::kUtf8); }},
    {"SplitParams", "", "int a, ", "",
     [](std::string& t) {
       std::vector<std::string> v;
       SplitParams(t, v, CodePage::kUtf8);
     }},
    {"JoinItems", "", "int a, ", "",
     [](std::string& t) {
       std::vector<std::string> v;
       SplitParams(t, v, CodePage::kUtf8);
       benchmark::DoNotOptimize(JoinItems(v));
     }},
    {"ParseClassHead", "classX:", "A,", "B",
     [](std::string& t) {
       std::string name;
       std::vector<std::string> bases;
       benchmark::DoNotOptimize(ParseClassHead(true, t, name, bases, CodePage::kUtf8));
     }},
    {"ParseClassHeadTemplates", "classX:", "publicT<a,b>,", "B",
     [](std::string& t) {
       std::string name;
       std::vector<std::string> bases;
       benchmark::DoNotOptimize(ParseClassHead(true, t, name, bases, CodePage::kUtf8));
     }},
    {"SplitFunctionHead", "", "WINAPI int ", "f",
     [](std::string& t) {
       std::string r, n;
       SplitFunctionHead(t, r, n, CodePage::kUtf8);
     }},
    {"SplitMemberHead", "", "NS::", "f",
     [](std::string& t) {
       std::string c, r, n;
       benchmark::DoNotOptimize(SplitMemberHead(t, c, r, n, CodePage::kUtf8));
     }},
    {"ParseInterfaceHead", "interfaceI:", "publicIB,", "",
     [](std::string& t) {
       std::string i, b;
       benchmark::DoNotOptimize(ParseInterfaceHead(t, i, b, CodePage::kUtf8));
     }},
    {"CommentClass", "class X : ", "public A<int, long>, ", "B",
     [](std::string& t) {
       ExpandedBlock b;
       benchmark::DoNotOptimize(
           CommentClass(t, *Tree().FindKindNode(DeclKind::Class), Context(), &b));
     }},
    {"CommentFunction", "int f(", "int a, ", ")",
     [](std::string& t) {
       ExpandedBlock b;
       benchmark::DoNotOptimize(
           CommentFunction(t, *Tree().FindKindNode(DeclKind::Function), Context(), &b));
     }},
    {"CommentMemberFunction", "void ", "A::", "f(int a)",
     [](std::string& t) {
       ExpandedBlock b;
       benchmark::DoNotOptimize(
           CommentMemberFunction(t, *Tree().FindKindNode(DeclKind::MemberFunction), Context(), &b));
     }},
    {"CommentParamMacro", "#define M(", "a, ", ") x",
     [](std::string& t) {
       ExpandedBlock b;
       benchmark::DoNotOptimize(
           CommentParamMacro(t, *Tree().FindKindNode(DeclKind::MacroWithParams), Context(), &b));
     }},
    {"CommentMacro", "#define M ", "1 + ", "1",
     [](std::string& t) {
       ExpandedBlock b;
       benchmark::DoNotOptimize(
           CommentMacro(t, *Tree().FindKindNode(DeclKind::Macro), Context(), &b));
     }},
    {"CommentInterface", "interface I : ", "public IB, ", "IC",
     [](std::string& t) {
       ExpandedBlock b;
       benchmark::DoNotOptimize(
           CommentInterface(t, *Tree().FindKindNode(DeclKind::Interface), Context(), &b));
     }},
    {"CommentMethodDecl", "STDMETHOD(F)(", "int a, ", ")",
     [](std::string& t) {
       ExpandedBlock b;
       benchmark::DoNotOptimize(
           CommentMethodDecl(t, *Tree().FindKindNode(DeclKind::MethodDeclaration), Context(), &b));
     }},
    {"CommentMethodImpl", "STDMETHODIMP C::F(", "int a, ", ")",
     [](std::string& t) {
       ExpandedBlock b;
       benchmark::DoNotOptimize(CommentMethodImpl(
           t, *Tree().FindKindNode(DeclKind::MethodImplementation), Context(), &b));
     }},
    {"ToggleDeletedText", "", "    int a = 0;\r\n", "",
     [](std::string& t) { benchmark::DoNotOptimize(ToggleDeletedText(t)); }},
    {"MemoryDocumentEdit", "", "int a = 0;\n", "",
     [](std::string& t) {
       MemoryDocument doc(t);
       doc.Select({2, 1}, {3, 1});
       doc.ReplaceSelection("x\r\n");
       benchmark::DoNotOptimize(doc.Text());
     }},
    {"IniParse", "", "[s]\nLine1=//\tx\n", "",
     [](std::string& t) {
       IniFile ini({}, kConverter);
       ini.Parse(t);
       benchmark::DoNotOptimize(ini.Serialize());
     }},
    {"IniParseManyKeys", "[s]\n", "k=v\nk2=v\nk3=v\n", "",
     [](std::string& t) {
       IniFile ini({}, kConverter);
       ini.Parse(t);
     }},
};

void BM_Routine(benchmark::State& state, const Case* c) {
  const std::string input =
      Make(c->head, c->unit, c->tail, static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    std::string copy = input;
    state.ResumeTiming();
    c->run(copy);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}

// The template and the value are built once, outside the timing.
void BM_ExpandTemplate(benchmark::State& state) {
  const std::string line =
      Make("", "%Author%%Time%x", "", static_cast<std::size_t>(state.range(0)));
  const std::vector<std::string> lines = {line, "%FunctionParam%"};
  const std::vector<ExpansionStep> steps = {{"%FunctionParam%", line, 0}};
  for (auto _ : state) benchmark::DoNotOptimize(ExpandTemplate(lines, {}, steps, Context()));
}
BENCHMARK(BM_ExpandTemplate)->Arg(1 << 10)->Arg(1 << 20)->Repetitions(5);

// Remembers the time of every run so the ratios can be printed at the end.
class RatioReporter final : public benchmark::ConsoleReporter {
 public:
  // The best of the repetitions: this machine's noise only ever adds time.
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration) continue;
      const std::string name = run.run_name.function_name + "/" + run.run_name.args;
      const double time = run.GetAdjustedRealTime();
      const auto it = times.find(name);
      if (it == times.end() || time < it->second) times[name] = time;
    }
  }
  std::map<std::string, double> times;
};

}  // namespace
}  // namespace quillmark

int main(int argc, char** argv) {
  using namespace quillmark;
  // glibc hands out blocks over 128 KB as fresh mappings, and faulting their
  // pages in costs more than the work on them; keeping them on the heap makes
  // the 1 MB runs measure the routines. --fresh-pages leaves glibc as it is.
  bool freshPages = false;
  for (int i = 1; i < argc; ++i) freshPages |= std::string_view(argv[i]) == "--fresh-pages";
  if (!freshPages) {
    mallopt(M_MMAP_THRESHOLD, 256 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
  }
  for (const Case& c : kRoutines)
    benchmark::RegisterBenchmark((std::string("BM_Routine/") + c.name).c_str(), BM_Routine, &c)
        ->Arg(1 << 10)
        ->Arg(1 << 20)
        ->Repetitions(5);
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  // Pausing the timer costs about as much as a 1 KB run, so small runs read
  // high and the ratios low; the limit is on the 1 MB / 1 KB ratio.
  constexpr double kLimit = 1000.0;
  int over = 0;
  std::printf("\n%-28s %12s\n", "routine", "1MB / 1KB");
  for (const Case& c : kRoutines) {
    const std::string base = std::string("BM_Routine/") + c.name + "/";
    const auto small = reporter.times.find(base + "1024");
    const auto large = reporter.times.find(base + "1048576");
    if (small == reporter.times.end() || large == reporter.times.end()) continue;
    const double ratio = large->second / small->second;
    over += ratio > kLimit;
    std::printf("%-28s %12.1f%s\n", c.name, ratio, ratio > kLimit ? "  OVER THE LIMIT" : "");
  }
  const double expandRatio =
      reporter.times["BM_ExpandTemplate/1048576"] / reporter.times["BM_ExpandTemplate/1024"];
  over += expandRatio > kLimit;
  std::printf("%-28s %12.1f%s\n", "ExpandTemplate", expandRatio,
              expandRatio > kLimit ? "  OVER THE LIMIT" : "");
  std::printf("%d routine(s) over %.0fx\n", over, kLimit);
  benchmark::Shutdown();
  return over == 0 ? 0 : 1;
}
