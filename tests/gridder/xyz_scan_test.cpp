// ScanXyzFile against ConvertXyzFile: the dry run's figures and errors are the run's own, and
// the scan writes nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "gridder/gridder.h"
#include "support/fake_host.h"
#include "support/temp_dir_test.h"

namespace terravox {
namespace {

using ::terravox::testing::FakeHost;
using ::terravox::testing::TempDirTest;
using ::terravox::testing::WriteFile;

class XyzScanTest : public TempDirTest {
 protected:
  std::set<std::string> FolderNames() const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir())) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }
};

TEST_F(XyzScanTest, FiguresAndErrorsEqualTheRuns) {
  struct Row {
    const char* name;
    std::string xyz;
    const char* cell_size;  // given, or nullptr to derive
    const char* separator;
    uint64_t max_grid_bytes = UINT64_MAX;
  };
  const Row rows[] = {
      {"lattice", "0 0 1\r\n10 0 2\r\n20 0 3\r\n0 10 4\r\n10 10 5\r\n20 10 6\r\n", nullptr, " "},
      {"given cell size", "0 0 1\r\n10 0 2\r\n0 10 4\r\n10 10 5\r\n", "5", " "},
      {"duplicates count as points", "0 0 1\r\n10 0 2\r\n10 0 3\r\n", nullptr, " "},
      {"a height that is no number", "0 0 1\r\n10 0 high\r\n", nullptr, " "},
      {"separator not in the file", "0 0 1\r\n10 0 2\r\n", nullptr, ","},
      {"one x value", "0 0 1\r\n0 10 2\r\n", nullptr, " "},
      {"given cell size no number", "0 0 1\r\n10 0 2\r\n", "abc", " "},
      {"gap in y", "0 0 1\r\n10 0 2\r\n0 30 3\r\n10 30 4\r\n", "10", " "},
      {"no data lines", "# only a comment\r\n", nullptr, " "},
      {"a grid too big for memory", "0 0 1\r\n10 0 2\r\n0 10 4\r\n10 10 5\r\n", nullptr, " ", 15},
  };
  const std::string xyz = PathIn("points.xyz");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    WriteFile(xyz, row.xyz);
    const std::set<std::string> before = FolderNames();
    XyzScan scan = ScanXyzFile(xyz, row.separator, row.cell_size != nullptr,
                               row.cell_size ? row.cell_size : "5", row.max_grid_bytes);
    EXPECT_EQ(FolderNames(), before);

    FakeHost host;
    host.values.cell_size_given = row.cell_size != nullptr;
    if (row.cell_size) host.values.cell_size = row.cell_size;
    BatchMdl mdl;
    mdl.strSeparator = row.separator;
    mdl.bRunOk = true;
    RunOptions options;
    options.error_log_path = PathIn("x.log");
    options.max_grid_bytes = row.max_grid_bytes;
    GridFigures figures;
    ASSERT_TRUE(
        ConvertXyzFile(xyz, PathIn("points.asc"), host, mdl, options, nullptr, &figures).ok());

    EXPECT_EQ(scan.error, figures.error);
    EXPECT_EQ(scan.error.empty(), mdl.bRunOk);
    EXPECT_EQ(scan.points, figures.points);
    if (figures.cells >= 0) {
      EXPECT_EQ(int64_t{scan.shape.ncols} * scan.shape.nrows, figures.cells);
    }
    std::filesystem::remove(PathIn("points.asc"));
    std::filesystem::remove(PathIn("x.log"));
  }
}

TEST_F(XyzScanTest, ExtentAndCellSizeOfALattice) {
  WriteFile(PathIn("p.xyz"), "5 10 1\r\n25 10 2\r\n45 10 3\r\n5 30 4\r\n25 30 5\r\n45 30 6\r\n");
  XyzScan scan = ScanXyzFile(PathIn("p.xyz"), " ", false, "");
  EXPECT_EQ(scan.error, "");
  EXPECT_EQ(scan.points, 6);
  EXPECT_EQ(scan.cell_size, 20.0f);
  EXPECT_FALSE(scan.cell_size_given);
  EXPECT_EQ(scan.min_x, 5);
  EXPECT_EQ(scan.max_x, 45);
  EXPECT_EQ(scan.min_y, 10);
  EXPECT_EQ(scan.max_y, 30);
  EXPECT_EQ(scan.shape.ncols, 3);
  EXPECT_EQ(scan.shape.nrows, 2);
}

}  // namespace
}  // namespace terravox
