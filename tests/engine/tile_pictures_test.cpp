// Tile pictures read back through GDAL: their size, the figures made with them, and what they
// show of no-data and contour lines.
#include "engine/tile_pictures.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "engine/contour_maker.h"
#include "engine/gis_test_util.h"
#include "engine/held_grid.h"
#include "engine/picture_readback.h"
#include "engine/surface_analyser.h"
#include "support/temp_dir_test.h"

namespace terravox::engine {
namespace {

using testing::ReadGridBack;
using testing::ReadPicture;

class TilePicturesTest : public testing::TempDirTest {
 protected:
  // The slope GRID of the GRID at grid_path, as a run makes it.
  std::string MakeSlopeOf(const std::string& grid_path) {
    Result<Raster> slope = SurfaceAnalyser().MakeSlope(RasterDataset(grid_path), kSlopeDegrees);
    EXPECT_TRUE(slope.ok());
    const std::string path = grid_path + "_slope";
    EXPECT_TRUE(slope.ok() && slope->StoreRaster(path, nullptr, "GRID").ok());
    return path;
  }
};

TEST_F(TilePicturesTest, PicturesKeepTheGridShapeWithinTheirBounds) {
  struct Row {
    const char* name;
    int ncols, nrows;
    int width, height;
  };
  const Row rows[] = {
      {"large grid, shrunk", 1000, 600, 512, 307},
      {"middle grid, cell for pixel", 300, 200, 300, 200},
      {"small grid, enlarged", 60, 50, 128, 107},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string grid = PathIn(row.name);
    testing::MakePlaneGrid(grid, testing::SurfaceGeometry(row.ncols, row.nrows, 1, 1), 0.1, 0.05);
    Result<Quicklook> look =
        MakeTilePictures({grid, MakeSlopeOf(grid), ""}, grid + ".png", grid + ".slope.png");
    ASSERT_TRUE(look.ok()) << look.error().description();
    for (const std::string& path : {look->hillshade, look->slope}) {
      testing::PictureReadBack picture = ReadPicture(path);
      EXPECT_EQ(picture.width, row.width) << path;
      EXPECT_EQ(picture.height, row.height) << path;
    }
  }
}

// The lowest and highest cells that are not no-data.
std::pair<double, double> ValidRange(const std::vector<float>& cells) {
  std::vector<float> valid;
  std::copy_if(cells.begin(), cells.end(), std::back_inserter(valid),
               [](float z) { return z != kGridFloatNoData; });
  auto [low, high] = std::minmax_element(valid.begin(), valid.end());
  return {*low, *high};
}

TEST_F(TilePicturesTest, FiguresAndPicturesShowTheOutputs) {
  // A cone with a 16 x 16 hole of no-data in its north-west, on 2 m cells.
  std::vector<std::pair<int, int>> hole;
  for (int col = 8; col < 24; ++col) {
    for (int row = 8; row < 24; ++row) hole.emplace_back(col, row);
  }
  const std::string grid = PathIn("cone");
  const GridGeometry geometry = testing::SurfaceGeometry(128, 96, 2, 2, testing::UtmZone33Wkt());
  testing::MakeConeGrid(grid, geometry, 300, 0.5, hole);
  const std::string slope = MakeSlopeOf(grid);
  Result<ShapefileDataset> contours = MakeContourShapefile(RasterDataset(grid), dir(), 10, 0);
  ASSERT_TRUE(contours.ok());
  const std::string shp = contours->GetDatasetPath() + ".shp";

  Result<Quicklook> look = MakeTilePictures({grid, slope, shp}, PathIn("h.png"), PathIn("s.png"));
  ASSERT_TRUE(look.ok()) << look.error().description();

  EXPECT_EQ(look->west, 500000);
  EXPECT_EQ(look->east, 500256);
  EXPECT_EQ(look->south, 4000000);
  EXPECT_EQ(look->north, 4000192);
  EXPECT_NE(look->srs_name.find("UTM zone 33N"), std::string::npos) << look->srs_name;
  EXPECT_EQ(look->unit, "metre");
  const auto [z_min, z_max] = ValidRange(ReadGridBack(grid).cells);
  EXPECT_EQ(look->z_min, z_min);
  EXPECT_EQ(look->z_max, z_max);
  EXPECT_EQ(look->slope_max, ValidRange(ReadGridBack(slope).cells).second);
  EXPECT_EQ(look->contour_lines,
            static_cast<int64_t>(testing::ReadContourShapefile(shp).lines.size()));

  // A pixel to a cell: the hole spans pixels 8 .. 23 both ways.
  const testing::PictureReadBack shade = ReadPicture(look->hillshade);
  const testing::PictureReadBack steepness = ReadPicture(look->slope);
  ASSERT_EQ(shade.width, 128);
  EXPECT_EQ(shade.At(16, 16)[3], 0) << "no-data shows through";
  EXPECT_EQ(steepness.At(16, 16)[3], 0) << "no-data shows through";
  EXPECT_EQ(shade.At(64, 75)[3], 255);
  EXPECT_EQ(steepness.At(64, 75)[3], 255);
  int line_pixels = 0;
  for (int y = 0; y < shade.height; ++y) {
    for (int x = 0; x < shade.width; ++x) {
      const auto [r, g, b, a] = shade.At(x, y);
      line_pixels += r != g || g != b;  // the hillshade is grey, the lines are not
    }
  }
  EXPECT_GT(line_pixels, 100) << "the contour lines are drawn";
}

TEST_F(TilePicturesTest, CellsInMemoryGiveWhatTheFilesOnDiskGive) {
  // Shrunk to the picture and enlarged to it; holes of no-data, and the lowest cell the last one.
  for (const int ncols : {601, 31}) {
    SCOPED_TRACE(ncols);
    const std::string grid = PathIn("g" + std::to_string(ncols));
    testing::MakeSurfaceGrid(grid, testing::SurfaceGeometry(ncols, 7, 2, 2),
                             [](double x, double y) { return 100 + y - x / 10; }, {{0, 0}, {3, 2}});
    Result<Raster> slope = SurfaceAnalyser().MakeSlope(RasterDataset(grid), kSlopeDegrees);
    ASSERT_TRUE(slope.ok());
    ASSERT_TRUE(slope->StoreRaster(grid + "_slope", nullptr, "GRID").ok());
    const TileSources sources{grid, grid + "_slope", ""};

    Result<Quicklook> on_disk = MakeTilePictures(sources, PathIn("d.png"), PathIn("d.slope.png"));
    Result<Quicklook> in_memory =
        MakeTilePictures(sources, PathIn("m.png"), PathIn("m.slope.png"),
                         TileCells{HoldGrid(RasterDataset(grid), nullptr).held(), &*slope});

    ASSERT_TRUE(on_disk.ok() && in_memory.ok());
    const auto [z_min, z_max] = ValidRange(ReadGridBack(grid).cells);
    for (const Quicklook* look : {&*on_disk, &*in_memory}) {
      EXPECT_EQ(look->z_min, z_min);
      EXPECT_EQ(look->z_max, z_max);
      EXPECT_EQ(look->slope_max, ValidRange(slope->cells()).second);
    }
    EXPECT_EQ(testing::ReadFile(PathIn("m.png")), testing::ReadFile(PathIn("d.png")));
    EXPECT_EQ(testing::ReadFile(PathIn("m.slope.png")), testing::ReadFile(PathIn("d.slope.png")));
  }
}

}  // namespace
}  // namespace terravox::engine
