// The GRID byte layout: block geometry, cell encoding, and a small grid checked byte by byte
// against the format's worked example (3 x 2 cells, cell size 10, corner (1000, 2000)).
#include "engine/grid_format.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

#include "support/temp_dir_test.h"

namespace terravox::engine {
namespace {

using terravox::testing::ReadFile;

uint32_t BigEndian32(const std::string& bytes, size_t offset) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<uint8_t>(bytes.at(offset + i));
  return v;
}

int32_t Int32At(const std::string& bytes, size_t offset) {
  return static_cast<int32_t>(BigEndian32(bytes, offset));
}

double DoubleAt(const std::string& bytes, size_t offset) {
  uint64_t v = (uint64_t{BigEndian32(bytes, offset)} << 32) | BigEndian32(bytes, offset + 4);
  return std::bit_cast<double>(v);
}

std::string Hex(const std::string& bytes, size_t offset, size_t n) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (size_t i = 0; i < n; ++i) {
    auto b = static_cast<uint8_t>(bytes.at(offset + i));
    if (i > 0) text += ' ';
    text += kDigits[b >> 4];
    text += kDigits[b & 15];
  }
  return text;
}

TEST(GridLayoutTest, OneTileThatGrowsWithTheRaster) {
  struct Case {
    int ncols, nrows;
    int used_cols, used_rows, bpr, bpc;
    int64_t data_bytes;
  };
  const Case cases[] = {
      {1, 1, 1, 1, 8, 512, 100 + 4098 + 7 * 2},
      {256, 4, 1, 1, 8, 512, 100 + 4098 + 7 * 2},
      {257, 5, 2, 2, 8, 512, 100 + 2 * (2 * 4098 + 6 * 2)},
      {1000, 700, 4, 175, 8, 512, 2870100},
      {1000, 701, 4, 176, 8, 512, 100 + 176 * (4 * 4098 + 4 * 2)},
      {2048, 2048, 8, 512, 8, 512, 100 + 512 * 8 * 4098},
      {2100, 3, 9, 1, 9, 512, 100 + 9 * 4098},
      {3, 2050, 1, 513, 8, 513, 100 + 513 * (4098 + 7 * 2)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.ncols) + " x " + std::to_string(c.nrows));
    GridGeometry g;
    g.ncols = c.ncols;
    g.nrows = c.nrows;
    GridLayout layout = LayoutFor(g);
    EXPECT_EQ(layout.used_block_cols, c.used_cols);
    EXPECT_EQ(layout.used_block_rows, c.used_rows);
    EXPECT_EQ(layout.blocks_per_row, c.bpr);
    EXPECT_EQ(layout.blocks_per_col, c.bpc);
    EXPECT_EQ(layout.IndexEntries(), int64_t{c.used_rows} * c.bpr);
    EXPECT_EQ(layout.DataFileBytes(), c.data_bytes);
  }
}

TEST(StoreCellsTest, NaNBecomesNoDataAndEverythingElseKeepsItsBits) {
  const float nan_payload = std::bit_cast<float>(0x7FC12345u);
  const float negative_nan = std::bit_cast<float>(0xFFC00000u);
  const float cells[] = {1.5f,
                         -0.0f,
                         FLT_MAX,
                         -FLT_MAX,
                         nan_payload,
                         negative_nan,
                         std::numeric_limits<float>::signaling_NaN(),
                         std::numeric_limits<float>::infinity()};
  const char* expected[] = {"3F C0 00 00", "80 00 00 00", "7F 7F FF FF", "FF 7F FF FF",
                            "FF 7F FF FF", "FF 7F FF FF", "FF 7F FF FF", "7F 80 00 00"};
  std::string out(sizeof cells, '\0');
  StoreCellsBigEndian(reinterpret_cast<uint8_t*>(out.data()), cells, std::size(cells));
  for (size_t i = 0; i < std::size(cells); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(Hex(out, 4 * i, 4), expected[i]);
  }
}

class GridFormatGoldenTest : public terravox::testing::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    GridGeometry g;
    g.ncols = 3;
    g.nrows = 2;
    g.west = 1000;
    g.south = 2000;
    g.cell_width = 10;
    g.cell_height = 10;
    const float cells[] = {1.5f, 2.25f, -3, 0, 1e-7f, 123456.789f};
    Status s = WriteGrid(PathIn("g"), g, cells);
    ASSERT_TRUE(s.ok()) << s.description();
  }
  std::string File(const std::string& name) const { return ReadFile(PathIn("g") + "/" + name); }
};

TEST_F(GridFormatGoldenTest, Header) {
  std::string hdr = File("hdr.adf");
  ASSERT_EQ(hdr.size(), 308u);
  EXPECT_EQ(hdr.substr(0, 8), std::string("GRID1.2\0", 8));
  EXPECT_EQ(Int32At(hdr, 16), 2);  // float cells
  EXPECT_EQ(Int32At(hdr, 20), 1);  // uncompressed
  EXPECT_EQ(DoubleAt(hdr, 256), 10.0);
  EXPECT_EQ(DoubleAt(hdr, 264), 10.0);
  EXPECT_EQ(DoubleAt(hdr, 272), -9240.0);
  EXPECT_EQ(DoubleAt(hdr, 280), -28700.0);
  EXPECT_EQ(Int32At(hdr, 288), 8);
  EXPECT_EQ(Int32At(hdr, 292), 512);
  EXPECT_EQ(Int32At(hdr, 296), 256);
  EXPECT_EQ(Int32At(hdr, 300), 1);
  EXPECT_EQ(Int32At(hdr, 304), 4);
}

TEST_F(GridFormatGoldenTest, BoundsAndStatistics) {
  std::string bounds = File("dblbnd.adf");
  ASSERT_EQ(bounds.size(), 32u);
  EXPECT_EQ(DoubleAt(bounds, 0), 1000.0);
  EXPECT_EQ(DoubleAt(bounds, 8), 2000.0);
  EXPECT_EQ(DoubleAt(bounds, 16), 1030.0);
  EXPECT_EQ(DoubleAt(bounds, 24), 2020.0);
  std::string sta = File("sta.adf");
  ASSERT_EQ(sta.size(), 32u);
  EXPECT_EQ(DoubleAt(sta, 0), -3.0);
  EXPECT_EQ(DoubleAt(sta, 8), 123456.7890625);
  EXPECT_DOUBLE_EQ(DoubleAt(sta, 16), 20576.256510433333);
  EXPECT_DOUBLE_EQ(DoubleAt(sta, 24), 46009.57289890192);
}

TEST_F(GridFormatGoldenTest, DataFile) {
  std::string data = File("w001001.adf");
  ASSERT_EQ(data.size(), 4212u);
  EXPECT_EQ(Hex(data, 0, 8), "00 00 27 0A FF FF FC 14");
  EXPECT_EQ(Int32At(data, 24), 2106);
  EXPECT_EQ(Hex(data, 100, 2), "08 00");
  EXPECT_EQ(Hex(data, 102, 12), "3F C0 00 00 40 10 00 00 C0 40 00 00");
  EXPECT_EQ(Hex(data, 102 + 1024, 12), "00 00 00 00 33 D6 BF 95 47 F1 20 65");
  int nodata_cells = 0;
  for (size_t i = 0; i < 1024; ++i) nodata_cells += BigEndian32(data, 102 + 4 * i) == 0xFF7FFFFF;
  EXPECT_EQ(nodata_cells, 1024 - 6);
  for (int k = 0; k < 7; ++k) EXPECT_EQ(Hex(data, 4198 + 2 * k, 2), "00 00") << "padding " << k;
}

TEST_F(GridFormatGoldenTest, IndexFile) {
  std::string index = File("w001001x.adf");
  ASSERT_EQ(index.size(), 164u);
  EXPECT_EQ(Hex(index, 0, 8), "00 00 27 0A FF FF FC 14");
  EXPECT_EQ(Int32At(index, 24), 82);
  const int32_t expected[8][2] = {{50, 2048}, {2099, 0}, {2100, 0}, {2101, 0},
                                  {2102, 0},  {2103, 0}, {2104, 0}, {2105, 0}};
  for (int k = 0; k < 8; ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(Int32At(index, 100 + 8 * k), expected[k][0]);
    EXPECT_EQ(Int32At(index, 104 + 8 * k), expected[k][1]);
  }
}

using GridFormatBlockTest = terravox::testing::TempDirTest;

TEST_F(GridFormatBlockTest, RowsBelowTheRasterHoldNoData) {
  // Six rows: the second block row holds rows 4 and 5; its last two rows lie outside the
  // raster, where the first block row's cells must not linger.
  GridGeometry g;
  g.ncols = 3;
  g.nrows = 6;
  g.cell_width = g.cell_height = 1;
  ASSERT_TRUE(WriteGrid(PathIn("g"), g, std::vector<float>(18, 5.0f)).ok());
  std::string data = ReadFile(PathIn("g") + "/w001001.adf");
  const size_t second_record = 100 + 4098 + 7 * 2;
  ASSERT_EQ(Hex(data, second_record, 2), "08 00");
  int nodata_cells = 0;
  for (size_t i = 0; i < 1024; ++i) {
    nodata_cells += BigEndian32(data, second_record + 2 + 4 * i) == 0xFF7FFFFF;
  }
  EXPECT_EQ(nodata_cells, 1024 - 6);
}

}  // namespace
}  // namespace terravox::engine
