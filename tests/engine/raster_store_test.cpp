// Raster::StoreRaster: an in-memory raster stored as a GRID that GDAL reads back unchanged.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/grid_readback.h"
#include "engine/raster.h"
#include "support/temp_dir_test.h"

namespace terravox::engine {
namespace {

using terravox::testing::RasterReadBack;
using terravox::testing::ReadRasterBack;
using RasterStoreTest = terravox::testing::TempDirTest;

Raster SmallRaster() {
  GridGeometry g;
  g.ncols = 3;
  g.nrows = 2;
  g.west = 10;
  g.south = 20;
  g.cell_width = g.cell_height = 0.5;
  return Raster(g, {1, 2, kGridFloatNoData, 4, -0.0f, 6});
}

TEST_F(RasterStoreTest, StoresAGridGdalReadsBack) {
  Raster raster = SmallRaster();
  Status s = raster.StoreRaster(PathIn("slope"), nullptr, "GRID");
  ASSERT_TRUE(s.ok()) << s.description();
  RasterReadBack back = ReadRasterBack(PathIn("slope"));
  ASSERT_EQ(back.error, "");
  EXPECT_EQ(back.ncols, 3);
  EXPECT_EQ(back.nrows, 2);
  EXPECT_EQ(back.geotransform[0], 10.0);
  EXPECT_EQ(back.geotransform[3], 21.0);
  EXPECT_EQ(back.geotransform[5], -0.5);
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(terravox::testing::Bits(back.cells[i]), terravox::testing::Bits(raster.cells()[i]))
        << i;
  }
}

TEST_F(RasterStoreTest, FailsWithoutWritingAnything) {
  MakeDir("taken");
  struct Case {
    const char* name;
    std::string path, format;
    Raster raster;
    std::string expected;
  };
  GridGeometry short_of_cells = SmallRaster().geometry();
  short_of_cells.nrows = 3;
  const Case cases[] = {
      {"other format", PathIn("a"), "TIFF", SmallRaster(),
       "Unknown raster format `TIFF': only GRID is written"},
      {"dataset exists", PathIn("taken"), "GRID", SmallRaster(),
       "A dataset already exists at " + PathIn("taken")},
      {"cells do not fill the grid", PathIn("b"), "GRID", Raster(short_of_cells, {1, 2, 3}),
       "The raster holds 3 cells, not 3 x 3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Status s = c.raster.StoreRaster(c.path, nullptr, c.format);
    ASSERT_FALSE(s.ok());
    EXPECT_EQ(s.description(), c.expected);
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir()),
                          std::filesystem::directory_iterator()),
            1);
  EXPECT_TRUE(std::filesystem::is_empty(PathIn("taken")));
}

}  // namespace
}  // namespace terravox::engine
