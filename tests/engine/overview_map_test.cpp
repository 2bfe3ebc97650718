// The overview map read back through GDAL: tiles land at the pixels their extents give.
#include "engine/overview_map.h"

#include <gtest/gtest.h>

#include <array>

#include "engine/gis_test_util.h"
#include "engine/picture_readback.h"
#include "support/temp_dir_test.h"

namespace terravox::engine {
namespace {

using Colour = std::array<int, 4>;

class OverviewMapTest : public testing::TempDirTest {
 protected:
  // A 100 x 100 RGB PNG of one colour.
  std::string SolidPicture(const std::string& name, Colour colour) {
    GDALAllRegister();
    GDALDatasetUniquePtr mem(
        GetGDALDriverManager()->GetDriverByName("MEM")->Create("", 100, 100, 3, GDT_Byte, nullptr));
    for (int b = 0; b < 3; ++b) mem->GetRasterBand(b + 1)->Fill(colour[b]);
    const std::string path = PathIn(name + ".png");
    GDALDatasetUniquePtr png(GetGDALDriverManager()->GetDriverByName("PNG")->CreateCopy(
        path.c_str(), mem.get(), FALSE, nullptr, nullptr, nullptr));
    EXPECT_TRUE(png);
    return path;
  }
};

TEST_F(OverviewMapTest, TilesInATwoByTwoLayoutWithGapsLandWhereTheirExtentsSay) {
  // 100 x 100 tiles at the corners of a 250 x 250 square: gaps of 50 between them.
  struct Placed {
    double west, south;
    Colour colour;
  };
  const Placed placed[] = {{0, 150, {200, 0, 0, 255}},
                           {150, 150, {0, 200, 0, 255}},
                           {0, 0, {0, 0, 200, 255}},
                           {150, 0, {200, 200, 0, 255}}};
  std::vector<OverviewTile> tiles;
  for (const Placed& p : placed) {
    tiles.push_back({p.west, p.south, p.west + 100, p.south + 100,
                     SolidPicture(std::to_string(tiles.size()), p.colour), false});
  }
  const Colour kBackground = {255, 255, 255, 255};
  // The pictures' own pixel size is 1; a smaller limit coarsens the whole map.
  for (const int max_side : {250, 125}) {
    SCOPED_TRACE(max_side);
    const int scale = 250 / max_side;
    const std::string path = PathIn("overview-" + std::to_string(max_side) + ".png");
    Result<OverviewLayout> layout = WriteOverviewMap(tiles, path, max_side);
    ASSERT_TRUE(layout.ok()) << layout.error().description();
    const testing::PictureReadBack map = testing::ReadPicture(path);
    ASSERT_EQ(map.width, max_side);
    ASSERT_EQ(map.height, max_side);
    for (size_t i = 0; i < tiles.size(); ++i) {
      SCOPED_TRACE(i);
      const int left = static_cast<int>(placed[i].west) / scale;
      const int top = static_cast<int>(250 - placed[i].south - 100) / scale;
      const int right = left + 100 / scale;
      const int bottom = top + 100 / scale;
      const PixelBox& box = layout->boxes[i];
      EXPECT_EQ((std::array{box.left, box.top, box.right, box.bottom}),
                (std::array{left, top, right, bottom}));
      EXPECT_EQ(map.At(left, top), placed[i].colour);
      EXPECT_EQ(map.At(right - 1, bottom - 1), placed[i].colour);
      // The gap beside the tile, across and down, is empty.
      const int gap_x = left == 0 ? right : left - 1;
      const int gap_y = top == 0 ? bottom : top - 1;
      EXPECT_EQ(map.At(gap_x, top), kBackground);
      EXPECT_EQ(map.At(left, gap_y), kBackground);
    }
  }
}

}  // namespace
}  // namespace terravox::engine
