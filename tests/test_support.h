// What every engine test starts from: a fixed date (17 September 2002), no
// logon name (so the author is "Author Name"), no host application, and the
// Linux code page 936 converter.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "quillmark/commands.h"
#include "quillmark/engine.h"
#include "quillmark/memory_editor.h"
#include "quillmark/posix_platform.h"
#include "quillmark/settings.h"

namespace quillmark::testing {

// The platform of the tests: fixed answers, a settings directory of their choice.
class TestPlatform final : public Platform {
 public:
  const TextConverter& Converter() const override { return converter; }
  LocalDate Today() const override { return today; }
  std::optional<std::string> LogonName() const override { return logonName; }
  std::optional<std::string> ProfileDirectory() const override { return profileDirectory; }

  IconvTextConverter converter;
  LocalDate today{2002, 9, 17};
  std::optional<std::string> logonName;
  std::optional<std::string> profileDirectory;
};

inline const IconvTextConverter& Converter() {
  static const IconvTextConverter converter;
  return converter;
}

// The context a command gives the engine, for a document in `page`.
inline CommentContext Context(CodePage page = CodePage::kUtf8, const UserInfo* user = nullptr,
                              EditorHost* host = nullptr) {
  CommentContext context;
  context.page = page;
  context.converter = &Converter();
  context.today = {2002, 9, 17};
  context.user = user;
  if (host != nullptr) {
    context.projectName = [host] { return host->GetActiveProjectName().value_or(std::string()); };
    context.documentName = [host] {
      TextDocument* document = host->GetActiveTextDocument();
      return document == nullptr ? std::string() : host->GetDocumentName(*document);
    };
  }
  return context;
}

// The defaults' user information, as a tree built without a logon name has it.
inline const UserInfo& DefaultUser() {
  static const UserInfo user{"Company Name", "Author Name"};
  return user;
}

class EngineTest : public ::testing::Test {};

inline const std::string kRule(63, '/');

// Lines joined with CR LF after each, as a generated block is.
inline std::string Block(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

inline std::string Gbk(std::string_view utf8) {
  return Converter().Utf8ToGbk(utf8).value();
}

}  // namespace quillmark::testing

namespace quillmark::testing {

// Records what a generator does to the selection.
class RecordingSelection final : public TextSelection {
 public:
  std::string GetSelectedText() override { return selected; }
  void ReplaceSelection(std::string_view text) override {
    inserted += text;
    log.push_back("replace");
  }
  void MoveUpLines(int count) override { log.push_back("up " + std::to_string(count)); }
  void MoveDownLines(int count) override { log.push_back("down " + std::to_string(count)); }
  void MoveToLineStart() override { log.push_back("start"); }
  void MoveToLineEnd() override { log.push_back("end"); }
  void MoveToDocumentStart() override { log.push_back("top"); }

  std::string selected;
  std::string inserted;
  std::vector<std::string> log;
};

// Runs a generator over `text` with a one-node template; the block it made,
// or nothing when the generator refused the text.
inline std::optional<std::string> Generate(Generator generator, const std::string& text,
                                           std::vector<std::string> lines,
                                           CodePage page = CodePage::kUtf8) {
  TemplateNode node;
  node.lines = std::move(lines);
  std::string copy = text;
  const CommentContext context = Context(page, &DefaultUser());
  ExpandedBlock block;
  if (!generator(copy, node, context, &block)) return std::nullopt;
  return block.text;
}

}  // namespace quillmark::testing

namespace quillmark::testing {

// An EngineTest with an empty directory of its own and a settings path in it.
class ScratchDirTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() /
           ("qm_" + std::string(info->test_suite_name()) + "_" + info->name() + "_" +
            std::to_string(std::random_device{}()));
    std::filesystem::create_directories(dir_);
    profile_ = (dir_ / "Comment.ini").string();
  }
  void TearDown() override {
    std::filesystem::remove_all(dir_);
    EngineTest::TearDown();
  }
  std::filesystem::path dir_;
  std::string profile_;
};

}  // namespace quillmark::testing
