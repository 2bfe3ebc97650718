// FloatCellsDataset: GDAL reads our cells where they lie, row by row from the north, without a
// copy taken when the dataset is made.
#include "engine/float_cells_dataset.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/gdal_scope.h"

namespace terravox::engine {
namespace {

TEST(FloatCellsDatasetTest, GdalReadsTheCellsInPlace) {
  EnsureGdalRegistered();
  std::vector<float> cells = {1, 2, 3, 4, 5, 6};  // 3 columns, 2 rows
  Result<GDALDatasetUniquePtr> dataset = FloatCellsDataset(cells.data(), 3, 2, "unused");
  ASSERT_TRUE(dataset.ok()) << dataset.error().description();
  ASSERT_EQ((*dataset)->GetRasterXSize(), 3);
  ASSERT_EQ((*dataset)->GetRasterYSize(), 2);
  // A change made after the dataset was made shows through it: nothing was copied.
  cells[4] = 50;
  float south_row[3] = {};
  ASSERT_EQ((*dataset)->GetRasterBand(1)->RasterIO(GF_Read, 0, 1, 3, 1, south_row, 3, 1,
                                                   GDT_Float32, 0, 0, nullptr),
            CE_None);
  EXPECT_EQ(south_row[0], 4);
  EXPECT_EQ(south_row[1], 50);
  EXPECT_EQ(south_row[2], 6);
}

}  // namespace
}  // namespace terravox::engine
