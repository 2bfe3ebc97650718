// HoldGrid: the cells an operation sees are the GRID's as GDAL reads them, or the cells handed on
// when they have the GRID's size; a held raster reports what the GRID reports.
#include "engine/held_grid.h"

#include <gdal_priv.h>
#include <gtest/gtest.h>

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/grid_folder.h"
#include "engine/raster_dataset.h"
#include "gis_test_util.h"
#include "support/temp_dir_test.h"

namespace terravox::engine {
namespace {

using ::terravox::testing::MakePlaneGrid;
using ::terravox::testing::ReadGridBack;
using ::terravox::testing::SurfaceGeometry;
using ::terravox::testing::TempDirTest;
using ::terravox::testing::UtmZone33Wkt;

class HeldGridTest : public TempDirTest {};

TEST_F(HeldGridTest, CellsAreTheHandedOnesOnlyWhenTheyFitTheGrid) {
  const std::string grid = PathIn("plane");
  MakePlaneGrid(grid, SurfaceGeometry(7, 5, 2.0, 2.0, UtmZone33Wkt()), 0.5, -1.25);
  const std::vector<float> on_disk = ReadGridBack(grid).cells;
  ASSERT_EQ(on_disk.size(), 35u);
  auto handed = [](int ncols, int nrows) {
    auto cells = std::make_shared<HandedCells>();
    cells->ncols = ncols;
    cells->nrows = nrows;
    cells->cells.assign(static_cast<size_t>(ncols) * nrows, 42.0f);
    return cells;
  };
  struct Row {
    const char* name;
    std::shared_ptr<const HandedCells> handed;
    bool takes_handed;
  } rows[] = {
      {"nothing handed on", nullptr, false},
      {"the grid's size", handed(7, 5), true},
      {"other columns", handed(5, 7), false},
      {"too few cells", handed(7, 4), false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const RasterDataset held = HoldGrid(RasterDataset(grid), row.handed);
    ASSERT_TRUE(held.held());
    const std::span<const float> cells = HeldCells(*held.held());
    const std::vector<float> seen(cells.begin(), cells.end());
    EXPECT_EQ(seen, row.takes_handed ? row.handed->cells : on_disk);

    // Every operation opens the held raster as it would open the GRID.
    Result<GDALDatasetUniquePtr> opened = OpenRaster(held);
    Result<GDALDatasetUniquePtr> original = OpenGridRaster(grid);
    ASSERT_TRUE(opened.ok() && original.ok());
    double held_transform[6], grid_transform[6];
    (*opened)->GetGeoTransform(held_transform);
    (*original)->GetGeoTransform(grid_transform);
    EXPECT_EQ(std::vector<double>(held_transform, held_transform + 6),
              std::vector<double>(grid_transform, grid_transform + 6));
    EXPECT_TRUE((*opened)->GetSpatialRef()->IsSame((*original)->GetSpatialRef()));
    int held_has = 0, grid_has = 0;
    EXPECT_EQ((*opened)->GetRasterBand(1)->GetNoDataValue(&held_has),
              (*original)->GetRasterBand(1)->GetNoDataValue(&grid_has));
    EXPECT_EQ(held_has, grid_has);
  }
}

TEST_F(HeldGridTest, AGridThatCannotBeOpenedIsLeftForTheOperationsToRead) {
  EXPECT_FALSE(HoldGrid(RasterDataset(PathIn("missing")), nullptr).held());
}

}  // namespace
}  // namespace terravox::engine
