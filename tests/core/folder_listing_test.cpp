#include "core/folder_listing.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir_test.h"

namespace terravox {
namespace {

using ::terravox::testing::TempDirTest;
using ::terravox::testing::WriteFile;

class FolderListingTest : public TempDirTest {};

TEST_F(FolderListingTest, ListsRegularFilesByNameWithoutCase) {
  for (const char* name : {"b.xyz", "A.xyz", "a.xyz", "C", ".hidden", "_x", "10", "9"}) {
    WriteFile(PathIn(name), "1 2 3\r\n");
  }
  MakeDir("folder.xyz");
  std::filesystem::create_symlink(PathIn("C"), PathIn("link"));
  std::filesystem::create_symlink(PathIn("folder.xyz"), PathIn("dirlink"));

  Result<std::vector<std::string>> names = ListFolderFiles(dir().string());
  ASSERT_TRUE(names.ok());
  // Letters fold to lower case, so "_" (0x5F) sorts before them.
  EXPECT_EQ(*names,
            (std::vector<std::string>{"10", "9", "_x", "A.xyz", "a.xyz", "b.xyz", "C", "link"}));
}

TEST_F(FolderListingTest, MissingFolderIsPathNotFound) {
  Result<std::vector<std::string>> names = ListFolderFiles(PathIn("missing"));
  ASSERT_FALSE(names.ok());
  EXPECT_EQ(names.error().description(), "Path not found");
  EXPECT_FALSE(ListFolderFiles("").ok());
}

TEST_F(FolderListingTest, FileListIsReadAfreshWhenItsFolderIsSet) {
  FileList list;
  ASSERT_TRUE(list.SetPath(dir().string()).ok());
  EXPECT_EQ(list.ListCount(), 0);
  WriteFile(PathIn("new.xyz"), "");
  ASSERT_TRUE(list.SetPath(dir().string()).ok());
  ASSERT_EQ(list.ListCount(), 1);
  EXPECT_EQ(list.List(0), "new.xyz");
  EXPECT_FALSE(list.SetPath(PathIn("missing")).ok());
  EXPECT_EQ(list.ListCount(), 0);
}

}  // namespace
}  // namespace terravox
