// AsciiGridFiles: a grid's .prj and GDAL's .aux.xml side files are left out, nothing else is.
#include "batch/ascii_grid_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace terravox {
namespace {

using Names = std::vector<std::string>;

TEST(AsciiGridFilesTest, LeavesOutTheSideFilesOfTheFolder) {
  struct Row {
    const char* name;
    Names listing;
    Names grids;
  };
  const Row rows[] = {
      {"grid with its .prj", {"dem.asc", "dem.prj"}, {"dem.asc"}},
      {".prj in capitals", {"DEM.ASC", "DEM.PRJ"}, {"DEM.ASC"}},
      {".prj in mixed case", {"dem.asc", "dem.Prj"}, {"dem.asc"}},
      {".prj of a grid with another extension", {"dem.prj", "dem.txt"}, {"dem.txt"}},
      {".prj sharing the base name before the first dot",
       {"dem.v2.asc", "dem.v2.prj"},
       {"dem.v2.asc"}},
      {"lone .prj is listed (and fails as a grid)", {"a.asc", "b.prj"}, {"a.asc", "b.prj"}},
      {"base names differ in case", {"dem.asc", "DEM.prj"}, {"dem.asc", "DEM.prj"}},
      {"two .prj files share only each other", {"dem.prj", "dem.PRJ"}, {"dem.prj", "dem.PRJ"}},
      {"GDAL's side file", {"dem.asc", "dem.asc.aux.xml"}, {"dem.asc"}},
      {"side file in capitals", {"dem.asc", "dem.asc.AUX.XML"}, {"dem.asc"}},
      {"side file of a missing grid", {"old.asc.aux.xml", "x.asc"}, {"x.asc"}},
      {".prj whose only partner is a side file", {"dem.asc.aux.xml", "dem.prj"}, {"dem.prj"}},
      {"names that only look alike",
       {"dem.prjx", "dem.asc", "aux.xml", "dem.xml"},
       {"dem.prjx", "dem.asc", "aux.xml", "dem.xml"}},
      {"order is kept", {"b.asc", "a.prj", "a.asc", "b.PRJ", "c.asc"}, {"b.asc", "a.asc", "c.asc"}},
      {"empty folder", {}, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(AsciiGridFiles(row.listing), row.grids);
  }
}

}  // namespace
}  // namespace terravox
