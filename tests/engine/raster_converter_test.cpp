// RasterConverter::ConvertRasterFile: an ASCII grid converted to a GRID must read back through
// GDAL exactly as GDAL reads the ASCII grid itself: size, georeferencing, coordinate system and
// every cell as float32, its no-data cells as the GRID's no-data. Whatever is no valid ESRI ASCII
// grid fails with a description and leaves no GRID.
#include <gtest/gtest.h>
#include <sys/stat.h>

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

TEST_F(RasterConverterTest, TextFileThatIsNoRasterFailsWithADescription) {
  std::string notes = PathIn("notes.txt");
  WriteFile(notes, "Survey notes: the tiles of block 7 are late.\r\n");
  Status s = Convert(notes, "notes");
  ASSERT_FALSE(s.ok());
  EXPECT_EQ(s.error().kind(), ErrorKind::kEngine);
  EXPECT_EQ(s.description(), "`" + notes +
                                 "', line 1: not an ESRI ASCII grid: the file begins with "
                                 "`Survey notes: the tiles of block 7 are l...'");
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

// Only ESRI ASCII grids are read, and by our own reader: a raster of another format, above all
// one that names other files (a VRT), never reaches a GDAL driver.
TEST_F(RasterConverterTest, RefusesEveryOtherFormat) {
  WriteFile(PathIn("secret.txt"), "SECRET");
  const std::string leak =
      "<VRTDataset rasterXSize=\"6\" rasterYSize=\"1\"><GeoTransform>0,1,0,1,0,-1</GeoTransform>"
      "<VRTRasterBand dataType=\"Byte\" band=\"1\" subClass=\"VRTRawRasterBand\">"
      "<SourceFilename relativetoVRT=\"1\">secret.txt</SourceFilename><ImageOffset>0</ImageOffset>"
      "<PixelOffset>1</PixelOffset><LineOffset>6</LineOffset></VRTRasterBand></VRTDataset>";
  // A GeoTIFF's first bytes: GDAL would read it, we do not.
  const std::string tiff("II*\0\x08\0\0\0", 8);
  struct Case {
    const char* name;
    std::string bytes;
    std::string expected_end;
  };
  const Case cases[] = {
      {"VRT named .asc", leak, "the file has no header"},
      {"GeoTIFF", tiff, "the file begins with `II*\\x00\\x08\\x00\\x00\\x00'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string input = PathIn("leak.asc");
    WriteFile(input, c.bytes);
    Status s = Convert(input, "leak");
    ASSERT_FALSE(s.ok());
    EXPECT_EQ(s.description(),
              "`" + input + "', line 1: not an ESRI ASCII grid: " + c.expected_end);
    EXPECT_TRUE(GridFolderEntries().empty());
  }
}

// Each way a cell can break the rules fails the conversion, even in the last row, and nothing
// is left under the GRID's name.
TEST_F(RasterConverterTest, BadCellsFailWithoutAGrid) {
  auto last_cell = [](const std::string& text) {
    return [text](int col, int row) { return col == 2 && row == 299 ? text : Decimal(col, row); };
  };
  struct Case {
    const char* name;
    std::function<std::string(int, int)> cell;
    std::string nodata;
    std::string expected_end;
  };
  const Case cases[] = {
      {"letter", last_cell("x"), "-9999", "line 306: row 300, column 3: `x' is not a number"},
      {"below the single range", last_cell("-1e39"), "-9999",
       "line 306: row 300, column 3: `-1e39' is beyond single precision"},
      {"empty cell", last_cell(""), "-9999", "line 306: row 300 has only 3 of 4 values (ncols)"},
      {"bad no-data value", Decimal, "abc", "line 6: `NODATA_value' is not a number: `abc'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string input = PathIn("dem.asc");
    WriteFile(input, AsciiGrid(4, 300, kCorner, 10, c.nodata, c.cell));
    Status s = Convert(input, "dem");
    ASSERT_FALSE(s.ok());
    EXPECT_EQ(s.description(), "`" + input + "', " + c.expected_end);
    EXPECT_TRUE(GridFolderEntries().empty());
  }
}

TEST_F(RasterConverterTest, LayoutsGdalAcceptsReadBackTheSame) {
  struct Case {
    const char* name;
    std::string text;
  };
  std::string rows = "1.5 2 -3\r\n4 5 6.25\r\n";
  const Case cases[] = {
      {"keys in upper case, LF line ends",
       "NCOLS 3\nNROWS 2\nXLLCENTER 10\nYLLCENTER 20\nCELLSIZE 0.5\nNODATA_VALUE -9999\n"
       "1.5 2 -3\n4 -9999 6.25\n"},
      {"dx and dy", "ncols 3\r\nnrows 2\r\nxllcorner 1\r\nyllcorner 2\r\ndx 2\r\ndy 4\r\n" + rows},
      {"rows over several lines",
       "ncols 3\nnrows 2\nxllcorner 1\nyllcorner 2\ncellsize 3\n1.5\n2 -3\n4 5\n6.25"},
      {"whole numbers only",
       "ncols 3\nnrows 2\nxllcorner 1\nyllcorner 2\ncellsize 3\n"
       "NODATA_value -32768\n1 -32768 3\n-4 5 32767\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string name = "g" + std::to_string(&c - cases);
    std::string ascii = PathIn(name + ".asc");
    WriteFile(ascii, c.text);
    Status s = Convert(ascii, name);
    ASSERT_TRUE(s.ok()) << s.description();
    ExpectSameRaster(ReadRasterBack(ascii), ReadRasterBack(PathIn("grids/" + name)));
  }
}

TEST_F(RasterConverterTest, SidecarInAnyCaseOrBrokenIsSeen) {
  const std::string wgs84 =
      "GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\","
      "SPHEROID[\"WGS_1984\",6378137.0,298.257223563]],PRIMEM[\"Greenwich\",0.0],"
      "UNIT[\"Degree\",0.0174532925199433]]";
  WriteFile(PathIn("a.asc"), AsciiGrid(2, 2, kCorner, 10, "-9999", Decimal));
  WriteFile(PathIn("a.Prj"), wgs84);
  ASSERT_TRUE(Convert(PathIn("a.asc"), "a").ok());
  RasterReadBack grid = ReadRasterBack(PathIn("grids/a"));
  ASSERT_EQ(grid.error, "");
  OGRSpatialReference expected;
  ASSERT_EQ(expected.importFromWkt(wgs84.c_str()), OGRERR_NONE);
  char* expected_wkt = nullptr;
  expected.exportToWkt(&expected_wkt);
  EXPECT_TRUE(terravox::testing::SameSrs(grid.srs_wkt, expected_wkt)) << grid.srs_wkt;
  CPLFree(expected_wkt);

  WriteFile(PathIn("b.asc"), AsciiGrid(2, 2, kCorner, 10, "-9999", Decimal));
  WriteFile(PathIn("b.prj"), "this is no coordinate system");
  Status s = Convert(PathIn("b.asc"), "b");
  ASSERT_FALSE(s.ok());
  EXPECT_EQ(s.description(), "The coordinate system file `" + PathIn("b.prj") +
                                 "' holds no coordinate system that can be read");
  EXPECT_FALSE(fs::exists(PathIn("grids/b")));
}

// A geographic sidecar in "Units DS" counts the header in arc seconds: GDAL scales the bounds to
// degrees, and the GRID keeps them so.
TEST_F(RasterConverterTest, ArcSecondSidecarGivesBoundsInDegrees) {
  WriteFile(PathIn("dem.asc"),
            AsciiGrid(4, 3, "xllcorner 36000\r\nyllcorner 7200", 30, "-9999", Decimal));
  WriteFile(PathIn("dem.prj"),
            "Projection GEOGRAPHIC\nDatum WGS84\nSpheroid WGS84\nUnits DS\nParameters\n");
  ASSERT_TRUE(Convert(PathIn("dem.asc"), "dem").ok());
  RasterReadBack grid = ReadRasterBack(PathIn("grids/dem"));
  ExpectSameRaster(ReadRasterBack(PathIn("dem.asc")), grid);
  EXPECT_DOUBLE_EQ(grid.geotransform[0], 10.0);
}

// A FIFO never blocks the conversion: neither as the grid nor as its sidecar.
TEST_F(RasterConverterTest, FifosAreRefusedWithoutWaiting) {
  ASSERT_EQ(::mkfifo(PathIn("pipe.asc").c_str(), 0600), 0);
  Status s = Convert(PathIn("pipe.asc"), "pipe");
  ASSERT_FALSE(s.ok());
  EXPECT_EQ(s.description(), "`" + PathIn("pipe.asc") + "' is not a regular file");

  WriteFile(PathIn("dem.asc"), AsciiGrid(2, 2, kCorner, 10, "-9999", Decimal));
  ASSERT_EQ(::mkfifo(PathIn("dem.prj").c_str(), 0600), 0);
  s = Convert(PathIn("dem.asc"), "dem");
  ASSERT_FALSE(s.ok());
  EXPECT_EQ(s.description(),
            "The coordinate system file `" + PathIn("dem.prj") + "' is not a regular file");
  EXPECT_TRUE(GridFolderEntries().empty());
}

}  // namespace
}  // namespace terravox::engine
