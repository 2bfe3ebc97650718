// AsciiGridReader: what a strict reader of ESRI ASCII grids accepts, what it refuses and with
// which description, and how it types cells against the no-data value as GDAL's reader did.
#include "engine/ascii_grid_reader.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "support/temp_dir_test.h"

namespace terravox::engine {
namespace {

constexpr float kMarker = -std::numeric_limits<float>::max();
const std::string kHeader = "ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\n";

// Every cell of the text, rows north to south, or the first failure's description.
struct Read {
  std::string error;
  std::vector<float> cells;
};

Read ReadAll(const std::string& text, size_t chunk_size = AsciiGridReader::kChunkSize) {
  Read read;
  auto reader = AsciiGridReader::FromText(text, "g.asc", chunk_size);
  if (!reader.ok()) {
    read.error = reader.error().description();
    return read;
  }
  const AsciiGridHeader& h = (*reader)->header();
  std::vector<float> row(static_cast<size_t>(h.ncols));
  for (int r = 0; r < h.nrows; ++r) {
    if (Status s = (*reader)->ReadRow(row, kMarker); !s.ok()) {
      read.error = s.description();
      return read;
    }
    read.cells.insert(read.cells.end(), row.begin(), row.end());
  }
  if (Status s = (*reader)->Finish(); !s.ok()) read.error = s.description();
  return read;
}

float Single(double value) { return static_cast<float>(value); }

uint32_t Bits(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

TEST(AsciiGridReaderTest, RefusesBrokenFilesWithADescription) {
  struct Case {
    const char* name;
    std::string text;
    std::string expected;
  };
  const Case cases[] = {
      // The header.
      {"empty file", "", "`g.asc', line 1: not an ESRI ASCII grid: the file has no header"},
      {"no header", "1 2 3\n", "`g.asc', line 1: not an ESRI ASCII grid: the file has no header"},
      {"another format", "<VRTDataset rasterXSize=\"7\"/>\n",
       "`g.asc', line 1: not an ESRI ASCII grid: the file has no header"},
      {"prose", "Survey notes: late\n",
       "`g.asc', line 1: not an ESRI ASCII grid: the file begins with `Survey notes: late'"},
      {"unknown key", "ncols 3\nnrows 2\nbyteorder lsb\n",
       "`g.asc', line 3: `byteorder' is neither a header key nor a number"},
      {"key without value", "ncols\n", "`g.asc', line 1: `ncols' takes one value: `ncols'"},
      {"two values", "ncols 3 4\n", "`g.asc', line 1: `ncols' takes one value: `ncols 3 4'"},
      {"key twice", "ncols 3\nNCOLS 3\n",
       "`g.asc', line 2: `ncols' is given a second time (first on line 1)"},
      {"no nrows", "ncols 3\nxllcorner 0\nyllcorner 0\ncellsize 1\n1 2 3\n",
       "`g.asc', line 5: the header has no `nrows' line"},
      {"ncols not whole", "ncols 2.5\nnrows 2\n",
       "`g.asc', line 1: `ncols' must be a whole number from 1 to 10000000, not `2.5'"},
      {"ncols zero", "ncols 0\nnrows 2\n",
       "`g.asc', line 1: `ncols' must be a whole number from 1 to 10000000, not `0'"},
      {"nrows too large", "ncols 1\nnrows 10000001\n",
       "`g.asc', line 2: `nrows' must be a whole number from 1 to 10000000, not `10000001'"},
      {"nrows beyond the exponent's range", "ncols 1\nnrows 1e99999999999999999999\n",
       "`g.asc', line 2: `nrows' must be a whole number from 1 to 10000000, not "
       "`1e99999999999999999999'"},
      {"no cell size", "ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\n1 2 3\n",
       "`g.asc', line 5: the header has no `cellsize' line (nor both `dx' and `dy')"},
      {"dx without dy", "ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\ndx 1\n1 2 3\n",
       "`g.asc', line 6: the header has no `cellsize' line (nor both `dx' and `dy')"},
      {"cellsize and dx", "ncols 3\nnrows 2\ncellsize 1\ndx 1\ndy 1\n",
       "`g.asc', line 3: the header gives both `cellsize' and `dx' or `dy'"},
      {"negative cell size", "ncols 3\nnrows 2\ncellsize -1\n",
       "`g.asc', line 3: `cellsize' must be a number greater than 0, not `-1'"},
      {"cell size with a comma", "ncols 3\nnrows 2\ncellsize 0,5\n",
       "`g.asc', line 3: `cellsize' must be a number greater than 0, not `0,5'"},
      {"corner and centre mixed", "ncols 3\nnrows 2\nxllcorner 0\nyllcenter 0\ncellsize 1\n",
       "`g.asc', line 6: the header must give `xllcorner' and `yllcorner', or `xllcenter' and "
       "`yllcenter'"},
      {"no position", "ncols 3\nnrows 2\ncellsize 1\n1 2 3\n",
       "`g.asc', line 4: the header must give `xllcorner' and `yllcorner', or `xllcenter' and "
       "`yllcenter'"},
      {"corner not a number", "ncols 3\nnrows 2\nxllcorner east\nyllcorner 0\ncellsize 1\n",
       "`g.asc', line 3: `xllcorner' is not a number: `east'"},
      {"no-data not a number", kHeader + "NODATA_value abc\n1 2 3\n4 5 6\n",
       "`g.asc', line 6: `NODATA_value' is not a number: `abc'"},
      {"no-data beyond double", kHeader + "NODATA_value -1e400\n1 2 3\n4 5 6\n",
       "`g.asc', line 6: `NODATA_value' is not a number: `-1e400'"},
      {"control characters are escaped", "ncols\x1b[2J 3\n",
       "`g.asc', line 1: not an ESRI ASCII grid: the file begins with `ncols\\x1B[2J 3'"},
      // The cells.
      {"cell not a number", kHeader + "1 x 3\n4 5 6\n",
       "`g.asc', line 6: row 1, column 2: `x' is not a number"},
      {"cell with a letter first", kHeader + "1 2 3\nnan 5 6\n",
       "`g.asc', line 7: row 2, column 1: `nan' is not a number"},
      {"cell with a decimal comma", kHeader + "1 2 3\n4 5,5 6\n",
       "`g.asc', line 7: row 2, column 2: `5,5' is not a number"},
      {"hex cell", kHeader + "1 2 0x1F\n4 5 6\n",
       "`g.asc', line 6: row 1, column 3: `0x1F' is not a number"},
      {"cell below single precision's range", kHeader + "1 -1e39 3\n4 5 6\n",
       "`g.asc', line 6: row 1, column 2: `-1e39' is beyond single precision"},
      {"cell beyond double", kHeader + "1 2 3\n4 5 1e400\n",
       "`g.asc', line 7: row 2, column 3: `1e400' is beyond single precision"},
      {"huge exponent", kHeader + "1 2 3\n4 5 10e99999999999999999999\n",
       "`g.asc', line 7: row 2, column 3: `10e99999999999999999999' is beyond single precision"},
      {"short row", kHeader + "1 2\n4 5 6\n",
       "`g.asc', line 7: row 1 has more than 3 values (ncols); the row begins on line 6"},
      {"long row", kHeader + "1 2 3 4\n5 6 7\n",
       "`g.asc', line 6: row 1 has more than 3 values (ncols)"},
      {"last row short", kHeader + "1 2 3\n4 5\n",
       "`g.asc', line 7: row 2 has only 2 of 3 values (ncols)"},
      {"rows missing", kHeader + "1 2 3\n",
       "`g.asc', line 7: the file ends after 1 of 2 rows (nrows)"},
      {"header only", kHeader, "`g.asc', line 6: the file ends after 0 of 2 rows (nrows)"},
      {"extra row", kHeader + "1 2 3\n4 5 6\n7 8 9\n",
       "`g.asc', line 8: a value follows the last row (nrows 2): `7'"},
      {"NUL in a cell", kHeader + "1 2 3\n4 5" + std::string(1, '\0') + " 6\n",
       "`g.asc', line 7: row 2, column 2: `5\\x00' is not a number"},
      {"endless token", kHeader + "1 2 " + std::string(5000, '7'),
       "`g.asc', line 6: row 1: a value longer than 1000 characters"},
      {"cell that single precision holds as 0", kHeader + "1 2.3e-308 3\n4 5 6\n",
       "`g.asc', line 6: row 1, column 2: `2.3e-308' is too small for single precision, which "
       "would hold it as 0"},
      {"cell that even double holds as 0", kHeader + "1 2 3\n4 -1e-400 6\n",
       "`g.asc', line 7: row 2, column 2: `-1e-400' is too small for single precision, which "
       "would hold it as 0"},
      {"cell equal to the output's no-data marker", kHeader + "1 2 3\n4 -3.4028235e38 6\n",
       "`g.asc', line 7: row 2, column 2: `-3.4028235e38' equals the no-data marker of the "
       "output, so it would turn into no-data; the grid's NODATA_value is -9999"},
      {"blanks past the longest row line", kHeader + "1 2 3" + std::string(1400, ' ') + "\n",
       "`g.asc', line 6: a line longer than 1300 characters, the most a row of 3 values (ncols) "
       "may take"},
      {"blanks past the longest header line", "ncols 3\n" + std::string(1001, '\t') + "\n",
       "`g.asc', line 2: a header line longer than 1000 characters"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ReadAll(c.text).error, c.expected);
  }
}

TEST(AsciiGridReaderTest, ReadsEveryLayoutOfTheSameGrid) {
  const std::vector<float> expected = {1, 2.5f, -3, 4, 5, 6};
  struct Case {
    const char* name;
    std::string text;
  };
  const Case cases[] = {
      {"LF", kHeader + "1 2.5 -3\n4 5 6\n"},
      {"CR LF",
       "ncols 3\r\nnrows 2\r\nxllcorner 0\r\nyllcorner 0\r\ncellsize 1\r\n"
       "1 2.5 -3\r\n4 5 6\r\n"},
      {"lone CR", "ncols 3\rnrows 2\rxllcorner 0\ryllcorner 0\rcellsize 1\r1 2.5 -3\r4 5 6\r"},
      {"no final line end", kHeader + "1 2.5 -3\n4 5 6"},
      {"keys in any case and order",
       "CELLSIZE 1\nYllCorner 0\nNROWS 2\nxllCORNER 0\nNCols 3\n1 2.5 -3\n4 5 6\n"},
      {"blanks, tabs and empty lines",
       "\n  ncols\t3 \n\nnrows 2\nxllcorner 0\nyllcorner 0\n"
       "cellsize 1\n\n \t1   2.5\t-3  \n\n\n4 5 6 \n\n \n"},
      {"rows over several lines", kHeader + "1\n2.5 -3\n4 5\n\n6\n"},
      {"signs, leading zeros, exponents", kHeader + "+1 0.25e1 -3.0\n004 5e0 .6E1\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Read read = ReadAll(c.text);
    ASSERT_EQ(read.error, "");
    EXPECT_EQ(read.cells, expected);
  }
}

TEST(AsciiGridReaderTest, GeoTransformFollowsCornerOrCentre) {
  struct Case {
    const char* name;
    std::string header;
    std::array<double, 6> expected;
  };
  const Case cases[] = {
      {"corner",
       "ncols 4\nnrows 3\nxllcorner 100\nyllcorner 200\ncellsize 10\n",
       {100, 10, 0, 230, 0, -10}},
      {"centre",
       "ncols 4\nnrows 3\nxllcenter 100\nyllcenter 200\ncellsize 10\n",
       {95, 10, 0, 225, 0, -10}},
      {"dx and dy",
       "ncols 4\nnrows 3\nxllcorner 100\nyllcorner 200\ndx 2\ndy 5\n",
       {100, 2, 0, 215, 0, -5}},
      // A whole-globe grid whose cell size lost its last digits spans exactly 360 degrees.
      {"whole globe",
       "ncols 360\nnrows 3\nxllcorner -180\nyllcorner -1.5\ncellsize 1.0000000001\n",
       {-180, 1, 0, 1.5, 0, -1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto reader = AsciiGridReader::FromText(c.header + "1\n", "g.asc");
    ASSERT_TRUE(reader.ok()) << reader.error().description();
    EXPECT_EQ((*reader)->GeoTransform(), c.expected);
  }
}

// The no-data value is compared in the type GDAL's reader gave the band: whole numbers as they
// are, single precision when a point or exponent appears anywhere, double for a no-data value
// beyond single precision. The GRIDs of valid grids stay what they were.
TEST(AsciiGridReaderTest, NoDataIsComparedInTheBandsType) {
  struct Case {
    const char* name;
    std::string nodata;
    std::string row;
    std::vector<float> expected;
  };
  const float m = kMarker;
  const Case cases[] = {
      {"whole numbers", "-9999", "-9999 5 -9998", {m, 5, -9998}},
      {"whole no-data, decimal cells", "-9999", "-9999 -9999.0 -9999.0001", {m, m, m}},
      {"decimal no-data", "-9999.0", "-9999 1.5 -9998.99", {m, 1.5f, -9998.99f}},
      {"whole numbers beyond single precision",
       "16777217",
       "16777217 16777219 1",
       {m, 16777220.0f, 1}},
      {"same, with a decimal cell",
       "16777217",
       "16777217 16777219 1.5",
       {16777216.0f, 16777220.0f, 1.5f}},
      {"zero with a point is compared in double", "0.0", "0 -0 1e-40", {m, m, Single(1e-40)}},
      {"no-data beyond single precision", "-1e300", "-1e300 2.5 -1e300", {m, 2.5f, m}},
      {"no NODATA_value line: -9999", "", "-9999 5 -9999.5", {m, 5, -9999.5f}},
      {"no-data at the single range's end",
       "-3.4028234663852886e+38",
       "-3.4028234663852886e+38 -3.4028235e38 7",
       {m, m, 7}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string text = "ncols 3\nnrows 1\nxllcorner 0\nyllcorner 0\ncellsize 1\n" +
                       (c.nodata.empty() ? "" : "NODATA_value " + c.nodata + "\n") + c.row + "\n";
    Read read = ReadAll(text);
    ASSERT_EQ(read.error, "");
    ASSERT_EQ(read.cells.size(), c.expected.size());
    for (size_t i = 0; i < c.expected.size(); ++i) {
      EXPECT_EQ(Bits(read.cells[i]), Bits(c.expected[i])) << i << ": " << read.cells[i];
    }
  }
}

TEST(AsciiGridReaderTest, NegativeZeroSurvivesOnlyInDecimalGrids) {
  const std::string header = "ncols 2\nnrows 1\nxllcorner 0\nyllcorner 0\ncellsize 1\n";
  Read whole = ReadAll(header + "-0 1\n");
  ASSERT_EQ(whole.error, "");
  EXPECT_EQ(Bits(whole.cells[0]), Bits(0.0f));
  Read decimal = ReadAll(header + "-0 1.5\n");
  ASSERT_EQ(decimal.error, "");
  EXPECT_EQ(Bits(decimal.cells[0]), Bits(-0.0f));
}

TEST(AsciiGridReaderTest, ZeroStaysZeroAndSubnormalSinglesStay) {
  Read read =
      ReadAll("ncols 3\nnrows 1\nxllcorner 0\nyllcorner 0\ncellsize 1\n0e-999 -0.0 1e-40\n");
  ASSERT_EQ(read.error, "");
  EXPECT_EQ(Bits(read.cells[0]), Bits(0.0f));
  EXPECT_EQ(Bits(read.cells[1]), Bits(-0.0f));
  EXPECT_EQ(Bits(read.cells[2]), Bits(Single(1e-40)));
}

// Line ends, values and over-long values met at every offset of a chunk's edge read as in one
// chunk.
TEST(AsciiGridReaderTest, ChunkEdgesChangeNothing) {
  std::string text = "ncols 7\r\nnrows 40\r\nxllcorner 0\r\nyllcorner 0\r\ncellsize 1\r\n";
  for (int r = 0; r < 40; ++r) {
    for (int c = 0; c < 7; ++c) text += std::to_string(r * 1000.125 + c * 3.5) + (c < 6 ? " " : "");
    text += r % 3 == 0 ? "\r\n" : r % 3 == 1 ? "\r" : "\n";
  }
  Read whole = ReadAll(text);
  ASSERT_EQ(whole.error, "");
  for (size_t pad = 0; pad < 60; ++pad) {
    SCOPED_TRACE(pad);
    // Blanks after the header shift every later byte against the chunk's edge.
    std::string shifted = text;
    shifted.insert(shifted.find("cellsize 1\r\n") + 10, std::string(pad, ' '));
    Read small = ReadAll(shifted, AsciiGridReader::kMinChunkSize);
    ASSERT_EQ(small.error, "");
    EXPECT_EQ(small.cells, whole.cells);
    std::string long_value = shifted + std::string(1500, '9');
    EXPECT_EQ(ReadAll(long_value, AsciiGridReader::kMinChunkSize).error,
              "`g.asc', line 46: a value follows the last row (nrows 40): `" +
                  std::string(40, '9') + "...'");
  }
}

class AsciiGridFileTest : public terravox::testing::TempDirTest {};

TEST_F(AsciiGridFileTest, ReadsRowsLongerThanOneBuffer) {
  // Rows wider than the reader's chunk, so tokens and line ends straddle refills.
  const int ncols = 150000;
  std::string text = "ncols " + std::to_string(ncols) +
                     "\r\nnrows 3\r\nxllcorner 0\r\nyllcorner 0\r\ncellsize 1\r\n";
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < ncols; ++c) text += std::to_string(c % 1000 + r) + ".25 ";
    text += "\r\n";
  }
  std::string path = PathIn("wide.asc");
  terravox::testing::WriteFile(path, text);
  auto reader = AsciiGridReader::Open(path);
  ASSERT_TRUE(reader.ok()) << reader.error().description();
  std::vector<float> row(ncols);
  for (int r = 0; r < 3; ++r) {
    ASSERT_TRUE((*reader)->ReadRow(row, kMarker).ok());
    for (int c = 0; c < ncols; c += 9973) EXPECT_EQ(row[c], c % 1000 + r + 0.25f);
  }
  EXPECT_TRUE((*reader)->Finish().ok());
}

TEST_F(AsciiGridFileTest, RefusesWhatIsNoRegularFile) {
  MakeDir("folder.asc");
  auto folder = AsciiGridReader::Open(PathIn("folder.asc"));
  ASSERT_FALSE(folder.ok());
  EXPECT_EQ(folder.error().description(), "`" + PathIn("folder.asc") + "' is not a regular file");
  auto missing = AsciiGridReader::Open(PathIn("gone.asc"));
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ(missing.error().kind(), ErrorKind::kFileNotFound);
}

}  // namespace
}  // namespace terravox::engine
