#include <gtest/gtest.h>
#include <ogr_spatialref.h>

#include <cmath>
#include <limits>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "gis/engine.h"
#include "gis_test_util.h"
#include "support/temp_dir_test.h"

namespace terravox::gis {
namespace {

using ::terravox::testing::GridReadBack;
using ::terravox::testing::MakePlaneGrid;
using ::terravox::testing::ReadGridBack;
using ::terravox::testing::SurfaceGeometry;
using ::terravox::testing::TempDirTest;
using ::terravox::testing::UtmZone33Wkt;
using ::terravox::testing::WriteFile;

constexpr double kPi = 3.14159265358979323846;

// Horn's window at a corner cell has no column (or row) beyond the raster on two sides; GDAL's
// edge rule extends the window across one of them only, so corners carry a smoothed slope.
bool IsCorner(int col, int row, int ncols, int nrows) {
  return (col == 0 || col == ncols - 1) && (row == 0 || row == nrows - 1);
}

bool NextToHole(int col, int row, const std::vector<std::pair<int, int>>& holes) {
  for (auto [hole_col, hole_row] : holes) {
    if (std::abs(col - hole_col) <= 1 && std::abs(row - hole_row) <= 1) return true;
  }
  return false;
}

class SlopeMakerTest : public TempDirTest {};

TEST_F(SlopeMakerTest, SlopeOfAPlaneIsItsGradientInEveryCell) {
  struct Row {
    const char* name;
    int ncols, nrows;
    double cell_width, cell_height;
    double a, b;  // z = a * x + b * y
    int kind;
    std::optional<double> z_factor;
    double expected;
    double tolerance;
  };
  const Row rows[] = {
      {"45 degrees eastwards", 7, 5, 1, 1, 1, 0, kSlopeDegrees, {}, 45, 1e-4},
      {"falling to the north-west", 6, 6, 2, 2, -0.5, 0.25, kSlopeDegrees, {},
       std::atan(std::hypot(0.5, 0.25)) * 180 / kPi, 1e-4},
      {"percent rise", 5, 4, 1, 1, 0.3, -0.4, kSlopePercentRise, {}, 50, 1e-3},
      {"cells wider than high", 5, 7, 2, 0.5, 0.25, 0.5, kSlopeDegrees, {},
       std::atan(std::hypot(0.25, 0.5)) * 180 / kPi, 1e-4},
      {"z factor 2", 4, 4, 1, 1, 0.5, 0, kSlopeDegrees, 2.0, 45, 1e-4},
      {"z factor -0.5 in percent", 4, 5, 1, 1, 0.6, 0.8, kSlopePercentRise, -0.5, 50, 1e-3},
      {"flat", 3, 3, 1, 1, 0, 0, kSlopeDegrees, {}, 0, 1e-4},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string grid = PathIn(row.name);
    MakePlaneGrid(grid, SurfaceGeometry(row.ncols, row.nrows, row.cell_width, row.cell_height),
                  row.a, row.b);
    Result<Raster> slope = SurfaceAnalyser().MakeSlope(RasterDataset(grid), row.kind, row.z_factor);
    ASSERT_TRUE(slope.ok()) << slope.error().description();
    ASSERT_EQ(slope->cells().size(), static_cast<size_t>(row.ncols * row.nrows));
    for (int r = 0; r < row.nrows; ++r) {
      for (int c = 0; c < row.ncols; ++c) {
        SCOPED_TRACE("col " + std::to_string(c) + " row " + std::to_string(r));
        const float cell = slope->cells()[r * row.ncols + c];
        ASSERT_NE(cell, kGridFloatNoData);
        if (IsCorner(c, r, row.ncols, row.nrows)) {
          EXPECT_GE(cell, 0);
          EXPECT_LE(cell, row.expected + row.tolerance);
        } else {
          EXPECT_NEAR(cell, row.expected, row.tolerance);
        }
      }
    }
  }
}

TEST_F(SlopeMakerTest, NoDataCellsStayNoData) {
  const int ncols = 8;
  const int nrows = 8;
  const std::vector<std::pair<int, int>> holes = {{3, 3}, {4, 3}, {0, 5}, {7, 7}};
  MakePlaneGrid(PathIn("dem"), SurfaceGeometry(ncols, nrows, 1, 1), 1, 0, holes);
  Result<Raster> slope = SurfaceAnalyser().MakeSlope(RasterDataset(PathIn("dem")), kSlopeDegrees);
  ASSERT_TRUE(slope.ok()) << slope.error().description();
  const std::set<std::pair<int, int>> hole_set(holes.begin(), holes.end());
  for (int r = 0; r < nrows; ++r) {
    for (int c = 0; c < ncols; ++c) {
      SCOPED_TRACE("col " + std::to_string(c) + " row " + std::to_string(r));
      const float cell = slope->cells()[r * ncols + c];
      if (hole_set.count({c, r}) > 0) {
        EXPECT_EQ(cell, kGridFloatNoData);
      } else {
        // Cells beside a hole are computed too, from what is there.
        ASSERT_NE(cell, kGridFloatNoData);
        if (!NextToHole(c, r, holes) && !IsCorner(c, r, ncols, nrows)) {
          EXPECT_NEAR(cell, 45, 1e-4);
        }
      }
    }
  }
}

TEST_F(SlopeMakerTest, SlopeHasTheInputsSizeGeoreferencingAndCoordinateSystem) {
  for (const std::string& srs : {UtmZone33Wkt(), std::string()}) {
    SCOPED_TRACE(srs.empty() ? "no coordinate system" : "UTM 33N");
    const std::string grid = PathIn(srs.empty() ? "plain" : "utm");
    MakePlaneGrid(grid, SurfaceGeometry(9, 4, 2.5, 2.5, srs), 0.1, 0.2);
    const GridReadBack input = ReadGridBack(grid);
    ASSERT_TRUE(input.opened);

    Result<Raster> slope = SurfaceAnalyser().MakeSlope(RasterDataset(grid), kSlopeDegrees);
    ASSERT_TRUE(slope.ok()) << slope.error().description();
    const GridGeometry& geometry = slope->geometry();
    EXPECT_EQ(geometry.ncols, input.ncols);
    EXPECT_EQ(geometry.nrows, input.nrows);
    EXPECT_DOUBLE_EQ(geometry.west, input.transform[0]);
    EXPECT_DOUBLE_EQ(geometry.cell_width, input.transform[1]);
    EXPECT_DOUBLE_EQ(geometry.cell_height, -input.transform[5]);
    EXPECT_DOUBLE_EQ(geometry.south, input.transform[3] + input.nrows * input.transform[5]);
    if (srs.empty()) {
      EXPECT_EQ(geometry.srs_wkt, "");
    } else {
      OGRSpatialReference expected;
      OGRSpatialReference actual;
      ASSERT_EQ(expected.importFromWkt(input.srs_wkt.c_str()), OGRERR_NONE);
      ASSERT_EQ(actual.importFromWkt(geometry.srs_wkt.c_str()), OGRERR_NONE);
      EXPECT_TRUE(actual.IsSame(&expected)) << geometry.srs_wkt;
    }
  }
}

TEST_F(SlopeMakerTest, UnknownKindIsAnError) {
  MakePlaneGrid(PathIn("dem"), SurfaceGeometry(3, 3, 1, 1), 1, 0);
  for (int kind : {0, 3, -1, 12}) {
    SCOPED_TRACE(kind);
    Result<Raster> slope = SurfaceAnalyser().MakeSlope(RasterDataset(PathIn("dem")), kind);
    ASSERT_FALSE(slope.ok());
    EXPECT_NE(slope.error().description().find(std::to_string(kind)), std::string::npos)
        << slope.error().description();
  }
}

TEST_F(SlopeMakerTest, ZFactorMustBeFiniteAndNotZero) {
  MakePlaneGrid(PathIn("dem"), SurfaceGeometry(3, 3, 1, 1), 1, 0);
  for (double z : {0.0, std::numeric_limits<double>::infinity(), std::nan("")}) {
    SCOPED_TRACE(z);
    Result<Raster> slope = SurfaceAnalyser().MakeSlope(RasterDataset(PathIn("dem")), 1, z);
    ASSERT_FALSE(slope.ok());
    EXPECT_NE(slope.error().description().find("z factor"), std::string::npos);
  }
}

TEST_F(SlopeMakerTest, InputThatIsNoGridGivesGdalsMessage) {
  MakeDir("plain_folder");
  WriteFile(PathIn("dem.asc"),
            "ncols 2\r\nnrows 2\r\nxllcorner 0\r\nyllcorner 0\r\ncellsize 1\r\n1 2\r\n3 4\r\n");
  for (const char* name : {"plain_folder", "dem.asc", "missing"}) {
    SCOPED_TRACE(name);
    Result<Raster> slope =
        SurfaceAnalyser().MakeSlope(RasterDataset(PathIn(name)), kSlopeDegrees);
    ASSERT_FALSE(slope.ok());
    EXPECT_EQ(slope.error().kind(), ErrorKind::kEngine);
    EXPECT_NE(slope.error().description().find(PathIn(name)), std::string::npos)
        << slope.error().description();
  }
}

}  // namespace
}  // namespace terravox::gis
