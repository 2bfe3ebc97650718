// Tests of MakeSlope: exact slopes of planes in every cell, GDAL's own values elsewhere, no-data,
// georeferencing and the errors it reports.
#include <gdal_priv.h>
#include <gdal_utils.h>
#include <gtest/gtest.h>
#include <ogr_spatialref.h>
#include <tbb/task_arena.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/raster.h"
#include "engine/raster_dataset.h"
#include "engine/surface_analyser.h"
#include "gis_test_util.h"
#include "support/temp_dir_test.h"

namespace terravox::engine {
namespace {

using ::terravox::testing::GridReadBack;
using ::terravox::testing::MakePlaneGrid;
using ::terravox::testing::MakeSurfaceGrid;
using ::terravox::testing::ReadGridBack;
using ::terravox::testing::SurfaceGeometry;
using ::terravox::testing::TempDirTest;
using ::terravox::testing::UtmZone33Wkt;
using ::terravox::testing::WriteFile;

constexpr double kPi = 3.14159265358979323846;

double Degrees(double radians) { return radians * 180 / kPi; }

// A slope cell of either kind as an angle in degrees.
double AsDegrees(float cell, int kind) {
  return kind == kSlopePercentRise ? Degrees(std::atan(cell / 100.0)) : cell;
}

bool IsCorner(int col, int row, int ncols, int nrows) {
  return (col == 0 || col == ncols - 1) && (row == 0 || row == nrows - 1);
}

// The slope (degrees unless kind says percent, heights times z) as GDAL computes it itself with
// its edge rule (-compute_edges), read back as float32 with no-data as kGridFloatNoData; empty
// when GDAL failed.
std::vector<float> GdalComputeEdgesSlope(const std::string& grid, int kind = kSlopeDegrees,
                                         double z = 1) {
  struct OptionsFree {
    void operator()(GDALDEMProcessingOptions* options) const {
      GDALDEMProcessingOptionsFree(options);
    }
  };
  GDALAllRegister();
  GDALDatasetUniquePtr source(GDALDataset::Open(grid.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
  if (!source) return {};
  CPLStringList args;
  for (const char* arg : {"-of", "MEM", "-alg", "Horn", "-compute_edges", "-s"}) {
    args.AddString(arg);
  }
  args.AddString(CPLSPrintf("%.17g", 1 / std::abs(z)));
  if (kind == kSlopePercentRise) args.AddString("-p");
  std::unique_ptr<GDALDEMProcessingOptions, OptionsFree> options(
      GDALDEMProcessingOptionsNew(args.List(), nullptr));
  GDALDatasetUniquePtr slope(GDALDataset::FromHandle(GDALDEMProcessing(
      "", GDALDataset::ToHandle(source.get()), "slope", nullptr, options.get(), nullptr)));
  if (!slope) return {};
  const int ncols = slope->GetRasterXSize();
  const int nrows = slope->GetRasterYSize();
  std::vector<float> cells(static_cast<size_t>(ncols) * nrows);
  GDALRasterBand* band = slope->GetRasterBand(1);
  if (band->RasterIO(GF_Read, 0, 0, ncols, nrows, cells.data(), ncols, nrows, GDT_Float32, 0, 0) !=
      CE_None) {
    return {};
  }
  int has_nodata = 0;
  const float nodata = static_cast<float>(band->GetNoDataValue(&has_nodata));
  for (float& cell : cells) {
    if (std::isnan(cell) || (has_nodata && cell == nodata)) cell = kGridFloatNoData;
  }
  return cells;
}

bool NextToHole(int col, int row, const std::vector<std::pair<int, int>>& holes) {
  for (auto [hole_col, hole_row] : holes) {
    if (std::abs(col - hole_col) <= 1 && std::abs(row - hole_row) <= 1) return true;
  }
  return false;
}

class SlopeMakerTest : public TempDirTest {};

// Corners included: GDAL's own edge rule flattens the window there.
TEST_F(SlopeMakerTest, SlopeOfAPlaneIsItsGradientInEveryCell) {
  struct Row {
    const char* name;
    int ncols, nrows;
    double cell_width, cell_height;
    double a, b;  // z = a * x + b * y
    int kind;
    std::optional<double> z_factor;
    double expected_degrees;
  };
  const Row rows[] = {
      {"45 degrees eastwards", 7, 5, 1, 1, 1, 0, kSlopeDegrees, {}, 45},
      {"falling to the north-west",
       6,
       6,
       2,
       2,
       -0.5,
       0.25,
       kSlopeDegrees,
       {},
       Degrees(std::atan(std::hypot(0.5, 0.25)))},
      {"percent rise", 5, 4, 1, 1, 0.3, -0.4, kSlopePercentRise, {}, Degrees(std::atan(0.5))},
      {"cells wider than high",
       5,
       7,
       2,
       0.5,
       0.25,
       0.5,
       kSlopeDegrees,
       {},
       Degrees(std::atan(std::hypot(0.25, 0.5)))},
      {"z factor 2", 4, 4, 1, 1, 0.5, 0, kSlopeDegrees, 2.0, 45},
      {"z factor -0.5 in percent", 4, 5, 1, 1, 0.6, 0.8, kSlopePercentRise, -0.5,
       Degrees(std::atan(0.5))},
      {"the smallest with two cells each way",
       2,
       2,
       1,
       1,
       0.7,
       -0.2,
       kSlopeDegrees,
       {},
       Degrees(std::atan(std::hypot(0.7, 0.2)))},
      {"steep, in percent", 6, 3, 1, 1, -3, 4, kSlopePercentRise, {}, Degrees(std::atan(5.0))},
      {"flat", 3, 3, 1, 1, 0, 0, kSlopeDegrees, {}, 0},
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
        EXPECT_NEAR(AsDegrees(cell, row.kind), row.expected_degrees, 1e-4);
      }
    }
  }
}

// A GRID one cell across has no slope across it: one row gives the slope along the row (the
// east-west fall alone), one column the north-south fall alone, one cell 0.
TEST_F(SlopeMakerTest, OneCellAcrossGivesTheSlopeAlongIt) {
  struct Row {
    const char* name;
    int ncols, nrows;
    double a, b;  // z = a * x + b * y
    double expected_degrees;
  };
  const Row rows[] = {
      {"one row", 6, 1, 1, 0.5, 45},
      {"one row, two cells", 2, 1, -0.5, 3, Degrees(std::atan(0.5))},
      {"one column", 1, 5, 1, 0.5, Degrees(std::atan(0.5))},
      {"one cell", 1, 1, 1, 0.5, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string grid = PathIn(row.name);
    MakePlaneGrid(grid, SurfaceGeometry(row.ncols, row.nrows, 1, 1), row.a, row.b);
    Result<Raster> slope = SurfaceAnalyser().MakeSlope(RasterDataset(grid), kSlopeDegrees);
    ASSERT_TRUE(slope.ok()) << slope.error().description();
    ASSERT_EQ(slope->cells().size(), static_cast<size_t>(row.ncols * row.nrows));
    for (size_t i = 0; i < slope->cells().size(); ++i) {
      SCOPED_TRACE("cell " + std::to_string(i));
      EXPECT_NEAR(slope->cells()[i], row.expected_degrees, 1e-4);
    }
  }
}

// Away from the corners our cells are GDAL's own, its edge rule included, also beside holes.
TEST_F(SlopeMakerTest, MatchesGdalsComputeEdgesSaveAtTheCorners) {
  const int ncols = 9;
  const int nrows = 7;
  const std::vector<std::pair<int, int>> holes = {{4, 3}, {0, 2}, {6, 0}, {8, 5}};
  const std::string grid = PathIn("paraboloid");
  MakeSurfaceGrid(
      grid, SurfaceGeometry(ncols, nrows, 1.5, 1.5),
      [](double x, double y) { return 0.3 * (x - 4) * (x - 4) - 0.2 * (y - 6) * (y - 6) + x * y; },
      holes);
  const std::vector<float> gdal = GdalComputeEdgesSlope(grid);
  ASSERT_EQ(gdal.size(), static_cast<size_t>(ncols * nrows));

  Result<Raster> slope = SurfaceAnalyser().MakeSlope(RasterDataset(grid), kSlopeDegrees);
  ASSERT_TRUE(slope.ok()) << slope.error().description();
  ASSERT_EQ(slope->cells().size(), gdal.size());
  for (int r = 0; r < nrows; ++r) {
    for (int c = 0; c < ncols; ++c) {
      if (IsCorner(c, r, ncols, nrows)) continue;
      SCOPED_TRACE("col " + std::to_string(c) + " row " + std::to_string(r));
      EXPECT_FLOAT_EQ(slope->cells()[r * ncols + c], gdal[r * ncols + c]);
    }
  }
}

// Bit for bit GDAL's own cells away from the corners, whatever the kind, the z factor and the
// holes, also where GDAL takes cells near the no-data value for no-data.
TEST_F(SlopeMakerTest, CellsAreGdalsOwnBitForBit) {
  struct Row {
    const char* name;
    int kind;
    double z;
    float odd_cell;  // put at column 3, row 4 when not 0
  };
  const Row rows[] = {
      {"degrees", kSlopeDegrees, 1, 0},
      {"percent", kSlopePercentRise, 1, 0},
      {"degrees, z 0.7", kSlopeDegrees, 0.7, 0},
      {"percent, z -3", kSlopePercentRise, -3, 0},
      {"a cell GDAL takes for no-data", kSlopeDegrees, 1, -2e31f},
      {"a towering cell", kSlopePercentRise, 1, 3e38f},
  };
  const int ncols = 23;
  const int nrows = 17;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<float> cells;
    for (int r = 0; r < nrows; ++r) {
      for (int c = 0; c < ncols; ++c) {
        const bool hole = (c * 5 + r * 11) % 29 == 0;
        cells.push_back(hole ? kGridFloatNoData : std::sin(c * 0.37f) * 40.1f + r * r * 0.3f);
      }
    }
    if (row.odd_cell != 0) cells[4 * ncols + 3] = row.odd_cell;
    const std::string grid = PathIn(row.name);
    ASSERT_TRUE(WriteGrid(grid, SurfaceGeometry(ncols, nrows, 1.3, 1.3), cells).ok());
    const std::vector<float> gdal = GdalComputeEdgesSlope(grid, row.kind, row.z);
    Result<Raster> slope = SurfaceAnalyser().MakeSlope(RasterDataset(grid), row.kind, row.z);
    ASSERT_TRUE(slope.ok()) << slope.error().description();
    ASSERT_EQ(slope->cells().size(), gdal.size());
    size_t differing = 0;
    for (int r = 0; r < nrows; ++r) {
      for (int c = 0; c < ncols; ++c) {
        const size_t i = static_cast<size_t>(r * ncols + c);
        if (!IsCorner(c, r, ncols, nrows) &&
            std::bit_cast<uint32_t>(slope->cells()[i]) != std::bit_cast<uint32_t>(gdal[i])) {
          ++differing;
        }
      }
    }
    EXPECT_EQ(differing, 0u);
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
        if (!NextToHole(c, r, holes)) {
          EXPECT_NEAR(cell, 45, 1e-4);
        }
      }
    }
  }
}

TEST_F(SlopeMakerTest, StripsOnSeveralThreadsGiveTheCellsOfOne) {
  // Tall enough for several strips; holes on and beside strip borders and at the edges.
  const int ncols = 37;
  const int nrows = 300;
  const std::vector<std::pair<int, int>> holes = {{5, 63}, {6, 64},   {0, 128}, {36, 150},
                                                  {20, 0}, {20, 299}, {9, 225}};
  MakeSurfaceGrid(
      PathIn("dem"), SurfaceGeometry(ncols, nrows, 2.5, 2.5),
      [](double x, double y) { return 400 + 30 * std::sin(x / 17) * std::cos(y / 23) + y / 9; },
      holes);
  auto slope_on = [&](int threads, int kind) {
    tbb::task_arena arena(threads);
    return arena.execute(
        [&] { return SurfaceAnalyser().MakeSlope(RasterDataset(PathIn("dem")), kind); });
  };
  for (int kind : {kSlopeDegrees, kSlopePercentRise}) {
    Result<Raster> one = slope_on(1, kind);
    ASSERT_TRUE(one.ok()) << one.error().description();
    for (int threads : {2, 3, 4}) {
      SCOPED_TRACE(std::to_string(threads) + " threads, kind " + std::to_string(kind));
      Result<Raster> many = slope_on(threads, kind);
      ASSERT_TRUE(many.ok()) << many.error().description();
      ASSERT_EQ(many->cells().size(), one->cells().size());
      size_t differing = 0;
      for (size_t i = 0; i < one->cells().size(); ++i) {
        if (std::bit_cast<uint32_t>(many->cells()[i]) != std::bit_cast<uint32_t>(one->cells()[i])) {
          ++differing;
        }
      }
      EXPECT_EQ(differing, 0u);
    }
  }
}

// FNV-1a (64 bits) over the bits of the cells.
uint64_t CellsHash(const std::vector<float>& cells) {
  uint64_t hash = 14695981039346656037ull;
  for (float cell : cells) {
    uint32_t bits = std::bit_cast<uint32_t>(cell);
    for (int i = 0; i < 4; ++i, bits >>= 8) hash = (hash ^ (bits & 0xff)) * 1099511628211ull;
  }
  return hash;
}

// A slope in a projected or unknown coordinate system is the one this program always made: the
// cells of a rough DEM with holes, over several strips, are pinned bit for bit as they were
// before slopes learnt geographic coordinates.
TEST_F(SlopeMakerTest, ProjectedSlopeKeepsItsCellsBitForBit) {
  struct Row {
    const char* name;
    std::string srs;
    int kind;
    uint64_t expected;
  };
  const Row rows[] = {
      {"UTM 33N, degrees", UtmZone33Wkt(), kSlopeDegrees, 14792756351413388008ull},
      {"UTM 33N, percent", UtmZone33Wkt(), kSlopePercentRise, 3627433898228658736ull},
      {"no coordinate system", "", kSlopeDegrees, 14792756351413388008ull},
  };
  const int ncols = 61;
  const int nrows = 150;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<float> cells;
    for (int r = 0; r < nrows; ++r) {
      for (int c = 0; c < ncols; ++c) {
        const bool hole = (c * 7 + r * 13) % 97 == 0;
        cells.push_back(hole ? kGridFloatNoData : ((c * c * 3 + r * 7 + c * r) % 101) * 0.25f);
      }
    }
    const std::string grid = PathIn(row.name);
    ASSERT_TRUE(WriteGrid(grid, SurfaceGeometry(ncols, nrows, 2.5, 2.5, row.srs), cells).ok());
    Result<Raster> slope = SurfaceAnalyser().MakeSlope(RasterDataset(grid), row.kind);
    ASSERT_TRUE(slope.ok()) << slope.error().description();
    EXPECT_EQ(CellsHash(slope->cells()), row.expected);
  }
}

// On a WGS 84 longitude/latitude grid, z = gx * x + gy * y with x the metres along each parallel
// from the west edge (N cos(lat) per radian) and y those along the meridian from the south edge
// (the sum of M per radian). Its true gradient is gx eastwards and gy - gx * (longitude from the
// west edge) * sin(lat) northwards, parallels shrinking towards the pole.
TEST_F(SlopeMakerTest, GeographicSlopeMeasuresCellsInMetresOnTheEllipsoid) {
  const double a = 6378137.0;
  const double e2 = (2 - 1 / 298.257223563) / 298.257223563;
  const double cell = 0.01;  // degrees: 40 rows span 0.4 degrees of latitude
  const double gx = 0.3, gy = -0.4, radians = kPi / 180;
  const int ncols = 30, nrows = 40;
  OGRSpatialReference wgs84;
  wgs84.SetWellKnownGeogCS("WGS84");
  char* wkt = nullptr;
  wgs84.exportToWkt(&wkt);
  const std::string wgs84_wkt = wkt;
  CPLFree(wkt);
  for (const auto& [latitude, kind] : {std::pair{0.0, kSlopeDegrees},
                                       {45.0, kSlopeDegrees},
                                       {70.0, kSlopeDegrees},
                                       {-45.0, kSlopePercentRise}}) {
    SCOPED_TRACE(latitude);
    GridGeometry geometry{ncols, nrows, 10.0, latitude - nrows * cell / 2, cell, cell, wgs84_wkt};
    std::vector<float> cells(static_cast<size_t>(ncols) * nrows);
    std::vector<double> expected(cells.size());
    double y = 0;  // metres north of the south edge, by the midpoint rule in steps of 1/64 cell
    for (int r = nrows - 1; r >= 0; --r) {
      const double phi = (geometry.south + (nrows - r - 0.5) * cell) * radians;
      for (double from = phi - (r == nrows - 1 ? 0.5 : 1) * cell * radians; from < phi - 1e-15;
           from += cell * radians / 64) {
        const double mid = std::sin(from + cell * radians / 128);
        y += a * (1 - e2) / std::pow(1 - e2 * mid * mid, 1.5) * cell * radians / 64;
      }
      const double parallel = a / std::sqrt(1 - e2 * std::sin(phi) * std::sin(phi)) * std::cos(phi);
      for (int c = 0; c < ncols; ++c) {
        const double longitude = (c + 0.5) * cell * radians;
        const size_t i = static_cast<size_t>(r) * ncols + c;
        cells[i] = static_cast<float>(gx * longitude * parallel + gy * y);
        expected[i] = Degrees(std::atan(std::hypot(gx, gy - gx * longitude * std::sin(phi))));
      }
    }
    const std::string grid = PathIn("lat" + std::to_string(static_cast<int>(latitude)));
    ASSERT_TRUE(WriteGrid(grid, geometry, cells).ok());
    Result<Raster> slope = SurfaceAnalyser().MakeSlope(RasterDataset(grid), kind);
    ASSERT_TRUE(slope.ok()) << slope.error().description();
    for (int r = 1; r + 1 < nrows; ++r) {
      for (int c = 1; c + 1 < ncols; ++c) {
        const size_t i = static_cast<size_t>(r) * ncols + c;
        EXPECT_NEAR(AsDegrees(slope->cells()[i], kind), expected[i], 0.05) << c << ", " << r;
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
    Result<Raster> slope = SurfaceAnalyser().MakeSlope(RasterDataset(PathIn(name)), kSlopeDegrees);
    ASSERT_FALSE(slope.ok());
    EXPECT_EQ(slope.error().kind(), ErrorKind::kEngine);
    EXPECT_NE(slope.error().description().find(PathIn(name)), std::string::npos)
        << slope.error().description();
  }
}

}  // namespace
}  // namespace terravox::engine
