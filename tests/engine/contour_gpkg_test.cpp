// Tests of ContourGeoPackage: tiles replaced whole, a kept GeoPackage growing, and one coordinate
// system per layer. Merging is tested with the shards of a run (tests/batch).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "engine/contour_gpkg.h"
#include "engine/contour_maker.h"
#include "gis_test_util.h"
#include "support/temp_dir_test.h"

namespace terravox::engine {
namespace {

using ::terravox::testing::ContourLineTexts;

class ContourGpkgTest : public ::terravox::testing::TempDirTest {
 protected:
  // The contour Shapefile of a cone of that height, in UTM 33N or in no coordinate system.
  std::string Contours(const std::string& name, double top, bool utm = true) {
    testing::MakeConeGrid(
        PathIn(name), testing::SurfaceGeometry(30, 20, 1, 1, utm ? testing::UtmZone33Wkt() : ""),
        top, 1);
    Result<ShapefileDataset> shp =
        MakeContourShapefile(RasterDataset(PathIn(name)), dir().string(), 2, 0);
    return shp.ok() ? shp->GetDatasetPath() + ".shp" : "";
  }
};

TEST_F(ContourGpkgTest, TilesAreReplacedWholeAndAKeptPackageGrows) {
  const std::string a = Contours("a", 9);
  const std::string b = Contours("b", 14);
  // The lines of Shapefiles, each under its tile's name.
  auto lines = [](const std::vector<std::pair<std::string, std::string>>& tiles) {
    std::vector<std::string> texts;
    for (const auto& [tile, shp] : tiles) {
      for (const std::string& text : ContourLineTexts(shp, tile)) texts.push_back(text);
    }
    std::sort(texts.begin(), texts.end());
    return texts;
  };
  const std::string gpkg = PathIn("all.gpkg");
  Result<ContourGeoPackage> package = ContourGeoPackage::Open(gpkg, false);
  ASSERT_TRUE(package.ok()) << package.error().description();
  for (const auto& [tile, shp] : {std::pair{"a", a}, {"b", b}, {"a", b}}) {
    ASSERT_TRUE(package->ReplaceTile(tile, shp).ok());
  }
  ASSERT_TRUE(package->Close().ok());
  EXPECT_EQ(ContourLineTexts(gpkg), lines({{"a", b}, {"b", b}}));

  package = ContourGeoPackage::Open(gpkg, true);
  EXPECT_TRUE(*package->HasTile("a"));
  EXPECT_FALSE(*package->HasTile("c"));
  ASSERT_TRUE(package->ReplaceTile("c", a).ok());
  ASSERT_TRUE(package->Close().ok());
  EXPECT_EQ(ContourLineTexts(gpkg), lines({{"a", b}, {"b", b}, {"c", a}}));

  package = ContourGeoPackage::Open(gpkg, false);
  EXPECT_FALSE(*package->HasTile("a"));
}

// "None" included: a GeoPackage stores it as an undefined system, which GDAL reads back as an
// unknown geographic one.
TEST_F(ContourGpkgTest, ATileInAnotherCoordinateSystemIsRefused) {
  const std::string utm = Contours("utm", 9);
  const std::string plain = Contours("plain", 9, false);
  struct Row {
    const char* name;
    std::string first, second;
    bool reopen, accepted;
  };
  const Row rows[] = {{"UTM then none", utm, plain, false, false},
                      {"none then UTM, reopened", plain, utm, true, false},
                      {"none then none, reopened", plain, plain, true, true},
                      {"UTM then UTM, reopened", utm, utm, true, true}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string gpkg = PathIn(std::string(row.name) + ".gpkg");
    Result<ContourGeoPackage> package = ContourGeoPackage::Open(gpkg, false);
    ASSERT_TRUE(package->ReplaceTile("t1", row.first).ok());
    if (row.reopen) {
      ASSERT_TRUE(package->Close().ok());
      package = ContourGeoPackage::Open(gpkg, true);
    }
    EXPECT_EQ(package->ReplaceTile("t2", row.second).ok(), row.accepted);
  }
}

}  // namespace
}  // namespace terravox::engine
