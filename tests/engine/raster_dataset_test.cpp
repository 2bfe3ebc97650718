#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "engine/raster_dataset.h"
#include "gis_test_util.h"
#include "support/temp_dir_test.h"

namespace terravox::engine {
namespace {

namespace fs = std::filesystem;
using ::terravox::testing::MakePlaneGrid;
using ::terravox::testing::RunningAsRoot;
using ::terravox::testing::SurfaceGeometry;
using ::terravox::testing::TempDirTest;
using ::terravox::testing::WriteFile;

constexpr uid_t kNobody = 65534;

// Permission checks are void for root, so they run as an ordinary user: as root, in a child
// process that has become "nobody"; otherwise right here. The answer of check, or none when
// the child could not change user.
std::optional<bool> AsOrdinaryUser(const std::function<bool()>& check) {
  if (!RunningAsRoot()) return check();
  pid_t child = fork();
  if (child == 0) {
    if (setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(2);
    _exit(check() ? 1 : 0);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return std::nullopt;
  if (WEXITSTATUS(status) > 1) return std::nullopt;
  return WEXITSTATUS(status) == 1;
}

void SetMode(const std::string& path, fs::perms perms) {
  fs::permissions(path, perms, fs::perm_options::replace);
}

class RasterDatasetTest : public TempDirTest {
 protected:
  // A GRID <parent>/dem3 where both folders let anybody remove entries, so the test can take
  // away exactly one permission.
  std::string MakeOpenGrid() {
    const std::string parent = MakeDir("parent");
    const std::string grid = parent + "/dem3";
    MakePlaneGrid(grid, SurfaceGeometry(3, 2, 1, 1), 1, 0);
    SetMode(parent, fs::perms::all);
    SetMode(grid, fs::perms::all);
    return grid;
  }
};

TEST_F(RasterDatasetTest, GridInAWritableFolderIsDeletable) {
  const std::string grid = MakeOpenGrid();
  EXPECT_TRUE(RasterDataset(grid).IsDeletable());
  std::optional<bool> as_user = AsOrdinaryUser([&] { return RasterDataset(grid).IsDeletable(); });
  if (as_user.has_value()) {
    EXPECT_TRUE(*as_user);
  }
}

TEST_F(RasterDatasetTest, WhatIsNoGridIsNotDeletable) {
  MakeDir("plain_folder");
  WriteFile(PathIn("plain_folder/hdr.adf"), "");
  WriteFile(PathIn("file"), "");
  for (const char* name : {"missing", "plain_folder", "file"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(RasterDataset(PathIn(name)).IsDeletable());
  }
}

TEST_F(RasterDatasetTest, MissingPermissionMakesAGridUndeletable) {
  struct Row {
    const char* name;
    bool needs_root;  // the grid must belong to someone other than the checking user
    std::function<void(const std::string& parent, const std::string& grid)> restrict;
  };
  const Row rows[] = {
      {"parent read-only", false,
       [](const std::string& parent, const std::string&) {
         SetMode(parent, fs::perms::all & ~(fs::perms::owner_write | fs::perms::group_write |
                                            fs::perms::others_write));
       }},
      {"grid folder read-only", false,
       [](const std::string&, const std::string& grid) {
         SetMode(grid, fs::perms::all & ~(fs::perms::owner_write | fs::perms::group_write |
                                          fs::perms::others_write));
       }},
      {"sticky parent, grid owned by another user", true,
       [](const std::string& parent, const std::string&) {
         SetMode(parent, fs::perms::all | fs::perms::sticky_bit);
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    if (row.needs_root && !RunningAsRoot()) continue;  // our own GRID is always ours to remove
    fs::remove_all(PathIn("parent"));
    const std::string grid = MakeOpenGrid();
    row.restrict(PathIn("parent"), grid);
    std::optional<bool> deletable =
        AsOrdinaryUser([&] { return RasterDataset(grid).IsDeletable(); });
    if (!deletable.has_value()) GTEST_SKIP() << "cannot run a check as an ordinary user";
    EXPECT_FALSE(*deletable);
    SetMode(PathIn("parent"), fs::perms::all);
  }
}

TEST_F(RasterDatasetTest, RemoveDatasetRemovesOnlyThatGrid) {
  MakePlaneGrid(PathIn("dem3"), SurfaceGeometry(3, 2, 1, 1), 1, 0);
  MakePlaneGrid(PathIn("dem4"), SurfaceGeometry(3, 2, 1, 1), 1, 0);
  WriteFile(PathIn("dem3.asc"), "keep");
  Status removed = RasterDataset(PathIn("dem3")).RemoveDataset();
  ASSERT_TRUE(removed.ok()) << removed.description();
  EXPECT_FALSE(fs::exists(PathIn("dem3")));
  EXPECT_TRUE(fs::exists(PathIn("dem4/hdr.adf")));
  EXPECT_TRUE(fs::exists(PathIn("dem3.asc")));
}

TEST_F(RasterDatasetTest, RemoveDatasetRefusesWhatIsNoGrid) {
  MakeDir("plain_folder");
  WriteFile(PathIn("plain_folder/hdr.adf"), "");
  WriteFile(PathIn("plain_folder/notes.txt"), "keep");
  WriteFile(PathIn("file"), "keep");
  for (const char* name : {"plain_folder", "file", "missing"}) {
    SCOPED_TRACE(name);
    Status removed = RasterDataset(PathIn(name)).RemoveDataset();
    EXPECT_FALSE(removed.ok());
    EXPECT_NE(removed.description().find(PathIn(name)), std::string::npos) << removed.description();
  }
  EXPECT_TRUE(fs::exists(PathIn("plain_folder/notes.txt")));
  EXPECT_TRUE(fs::exists(PathIn("file")));
}

TEST_F(RasterDatasetTest, RemovingALinkToAGridKeepsTheGrid) {
  MakeDir("elsewhere");
  MakePlaneGrid(PathIn("elsewhere/dem3"), SurfaceGeometry(3, 2, 1, 1), 1, 0);
  fs::create_directory_symlink(PathIn("elsewhere/dem3"), PathIn("dem3"));
  Status removed = RasterDataset(PathIn("dem3")).RemoveDataset();
  ASSERT_TRUE(removed.ok()) << removed.description();
  EXPECT_FALSE(fs::exists(fs::symlink_status(PathIn("dem3"))));
  EXPECT_TRUE(fs::exists(PathIn("elsewhere/dem3/w001001.adf")));
}

TEST_F(RasterDatasetTest, RefusedRemovalSaysPermissionDeniedAndLeavesTheGridWhole) {
  const std::string grid = MakeOpenGrid();
  SetMode(PathIn("parent"), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read |
                                fs::perms::others_exec);
  const size_t files_before = std::distance(fs::directory_iterator(grid), fs::directory_iterator());
  std::optional<bool> denied = AsOrdinaryUser([&] {
    Status removed = RasterDataset(grid).RemoveDataset();
    return !removed.ok() && removed.description() == "Permission denied";
  });
  if (!denied.has_value()) GTEST_SKIP() << "cannot run a removal as an ordinary user";
  EXPECT_TRUE(*denied);
  EXPECT_EQ(std::distance(fs::directory_iterator(grid), fs::directory_iterator()),
            static_cast<std::ptrdiff_t>(files_before));
}

}  // namespace
}  // namespace terravox::engine
