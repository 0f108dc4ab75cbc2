// The language server on a 100,000-line document: one incremental change (a
// keystroke) followed by a code action request, through the whole protocol
// path (JSON in, JSON out). The target is well under a 16 ms frame.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

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

}  // namespace

BENCHMARK_MAIN();
