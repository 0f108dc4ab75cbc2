// The command line's English: every system message has its sentence, slips
// find the word meant, and an interrupted batch says how far it got.
#include "messages.h"

#include <gtest/gtest.h>

#include "quillmark/engine.h"

namespace quillmark::cli {
namespace {

TEST(CliMessagesTest, EverySystemMessageHasItsEnglish) {
  for (const char* message :
       {messages::kSelectDeclaration, messages::kOpenFile, messages::kCheckDeclaration,
        messages::kSelectDeleteText, messages::kLoadFailed, messages::kSaveFailed}) {
    SCOPED_TRACE(message);
    EXPECT_FALSE(EnglishFor(message).empty());
  }
  EXPECT_TRUE(EnglishFor("quillmark: something else").empty());
}

TEST(CliMessagesTest, DidYouMean) {
  const std::vector<std::string> commands = {"comment", "header", "delete", "settings",
                                             "about",   "lsp",    "batch"};
  const struct {
    const char* word;
    const char* expected;
    const char* why;
  } kRows[] = {
      {"coment", " (did you mean 'comment'?)", "one letter left out"},
      {"hedaer", " (did you mean 'header'?)", "two letters swapped"},
      {"setting", " (did you mean 'settings'?)", "singular"},
      {"frobnicate", "", "nothing close: no guess"},
      {"ls", " (did you mean 'lsp'?)", "a short word one letter short"},
      {"xyz", "", "a short word with nothing in common"},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.why);
    EXPECT_EQ(row.expected, DidYouMean(row.word, commands));
  }
}

TEST(CliMessagesTest, InterruptedBatch) {
  const struct {
    std::size_t done, total;
    const char* expected;
  } kRows[] = {
      {12, 40, "quillmark: interrupted: 12 of 40 files done; the other 28 are untouched\n"},
      {0, 1, "quillmark: interrupted: 0 of 1 file done; the other 1 is untouched\n"},
      {39, 40, "quillmark: interrupted: 39 of 40 files done; the other 1 is untouched\n"},
      {5, 5, "quillmark: interrupted: 5 of 5 files done; nothing was left to do\n"},
  };
  for (const auto& row : kRows) {
    char line[160];
    EXPECT_EQ(row.expected,
              std::string(line, FormatInterruptedBatch(row.done, row.total, line, sizeof line)));
  }
  char small[10];
  EXPECT_EQ(10u, FormatInterruptedBatch(12, 40, small, sizeof small)) << "cut, never overrun";
}

}  // namespace
}  // namespace quillmark::cli
