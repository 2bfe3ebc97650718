#include "engine/prj_sidecar.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir_test.h"

namespace terravox::engine {
namespace {

namespace fs = std::filesystem;
using ::terravox::testing::TempDirTest;
using ::terravox::testing::WriteFile;

constexpr const char* kWgs84 =
    "GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\","
    "SPHEROID[\"WGS_1984\",6378137.0,298.257223563]],PRIMEM[\"Greenwich\",0.0],"
    "UNIT[\"Degree\",0.0174532925199433]]";

class PrjSidecarTest : public TempDirTest {};

// Which of the files beside a grid is its sidecar: the case rules, and the base-name fallback.
TEST_F(PrjSidecarTest, PicksTheSidecarByCaseThenNameOrder) {
  struct Case {
    const char* name;
    const char* grid;
    std::vector<std::string> files;
    const char* expected;  // "" for none
  };
  const Case cases[] = {
      {"lower case first", "dem.asc", {"dem.PRJ", "dem.prj", "dem.Prj"}, "dem.prj"},
      {"then upper case", "dem.asc", {"dem.pRj", "dem.PRJ"}, "dem.PRJ"},
      {"then name order among mixed cases",
       "dem.asc",
       {"dem.pRJ", "dem.prJ", "dem.PrJ"},
       "dem.PrJ"},
      {"a single mixed case", "dem.asc", {"dem.prJ"}, "dem.prJ"},
      {"other names are no sidecar",
       "dem.asc",
       {"dem.prj.bak", "dem.pr", "dem1.prj", "Dem.prj"},
       ""},
      {"the base name when the stem has none", "dem.v2.asc", {"dem.pRj"}, "dem.pRj"},
      {"the stem before the base name", "dem.v2.asc", {"dem.prj", "dem.v2.PRJ"}, "dem.v2.PRJ"},
      {"the grid itself is never its sidecar", "dem.Prj", {"dem.PRJ"}, "dem.PRJ"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string folder = MakeDir(std::to_string(&c - cases));
    WriteFile(folder + "/" + c.grid, "ncols 1\n");
    for (const std::string& file : c.files) WriteFile(folder + "/" + file, kWgs84);
    Result<std::optional<PrjSidecar>> sidecar = ReadPrjSidecar(folder + "/" + c.grid);
    ASSERT_TRUE(sidecar.ok()) << sidecar.error().description();
    if (*c.expected == '\0') {
      EXPECT_FALSE(sidecar->has_value());
      continue;
    }
    ASSERT_TRUE(sidecar->has_value());
    EXPECT_EQ(fs::path((*sidecar)->path).filename().string(), c.expected);
    EXPECT_FALSE((*sidecar)->wkt.empty());
  }
}

// A folder in a sidecar's place is found, as a listing would show it, and fails on reading
// rather than being passed over for another sidecar.
TEST_F(PrjSidecarTest, AFolderInTheSidecarsPlaceFails) {
  WriteFile(PathIn("dem.asc"), "ncols 1\n");
  MakeDir("dem.pRj");
  WriteFile(PathIn("dem.prJ"), kWgs84);
  Result<std::optional<PrjSidecar>> sidecar = ReadPrjSidecar(PathIn("dem.asc"));
  ASSERT_FALSE(sidecar.ok());
  EXPECT_NE(sidecar.error().description().find("dem.pRj"), std::string::npos)
      << sidecar.error().description();
}

}  // namespace
}  // namespace terravox::engine
