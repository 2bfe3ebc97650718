// GridWriter and WriteGrid: every grid we write must read back through GDAL's AIG reader with
// the same size, georeferencing, no-data and cells, bit for bit.
#include "engine/grid_writer.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cfloat>
#include <cmath>
#include <functional>
#include <limits>

#include "engine/grid_readback.h"
#include "support/temp_dir_test.h"

namespace terravox::engine {
namespace {

using terravox::testing::Bits;
using terravox::testing::RasterReadBack;
using terravox::testing::ReadRasterBack;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

class GridWriterTest : public terravox::testing::TempDirTest {
 protected:
  // Names in the test folder, hidden ones included: what a failed write left behind.
  std::vector<std::string> Leftovers() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir())) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }
};

GridGeometry Geometry(int ncols, int nrows, double west = 1000, double south = 2000,
                      double cell = 10) {
  GridGeometry g;
  g.ncols = ncols;
  g.nrows = nrows;
  g.west = west;
  g.south = south;
  g.cell_width = cell;
  g.cell_height = cell;
  return g;
}

std::vector<float> Cells(int ncols, int nrows, const std::function<float(int, int)>& z) {
  std::vector<float> cells;
  cells.reserve(static_cast<size_t>(ncols) * nrows);
  for (int row = 0; row < nrows; ++row) {
    for (int col = 0; col < ncols; ++col) cells.push_back(z(col, row));
  }
  return cells;
}

// A surface with a value of its own in every cell, fractional and negative ones included.
float Surface(int col, int row) { return 0.25f * static_cast<float>(col) - 1.5f * row + 0.1f; }

struct RoundTripCase {
  const char* name;
  GridGeometry geometry;
  std::function<float(int, int)> z;
};

TEST_F(GridWriterTest, ReadsBackIdenticallyThroughGdal) {
  const float tiny = std::numeric_limits<float>::denorm_min();
  const RoundTripCase cases[] = {
      {"1 x 1", Geometry(1, 1), [](int, int) { return 42.5f; }},
      {"3 x 2", Geometry(3, 2), Surface},
      {"one block exactly", Geometry(256, 4), Surface},
      {"one past a block", Geometry(257, 5), Surface},
      {"partial right blocks", Geometry(1000, 700), Surface},
      {"partial right and bottom blocks", Geometry(1000, 701), Surface},
      {"more than 2048 columns", Geometry(2100, 3), Surface},
      {"more than 2048 rows", Geometry(3, 2050), Surface},
      {"scattered no-data", Geometry(300, 9),
       [](int col, int row) {
         return (col * 7 + row * 3) % 5 == 0 ? kGridFloatNoData : 1.0f * col;
       }},
      {"a whole block of no-data", Geometry(600, 12),
       [](int col, int row) {
         return col >= 256 && col < 512 && row >= 4 && row < 8 ? kNaN : 3.0f;
       }},
      {"all no-data", Geometry(5, 5), [](int, int) { return kGridFloatNoData; }},
      {"NaN as no-data", Geometry(4, 3), [](int col, int row) { return col == row ? kNaN : 2.0f; }},
      {"negative corner, cell size 0.1", Geometry(7, 6, -123.4, -45.6, 0.1), Surface},
      {"UTM-sized corner", Geometry(9, 4, 500000, 4649776.5, 2.5), Surface},
      {"integer values", Geometry(20, 6),
       [](int col, int row) { return static_cast<float>(col * 100 - row * 1000); }},
      {"-0.0, +FLT_MAX and the smallest denormal", Geometry(3, 1),
       [tiny](int col, int) { return col == 0   ? -0.0f
                                     : col == 1 ? FLT_MAX
                                                : tiny; }},
  };
  for (const RoundTripCase& c : cases) {
    SCOPED_TRACE(c.name);
    const GridGeometry& g = c.geometry;
    std::vector<float> cells = Cells(g.ncols, g.nrows, c.z);
    std::string path = PathIn("g" + std::to_string(&c - cases));
    Status s = WriteGrid(path, g, cells);
    ASSERT_TRUE(s.ok()) << s.description();

    RasterReadBack back = ReadRasterBack(path);
    ASSERT_EQ(back.error, "");
    EXPECT_EQ(back.driver, "AIG");
    ASSERT_EQ(back.ncols, g.ncols);
    ASSERT_EQ(back.nrows, g.nrows);
    EXPECT_EQ(back.geotransform[0], g.west);
    EXPECT_EQ(back.geotransform[1], g.cell_width);
    EXPECT_EQ(back.geotransform[2], 0.0);
    EXPECT_EQ(back.geotransform[3], g.south + g.nrows * g.cell_height);
    EXPECT_EQ(back.geotransform[4], 0.0);
    EXPECT_EQ(back.geotransform[5], -g.cell_height);
    EXPECT_TRUE(back.has_nodata);
    EXPECT_EQ(back.nodata, kGridFloatNoData);
    int mismatches = 0;
    for (size_t i = 0; i < cells.size(); ++i) {
      float expected = std::isnan(cells[i]) ? kGridFloatNoData : cells[i];
      if (Bits(back.cells[i]) != Bits(expected) && ++mismatches <= 3) {
        ADD_FAILURE() << "cell " << i << ": " << back.cells[i] << " instead of " << expected;
      }
    }
    EXPECT_EQ(mismatches, 0);
  }
}

TEST_F(GridWriterTest, ReportsMinimumAndMaximumOfValidCells) {
  std::vector<float> cells = {5, kGridFloatNoData, -2.5f, kNaN, 123456.789f, 7};
  ASSERT_TRUE(WriteGrid(PathIn("g"), Geometry(3, 2), cells).ok());
  RasterReadBack back = ReadRasterBack(PathIn("g"));
  ASSERT_EQ(back.error, "");
  EXPECT_EQ(back.min, -2.5);
  EXPECT_EQ(back.max, double{123456.789f});  // the value as stored, after rounding to float32
}

TEST_F(GridWriterTest, ValueEqualToNegativeFltMaxReadsBackAsNoData) {
  ASSERT_TRUE(WriteGrid(PathIn("g"), Geometry(2, 1), std::vector<float>{-FLT_MAX, 1}).ok());
  RasterReadBack back = ReadRasterBack(PathIn("g"));
  ASSERT_EQ(back.error, "");
  EXPECT_EQ(back.cells[0], back.nodata);
  EXPECT_EQ(back.min, 1.0);  // not counted as a value either
}

TEST_F(GridWriterTest, CoordinateSystemSurvivesAsOneLinePrj) {
  OGRSpatialReference utm;
  ASSERT_EQ(utm.importFromEPSG(32633), OGRERR_NONE);
  char* wkt = nullptr;
  utm.exportToWkt(&wkt);
  GridGeometry g = Geometry(3, 2);
  g.srs_wkt = wkt;
  CPLFree(wkt);
  ASSERT_TRUE(WriteGrid(PathIn("g"), g, std::vector<float>(6, 1.0f)).ok());

  std::string prj = terravox::testing::ReadFile(PathIn("g") + "/prj.adf");
  EXPECT_EQ(prj.find('\n'), std::string::npos);
  EXPECT_NE(prj.find("PROJCS["), std::string::npos);
  RasterReadBack back = ReadRasterBack(PathIn("g"));
  ASSERT_EQ(back.error, "");
  EXPECT_TRUE(terravox::testing::SameSrs(back.srs_wkt, g.srs_wkt)) << back.srs_wkt;
}

TEST_F(GridWriterTest, NoCoordinateSystemMeansNoPrj) {
  ASSERT_TRUE(WriteGrid(PathIn("g"), Geometry(1, 1), std::vector<float>{1}).ok());
  EXPECT_FALSE(std::filesystem::exists(PathIn("g") + "/prj.adf"));
  EXPECT_EQ(ReadRasterBack(PathIn("g")).srs_wkt, "");
}

TEST_F(GridWriterTest, HoldsOneBlockRowWhateverTheHeight) {
  // 300 columns: 2 real block records and 6 padding records per block row, 8 index entries.
  const size_t one_block_row = 2 * (2 + 1024 * 4) + 6 * 2 + 8 * 8;
  for (int nrows : {4, 4000}) {
    SCOPED_TRACE(nrows);
    std::string path = PathIn("g" + std::to_string(nrows));
    auto writer = GridWriter::Create(path, Geometry(300, nrows));
    ASSERT_TRUE(writer.ok()) << writer.error().description();
    EXPECT_EQ((*writer)->buffer_capacity(), one_block_row);
    std::vector<float> row(300, 1.0f);
    for (int r = 0; r < nrows; ++r) ASSERT_TRUE((*writer)->WriteRow(row).ok());
    EXPECT_EQ((*writer)->buffer_capacity(), one_block_row);
    ASSERT_TRUE((*writer)->Commit().ok());
  }
}

TEST_F(GridWriterTest, RejectsGeometryWithoutCellsOrSize) {
  struct Case {
    const char* name;
    GridGeometry geometry;
  };
  GridGeometry nan_cell = Geometry(2, 2);
  nan_cell.cell_width = std::nan("");
  GridGeometry inf_corner = Geometry(2, 2);
  inf_corner.west = HUGE_VAL;
  GridGeometry flat_cell = Geometry(2, 2);
  flat_cell.cell_height = 0;
  const Case cases[] = {
      {"no columns", Geometry(0, 2)},
      {"negative rows", Geometry(2, -1)},
      {"zero cell size", Geometry(2, 2, 0, 0, 0)},
      {"negative cell size", Geometry(2, 2, 0, 0, -1)},
      {"zero cell height", flat_cell},
      {"NaN cell size", nan_cell},
      {"infinite corner", inf_corner},
      {"beyond one 4 GiB tile", Geometry(70000, 70000)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto writer = GridWriter::Create(PathIn("g"), c.geometry);
    ASSERT_FALSE(writer.ok());
    EXPECT_FALSE(writer.error().description().empty());
    EXPECT_TRUE(Leftovers().empty());
  }
}

// The size a reader derives from the bounds must be the size written: far from the origin the
// bounds lose the cell size, and GDAL read a 2 x 1 grid at x 1e17 as 0 x 1.
TEST_F(GridWriterTest, AcceptsOnlyBoundsThatGiveBackTheSize) {
  struct Case {
    const char* name;
    GridGeometry geometry;
    bool accepted;
  };
  const Case cases[] = {
      {"x 1e17, cell size 1", Geometry(2, 1, 1e17, 0, 1), false},
      {"x 1e308, cell size 1", Geometry(2, 1, 1e308, 0, 1), false},
      {"y 1e17, cell size 1", Geometry(1, 2, 0, 1e17, 1), false},
      {"x -1e17, cell size 1", Geometry(3, 1, -1e17, 0, 1), false},
      {"x 1e15, cell size 1", Geometry(3, 2, 1e15, -1e15, 1), true},
      {"x 1e17, cell size 1e3", Geometry(3, 2, 1e17, 0, 1e3), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<float> cells(static_cast<size_t>(c.geometry.ncols) * c.geometry.nrows, 1.0f);
    Status status = WriteGrid(PathIn("g"), c.geometry, cells);
    EXPECT_EQ(status.ok(), c.accepted) << status.description();
    if (c.accepted) {
      const RasterReadBack back = ReadRasterBack(PathIn("g"));
      EXPECT_EQ(back.ncols, c.geometry.ncols);
      EXPECT_EQ(back.nrows, c.geometry.nrows);
      std::filesystem::remove_all(PathIn("g"));
    }
    EXPECT_TRUE(Leftovers().empty());
    EXPECT_FALSE(std::filesystem::exists(PathIn("g")));
  }
}

TEST_F(GridWriterTest, RejectsCoordinateSystemItCannotRead) {
  GridGeometry g = Geometry(1, 1);
  g.srs_wkt = "not a coordinate system";
  auto writer = GridWriter::Create(PathIn("g"), g);
  EXPECT_FALSE(writer.ok());
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(GridWriterTest, RejectsRowsOfTheWrongLength) {
  auto writer = GridWriter::Create(PathIn("g"), Geometry(3, 2));
  ASSERT_TRUE(writer.ok());
  Status s = (*writer)->WriteRow(std::vector<float>(4, 1.0f));
  ASSERT_FALSE(s.ok());
  EXPECT_EQ(s.description(), "A GRID row needs 3 cells, not 4");
  // The writer stays failed: a grid with a lost row must never be committed.
  EXPECT_FALSE((*writer)->WriteRow(std::vector<float>(3, 1.0f)).ok());
  EXPECT_FALSE((*writer)->Commit().ok());
  writer->reset();
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(GridWriterTest, RejectsRowsBeyondTheLast) {
  auto writer = GridWriter::Create(PathIn("g"), Geometry(2, 1));
  ASSERT_TRUE(writer.ok());
  ASSERT_TRUE((*writer)->WriteRow(std::vector<float>(2, 1.0f)).ok());
  EXPECT_FALSE((*writer)->WriteRow(std::vector<float>(2, 1.0f)).ok());
}

TEST_F(GridWriterTest, CommitBeforeTheLastRowFailsAndLeavesNothing) {
  auto writer = GridWriter::Create(PathIn("g"), Geometry(2, 5));
  ASSERT_TRUE(writer.ok());
  for (int r = 0; r < 4; ++r) ASSERT_TRUE((*writer)->WriteRow(std::vector<float>(2, 1.0f)).ok());
  Status s = (*writer)->Commit();
  ASSERT_FALSE(s.ok());
  EXPECT_EQ(s.description(), "Only 4 of the GRID's 5 rows were written");
  writer->reset();
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(GridWriterTest, WriterDestroyedBeforeCommitLeavesNothing) {
  {
    auto writer = GridWriter::Create(PathIn("g"), Geometry(1000, 20));
    ASSERT_TRUE(writer.ok());
    for (int r = 0; r < 20; ++r) {
      ASSERT_TRUE((*writer)->WriteRow(std::vector<float>(1000, 1.0f)).ok());
    }
    // The temporary folder, under a hidden name, and the lock file that shows this process alive.
    EXPECT_EQ(Leftovers().size(), 2u);
    EXPECT_EQ(Leftovers()[0][0], '.');
  }
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(GridWriterTest, RefusesTargetThatExists) {
  struct Case {
    const char* name;
    std::function<void(const std::string&)> make;
  };
  const Case cases[] = {
      {"empty folder", [](const std::string& p) { std::filesystem::create_directory(p); }},
      {"regular file", [](const std::string& p) { terravox::testing::WriteFile(p, "x"); }},
      {"dangling link",
       [](const std::string& p) { std::filesystem::create_symlink("nowhere", p); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = PathIn(c.name);
    c.make(path);
    auto writer = GridWriter::Create(path, Geometry(1, 1));
    ASSERT_FALSE(writer.ok());
    EXPECT_EQ(writer.error().description(), "A dataset already exists at " + path);
    EXPECT_EQ(Leftovers().size(), static_cast<size_t>(&c - cases + 1));  // no temporary folder
  }
}

TEST_F(GridWriterTest, CommitRefusesTargetThatAppearedMeanwhile) {
  auto writer = GridWriter::Create(PathIn("g"), Geometry(1, 1));
  ASSERT_TRUE(writer.ok());
  ASSERT_TRUE((*writer)->WriteRow(std::vector<float>{1}).ok());
  // An empty folder: the one thing a plain rename would silently replace.
  std::filesystem::create_directory(PathIn("g"));
  Status s = (*writer)->Commit();
  ASSERT_FALSE(s.ok());
  EXPECT_EQ(s.description(), "A dataset already exists at " + PathIn("g"));
  writer->reset();
  EXPECT_EQ(Leftovers(), std::vector<std::string>{"g"});
  EXPECT_TRUE(std::filesystem::is_empty(PathIn("g")));
}

TEST_F(GridWriterTest, MissingParentFolderIsPathNotFound) {
  for (std::string parent : {PathIn("missing"), PathIn("file")}) {
    SCOPED_TRACE(parent);
    if (parent == PathIn("file")) terravox::testing::WriteFile(parent, "x");
    auto writer = GridWriter::Create(parent + "/g", Geometry(1, 1));
    ASSERT_FALSE(writer.ok());
    EXPECT_EQ(writer.error().kind(), ErrorKind::kPathNotFound);
  }
}

TEST_F(GridWriterTest, ReadOnlyParentFolderLeavesNothing) {
  std::string parent = MakeDir("ro");
  std::filesystem::permissions(
      parent, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  if (access(parent.c_str(), W_OK) == 0) GTEST_SKIP() << "this user ignores folder permissions";
  auto writer = GridWriter::Create(parent + "/g", Geometry(1, 1));
  ASSERT_FALSE(writer.ok());
  EXPECT_EQ(writer.error().description(), "Permission denied");
  EXPECT_TRUE(std::filesystem::is_empty(parent));
}

// Makes every write past `bytes` into a file fail with EFBIG while alive (root included).
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    old_handler_ = signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, old_handler_);
  }

 private:
  rlimit saved_{};
  sighandler_t old_handler_;
};

TEST_F(GridWriterTest, FailedWriteHalfwayLeavesNothing) {
  std::vector<float> cells(1000 * 700, 1.0f);
  Status s;
  {
    FileSizeLimit limit(100000);
    s = WriteGrid(PathIn("g"), Geometry(1000, 700), cells);
  }
  ASSERT_FALSE(s.ok());
  EXPECT_EQ(s.description(), "File too large");
  EXPECT_TRUE(Leftovers().empty());
}

}  // namespace
}  // namespace terravox::engine
