// Tests for FldExist: folders, links to folders, and what is not a folder.
#include "core/fld_exist.h"

#include <filesystem>

#include "support/temp_dir_test.h"

namespace terravox {
namespace {

namespace fs = std::filesystem;
using FldExistTest = testing::TempDirTest;

TEST_F(FldExistTest, AnswersWhetherAFolderIsThere) {
  MakeDir("grid/dem");
  testing::WriteFile(PathIn("notes.txt"), "text");
  fs::create_directory_symlink(PathIn("grid"), PathIn("grid-link"));
  fs::create_symlink(PathIn("gone"), PathIn("dangling"));

  struct Row {
    const char* name;
    std::string path;
    bool expected;
  };
  const Row rows[] = {
      {"folder", PathIn("grid"), true},
      {"nested folder", PathIn("grid/dem"), true},
      {"trailing separator", PathIn("grid") + "/", true},
      {"link to a folder", PathIn("grid-link"), true},
      {"regular file", PathIn("notes.txt"), false},
      {"missing", PathIn("missing"), false},
      {"below a file", PathIn("notes.txt/dem"), false},
      {"dangling link", PathIn("dangling"), false},
      {"empty text", "", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Result<bool> exists = FldExist(row.path);
    ASSERT_TRUE(exists.ok()) << exists.error().description();
    EXPECT_EQ(*exists, row.expected);
  }
}

TEST_F(FldExistTest, LinkLoopIsAnErrorNotAnAnswer) {
  fs::create_symlink(PathIn("loop"), PathIn("loop"));
  Result<bool> exists = FldExist(PathIn("loop"));
  ASSERT_FALSE(exists.ok());
  EXPECT_FALSE(exists.error().description().empty());
}

}  // namespace
}  // namespace terravox
