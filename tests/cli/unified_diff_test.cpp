// The diff batch --diff prints: hunks, their numbers, context and the line
// ends patch needs, for insertions into texts of every line-end style.
#include <gtest/gtest.h>

#include "unified_diff.h"

namespace quillmark::cli {
namespace {

TEST(UnifiedDiffTest, InsertionHunks) {
  const std::string ten = "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n";
  const struct {
    const char* original;
    std::vector<LineInsertion> insertions;
    const char* expected;
    const char* why;
  } kCases[] = {
      {"a\nb\n",
       {{1, {"+\n"}}},
       "--- f\n+++ f\n@@ -1,2 +1,3 @@\n++\n a\n b\n",
       "before the first line: the context below only"},
      {ten.c_str(),
       {{5, {"x\n", "y\n"}}},
       "--- f\n+++ f\n@@ -2,6 +2,8 @@\n 2\n 3\n 4\n+x\n+y\n 5\n 6\n 7\n",
       "three lines of context on each side"},
      {ten.c_str(),
       {{9, {"b\n"}}, {2, {"a\n"}}},
       "--- f\n+++ f\n@@ -1,4 +1,5 @@\n 1\n+a\n 2\n 3\n 4\n@@ -6,5 +7,6 @@\n 6\n 7\n 8\n+b\n 9\n"
       " 10\n",
       "two hunks, given bottom first; the second's new start counts the first's lines"},
      {ten.c_str(),
       {{2, {"a\n"}}, {8, {"b\n"}}},
       "--- f\n+++ f\n@@ -1,10 +1,12 @@\n 1\n+a\n 2\n 3\n 4\n 5\n 6\n 7\n+b\n 8\n 9\n 10\n",
       "hunks whose context touches are one hunk"},
      {"a\r\nb",
       {{2, {"x\r\n"}}},
       "--- f\n+++ f\n@@ -1,2 +1,3 @@\n a\r\n+x\r\n b\n\\ No newline at end of file\n",
       "CR LF kept; a last line without a break is marked"},
      {"a\rb\r",
       {{2, {"x\r"}}},
       "--- f\n+++ f\n@@ -1,2 +1,3 @@\n a\r+x\r b\r",
       "lone CR line ends count as line ends"},
      {ten.c_str(),
       {{5, {"x\n"}, 1}},
       "--- f\n+++ f\n@@ -2,7 +2,7 @@\n 2\n 3\n 4\n-5\n+x\n 6\n 7\n 8\n",
       "a replaced line: context below counts from the last line replaced"},
      {ten.c_str(),
       {{9, {"b\n"}}, {2, {"a\n"}, 2}},
       "--- f\n+++ f\n@@ -1,10 +1,10 @@\n 1\n-2\n-3\n+a\n 4\n 5\n 6\n 7\n 8\n+b\n 9\n 10\n",
       "two lines replaced by one and an insertion, in one hunk"},
      {ten.c_str(),
       {{4, {"c\n"}, 1}, {4, {"i\n"}}, {5, {"d\n"}, 1}},
       "--- f\n+++ f\n@@ -1,8 +1,9 @@\n 1\n 2\n 3\n-4\n+c\n+i\n-5\n+d\n 6\n 7\n 8\n",
       "a replacement, an insertion at the same line and a replacement of the next"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(c.expected, InsertionDiff("f", c.original, c.insertions));
  }
}

}  // namespace
}  // namespace quillmark::cli
