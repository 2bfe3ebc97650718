#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/temporary_name.h"
#include "engine/contour_guard.h"
#include "engine/grid_format.h"
#include "engine/raster_dataset.h"
#include "engine/shapefile_dataset.h"
#include "engine/surface_analyser.h"
#include "engine/workspace.h"
#include "engine/workspace_opener.h"
#include "gis_test_util.h"
#include "support/temp_dir_test.h"

namespace terravox::engine {
namespace {

namespace fs = std::filesystem;
using ::terravox::testing::ContourShapefile;
using ::terravox::testing::GridReadBack;
using ::terravox::testing::MakeConeGrid;
using ::terravox::testing::MakePlaneGrid;
using ::terravox::testing::ReadContourShapefile;
using ::terravox::testing::ReadGridBack;
using ::terravox::testing::SurfaceGeometry;
using ::terravox::testing::TempDirTest;
using ::terravox::testing::UtmZone33Wkt;
using ::terravox::testing::WriteFile;

class ContourMakerTest : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    MakeDir("in");
    MakeDir("out");
    Result<Workspace> out = WorkspaceOpener().OpenFolder(PathIn("out"), 0);
    ASSERT_TRUE(out.ok());
    analyser_.Environment().SetOutputWorkspace(*out);
  }

  Result<ShapefileDataset> Contours(const std::string& grid, double interval,
                                    std::optional<double> base) {
    return analyser_.MakeContours(RasterDataset(grid), interval, base ? &*base : nullptr);
  }

  std::set<std::string> OutputFiles() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(PathIn("out"))) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }

  // The distinct CONTOUR values, ascending.
  static std::vector<double> Levels(const ContourShapefile& shapefile) {
    std::vector<double> levels;
    for (const auto& line : shapefile.lines) levels.push_back(line.level);
    std::sort(levels.begin(), levels.end());
    levels.erase(std::unique(levels.begin(), levels.end(),
                             [](double x, double y) { return std::abs(x - y) < 1e-9; }),
                 levels.end());
    return levels;
  }

  // Every vertex between the cell centres lies where the grid, interpolated as the contour
  // generator does, has the line's height. Returns how many vertices were checked.
  static int ExpectVerticesOnTheirLevel(const ContourShapefile& shapefile,
                                        const GridReadBack& grid) {
    int checked = 0;
    for (const auto& line : shapefile.lines) {
      for (auto [x, y] : line.points) {
        const double z = grid.Bilinear(x, y);
        if (std::isnan(z)) continue;  // the half cell beyond the outer centres
        EXPECT_NEAR(z, line.level, 1e-4) << "at " << x << " " << y;
        ++checked;
      }
    }
    return checked;
  }

  SurfaceAnalyser analyser_;
};

TEST_F(ContourMakerTest, PlaneGivesExactlyTheLevelsWithinItsRange) {
  // z = x + 0.5 y over cell centres x 0.5 .. 7.5, y 0.5 .. 5.5: the data range is 0.75 .. 10.25.
  const std::string grid = PathIn("in/plane");
  MakePlaneGrid(grid, SurfaceGeometry(8, 6, 1, 1), 1, 0.5);
  const GridReadBack cells = ReadGridBack(grid);
  ASSERT_TRUE(cells.opened);
  struct Row {
    const char* name;
    double interval;
    std::optional<double> base;
    std::vector<double> levels;
  };
  const Row rows[] = {
      {"base 0", 2, 0.0, {2, 4, 6, 8, 10}},
      {"base not a multiple of the interval", 2, 0.3, {2.3, 4.3, 6.3, 8.3}},
      {"base far below", 2.5, -100.0, {2.5, 5, 7.5, 10}},
      {"base far above", 3, 1000.0, {1, 4, 7, 10}},
      {"one level", 20, 5.0, {5}},
      {"no level in range", 20, 15.0, {}},
      {"no base given", 4, std::nullopt, {4, 8}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Result<ShapefileDataset> made = Contours(grid, row.interval, row.base);
    ASSERT_TRUE(made.ok()) << made.error().description();
    const ContourShapefile shapefile = ReadContourShapefile(made->GetDatasetPath() + ".shp");
    ASSERT_TRUE(shapefile.opened);
    const std::vector<double> levels = Levels(shapefile);
    ASSERT_EQ(levels.size(), row.levels.size());
    for (size_t i = 0; i < levels.size(); ++i) EXPECT_NEAR(levels[i], row.levels[i], 1e-9);
    EXPECT_EQ(ExpectVerticesOnTheirLevel(shapefile, cells) > 0, !row.levels.empty());
  }
}

TEST_F(ContourMakerTest, PlaneContoursLieOnThePlane) {
  const std::string grid = PathIn("in/plane");
  const double a = 0.75;
  const double b = -0.4;
  const engine::GridGeometry geometry = SurfaceGeometry(12, 9, 2, 2);
  MakePlaneGrid(grid, geometry, a, b);
  Result<ShapefileDataset> made = Contours(grid, 1.5, 0.2);
  ASSERT_TRUE(made.ok()) << made.error().description();
  const ContourShapefile shapefile = ReadContourShapefile(made->GetDatasetPath() + ".shp");
  ASSERT_FALSE(shapefile.lines.empty());
  for (const auto& line : shapefile.lines) {
    for (auto [x, y] : line.points) {
      const double local_x = x - geometry.west;
      const double local_y = y - geometry.south;
      // Lines run on to the raster's border, half a cell beyond the outer centres, where the
      // generator holds the border cells' values instead of the plane's.
      if (local_x < 1 || local_x > 23 || local_y < 1 || local_y > 17) continue;
      EXPECT_NEAR(a * local_x + b * local_y, line.level, 1e-4) << "at " << x << " " << y;
    }
  }
}

TEST_F(ContourMakerTest, ConeGivesItsRingsAtTheRightHeights) {
  // Peak 100 at the centre cell, falling 3 per cell: the corners are at 100 - 3 * sqrt(200).
  const std::string grid = PathIn("in/cone");
  MakeConeGrid(grid, SurfaceGeometry(21, 21, 1, 1), 100, 3);
  Result<ShapefileDataset> made = Contours(grid, 7, 3.0);
  ASSERT_TRUE(made.ok()) << made.error().description();
  const ContourShapefile shapefile = ReadContourShapefile(made->GetDatasetPath() + ".shp");
  EXPECT_EQ(Levels(shapefile), (std::vector<double>{59, 66, 73, 80, 87, 94}));
  EXPECT_GT(ExpectVerticesOnTheirLevel(shapefile, ReadGridBack(grid)), 0);
}

// The same raster through gdal_contour, the tool users know: every level has as many lines and
// the same vertices as ours, holes and a base off the interval included.
TEST_F(ContourMakerTest, LinesMatchGdalContourOnTheSameRaster) {
  const std::string grid = PathIn("in/cone");
  std::vector<std::pair<int, int>> holes = {{3, 3}, {4, 3}, {15, 12}, {0, 20}};
  MakeConeGrid(grid, SurfaceGeometry(21, 21, 2.5, 2.5), 100, 3, holes);
  Result<ShapefileDataset> made = Contours(grid, 7, 3.0);
  ASSERT_TRUE(made.ok()) << made.error().description();

  const std::string reference = PathIn("reference.shp");
  const std::string command =
      "gdal_contour -q -a CONTOUR -i 7 -off 3 '" + grid + "' '" + reference + "' > /dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;

  // Per level: the number of lines and the sorted vertices, rounded to a micrometre.
  using Summary = std::map<double, std::pair<int, std::vector<std::pair<long long, long long>>>>;
  auto summarise = [](const ContourShapefile& shapefile) {
    Summary summary;
    for (const auto& line : shapefile.lines) {
      auto& [count, vertices] = summary[line.level];
      ++count;
      for (auto [x, y] : line.points) {
        vertices.emplace_back(std::llround(x * 1e6), std::llround(y * 1e6));
      }
    }
    for (auto& [level, entry] : summary) std::sort(entry.second.begin(), entry.second.end());
    return summary;
  };
  const Summary ours = summarise(ReadContourShapefile(made->GetDatasetPath() + ".shp"));
  const Summary peer = summarise(ReadContourShapefile(reference));
  ASSERT_FALSE(peer.empty());
  EXPECT_EQ(ours, peer);
}

TEST_F(ContourMakerTest, NoDataCellsCarryNoContours) {
  // z = x, but the western four columns are holes: the data range is 4.5 .. 9.5.
  std::vector<std::pair<int, int>> holes;
  for (int row = 0; row < 4; ++row) {
    for (int col = 0; col < 4; ++col) holes.emplace_back(col, row);
  }
  const std::string grid = PathIn("in/holes");
  const engine::GridGeometry geometry = SurfaceGeometry(10, 4, 1, 1);
  MakePlaneGrid(grid, geometry, 1, 0, holes);
  Result<ShapefileDataset> made = Contours(grid, 1, 0.0);
  ASSERT_TRUE(made.ok()) << made.error().description();
  const ContourShapefile shapefile = ReadContourShapefile(made->GetDatasetPath() + ".shp");
  EXPECT_EQ(Levels(shapefile), (std::vector<double>{5, 6, 7, 8, 9}));
  for (const auto& line : shapefile.lines) {
    for (auto [x, y] : line.points) {
      EXPECT_GE(x - geometry.west, 4.5 - 1e-6) << "level " << line.level;
    }
  }
}

TEST_F(ContourMakerTest, RasterWithoutValidCellsGivesAnEmptyShapefile) {
  std::vector<std::pair<int, int>> holes;
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 3; ++col) holes.emplace_back(col, row);
  }
  const std::string grid = PathIn("in/empty");
  MakePlaneGrid(grid, SurfaceGeometry(3, 3, 1, 1), 1, 0, holes);
  Result<ShapefileDataset> made = Contours(grid, 0.001, 0.0);
  ASSERT_TRUE(made.ok()) << made.error().description();
  const ContourShapefile shapefile = ReadContourShapefile(made->GetDatasetPath() + ".shp");
  ASSERT_TRUE(shapefile.opened);
  EXPECT_TRUE(shapefile.lines.empty());
}

TEST_F(ContourMakerTest, ShapefileHasItsFieldsAndAPrjExactlyWithACoordinateSystem) {
  for (const std::string& srs : {UtmZone33Wkt(), std::string()}) {
    SCOPED_TRACE(srs.empty() ? "no coordinate system" : "UTM 33N");
    const std::string grid = PathIn(srs.empty() ? "in/plain" : "in/utm");
    MakePlaneGrid(grid, SurfaceGeometry(6, 6, 1, 1, srs), 1, 1);
    Result<ShapefileDataset> made = Contours(grid, 2, 0.0);
    ASSERT_TRUE(made.ok()) << made.error().description();
    const std::string base = made->GetDatasetPath();
    EXPECT_EQ(fs::path(base).parent_path(), fs::path(PathIn("out")));
    const ContourShapefile shapefile = ReadContourShapefile(base + ".shp");
    ASSERT_TRUE(shapefile.opened);
    EXPECT_EQ(shapefile.id_type, OFTInteger);
    EXPECT_EQ(shapefile.contour_type, OFTReal);
    std::set<int> ids;
    for (const auto& line : shapefile.lines) ids.insert(line.id);
    EXPECT_EQ(ids.size(), shapefile.lines.size());
    EXPECT_TRUE(fs::exists(base + ".shx"));
    EXPECT_TRUE(fs::exists(base + ".dbf"));
    EXPECT_EQ(fs::exists(base + ".prj"), !srs.empty());
    EXPECT_EQ(shapefile.has_srs, !srs.empty());

    // The files renamed are those GDAL wrote, found without listing the folder: none may stay
    // behind under the temporary name.
    const std::string temporary = made->name();
    const std::string final_name = srs.empty() ? "plain" : "utm";
    std::set<std::string> expected;
    for (const std::string& file : OutputFiles()) {
      if (file.rfind(temporary + ".", 0) == 0) {
        expected.insert(final_name + file.substr(temporary.size()));
      }
    }
    ASSERT_TRUE(made->SetDatasetName(final_name).ok());
    std::set<std::string> after;
    for (const std::string& file : OutputFiles()) {
      if (file.rfind(final_name + ".", 0) == 0) after.insert(file);
      EXPECT_NE(file.rfind(temporary, 0), 0u) << file;
    }
    EXPECT_EQ(after, expected);
  }
}

TEST_F(ContourMakerTest, EachRunWritesUnderAFreshTemporaryNameOfThisProcess) {
  const std::string grid = PathIn("in/plane");
  MakePlaneGrid(grid, SurfaceGeometry(6, 6, 1, 1), 1, 0);
  Result<ShapefileDataset> first = Contours(grid, 1, 0.0);
  Result<ShapefileDataset> second = Contours(grid, 2, 0.0);
  ASSERT_TRUE(first.ok());
  ASSERT_TRUE(second.ok());
  EXPECT_NE(first->name(), second->name());
  EXPECT_EQ(Levels(ReadContourShapefile(first->GetDatasetPath() + ".shp")).size(), 5u);
  EXPECT_EQ(Levels(ReadContourShapefile(second->GetDatasetPath() + ".shp")).size(), 2u);
  // Hidden, and named after this process: a later run removes them only once it has ended. Three
  // files each, and the lock file that shows this process alive.
  EXPECT_EQ(OutputFiles().size(), 7u);
  for (const std::string& file : OutputFiles()) {
    EXPECT_EQ(TemporaryOwner(file), ThisProcess()) << file;
  }
}

TEST_F(ContourMakerTest, IntervalMustBePositiveAndFinite) {
  const std::string grid = PathIn("in/plane");
  MakePlaneGrid(grid, SurfaceGeometry(6, 6, 1, 1), 1, 0);
  const double inf = std::numeric_limits<double>::infinity();
  for (double interval : {0.0, -0.0, -1.0, -inf, inf, std::nan("")}) {
    SCOPED_TRACE(interval);
    Result<ShapefileDataset> made = Contours(grid, interval, 0.0);
    ASSERT_FALSE(made.ok());
    EXPECT_NE(made.error().description().find("contour interval"), std::string::npos)
        << made.error().description();
  }
  EXPECT_FALSE(Contours(grid, 1, inf).ok());
  EXPECT_FALSE(Contours(grid, 1, std::nan("")).ok());
  EXPECT_TRUE(OutputFiles().empty());
}

TEST_F(ContourMakerTest, IntervalGivingTooManyLevelsIsRefused) {
  const std::string grid = PathIn("in/plane");
  MakePlaneGrid(grid, SurfaceGeometry(6, 6, 1, 1), 1000, 0);
  Result<ShapefileDataset> made = Contours(grid, 1e-6, 0.0);
  ASSERT_FALSE(made.ok());
  EXPECT_TRUE(OutputFiles().empty());
}

// Few levels, but each crossing the grid's every cell: a runaway all the same, refused before a
// file is written.
TEST_F(ContourMakerTest, IntervalGivingTooManyLineCrossingsIsRefused) {
  const std::string grid = PathIn("in/plane");
  MakePlaneGrid(grid, SurfaceGeometry(12, 10, 1, 1), 1, 0.5);
  Result<ShapefileDataset> made = Contours(grid, 1e-4, 0.0);
  ASSERT_FALSE(made.ok());
  EXPECT_EQ(made.error().description(),
            "The contour interval 0.0001 gives too many contour lines for the relief of the data: "
            "about 1485000 level crossings over 99 cells, at most 1000000");
  EXPECT_TRUE(OutputFiles().empty());
}

// Where the guard draws the line between a survey's contours and a runaway.
TEST(ContourGuardTest, BoundsCrossingsBySizeAndDensity) {
  struct Row {
    const char* name;
    ContourFigures figures;
    double interval;
    std::string expected;  // empty: allowed
  };
  const Row rows[] = {
      {"1000 x 1000 DEM over 500 m at 0.5", {true, 0, 500, 998001, 998001 * 2.5}, 0.5, ""},
      {"no data", {}, 1e-9, ""},
      {"50 x 60 ramp at 0.0001",
       {true, 0, 77, 2891, 4336.5},
       1e-4,
       "The contour interval 0.0001 gives too many contour lines for the relief of the data: "
       "about 43365000 level crossings over 2891 cells, at most 1000000"},
      {"100 x 100 noise at 50",
       {true, 0, 1e5, 9801, 5.9e8},
       50,
       "The contour interval 50 gives too many contour lines for the relief of the data: about "
       "11800000 level crossings over 9801 cells, at most 1000000"},
      {"large raster, dense lines",
       {true, 0, 500, 4000000, 4e6 * 60},
       0.5,
       "The contour interval 0.5 gives too many contour lines for the relief of the data: about "
       "480000000 level crossings over 4000000 cells, at most 400000000"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Status s = CheckContourWork(row.figures, row.interval);
    EXPECT_EQ(s.ok() ? "" : s.description(), row.expected);
  }
}

// No-data cells take no part: with the middle column gone, each window holds one value alone.
TEST_F(ContourMakerTest, GuardFiguresLeaveNoDataOut) {
  MakePlaneGrid(PathIn("in/plane"), SurfaceGeometry(3, 2, 1, 1), 1, 0, {{1, 0}, {1, 1}});
  Result<ContourFigures> figures = ReadContourFigures(RasterDataset(PathIn("in/plane")));
  ASSERT_TRUE(figures.ok()) << figures.error().description();
  EXPECT_TRUE(figures->has_data);
  EXPECT_EQ(figures->min, 0.5);
  EXPECT_EQ(figures->max, 2.5);
  EXPECT_EQ(figures->windows, 2);
  EXPECT_EQ(figures->relief, 0);
}

// Every row counts, however many rows are read at once: on a plane of slope 1 and 0.5 each
// window spans 1.5.
TEST_F(ContourMakerTest, GuardFiguresCoverEveryRow) {
  for (int nrows : {2, 64, 65, 130}) {
    SCOPED_TRACE(std::to_string(nrows) + " rows");
    const std::string grid = PathIn("in/plane" + std::to_string(nrows));
    MakePlaneGrid(grid, SurfaceGeometry(3, nrows, 1, 1), 1, 0.5);
    Result<ContourFigures> figures = ReadContourFigures(RasterDataset(grid));
    ASSERT_TRUE(figures.ok()) << figures.error().description();
    EXPECT_EQ(figures->min, 0.75);
    EXPECT_EQ(figures->max, 2.25 + 0.5 * nrows);
    EXPECT_EQ(figures->windows, 2 * (nrows - 1));
    EXPECT_EQ(figures->relief, 1.5 * 2 * (nrows - 1));
  }
}

// The guard counts the levels from the cells, whatever the statistics file claims: with a
// forged sta.adf (min = max) a tiny interval ran for minutes and wrote hundreds of megabytes.
TEST_F(ContourMakerTest, LevelGuardReadsTheCellsNotTheStatisticsFile) {
  const std::string grid = PathIn("in/plane");
  MakePlaneGrid(grid, SurfaceGeometry(6, 6, 1, 1), 1, 0);
  GridStatistics forged;
  forged.min = forged.max = forged.mean = 3;
  const std::array<uint8_t, 32> sta = EncodeStatisticsFile(forged);
  WriteFile(grid + "/sta.adf", std::string(sta.begin(), sta.end()));

  Result<ShapefileDataset> made = Contours(grid, 1e-6, 0.0);

  ASSERT_FALSE(made.ok());
  EXPECT_EQ(made.error().description(),
            "The contour interval 1E-06 gives too many levels for the data range 0.5 to 5.5");
  EXPECT_TRUE(OutputFiles().empty());
}

TEST_F(ContourMakerTest, WithoutOutputWorkspaceItIsAnError) {
  const std::string grid = PathIn("in/plane");
  MakePlaneGrid(grid, SurfaceGeometry(6, 6, 1, 1), 1, 0);
  double base = 0;
  Result<ShapefileDataset> made = SurfaceAnalyser().MakeContours(RasterDataset(grid), 1, &base);
  ASSERT_FALSE(made.ok());
  EXPECT_NE(made.error().description().find("output workspace"), std::string::npos);
}

TEST_F(ContourMakerTest, InputThatIsNoGridGivesGdalsMessageAndLeavesNothing) {
  MakeDir("in/plain_folder");
  WriteFile(PathIn("in/dem.asc"),
            "ncols 2\r\nnrows 2\r\nxllcorner 0\r\nyllcorner 0\r\ncellsize 1\r\n1 2\r\n3 4\r\n");
  for (const char* name : {"in/plain_folder", "in/dem.asc", "in/missing"}) {
    SCOPED_TRACE(name);
    Result<ShapefileDataset> made = Contours(PathIn(name), 1, 0.0);
    ASSERT_FALSE(made.ok());
    EXPECT_EQ(made.error().kind(), ErrorKind::kEngine);
    EXPECT_NE(made.error().description().find(PathIn(name)), std::string::npos)
        << made.error().description();
  }
  EXPECT_TRUE(OutputFiles().empty());
}

TEST_F(ContourMakerTest, FailureWhileContouringLeavesNoTemporaryFiles) {
  // The block index is read only when cells are, so the GRID opens and then fails mid-way.
  const std::string grid = PathIn("in/broken");
  MakePlaneGrid(grid, SurfaceGeometry(6, 6, 1, 1), 1, 0);
  fs::remove(grid + "/w001001x.adf");
  Result<ShapefileDataset> made = Contours(grid, 1, 0.0);
  ASSERT_FALSE(made.ok());
  EXPECT_FALSE(made.error().description().empty());
  EXPECT_TRUE(OutputFiles().empty());
}

}  // namespace
}  // namespace terravox::engine
