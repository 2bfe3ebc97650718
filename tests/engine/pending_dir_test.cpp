// PendingDir: a folder appears under its real name only when committed, complete.
#include "engine/pending_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/temporary_name.h"
#include "support/temp_dir_test.h"

namespace terravox::engine {
namespace {

namespace fs = std::filesystem;
using terravox::testing::ReadFile;
using terravox::testing::WriteFile;

class PendingDirTest : public terravox::testing::TempDirTest {
 protected:
  size_t Entries() const {
    return static_cast<size_t>(
        std::distance(fs::directory_iterator(dir()), fs::directory_iterator()));
  }
};

TEST_F(PendingDirTest, BuildsBesideTheTargetUnderATemporaryNameOfThisProcess) {
  auto pending = PendingDir::Create(PathIn("grid"));
  ASSERT_TRUE(pending.ok()) << pending.error().description();
  fs::path temp(pending->temp_path());
  EXPECT_EQ(temp.parent_path(), dir());
  EXPECT_EQ(TemporaryOwner(temp.filename().string()), ThisProcess());
  EXPECT_TRUE(fs::is_directory(temp));
  EXPECT_FALSE(fs::exists(PathIn("grid")));
}

TEST_F(PendingDirTest, CommitMovesTheContentsIntoPlace) {
  auto pending = PendingDir::Create(PathIn("grid"));
  ASSERT_TRUE(pending.ok());
  WriteFile(pending->temp_path() + "/hdr.adf", "header");
  ASSERT_TRUE(pending->Commit().ok());
  EXPECT_EQ(ReadFile(PathIn("grid") + "/hdr.adf"), "header");
  EXPECT_EQ(Entries(), 1u);
}

TEST_F(PendingDirTest, UncommittedFolderIsRemovedWithItsContents) {
  {
    auto pending = PendingDir::Create(PathIn("grid"));
    ASSERT_TRUE(pending.ok());
    fs::create_directory(pending->temp_path() + "/sub");
    WriteFile(pending->temp_path() + "/sub/file", "x");
  }
  EXPECT_EQ(Entries(), 0u);
}

TEST_F(PendingDirTest, TrailingSeparatorNamesTheSameTarget) {
  auto pending = PendingDir::Create(PathIn("grid") + "/");
  ASSERT_TRUE(pending.ok());
  ASSERT_TRUE(pending->Commit().ok());
  EXPECT_TRUE(fs::is_directory(PathIn("grid")));
}

TEST_F(PendingDirTest, CommitNeverReplacesWhatAppearedMeanwhile) {
  struct Case {
    const char* name;
    bool folder;
  };
  for (Case c : {Case{"empty folder", true}, Case{"file", false}}) {
    SCOPED_TRACE(c.name);
    std::string target = PathIn(c.name);
    auto pending = PendingDir::Create(target);
    ASSERT_TRUE(pending.ok());
    WriteFile(pending->temp_path() + "/ours", "x");
    if (c.folder) {
      fs::create_directory(target);
    } else {
      WriteFile(target, "theirs");
    }
    Status s = pending->Commit();
    ASSERT_FALSE(s.ok());
    EXPECT_EQ(s.description(), "A dataset already exists at " + target);
    EXPECT_FALSE(fs::exists(target + "/ours"));
  }
}

TEST_F(PendingDirTest, RejectsNamesThatAreNoFolderName) {
  for (std::string name : {".", ".."}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(PendingDir::Create(PathIn(name)).ok());
  }
  EXPECT_EQ(Entries(), 0u);
}

}  // namespace
}  // namespace terravox::engine
