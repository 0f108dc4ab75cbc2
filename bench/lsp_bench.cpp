// The language server on a 100,000-line document: one incremental change (a
// keystroke) followed by a code action request, through the whole protocol
// path (JSON in, JSON out). The target is well under a 16 ms frame.
//
// The diagnostics of stale blocks on a 100,000-line document of commented
// functions: the time from a didChange to its publishDiagnostics, and how long
// a request sent right after the change, or while the check runs, waits.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "quillmark/lsp.h"
#include "quillmark/posix_platform.h"

namespace {

using quillmark::lsp::Server;

const quillmark::PosixPlatform& Platform() {
  static const quillmark::PosixPlatform platform;
  return platform;
}

std::string LargeDocument() {
  std::string text;
  for (int i = 0; i < 100000; ++i) {
    text += i % 10 == 0 ? "class CShape" + std::to_string(i) + " : public CObject // 形状\n"
                        : "  int m_value" + std::to_string(i) + ";  // 值 😀\n";
  }
  return text;
}

std::string Escaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else {
      out += c;
    }
  }
  return out;
}

void BM_IncrementalChangeAndCodeAction(benchmark::State& state) {
  quillmark::lsp::LspOptions options;
  options.settingsPath = "/dev/null/unused.ini";  // listing never reads settings
  options.platform = &Platform();
  // The keystroke alone: the diagnostics have a benchmark of their own.
  options.checkDelay = std::chrono::hours(1);
  std::size_t answered = 0;
  Server server(options, [&answered](std::string_view) {
    ++answered;
    return true;
  });
  server.Handle(R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"capabilities":{}}})");
  server.Handle(R"({"jsonrpc":"2.0","method":"initialized","params":{}})");
  server.Handle(R"({"jsonrpc":"2.0","method":"textDocument/didOpen","params":{"textDocument":)"
                R"({"uri":"file:///bench/big.cpp","languageId":"cpp","version":1,"text":")" +
                Escaped(LargeDocument()) + R"("}}})");
  long long version = 1;
  int id = 2;
  for (auto _ : state) {
    const int line = 50000 + static_cast<int>(version % 100) * 10;
    server.Handle(R"({"jsonrpc":"2.0","method":"textDocument/didChange","params":{)"
                  R"("textDocument":{"uri":"file:///bench/big.cpp","version":)" +
                  std::to_string(++version) + R"(},"contentChanges":[{"range":{"start":{"line":)" +
                  std::to_string(line) + R"(,"character":5},"end":{"line":)" +
                  std::to_string(line) + R"(,"character":5}},"text":"x"}]}})");
    server.Handle(R"({"jsonrpc":"2.0","id":)" + std::to_string(++id) +
                  R"(,"method":"textDocument/codeAction","params":{"textDocument":)"
                  R"({"uri":"file:///bench/big.cpp"},"range":{"start":{"line":)" +
                  std::to_string(line) + R"(,"character":0},"end":{"line":)" +
                  std::to_string(line) + R"(,"character":0}},"context":{"diagnostics":[]}}})");
  }
  state.counters["answers"] = static_cast<double>(answered);
}
BENCHMARK(BM_IncrementalChangeAndCodeAction)->Unit(benchmark::kMicrosecond);

// Running the comment action on the same document: the engine on a copy of
// the text, the settings file's stamp checked, the minimal edit found.
void BM_RunCommentAction(benchmark::State& state) {
  char directory[] = "/tmp/quillmark-lsp-bench-XXXXXX";
  if (mkdtemp(directory) == nullptr) return state.SkipWithError("no temporary directory");
  const std::string settings = std::string(directory) + "/settings.ini";
  quillmark::lsp::Document document(LargeDocument());
  const std::unique_ptr<quillmark::lsp::ActionProvider> provider =
      quillmark::lsp::MakeCommentActions(settings, Platform());
  const quillmark::lsp::DocumentView view{"file:///bench/big.cpp", document};
  std::size_t edits = 0;
  for (auto _ : state) {
    const quillmark::lsp::ActionResult result =
        provider->Run(view, {{50000, 0}, {50000, 0}}, "comment");
    edits += result.edits.size();
  }
  state.counters["edits"] = static_cast<double>(edits);
  std::remove(settings.c_str());
  rmdir(directory);
}
BENCHMARK(BM_RunCommentAction)->Unit(benchmark::kMicrosecond);

// The same with the settings read afresh for every run (a new command object
// each time), as after every change of the settings file.
void BM_RunCommentActionFreshSettings(benchmark::State& state) {
  char directory[] = "/tmp/quillmark-lsp-bench-XXXXXX";
  if (mkdtemp(directory) == nullptr) return state.SkipWithError("no temporary directory");
  const std::string settings = std::string(directory) + "/settings.ini";
  quillmark::lsp::Document document(LargeDocument());
  const quillmark::lsp::DocumentView view{"file:///bench/big.cpp", document};
  std::size_t edits = 0;
  for (auto _ : state) {
    const std::unique_ptr<quillmark::lsp::ActionProvider> provider =
        quillmark::lsp::MakeCommentActions(settings, Platform());
    edits += provider->Run(view, {{50000, 0}, {50000, 0}}, "comment").edits.size();
  }
  state.counters["edits"] = static_cast<double>(edits);
  std::remove(settings.c_str());
  rmdir(directory);
}
BENCHMARK(BM_RunCommentActionFreshSettings)->Unit(benchmark::kMicrosecond);

// A document of commented member functions, 100,000 lines: the engine's own
// block for one, repeated under other names.
std::string CommentedDocument(const std::string& settings) {
  const std::string head = "double CCircle::Area(double radius)\n";
  quillmark::lsp::Document one("#include \"shape.h\"\n\n" + head + "{\n    return radius;\n}\n");
  const std::unique_ptr<quillmark::lsp::ActionProvider> provider =
      quillmark::lsp::MakeCommentActions(settings, Platform());
  const quillmark::lsp::ActionResult result =
      provider->Run({"file:///bench/one.cpp", one}, {{2, 0}, {2, 0}}, "comment");
  if (result.edits.size() != 1) return {};
  const std::string unit = result.edits[0].newText + head + "{\n    return radius;\n}\n\n";
  std::string text;
  for (int i = 0; text.size() < unit.size() || std::count(text.begin(), text.end(), '\n') < 100000;
       ++i) {
    std::string named = unit;
    for (std::size_t at = named.find("Area"); at != std::string::npos;
         at = named.find("Area", at + 5))
      named.insert(at + 4, std::to_string(i));
    text += named;
  }
  return text;
}

// The server as the editor sees it, with the time each publishDiagnostics came.
class TimedClient {
 public:
  explicit TimedClient(const quillmark::lsp::LspOptions& options)
      : server_(options, [this](std::string_view body) {
          // A check that fails says why in the log.
          if (body.find("\"window/logMessage\"") != std::string_view::npos)
            std::fprintf(stderr, "%.*s\n", static_cast<int>(body.size()), body.data());
          if (body.find("\"textDocument/publishDiagnostics\"") != std::string_view::npos) {
            const std::lock_guard lock(mutex_);
            ++published_;
            arrived_.notify_all();
          }
          return true;
        }) {}
  void Handle(const std::string& body) { server_.Handle(body); }
  int Published() {
    const std::lock_guard lock(mutex_);
    return published_;
  }
  bool WaitFor(int count) {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, std::chrono::seconds(60), [&] { return published_ >= count; });
  }

 private:
  quillmark::lsp::Server server_;
  std::mutex mutex_;
  std::condition_variable arrived_;
  int published_ = 0;
};

std::string ChangeAt(long long version, int line, int character, const std::string& text) {
  return R"({"jsonrpc":"2.0","method":"textDocument/didChange","params":{)"
         R"("textDocument":{"uri":"file:///bench/stale.cpp","version":)" +
         std::to_string(version) + R"(},"contentChanges":[{"range":{"start":{"line":)" +
         std::to_string(line) + R"(,"character":)" + std::to_string(character) +
         R"(},"end":{"line":)" + std::to_string(line) + R"(,"character":)" +
         std::to_string(character + (text.empty() ? 5 : 0)) + R"(}},"text":")" + text + R"("}]}})";
}

std::string CodeActionAt(int id, int line) {
  return R"({"jsonrpc":"2.0","id":)" + std::to_string(id) +
         R"(,"method":"textDocument/codeAction","params":{"textDocument":)"
         R"({"uri":"file:///bench/stale.cpp"},"range":{"start":{"line":)" +
         std::to_string(line) + R"(,"character":0},"end":{"line":)" + std::to_string(line) +
         R"(,"character":0}},"context":{"diagnostics":[]}}})";
}

// Each iteration adds ", int" to a parameter list in the middle of the
// document, or takes it away again, so every check publishes. Iteration time:
// didChange to publishDiagnostics, with the server's delay after a change
// (range(0), ms). Counters: how long a code action request waited, sent right
// after the change and sent while the check runs.
void BM_StaleDiagnosticsLatency(benchmark::State& state) {
  char directory[] = "/tmp/quillmark-lsp-bench-XXXXXX";
  if (mkdtemp(directory) == nullptr) return state.SkipWithError("no temporary directory");
  const std::string settings = std::string(directory) + "/settings.ini";
  const std::string text = CommentedDocument(settings);
  if (text.empty()) return state.SkipWithError("the engine wrote no block");
  quillmark::lsp::LspOptions options;
  options.settingsPath = settings;
  options.platform = &Platform();
  options.checkDelay = std::chrono::milliseconds(state.range(0));
  TimedClient client(options);
  client.Handle(R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"capabilities":{}}})");
  client.Handle(R"({"jsonrpc":"2.0","method":"initialized","params":{}})");
  client.Handle(R"({"jsonrpc":"2.0","method":"textDocument/didOpen","params":{"textDocument":)"
                R"({"uri":"file:///bench/stale.cpp","languageId":"cpp","version":1,"text":")" +
                Escaped(text) + R"("}}})");
  // The declaration in the middle, and where its parameter list ends.
  quillmark::lsp::Document document(text);
  int line = document.LineCount() / 2;
  while (line < document.LineCount() && !document.Line(line).starts_with("double CCircle::"))
    ++line;
  const int close = static_cast<int>(document.Line(line).find(')'));
  const auto lines = static_cast<double>(document.LineCount());
  long long version = 1;
  int id = 1;
  using Clock = std::chrono::steady_clock;
  Clock::duration rightAfter{}, during{};
  for (auto _ : state) {
    const int before = client.Published();
    const auto start = Clock::now();
    ++version;
    client.Handle(ChangeAt(version, line, close, version % 2 == 0 ? ", int" : ""));
    auto asked = Clock::now();
    client.Handle(CodeActionAt(++id, line));
    rightAfter += Clock::now() - asked;
    // Once more while the check runs (it starts after the delay).
    std::this_thread::sleep_for(options.checkDelay + std::chrono::milliseconds(20));
    asked = Clock::now();
    client.Handle(CodeActionAt(++id, line));
    during += Clock::now() - asked;
    if (!client.WaitFor(before + 1)) return state.SkipWithError("no publishDiagnostics");
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
  }
  const auto average = [&](Clock::duration total) {
    return std::chrono::duration<double, std::micro>(total).count() /
           static_cast<double>(state.iterations());
  };
  state.counters["lines"] = lines;
  state.counters["answer_after_change_us"] = average(rightAfter);
  state.counters["answer_during_check_us"] = average(during);
  std::remove(settings.c_str());
  rmdir(directory);
}
BENCHMARK(BM_StaleDiagnosticsLatency)
    ->Arg(0)
    ->Arg(100)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
