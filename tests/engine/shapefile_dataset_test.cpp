#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "core/paths.h"
#include "engine/shapefile_dataset.h"
#include "gis_test_util.h"
#include "support/temp_dir_test.h"

namespace terravox::engine {
namespace {

namespace fs = std::filesystem;
using ::terravox::testing::ContourShapefile;
using ::terravox::testing::ReadContourShapefile;
using ::terravox::testing::ReadFile;
using ::terravox::testing::TempDirTest;
using ::terravox::testing::WriteFile;
using ::terravox::testing::WriteLineShapefile;

class ShapefileDatasetTest : public TempDirTest {
 protected:
  std::set<std::string> FileNames() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir())) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }
};

TEST_F(ShapefileDatasetTest, DatasetPathIsFolderSeparatorAndName) {
  ShapefileDataset shapefile(dir().string(), "contour_1");
  EXPECT_EQ(shapefile.GetDatasetPath(), JoinPath(dir().string(), "contour_1"));
}

TEST_F(ShapefileDatasetTest, SetDatasetNameRenamesEveryFileOfTheShapefile) {
  WriteLineShapefile(dir().string(), "tmp1", /*with_prj=*/true);
  WriteFile(PathIn("tmp1.cpg"), "UTF-8");
  WriteFile(PathIn("tmp1.shp.xml"), "<metadata/>");
  WriteFile(PathIn("tmp10.shp"), "another Shapefile");  // shares the prefix, not the name
  ShapefileDataset shapefile(dir().string(), "tmp1");

  Status renamed = shapefile.SetDatasetName("dem3");
  ASSERT_TRUE(renamed.ok()) << renamed.description();
  EXPECT_EQ(shapefile.name(), "dem3");
  EXPECT_EQ(shapefile.GetDatasetPath(), PathIn("dem3"));
  EXPECT_EQ(FileNames(), (std::set<std::string>{"dem3.shp", "dem3.shx", "dem3.dbf", "dem3.prj",
                                                "dem3.cpg", "dem3.shp.xml", "tmp10.shp"}));
  ContourShapefile read = ReadContourShapefile(PathIn("dem3.shp"));
  ASSERT_TRUE(read.opened);
  EXPECT_TRUE(read.has_srs);
  ASSERT_EQ(read.lines.size(), 1u);
  EXPECT_EQ(read.lines[0].level, 12.5);
}

TEST_F(ShapefileDatasetTest, RemoveDatasetDeletesOnlyItsOwnFiles) {
  WriteLineShapefile(dir().string(), "tmp1", /*with_prj=*/true);
  WriteFile(PathIn("tmp1.shp.xml"), "<metadata/>");
  WriteFile(PathIn("tmp10.shp"), "another Shapefile");
  WriteFile(PathIn("tmp1"), "no extension: not a file of the Shapefile");

  Status removed = ShapefileDataset(dir().string(), "tmp1").RemoveDataset();
  ASSERT_TRUE(removed.ok()) << removed.description();
  EXPECT_EQ(FileNames(), (std::set<std::string>{"tmp10.shp", "tmp1"}));
}

TEST_F(ShapefileDatasetTest, SetDatasetNameFailsWhenTheNameIsTaken) {
  for (const char* extension : {".shp", ".shx", ".dbf"}) {
    SCOPED_TRACE(extension);
    fs::remove_all(dir());
    fs::create_directories(dir());
    WriteLineShapefile(dir().string(), "tmp1", /*with_prj=*/true);
    WriteFile(PathIn(std::string("dem3") + extension), "older");
    const std::set<std::string> before = FileNames();
    ShapefileDataset shapefile(dir().string(), "tmp1");

    Status renamed = shapefile.SetDatasetName("dem3");
    EXPECT_FALSE(renamed.ok());
    EXPECT_NE(renamed.description().find("dem3"), std::string::npos) << renamed.description();
    EXPECT_EQ(shapefile.name(), "tmp1");
    EXPECT_EQ(FileNames(), before);
    EXPECT_EQ(ReadFile(PathIn(std::string("dem3") + extension)), "older");
  }
}

TEST_F(ShapefileDatasetTest, StaleCompanionsOfTheNewNameAreReplaced) {
  struct Row {
    const char* extension;
    bool with_prj;  // whether the renamed Shapefile brings a .prj of its own
  };
  for (const Row& row : {Row{".prj", true}, Row{".prj", false}, Row{".cpg", false},
                         Row{".sbn", false}, Row{".sbx", false}, Row{".qix", false}}) {
    SCOPED_TRACE(std::string(row.extension) + (row.with_prj ? " with own .prj" : ""));
    fs::remove_all(dir());
    fs::create_directories(dir());
    WriteLineShapefile(dir().string(), "tmp1", row.with_prj);
    const std::string own_prj = ReadFile(PathIn("tmp1.prj"));
    WriteFile(PathIn(std::string("dem3") + row.extension), "stale");
    ShapefileDataset shapefile(dir().string(), "tmp1");

    Status renamed = shapefile.SetDatasetName("dem3");
    ASSERT_TRUE(renamed.ok()) << renamed.description();
    if (row.with_prj) {
      EXPECT_EQ(ReadFile(PathIn("dem3.prj")), own_prj);
    } else {
      EXPECT_FALSE(fs::exists(PathIn(std::string("dem3") + row.extension)));
    }
    EXPECT_TRUE(ReadContourShapefile(PathIn("dem3.shp")).opened);
  }
}

TEST_F(ShapefileDatasetTest, OtherFilesOfTheNewNameStay) {
  WriteLineShapefile(dir().string(), "tmp1", /*with_prj=*/false);
  WriteFile(PathIn("dem3.asc"), "the grid it came from");
  ShapefileDataset shapefile(dir().string(), "tmp1");
  ASSERT_TRUE(shapefile.SetDatasetName("dem3").ok());
  EXPECT_EQ(ReadFile(PathIn("dem3.asc")), "the grid it came from");
}

TEST_F(ShapefileDatasetTest, SetDatasetNameRefusesNamesThatAreNoPlainName) {
  WriteLineShapefile(dir().string(), "tmp1", /*with_prj=*/false);
  MakeDir("sub");
  const std::set<std::string> before = FileNames();
  ShapefileDataset shapefile(dir().string(), "tmp1");
  for (const char* name : {"", ".", "..", "sub/dem3", "../dem3"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(shapefile.SetDatasetName(name).ok());
  }
  EXPECT_EQ(FileNames(), before);
}

TEST_F(ShapefileDatasetTest, RenamingAShapefileThatIsGoneFails) {
  ShapefileDataset shapefile(dir().string(), "tmp1");
  Status renamed = shapefile.SetDatasetName("dem3");
  EXPECT_FALSE(renamed.ok());
  EXPECT_TRUE(FileNames().empty());
}

TEST_F(ShapefileDatasetTest, RenamingToItsOwnNameChangesNothing) {
  WriteLineShapefile(dir().string(), "dem3", /*with_prj=*/true);
  const std::set<std::string> before = FileNames();
  ShapefileDataset shapefile(dir().string(), "dem3");
  EXPECT_TRUE(shapefile.SetDatasetName("dem3").ok());
  EXPECT_EQ(FileNames(), before);
}

}  // namespace
}  // namespace terravox::engine
