// Tests for CreateSlopes over real folders: replacement, where failures go, and the input raster
// kept safe when the slope folder is the GRID folder.
#include "batch/slopes.h"

#include <cmath>
#include <filesystem>
#include <optional>

#include "engine/gis_test_util.h"
#include "support/fake_host.h"
#include "support/temp_dir_test.h"

namespace terravox {
namespace {

namespace fs = std::filesystem;
using testing::FakeHost;
using testing::GridReadBack;
using testing::ReadGridBack;
using testing::SurfaceGeometry;

class SlopesTest : public testing::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    grid_ = MakeDir("grid");
    slope_ = MakeDir("slope");
    // A plane rising 1 per cell eastwards: 45 degrees of slope.
    testing::MakePlaneGrid(grid_ + "/dem", SurfaceGeometry(6, 5, 1, 1), 1, 0);
    mdl_.bRunOk = true;
  }

  Status Run(const std::string& input, const std::string& folder) {
    return CreateSlopes(host_, mdl_, engine::RasterDataset(input), folder);
  }

  std::string grid_;
  std::string slope_;
  FakeHost host_;
  BatchMdl mdl_;
};

// True when the grid is the ramp's slope: 45 degrees everywhere but at the four corners, where
// the edge rule sees only part of the plane.
bool IsRampSlope(const GridReadBack& grid) {
  if (!grid.opened) return false;
  for (int row = 0; row < grid.nrows; ++row) {
    for (int col = 0; col < grid.ncols; ++col) {
      bool corner = (row == 0 || row == grid.nrows - 1) && (col == 0 || col == grid.ncols - 1);
      if (!corner && std::abs(grid.cells[row * grid.ncols + col] - 45.0f) > 1e-3f) return false;
    }
  }
  return true;
}

TEST_F(SlopesTest, SlopeIsStoredUnderTheRastersName) {
  ASSERT_TRUE(Run(grid_ + "/dem", slope_).ok());

  GridReadBack slope = ReadGridBack(slope_ + "/dem");
  EXPECT_EQ(slope.ncols, 6);
  EXPECT_EQ(slope.nrows, 5);
  EXPECT_TRUE(IsRampSlope(slope));
  EXPECT_TRUE(host_.messages.empty());
  EXPECT_TRUE(mdl_.bRunOk);
}

TEST_F(SlopesTest, SlopeMadeIsGivenBackWithTheCellsItsGridHolds) {
  testing::MakePlaneGrid(MakeDir("old") + "/dem", SurfaceGeometry(2, 2, 1, 1), 0, 0);
  testing::WriteFile(MakeDir("blocked/dem") + "/notes.txt", "not a GRID");
  struct Row {
    const char* name;
    std::string folder;
    bool stored;
  };
  const Row rows[] = {{"new slope", slope_, true},
                      {"old slope replaced", PathIn("old"), true},
                      {"store failed and handled", PathIn("blocked"), false}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::optional<engine::Raster> made;
    ASSERT_TRUE(CreateSlopes(host_, mdl_, engine::RasterDataset(grid_ + "/dem"), row.folder,
                             nullptr, nullptr, nullptr, &made)
                    .ok());
    ASSERT_EQ(made.has_value(), row.stored);
    if (!row.stored) continue;
    const GridReadBack stored = ReadGridBack(row.folder + "/dem");
    EXPECT_EQ(made->geometry().ncols, stored.ncols);
    EXPECT_EQ(made->cells(), stored.cells);
  }
}

TEST_F(SlopesTest, OldSlopeGridIsReplaced) {
  testing::MakePlaneGrid(slope_ + "/dem", SurfaceGeometry(2, 2, 1, 1), 0, 0);

  ASSERT_TRUE(Run(grid_ + "/dem", slope_).ok());

  GridReadBack slope = ReadGridBack(slope_ + "/dem");
  EXPECT_EQ(slope.ncols, 6);
  EXPECT_TRUE(IsRampSlope(slope));
  EXPECT_TRUE(host_.messages.empty());
  EXPECT_TRUE(mdl_.bRunOk);
}

TEST_F(SlopesTest, FailureWithoutAnOldGridEscapesUnshown) {
  MakeDir("grid/broken");  // a folder, but no GRID
  struct Row {
    const char* name;
    std::string input;
    std::string folder;
  };
  const Row rows[] = {
      {"input is no GRID", grid_ + "/broken", slope_},
      {"missing slope folder", grid_ + "/dem", PathIn("no-slope")},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakeHost host;
    BatchMdl mdl;
    mdl.bRunOk = true;
    Status status = CreateSlopes(host, mdl, engine::RasterDataset(row.input), row.folder);
    EXPECT_FALSE(status.ok());
    EXPECT_TRUE(host.messages.empty());
    EXPECT_TRUE(mdl.bRunOk);
  }
}

TEST_F(SlopesTest, FolderOfTheNameThatIsNoGridIsKeptAndTheStoreFails) {
  testing::WriteFile(MakeDir("slope/dem") + "/notes.txt", "keep me");

  ASSERT_TRUE(Run(grid_ + "/dem", slope_).ok());

  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0].text.rfind("File Error-", 0), 0u) << host_.messages[0].text;
  EXPECT_GT(host_.messages[0].text.size(), std::string("File Error-").size());
  EXPECT_EQ(host_.messages[0].title, "Program was interrupted");
  EXPECT_FALSE(mdl_.bRunOk);
  EXPECT_EQ(testing::ReadFile(slope_ + "/dem/notes.txt"), "keep me");
}

TEST_F(SlopesTest, FailureAfterAnOldGridWasFoundIsHandled) {
  testing::MakePlaneGrid(slope_ + "/broken", SurfaceGeometry(2, 2, 1, 1), 0, 0);
  MakeDir("grid/broken");  // the input folder holds no GRID, so the slope fails

  ASSERT_TRUE(Run(grid_ + "/broken", slope_).ok());

  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0].text.rfind("File Error-", 0), 0u) << host_.messages[0].text;
  EXPECT_FALSE(mdl_.bRunOk);
}

TEST_F(SlopesTest, InputRasterIsNeverItsOwnSlope) {
  fs::create_directory_symlink(grid_, PathIn("grid-link"));
  struct Row {
    const char* name;
    std::string folder;
  };
  const Row rows[] = {
      {"same text", grid_},
      {"trailing separator", grid_ + "/"},
      {"through a link", PathIn("grid-link")},
      {"through a parent step", slope_ + "/../grid"},
  };
  const GridReadBack before = ReadGridBack(grid_ + "/dem");
  ASSERT_TRUE(before.opened);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakeHost host;
    BatchMdl mdl;
    mdl.bRunOk = true;

    ASSERT_TRUE(CreateSlopes(host, mdl, engine::RasterDataset(grid_ + "/dem"), row.folder).ok());

    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text,
              "File Error-The slope folder is the GRID folder: the slope of dem would replace "
              "its own raster");
    EXPECT_EQ(host.messages[0].title, "Program was interrupted");
    EXPECT_FALSE(mdl.bRunOk);
    const GridReadBack after = ReadGridBack(grid_ + "/dem");
    EXPECT_EQ(after.ncols, before.ncols);
    EXPECT_EQ(after.cells, before.cells);
  }
}

}  // namespace
}  // namespace terravox
