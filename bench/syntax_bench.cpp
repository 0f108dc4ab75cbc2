// Latency of the syntax parser: per selected declaration with one parser reused (the
// editor's case), with a parser made per call, and the whole-file scan of the batch
// command.
//   quillmark_syntax_bench [ROUNDS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "quillmark/syntax.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace syntax = quillmark::syntax;

const char* const kDeclarations[] = {
    "int parse(const std::string& s, int base = 10);",
    "std::string A::f() const",
    "enum class Color : std::uint8_t { Red, Green };",
    "explicit operator bool() const noexcept;",
    "template <class T, class Alloc = std::allocator<T>> class vector : protected "
    "_Vector_base<T, Alloc>",
    "GTEST_API_ AssertionResult IsSubstring(const char* needle_expr, const char* haystack_expr,\n"
    "                                       const char* needle, const char* haystack);",
    "void (*signal(int sig, void (*func)(int)))(int);",
    "auto Parser::next() -> std::optional<Token>",
    "STDMETHOD_(ULONG, AddRef)(THIS) PURE;",
    "STDMETHODIMP CFoo::QueryInterface(REFIID riid, void** ppv)",
    "DECLARE_INTERFACE_(IFoo, IUnknown)",
    "#define MAX(a, b) ((a) > (b) ? (a) : (b))",
    "WINADVAPI WINBOOL WINAPI LogonUserExA (LPCSTR lpszUsername, LPCSTR lpszDomain, LPCSTR "
    "lpszPassword, DWORD dwLogonType, DWORD dwLogonProvider, PHANDLE phToken, PSID *ppLogonSid, "
    "PVOID *ppProfileBuffer, LPDWORD pdwProfileLength, PQUOTA_LIMITS pQuotaLimits);",
    "extern int pthread_rwlock_timedrdlock (pthread_rwlock_t *__restrict __rwlock,\n"
    "                                       const struct timespec *__restrict\n"
    "                                       __abstime) __THROWNL __nonnull ((1, 2));",
    "Widget::Widget(int x) : m_x{x}, m_y(0) {",
    "class GTEST_API_ AssertionResult {",
};

double Micros(Clock::duration d) {
  return std::chrono::duration<double, std::micro>(d).count();
}

void Report(const char* what, std::vector<double>& samples) {
  std::sort(samples.begin(), samples.end());
  double sum = 0;
  for (double s : samples) sum += s;
  const auto at = [&samples](double q) {
    return samples[std::min(samples.size() - 1, static_cast<std::size_t>(q * samples.size()))];
  };
  std::printf("%-34s mean %7.1f us  median %7.1f us  p99 %7.1f us  (%zu runs)\n", what,
              sum / samples.size(), at(0.5), at(0.99), samples.size());
}

// A file of `count` declarations of the kinds a batch run looks for, with bodies.
std::string GeneratedFile(int count) {
  std::string out = "#include <string>\n\nnamespace demo {\n\n";
  for (int i = 0; i < count; ++i) {
    const std::string n = std::to_string(i);
    switch (i % 4) {
      case 0:
        out += "class Widget" + n + " : public Base<int, char> {\n public:\n  explicit Widget" + n +
               "(int x = 0);\n  int value() const { return v_; }\n private:\n  int v_ = 0;\n};\n\n";
        break;
      case 1:
        out += "std::string Format" + n +
               "(const std::string& s, int width = 10) {\n  std::string r(s);\n  r.resize(width);\n"
               "  return r;\n}\n\n";
        break;
      case 2:
        out += "enum class Mode" + n + " : unsigned char { A, B, C };\n\n";
        break;
      default:
        out +=
            "#define CLAMP" + n + "(x, lo, hi) ((x) < (lo) ? (lo) : (x) > (hi) ? (hi) : (x))\n\n";
        break;
    }
  }
  return out + "}  // namespace demo\n";
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
  syntax::DeclarationParser parser;
  if (!parser.ok()) {
    std::fprintf(stderr, "the parser cannot start\n");
    return 1;
  }
  std::vector<double> reused, fresh;
  syntax::ParsedDeclaration out;
  std::string why;
  int failed = 0;
  for (int r = 0; r < rounds; ++r) {
    for (const char* d : kDeclarations) {
      auto t0 = Clock::now();
      failed += parser.ParseDeclaration({d, {}, 0}, &out, &why) ? 0 : 1;
      reused.push_back(Micros(Clock::now() - t0));
      t0 = Clock::now();
      failed += syntax::ParseDeclaration({d, {}, 0}, &out, &why) ? 0 : 1;
      fresh.push_back(Micros(Clock::now() - t0));
    }
  }
  Report("ParseDeclaration, parser reused", reused);
  Report("ParseDeclaration, parser per call", fresh);

  // The document's context costs a parse of the whole document.
  const std::string file = GeneratedFile(400);
  std::vector<double> inClass;
  const std::string member = "  explicit Widget8(int x = 0);";
  const std::size_t offset = file.find(member);
  for (int r = 0; r < std::max(1, rounds / 10); ++r) {
    const auto t0 = Clock::now();
    failed += parser.ParseDeclaration({member, file, offset}, &out, &why) ? 0 : 1;
    inClass.push_back(Micros(Clock::now() - t0));
  }
  char label[64];
  std::snprintf(label, sizeof label, "with a %zu KB document", file.size() / 1024);
  Report(label, inClass);

  std::vector<syntax::FoundDeclaration> found;
  std::vector<double> scans;
  for (int r = 0; r < std::max(1, rounds / 10); ++r) {
    const auto t0 = Clock::now();
    failed += parser.FindDeclarations(file, syntax::FindOptions{}, &found, &why) ? 0 : 1;
    scans.push_back(Micros(Clock::now() - t0));
  }
  std::sort(scans.begin(), scans.end());
  const double median = scans[scans.size() / 2];
  std::printf("FindDeclarations: %zu KB, %zu declarations, median %.2f ms (%.1f MB/s)\n",
              file.size() / 1024, found.size(), median / 1000,
              static_cast<double>(file.size()) / median);
  if (failed != 0) {
    std::fprintf(stderr, "%d parses failed\n", failed);
    return 1;
  }
  return 0;
}
