// PendingFile: nothing under the real name until Commit(), no leftovers either way.
#include "core/pending_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/temporary_name.h"
#include "support/temp_dir_test.h"

namespace terravox {
namespace {

using testing::ReadFile;
using testing::TempDirTest;
using testing::WriteFile;

class PendingFileTest : public TempDirTest {
 protected:
  size_t EntryCount() const {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir())) ++count;
    return count;
  }
};

TEST_F(PendingFileTest, CommitReplacesTheTarget) {
  WriteFile(PathIn("out.asc"), "old and longer");
  PendingFile file;
  ASSERT_TRUE(file.Create(PathIn("out.asc")).ok());
  ASSERT_TRUE(file.Write("new").ok());
  EXPECT_EQ(ReadFile(PathIn("out.asc")), "old and longer");  // untouched until committed
  ASSERT_TRUE(file.Commit().ok());
  EXPECT_EQ(ReadFile(PathIn("out.asc")), "new");
  EXPECT_EQ(EntryCount(), 1u);
}

TEST_F(PendingFileTest, UncommittedFileLeavesNothing) {
  {
    PendingFile file;
    ASSERT_TRUE(file.Create(PathIn("out.asc")).ok());
    ASSERT_TRUE(file.Write("half").ok());
    // Meanwhile it bears a temporary name of this process: a later run leaves it alone.
    const std::string name = std::filesystem::directory_iterator(dir())->path().filename();
    EXPECT_EQ(TemporaryOwner(name), ThisProcess()) << name;
  }
  EXPECT_EQ(EntryCount(), 0u);
}

TEST_F(PendingFileTest, MissingFolderIsPathNotFound) {
  PendingFile file;
  EXPECT_EQ(file.Create(PathIn("none/out.asc")).description(), "Path not found");
}

}  // namespace
}  // namespace terravox
