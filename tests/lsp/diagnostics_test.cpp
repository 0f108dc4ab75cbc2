// The server's diagnostics of stale blocks, against a provider whose checks the
// test holds and releases: a check never holds back an answer, the result of a
// check of an older text is dropped, the quick fix carries the check's edits,
// and a closed document's diagnostics are cleared.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "quillmark/lsp.h"

namespace quillmark::lsp {
namespace {

using Json = nlohmann::json;
using namespace std::chrono_literals;

// Each line holding "STALE" is a stale block of one line; its refresh writes
// "FRESH" over the word. A check waits while the test holds the gate.
class GatedProvider final : public ActionProvider {
 public:
  std::vector<ListedAction> Actions(const DocumentView&, ByteRange) override { return {}; }
  ActionResult Run(const DocumentView&, ByteRange, std::string_view) override { return {}; }
  void SetSettingsPath(std::string) override {}

  bool FindStaleBlocks(const DocumentView& view, std::vector<StaleBlock>* blocks,
                       std::string* error) override {
    std::unique_lock lock(mutex_);
    ++started_;
    changed_.notify_all();
    changed_.wait(lock, [this] { return !held_; });
    lock.unlock();
    if (view.document.Text().find("BROKEN") != std::string_view::npos) {
      *error = "cannot read the settings";
      return false;
    }
    blocks->clear();
    for (int line = 0; line < view.document.LineCount(); ++line) {
      const std::size_t at = view.document.Line(line).find("STALE");
      if (at == std::string_view::npos) continue;
      const int column = static_cast<int>(at);
      const int end = static_cast<int>(view.document.Line(line).size());
      blocks->push_back({{{line, 0}, {line, end}},
                         {{line + 1, 0}, {line + 1, 0}},
                         {{line, 0}, {line, end}},
                         "f",
                         "comment of 'f' is stale",
                         {{{{line, column}, {line, column + 5}}, "FRESH"}}});
    }
    return true;
  }

  void Hold() {
    const std::lock_guard lock(mutex_);
    held_ = true;
  }
  void Release() {
    {
      const std::lock_guard lock(mutex_);
      held_ = false;
    }
    changed_.notify_all();
  }
  // Waits until `count` checks have started.
  bool WaitForChecks(int count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, 10s, [&] { return started_ >= count; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool held_ = false;
  int started_ = 0;
};

class DiagnosticsTest : public ::testing::Test {
 protected:
  DiagnosticsTest() {
    LspOptions options;
    options.provider = &provider_;
    options.checkDelay = 0ms;
    server_ = std::make_unique<Server>(options, [this](std::string_view body) {
      {
        const std::lock_guard lock(mutex_);
        sent_.push_back(Json::parse(body));
      }
      arrived_.notify_all();
      return true;
    });
    Handle({{"id", 1},
            {"method", "initialize"},
            {"params",
             {{"capabilities",
               {{"textDocument", {{"codeAction", {{"codeActionLiteralSupport", Json::object()}}}}},
                {"workspace", {{"applyEdit", true}}}}}}}});
    Handle({{"method", "initialized"}, {"params", Json::object()}});
  }
  ~DiagnosticsTest() override {
    provider_.Release();
    server_.reset();
  }

  void Handle(Json message) {
    message["jsonrpc"] = "2.0";
    server_->Handle(message.dump());
  }
  void Open(const std::string& text) {
    Handle({{"method", "textDocument/didOpen"},
            {"params",
             {{"textDocument",
               {{"uri", kUri}, {"version", 1}, {"text", text}, {"languageId", "c"}}}}}});
  }
  void Change(int version, const std::string& text) {
    Handle({{"method", "textDocument/didChange"},
            {"params",
             {{"textDocument", {{"uri", kUri}, {"version", version}}},
              {"contentChanges", {{{"text", text}}}}}}});
  }
  // The answer to a code action request on `line`, taken from what was sent.
  Json CodeActions(int line) {
    const int id = ++nextId_;
    Handle({{"id", id},
            {"method", "textDocument/codeAction"},
            {"params",
             {{"textDocument", {{"uri", kUri}}},
              {"range",
               {{"start", {{"line", line}, {"character", 0}}},
                {"end", {{"line", line}, {"character", 0}}}}},
              {"context", {{"diagnostics", Json::array()}}}}}});
    const std::lock_guard lock(mutex_);
    for (const Json& message : sent_)
      if (message.contains("id") && message["id"] == id) return message;
    return nullptr;
  }
  // The publishDiagnostics sent so far.
  std::vector<Json> Published() {
    const std::lock_guard lock(mutex_);
    std::vector<Json> published;
    for (const Json& message : sent_)
      if (message.value("method", "") == "textDocument/publishDiagnostics")
        published.push_back(message["params"]);
    return published;
  }
  bool WaitForPublished(std::size_t count) {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, 10s, [&] {
      std::size_t n = 0;
      for (const Json& message : sent_)
        n += message.value("method", "") == "textDocument/publishDiagnostics";
      return n >= count;
    });
  }
  // Ends the server once the checks under way are done.
  void Settle() {
    provider_.Release();
    server_.reset();
  }

  static constexpr const char* kUri = "file:///d.c";
  GatedProvider provider_;
  std::unique_ptr<Server> server_;
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::vector<Json> sent_;
  int nextId_ = 100;
};

TEST_F(DiagnosticsTest, StaleBlockPublishedWithItsQuickFix) {
  Open("// STALE 中\nint f(int a);\n");
  ASSERT_TRUE(WaitForPublished(1));
  const Json published = Published()[0];
  EXPECT_EQ(published["version"], 1);
  ASSERT_EQ(published["diagnostics"].size(), 1u);
  const Json& diagnostic = published["diagnostics"][0];
  EXPECT_EQ(diagnostic["severity"], 2);
  EXPECT_EQ(diagnostic["source"], "quillmark");
  EXPECT_EQ(diagnostic["message"], "comment of 'f' is stale");
  // The line's end in UTF-16 units: "// STALE " and one character.
  EXPECT_EQ(diagnostic["range"]["end"], (Json{{"line", 0}, {"character", 10}}));

  const Json rows[] = {
      // line, the quick fix listed
      {0, true},   // on the block
      {1, true},   // on its declaration
      {2, false},  // below both
  };
  for (const Json& row : rows) {
    SCOPED_TRACE(row.dump());
    const Json answer = CodeActions(row[0]);
    const Json actions = answer["result"];
    ASSERT_EQ(actions.size(), row[1].get<bool>() ? 1u : 0u) << answer;
    if (actions.empty()) continue;
    EXPECT_EQ(actions[0]["title"], "Quillmark: refresh comment of f");
    EXPECT_EQ(actions[0]["kind"], "quickfix");
    EXPECT_EQ(actions[0]["diagnostics"][0], diagnostic);
    EXPECT_EQ(actions[0]["edit"]["changes"][kUri][0],
              (Json{{"range",
                     {{"start", {{"line", 0}, {"character", 3}}},
                      {"end", {{"line", 0}, {"character", 8}}}}},
                    {"newText", "FRESH"}}));
  }

  // The fix applied: the diagnostics go away.
  Change(2, "// FRESH 中\nint f(int a);\n");
  ASSERT_TRUE(WaitForPublished(2));
  EXPECT_EQ(Published()[1], (Json{{"uri", kUri}, {"version", 2}, {"diagnostics", Json::array()}}));
}

TEST_F(DiagnosticsTest, CheckOfAnOlderTextIsDroppedAndAnswersDoNotWait) {
  provider_.Hold();
  Open("// STALE\nint f(int a);\n");
  ASSERT_TRUE(provider_.WaitForChecks(1));
  // The check of version 1 is under way; version 2 has no stale block.
  Change(2, "// fine\nint f(int a);\n");
  const Json answer = CodeActions(0);
  EXPECT_TRUE(answer.contains("result")) << "answered while the check is held";
  EXPECT_TRUE(answer["result"].empty()) << "no quick fix from a check still due";
  provider_.Release();
  ASSERT_TRUE(provider_.WaitForChecks(2));
  // The check of version 2 found nothing, and version 1's result never went out.
  Change(3, "// STALE\nint f(int a);\n");
  ASSERT_TRUE(WaitForPublished(1));
  const std::vector<Json> published = Published();
  ASSERT_EQ(published.size(), 1u);
  EXPECT_EQ(published[0]["version"], 3);
}

TEST_F(DiagnosticsTest, ClosingClearsWhatWasPublished) {
  Open("// STALE\nint f(int a);\n");
  ASSERT_TRUE(WaitForPublished(1));
  Handle({{"method", "textDocument/didClose"}, {"params", {{"textDocument", {{"uri", kUri}}}}}});
  ASSERT_TRUE(WaitForPublished(2));
  EXPECT_EQ(Published()[1], (Json{{"uri", kUri}, {"diagnostics", Json::array()}}));

  // A document that never had a stale block hears nothing, open or closed;
  // nor does one that cannot be checked (the failure goes to the log, once).
  int checks = 1;
  for (const char* text : {"int g(void);\n", "BROKEN\n", "BROKEN \n"}) {
    SCOPED_TRACE(text);
    Open(text);
    ASSERT_TRUE(provider_.WaitForChecks(++checks));
    Handle({{"method", "textDocument/didClose"}, {"params", {{"textDocument", {{"uri", kUri}}}}}});
  }
  Settle();
  EXPECT_EQ(Published().size(), 2u);
  int logged = 0;
  for (const Json& message : sent_) logged += message.value("method", "") == "window/logMessage";
  EXPECT_EQ(logged, 1);
}

}  // namespace
}  // namespace quillmark::lsp
