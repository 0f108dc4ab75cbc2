// PathIsAbsent: only what the system reports as not there counts as missing,
// so an unreadable settings file is never replaced with the defaults.
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "test_support.h"

namespace quillmark {
namespace {

class PathIsAbsentTest : public testing::ScratchDirTest {};

TEST_F(PathIsAbsentTest, WhatCountsAsAbsent) {
  const std::string dir = dir_.string();
  std::ofstream(dir + "/file") << "x";
  std::ofstream(dir + "/locked") << "[S]\nK=1\n";
  ::chmod((dir + "/locked").c_str(), 0);
  ASSERT_EQ(0, ::symlink("nowhere", (dir + "/dangling").c_str()));
  const struct {
    std::string path;
    bool absent;
    const char* why;
  } kRows[] = {
      {dir + "/missing", true, "nothing there"},
      {dir + "/no/such/dir/x", true, "a missing directory on the way"},
      {dir + "/file/x", true, "a file where a directory should be"},
      {dir + "/file", false, "a file"},
      {dir, false, "a directory"},
      {dir + "/dangling", false, "a dangling symbolic link is something"},
      {dir + "/locked", false, "an unreadable file"},
      {dir + "/中文名.ini", true, "a missing UTF-8 name"},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.why);
    EXPECT_EQ(row.absent, PathIsAbsent(row.path));
  }
}

TEST_F(PathIsAbsentTest, UnreadableSettingsFileIsNotReplacedByTheDefaults) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads any file";
  std::ofstream(profile_) << "[S]\nK=1\n";
  ::chmod(profile_.c_str(), 0);
  TemplateTree tree;
  std::string error;
  EXPECT_FALSE(LoadSettings(tree, profile_, testing::Converter(), true, &error));
  ::chmod(profile_.c_str(), 0600);
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(profile_, bytes, nullptr));
  EXPECT_EQ("[S]\nK=1\n", bytes);
}

}  // namespace
}  // namespace quillmark
