// RasterConverter::ConvertRasterFile: an ASCII grid converted to a GRID must read back through
// GDAL exactly as GDAL reads the ASCII grid itself: size, georeferencing, coordinate system and
// every cell as float32, its no-data cells as the GRID's no-data.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "engine/gdal_scope.h"
#include "engine/grid_readback.h"
#include "engine/raster_converter.h"
#include "engine/workspace.h"
#include "engine/workspace_opener.h"
#include "support/temp_dir_test.h"

namespace terravox::engine {
namespace {

namespace fs = std::filesystem;
using terravox::testing::Bits;
using terravox::testing::RasterReadBack;
using terravox::testing::ReadRasterBack;
using terravox::testing::WriteFile;

// An ESRI ASCII grid; cell(col, row) gives each cell's text, row 0 the northernmost.
std::string AsciiGrid(int ncols, int nrows, const std::string& corner, double cellsize,
                      const std::string& nodata, const std::function<std::string(int, int)>& cell) {
  std::string text = "ncols " + std::to_string(ncols) + "\r\nnrows " + std::to_string(nrows) +
                     "\r\n" + corner + "\r\ncellsize " + std::to_string(cellsize) + "\r\n";
  if (!nodata.empty()) text += "NODATA_value " + nodata + "\r\n";
  for (int row = 0; row < nrows; ++row) {
    for (int col = 0; col < ncols; ++col) {
      text += cell(col, row);
      text += col + 1 < ncols ? " " : "\r\n";
    }
  }
  return text;
}

const std::string kCorner = "xllcorner 1000\r\nyllcorner 2000";

std::string Decimal(int col, int row) { return std::to_string(col * 0.25 - row * 1.5 + 0.1); }

class RasterConverterTest : public terravox::testing::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    MakeDir("grids");
    auto opened = WorkspaceOpener().OpenFolder(PathIn("grids"), 0);
    ASSERT_TRUE(opened.ok()) << opened.error().description();
    workspace_.emplace(std::move(*opened));
  }

  Status Convert(const std::string& input, const std::string& name,
                 const std::string& format = "GRID") {
    return RasterConverter().ConvertRasterFile(input, *workspace_, name, format, 0);
  }

  std::vector<std::string> GridFolderEntries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir() / "grids")) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }

  std::optional<Workspace> workspace_;
};

// GDAL's view of the ASCII grid and of our GRID agree on everything a user can see.
void ExpectSameRaster(const RasterReadBack& ascii, const RasterReadBack& grid) {
  ASSERT_EQ(ascii.error, "");
  ASSERT_EQ(grid.error, "");
  EXPECT_EQ(grid.driver, "AIG");
  ASSERT_EQ(grid.ncols, ascii.ncols);
  ASSERT_EQ(grid.nrows, ascii.nrows);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(grid.geotransform[i], ascii.geotransform[i]) << i;
  EXPECT_TRUE(grid.has_nodata);
  EXPECT_EQ(grid.nodata, kGridFloatNoData);
  int mismatches = 0;
  for (size_t i = 0; i < ascii.cells.size(); ++i) {
    bool ascii_nodata = ascii.has_nodata && ascii.cells[i] == static_cast<float>(ascii.nodata);
    float expected = ascii_nodata ? kGridFloatNoData : ascii.cells[i];
    if (Bits(grid.cells[i]) != Bits(expected) && ++mismatches <= 3) {
      ADD_FAILURE() << "cell " << i << ": " << grid.cells[i] << " instead of " << expected;
    }
  }
  EXPECT_EQ(mismatches, 0);
}

TEST_F(RasterConverterTest, GridReadsBackAsTheAsciiGrid) {
  struct Case {
    const char* name;
    int ncols, nrows;
    std::string corner;
    double cellsize;
    std::string nodata;
    std::function<std::string(int, int)> cell;
  };
  auto scattered = [](int col, int row) {
    return (col * 7 + row * 3) % 11 == 0 ? std::string("-9999") : Decimal(col, row);
  };
  const Case cases[] = {
      {"1 x 1", 1, 1, kCorner, 10, "-9999", Decimal},
      {"3 x 2", 3, 2, kCorner, 10, "-9999",
       [](int col, int row) {
         const char* cells[] = {"1.5", "2.25", "-3", "0", "1e-7", "123456.789"};
         return std::string(cells[row * 3 + col]);
       }},
      {"1000 x 700 with no-data", 1000, 700, kCorner, 10, "-9999", scattered},
      {"1000 x 701 with no-data", 1000, 701, kCorner, 10, "-9999", scattered},
      {"257 columns", 257, 5, kCorner, 10, "-9999", Decimal},
      {"more than 2048 columns", 2100, 3, kCorner, 10, "-9999", Decimal},
      {"more than 2048 rows", 3, 2050, kCorner, 10, "-9999", Decimal},
      {"all no-data", 4, 3, kCorner, 10, "-9999", [](int, int) { return std::string("-9999"); }},
      {"negative corner, cell size 0.1", 7, 6, "xllcorner -123.4\r\nyllcorner -45.6", 0.1, "-9999",
       Decimal},
      {"south edge far larger than the north edge", 3, 500, "xllcorner -10\r\nyllcorner -45.55",
       0.1, "-9999", Decimal},
      {"corner given as cell centre", 5, 4, "xllcenter 500000\r\nyllcenter 4649776", 2.5, "-9999",
       Decimal},
      {"integer values beyond float precision", 6, 3, kCorner, 1, "-9999",
       [](int col, int row) { return std::to_string(123456789 + col - 1000 * row); }},
      {"-0.0 and +FLT_MAX", 2, 1, kCorner, 1, "-9999",
       [](int col, int) { return std::string(col == 0 ? "-0.0" : "3.4028234663852886e+38"); }},
      {"no NODATA_value line", 3, 3, kCorner, 1, "", Decimal},
      {"float no-data with more digits than float32", 3, 2, kCorner, 1, "0.1",
       [](int col, int row) { return std::string(col == row ? "0.1" : "2.5"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string name = "g" + std::to_string(&c - cases);
    std::string ascii = PathIn(name + ".asc");
    WriteFile(ascii, AsciiGrid(c.ncols, c.nrows, c.corner, c.cellsize, c.nodata, c.cell));
    Status s = Convert(ascii, name);
    ASSERT_TRUE(s.ok()) << s.description();
    ExpectSameRaster(ReadRasterBack(ascii), ReadRasterBack(PathIn("grids/" + name)));
  }
}

TEST_F(RasterConverterTest, NoDataValueOfTheAsciiGridBecomesGridNoData) {
  std::string ascii = PathIn("dem.asc");
  WriteFile(ascii, AsciiGrid(3, 1, kCorner, 1, "-9999",
                             [](int col, int) { return std::string(col == 1 ? "-9999" : "5"); }));
  ASSERT_TRUE(Convert(ascii, "dem").ok());
  RasterReadBack grid = ReadRasterBack(PathIn("grids/dem"));
  ASSERT_EQ(grid.error, "");
  EXPECT_EQ(grid.cells[0], 5.0f);
  EXPECT_EQ(grid.cells[1], kGridFloatNoData);
  EXPECT_EQ(grid.min, 5.0);  // -9999 is not a value
}

TEST_F(RasterConverterTest, CoordinateSystemOfThePrjSidecarSurvives) {
  const std::string wgs84 =
      "GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\","
      "SPHEROID[\"WGS_1984\",6378137.0,298.257223563]],PRIMEM[\"Greenwich\",0.0],"
      "UNIT[\"Degree\",0.0174532925199433]]";
  struct Case {
    const char* name;
    std::string prj;
  };
  const Case cases[] = {
      {"projected, one line of ESRI WKT",
       "PROJCS[\"WGS_1984_UTM_Zone_33N\"," + wgs84 +
           ",PROJECTION[\"Transverse_Mercator\"],"
           "PARAMETER[\"False_Easting\",500000.0],PARAMETER[\"False_Northing\",0.0],"
           "PARAMETER[\"Central_Meridian\",15.0],PARAMETER[\"Scale_Factor\",0.9996],"
           "PARAMETER[\"Latitude_Of_Origin\",0.0],UNIT[\"Meter\",1.0]]"},
      {"geographic", wgs84},
      {"keyword form",
       "Projection    UTM\r\nZone          33\r\nDatum         WGS84\r\nSpheroid      WGS84\r\n"
       "Units         METERS\r\nZunits        NO\r\nXshift        0.0\r\nYshift        0.0\r\n"
       "Parameters\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string name = "dem" + std::to_string(&c - cases);
    WriteFile(PathIn(name + ".asc"), AsciiGrid(4, 3, kCorner, 10, "-9999", Decimal));
    WriteFile(PathIn(name + ".prj"), c.prj);
    ASSERT_TRUE(Convert(PathIn(name + ".asc"), name).ok());
    RasterReadBack ascii = ReadRasterBack(PathIn(name + ".asc"));
    RasterReadBack grid = ReadRasterBack(PathIn("grids/" + name));
    ASSERT_EQ(grid.error, "");
    ASSERT_NE(ascii.srs_wkt, "");
    EXPECT_TRUE(terravox::testing::SameSrs(grid.srs_wkt, ascii.srs_wkt)) << grid.srs_wkt;
  }
}

TEST_F(RasterConverterTest, WithoutSidecarTheGridHasNoCoordinateSystem) {
  WriteFile(PathIn("dem.asc"), AsciiGrid(2, 2, kCorner, 10, "-9999", Decimal));
  ASSERT_TRUE(Convert(PathIn("dem.asc"), "dem").ok());
  EXPECT_FALSE(fs::exists(PathIn("grids/dem/prj.adf")));
}

TEST_F(RasterConverterTest, TextFileThatIsNoRasterFailsWithGdalsMessage) {
  std::string notes = PathIn("notes.txt");
  WriteFile(notes, "Survey notes: the tiles of block 7 are late.\r\n");
  Status s = Convert(notes, "notes");
  ASSERT_FALSE(s.ok());
  EXPECT_EQ(s.error().kind(), ErrorKind::kEngine);
  EXPECT_EQ(s.description(), "`" + notes + "' not recognized as a supported file format.");
  EXPECT_TRUE(GridFolderEntries().empty());
}

TEST_F(RasterConverterTest, MissingInputFails) {
  Status s = Convert(PathIn("gone.asc"), "gone");
  ASSERT_FALSE(s.ok());
  EXPECT_NE(s.description(), "");
  EXPECT_TRUE(GridFolderEntries().empty());
}

TEST_F(RasterConverterTest, DatasetOfThatNameExists) {
  WriteFile(PathIn("dem.asc"), AsciiGrid(2, 2, kCorner, 10, "-9999", Decimal));
  MakeDir("grids/dem");
  WriteFile(PathIn("grids/dem/keep"), "theirs");
  Status s = Convert(PathIn("dem.asc"), "dem");
  ASSERT_FALSE(s.ok());
  EXPECT_EQ(s.description(), "A dataset already exists at " + PathIn("grids/dem"));
  EXPECT_EQ(GridFolderEntries(), std::vector<std::string>{"dem"});
  EXPECT_EQ(terravox::testing::ReadFile(PathIn("grids/dem/keep")), "theirs");
}

TEST_F(RasterConverterTest, RejectsUnknownFormatsAndNames) {
  WriteFile(PathIn("dem.asc"), AsciiGrid(2, 2, kCorner, 10, "-9999", Decimal));
  struct Case {
    const char* name;
    std::string grid_name, format, expected;
  };
  const Case cases[] = {
      {"other format", "dem", "TIFF", "Unknown raster format `TIFF': only GRID is written"},
      {"format in lower case", "dem", "grid", "Unknown raster format `grid': only GRID is written"},
      {"empty name", "", "GRID", "Not a valid raster name: `'"},
      {"name with a separator", "a/dem", "GRID", "Not a valid raster name: `a/dem'"},
      {"parent folder", "..", "GRID", "Not a valid raster name: `..'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Status s = Convert(PathIn("dem.asc"), c.grid_name, c.format);
    ASSERT_FALSE(s.ok());
    EXPECT_EQ(s.description(), c.expected);
  }
  EXPECT_TRUE(GridFolderEntries().empty());
}

TEST_F(RasterConverterTest, RefusesRastersAGridCannotHold) {
  EnsureGdalRegistered();
  if (GetGDALDriverManager()->GetDriverByName("VRT") == nullptr) {
    GTEST_SKIP() << "the program runs GDAL without its VRT driver, so VRT inputs cannot be made";
  }
  // VRT rasters with no sources read as zeros: only their georeferencing matters here.
  auto vrt = [](const std::string& geotransform) {
    return "<VRTDataset rasterXSize=\"2\" rasterYSize=\"2\">" + geotransform +
           "<VRTRasterBand dataType=\"Float32\" band=\"1\"/></VRTDataset>";
  };
  struct Case {
    const char* name;
    std::string text;
    std::string expected_part;
  };
  const Case cases[] = {
      {"rotated", vrt("<GeoTransform>0, 1, 0.5, 10, 0.2, -1</GeoTransform>"), "is rotated"},
      {"south-up", vrt("<GeoTransform>0, 1, 0, 0, 0, 1</GeoTransform>"), "north to south"},
      {"east-to-west", vrt("<GeoTransform>0, -1, 0, 10, 0, -1</GeoTransform>"), "west to east"},
      {"no georeferencing", vrt(""), "has no georeferencing"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string input = PathIn(std::string(c.name) + ".vrt");
    WriteFile(input, c.text);
    Status s = Convert(input, "out");
    ASSERT_FALSE(s.ok());
    EXPECT_NE(s.description().find(c.expected_part), std::string::npos) << s.description();
    EXPECT_TRUE(GridFolderEntries().empty());
  }
}

}  // namespace
}  // namespace terravox::engine
