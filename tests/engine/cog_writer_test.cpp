// Tests of WriteCog: the COG holds its GRID's cells, no-data, georeferencing and coordinate system,
// passes GDAL's own COG validation, and leaves no file until committed.
#include <gdal_priv.h>
#include <gtest/gtest.h>

#include <bit>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/cog_writer.h"
#include "gis_test_util.h"
#include "support/temp_dir_test.h"

namespace terravox::engine {
namespace {

using ::terravox::testing::ReadGridBack;
using ::terravox::testing::SurfaceGeometry;

class CogWriterTest : public ::terravox::testing::TempDirTest {};

TEST_F(CogWriterTest, CogHoldsTheGridsCellsAndPassesGdalsValidation) {
  struct Row {
    const char* name;
    int ncols, nrows;
    std::string srs;
    int overviews;
    int first_overview_cols;  // of every fourth cell, rounded up
  };
  const Row rows[] = {{"several tiles, projected", 1100, 30, testing::UtmZone33Wkt(), 2, 275},
                      {"smallest level in one tile", 600, 300, testing::UtmZone33Wkt(), 1, 150},
                      {"less than a tile, no coordinate system", 5, 3, "", 1, 2},
                      {"one cell", 1, 1, "", 0, 0}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string grid = PathIn(row.name);
    const std::string cog = grid + ".tif";
    testing::MakeSurfaceGrid(grid, SurfaceGeometry(row.ncols, row.nrows, 2.5, 2.5, row.srs),
                             [](double x, double y) { return 400 + 30 * std::sin(x / 17) - y / 9; },
                             {{0, 0}, {row.ncols - 1, row.nrows - 1}});
    Result<PendingCog> written = WriteCog(grid, cog);
    ASSERT_TRUE(written.ok()) << written.error().description();
    ASSERT_TRUE(written->Commit().ok());

    const testing::GridReadBack expected = ReadGridBack(grid);
    const testing::GridReadBack actual = ReadGridBack(cog);
    ASSERT_EQ(actual.cells.size(), expected.cells.size());
    for (size_t i = 0; i < expected.cells.size(); ++i) {
      ASSERT_EQ(std::bit_cast<uint32_t>(actual.cells[i]),
                std::bit_cast<uint32_t>(expected.cells[i]));
    }
    EXPECT_TRUE(std::equal(actual.transform, actual.transform + 6, expected.transform));
    OGRSpatialReference grid_srs, cog_srs;
    grid_srs.importFromWkt(expected.srs_wkt.c_str());
    cog_srs.importFromWkt(actual.srs_wkt.c_str());
    EXPECT_TRUE(row.srs.empty() ? actual.srs_wkt.empty() : cog_srs.IsSame(&grid_srs));
    GDALDatasetUniquePtr ds(GDALDataset::Open(cog.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
    GDALRasterBand* band = ds->GetRasterBand(1);
    EXPECT_EQ(band->GetNoDataValue(), static_cast<double>(kGridFloatNoData));
    EXPECT_EQ(band->GetRasterDataType(), GDT_Float32);
    ASSERT_EQ(band->GetOverviewCount(), row.overviews);
    if (row.overviews > 0) {
      EXPECT_EQ(band->GetOverview(0)->GetXSize(), row.first_overview_cols);
    }
    EXPECT_STREQ(ds->GetMetadataItem("COMPRESSION", "IMAGE_STRUCTURE"), "DEFLATE");
    EXPECT_STREQ(ds->GetMetadataItem("PREDICTOR", "IMAGE_STRUCTURE"), "2");
    const std::string validate = std::string(TERRAVOX_GDAL_PYTHON) +
                                 " -m osgeo_utils.samples.validate_cloud_optimized_geotiff -q"
                                 " --full-check=yes '" +
                                 cog + "'";
    EXPECT_EQ(std::system(validate.c_str()), 0) << validate;
  }
}

TEST_F(CogWriterTest, TheFileIsTheSameWhateverTheThreads) {
  testing::MakePlaneGrid(PathIn("grid"), SurfaceGeometry(700, 300, 1, 1), 0.25, 0.5);
  for (const int threads : {1, 3}) {
    const std::string cog = PathIn("t" + std::to_string(threads) + ".tif");
    Result<PendingCog> written = WriteCog(PathIn("grid"), cog, nullptr, threads);
    ASSERT_TRUE(written.ok() && written->Commit().ok());
  }
  EXPECT_EQ(testing::ReadFile(PathIn("t1.tif")), testing::ReadFile(PathIn("t3.tif")));
}

TEST_F(CogWriterTest, NothingIsLeftUntilCommitted) {
  testing::MakePlaneGrid(PathIn("grid"), SurfaceGeometry(700, 20, 1, 1), 1, 0);
  const std::string out = MakeDir("out");
  testing::WriteFile(out + "/old.tif", "an earlier run's COG");
  const std::pair<std::string, std::string> rows[] = {{PathIn("grid"), out + "/old.tif"},
                                                      {PathIn("out"), out + "/no-grid.tif"},
                                                      {PathIn("grid"), PathIn("nowhere/x.tif")}};
  for (const auto& [grid, cog] : rows) {
    SCOPED_TRACE(cog);
    { Result<PendingCog> dropped = WriteCog(grid, cog); }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out), {}), 1);
    EXPECT_EQ(testing::ReadFile(out + "/old.tif"), "an earlier run's COG");
  }
}

}  // namespace
}  // namespace terravox::engine
