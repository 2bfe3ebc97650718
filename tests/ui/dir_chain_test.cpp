// DirChain: the chain from the root down to the open folder, the listed sub-folders, path forms,
// failures that leave the list as it was, and which drive holds a folder.
#include "ui/dir_chain.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir_test.h"

namespace terravox {
namespace {

namespace fs = std::filesystem;
using testing::TempDirTest;
using testing::WriteFile;

std::vector<std::string> Names(const DirChain& chain, bool open) {
  std::vector<std::string> names;
  for (const DirEntry& entry : chain.Entries()) {
    if (entry.open == open) names.push_back(entry.name);
  }
  return names;
}

class DirChainTest : public TempDirTest {};

TEST_F(DirChainTest, ListsTheChainThenTheSubFoldersInNameOrder) {
  MakeDir("top/b");
  MakeDir("top/A");
  MakeDir("top/a");
  MakeDir("top/.hidden");
  MakeDir("top/c10");
  WriteFile(PathIn("top/file.txt"), "not a folder");
  fs::create_directory_symlink(PathIn("top/b"), PathIn("top/link"));

  DirChain chain;
  ASSERT_TRUE(chain.Open(PathIn("top")).ok());
  EXPECT_EQ(chain.Current(), PathIn("top"));
  EXPECT_EQ(Names(chain, false), (std::vector<std::string>{"A", "a", "b", "c10", "link"}));

  // Every folder from the root down to the open one, each one level deeper, the open one last.
  std::vector<std::string> chain_paths;
  for (const DirEntry& entry : chain.Entries()) {
    if (entry.open) chain_paths.push_back(entry.path);
  }
  std::vector<std::string> expected;
  for (fs::path p = PathIn("top");; p = p.parent_path()) {
    expected.insert(expected.begin(), p.string());
    if (p == p.root_path()) break;
  }
  EXPECT_EQ(chain_paths, expected);
  EXPECT_EQ(chain.CurrentIndex(), static_cast<int>(expected.size()) - 1);
  for (size_t i = 0; i < chain.Entries().size(); ++i) {
    const DirEntry& entry = chain.Entries()[i];
    EXPECT_EQ(entry.level, entry.open ? static_cast<int>(i) : static_cast<int>(expected.size()));
  }
  EXPECT_EQ(chain.Entries().back().path, PathIn("top") + "/link");
}

TEST_F(DirChainTest, PathsHaveNoTrailingSeparatorButTheRoot) {
  MakeDir("x/y");
  struct Row {
    const char* name;
    std::string input;
    std::string expected;
  };
  const Row rows[] = {
      {"plain", PathIn("x/y"), PathIn("x/y")},
      {"trailing separator", PathIn("x/y") + "/", PathIn("x/y")},
      {"dot pieces", PathIn("x/./y/../y"), PathIn("x/y")},
      {"root", "/", "/"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    DirChain chain;
    ASSERT_TRUE(chain.Open(row.input).ok());
    EXPECT_EQ(chain.Current(), row.expected);
  }
}

TEST_F(DirChainTest, RootIsTheOnlyChainEntryAtTheRoot) {
  DirChain chain;
  ASSERT_TRUE(chain.Open("/").ok());
  EXPECT_EQ(Names(chain, true), std::vector<std::string>{"/"});
  EXPECT_EQ(chain.CurrentIndex(), 0);
  for (const DirEntry& entry : chain.Entries()) {
    if (!entry.open) {
      EXPECT_EQ(entry.path, "/" + entry.name);
    }
  }
}

TEST_F(DirChainTest, UnreadableFolderLeavesTheListAsItWas) {
  MakeDir("here/sub");
  DirChain chain;
  ASSERT_TRUE(chain.Open(PathIn("here")).ok());
  const std::vector<DirEntry> before = chain.Entries();

  Status s = chain.Open(PathIn("missing"));
  ASSERT_FALSE(s.ok());
  EXPECT_EQ(s.error().kind(), ErrorKind::kPathNotFound);
  EXPECT_EQ(chain.Current(), PathIn("here"));
  EXPECT_EQ(chain.Entries().size(), before.size());

  WriteFile(PathIn("plain.txt"), "x");
  EXPECT_FALSE(chain.Open(PathIn("plain.txt")).ok());
  EXPECT_EQ(chain.Current(), PathIn("here"));
}

TEST_F(DirChainTest, UnlistedFolderShowsItsChainOnly) {
  DirChain chain;
  chain.OpenUnlisted(PathIn("gone/deeper"));
  EXPECT_EQ(chain.Current(), PathIn("gone/deeper"));
  EXPECT_TRUE(Names(chain, false).empty());
  EXPECT_EQ(chain.Entries().back().name, "deeper");
}

TEST(DriveOfTest, PicksTheLongestDriveHoldingTheFolder) {
  const std::vector<std::string> drives = {"/", "/mnt/a", "/mnt/a/b", "/media"};
  struct Row {
    std::string folder;
    std::string drive;
  };
  const Row rows[] = {
      {"/home/user", "/"}, {"/mnt/a", "/mnt/a"}, {"/mnt/a/x", "/mnt/a"}, {"/mnt/a/b/c", "/mnt/a/b"},
      {"/mnt/ab", "/"},    {"/", "/"},           {"/media/", "/media"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.folder);
    EXPECT_EQ(DriveOf(row.folder, drives), row.drive);
  }
  EXPECT_EQ(DriveOf("/x", {"/mnt"}), "");
}

}  // namespace
}  // namespace terravox
