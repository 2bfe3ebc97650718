// Tests for CreateContours and DelPreShpFile over real folders; Shapefiles read back with OGR.
#include "batch/contours.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "engine/gis_test_util.h"
#include "support/fake_host.h"
#include "support/temp_dir_test.h"

namespace terravox {
namespace {

namespace fs = std::filesystem;
using testing::FakeHost;
using testing::ReadFile;
using testing::WriteFile;

const char* const kOldShapefileFiles[] = {".shp", ".shx", ".dbf", ".sbn", ".sbx"};

class ContoursTest : public testing::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    contour_ = MakeDir("contour");
    MakeDir("grid");
    // Heights 0.5 .. 19.5 rising eastwards.
    testing::MakePlaneGrid(PathIn("grid/dem"), testing::SurfaceGeometry(20, 4, 1, 1), 1, 0);
  }

  Status Run(double interval, double base = 0) {
    return CreateContours(host_, engine::RasterDataset(PathIn("grid/dem")), contour_, interval,
                          base);
  }

  // Every entry of the contour folder, sorted.
  std::vector<std::string> ContourFolderNames() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(contour_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string contour_;
  FakeHost host_;
};

// The CONTOUR value of every line of a Shapefile, in file order.
std::vector<double> ContourLevels(const std::string& shp_path) {
  std::vector<double> levels;
  for (const testing::ContourLine& line : testing::ReadContourShapefile(shp_path).lines) {
    levels.push_back(line.level);
  }
  return levels;
}

// True when every level is base + k * interval for a whole k.
bool AllOnInterval(const std::vector<double>& levels, double interval, double base) {
  return std::all_of(levels.begin(), levels.end(), [&](double level) {
    double k = (level - base) / interval;
    return std::abs(k - std::round(k)) < 1e-9;
  });
}

bool Contains(const std::vector<double>& levels, double level) {
  return std::find(levels.begin(), levels.end(), level) != levels.end();
}

TEST_F(ContoursTest, ContoursTakeTheRastersName) {
  ASSERT_TRUE(Run(5, 2).ok());

  std::vector<double> levels = ContourLevels(contour_ + "/dem.shp");
  EXPECT_TRUE(Contains(levels, 7));
  EXPECT_TRUE(Contains(levels, 12));
  EXPECT_TRUE(AllOnInterval(levels, 5, 2));
  EXPECT_TRUE(host_.messages.empty());
  // Only the Shapefile's own files: no temporary name is left behind.
  for (const std::string& name : ContourFolderNames()) {
    EXPECT_EQ(name.rfind("dem.", 0), 0u) << name;
  }
}

TEST_F(ContoursTest, SecondRunWithAnotherIntervalReplacesTheFirst) {
  ASSERT_TRUE(Run(10).ok());
  std::vector<double> first = ContourLevels(contour_ + "/dem.shp");
  ASSERT_TRUE(Contains(first, 10));
  ASSERT_FALSE(Contains(first, 5));

  ASSERT_TRUE(Run(5).ok());

  std::vector<double> second = ContourLevels(contour_ + "/dem.shp");
  EXPECT_TRUE(Contains(second, 5));
  EXPECT_TRUE(Contains(second, 15));
  EXPECT_TRUE(AllOnInterval(second, 5, 0));
  EXPECT_TRUE(host_.messages.empty());
}

TEST_F(ContoursTest, OtherFilesOfTheOldShapefileStay) {
  for (const char* extension : kOldShapefileFiles) {
    WriteFile(contour_ + "/dem" + extension, "old");
  }
  WriteFile(contour_ + "/dem.shp.xml", "metadata");
  WriteFile(contour_ + "/dem.txt", "notes");

  ASSERT_TRUE(Run(5).ok());

  EXPECT_EQ(ReadFile(contour_ + "/dem.shp.xml"), "metadata");
  EXPECT_EQ(ReadFile(contour_ + "/dem.txt"), "notes");
  EXPECT_FALSE(fs::exists(contour_ + "/dem.sbn"));  // spatial indexes of the old lines go
  EXPECT_FALSE(fs::exists(contour_ + "/dem.sbx"));
  EXPECT_TRUE(Contains(ContourLevels(contour_ + "/dem.shp"), 5));
}

TEST_F(ContoursTest, FailedDeletionIsShownAndTheRenameThenFails) {
  // A link that loops cannot be looked up, even by root; the deleting stops there, so the old
  // .shx and .dbf stay and block the new Shapefile's name.
  fs::create_symlink(contour_ + "/dem.shp", contour_ + "/dem.shp");
  WriteFile(contour_ + "/dem.shx", "old");
  WriteFile(contour_ + "/dem.dbf", "old");

  Status status = Run(5);

  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0].text.rfind("Del_fail ", 0), 0u) << host_.messages[0].text;
  EXPECT_GT(host_.messages[0].text.size(), std::string("Del_fail ").size());
  EXPECT_EQ(host_.messages[0].title, "Terravox");
  EXPECT_FALSE(status.ok());
  EXPECT_EQ(ReadFile(contour_ + "/dem.shx"), "old");
  // The new contours could not take the name, and nothing is left under their temporary one.
  EXPECT_EQ(ContourFolderNames(), (std::vector<std::string>{"dem.dbf", "dem.shp", "dem.shx"}));
}

TEST_F(ContoursTest, FolderInTheWayIsNotDeletedAndTheRenameFails) {
  MakeDir("contour/dem.shx/inner");

  Status status = Run(5);

  EXPECT_FALSE(status.ok());
  EXPECT_TRUE(host_.messages.empty());
  EXPECT_TRUE(fs::is_directory(contour_ + "/dem.shx/inner"));
  EXPECT_EQ(ContourFolderNames(), (std::vector<std::string>{"dem.shx"}));
}

TEST_F(ContoursTest, EngineFailuresEscapeWithoutAMessage) {
  struct Row {
    const char* name;
    std::string folder;
    double interval;
  };
  const Row rows[] = {
      {"missing contour folder", PathIn("no-contour"), 5},
      {"zero interval", contour_, 0},
      {"negative interval", contour_, -5},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakeHost host;
    Status status = CreateContours(host, engine::RasterDataset(PathIn("grid/dem")), row.folder,
                                   row.interval, 0);
    EXPECT_FALSE(status.ok());
    EXPECT_FALSE(status.description().empty());
    EXPECT_TRUE(host.messages.empty());
    EXPECT_FALSE(fs::exists(row.folder + "/dem.shp"));
  }
}

TEST_F(ContoursTest, DelPreShpFileDeletesOnlyPlainFilesOfTheFiveKinds) {
  for (const char* extension : {".shp", ".dbf", ".sbx", ".prj", ".cpg"}) {
    WriteFile(contour_ + "/dem" + extension, "old");
  }
  MakeDir("contour/dem.shx");  // a folder is no old Shapefile file
  WriteFile(contour_ + "/other.shp", "other raster's lines");

  DelPreShpFile(host_, contour_ + "/dem");

  EXPECT_TRUE(host_.messages.empty());
  const std::vector<std::string> expected = {"dem.cpg", "dem.prj", "dem.shx", "other.shp"};
  EXPECT_EQ(ContourFolderNames(), expected);
}

TEST_F(ContoursTest, DelPreShpFileStopsAtTheFirstFailure) {
  WriteFile(contour_ + "/dem.shp", "old");
  fs::create_symlink(contour_ + "/dem.shx", contour_ + "/dem.shx");
  WriteFile(contour_ + "/dem.dbf", "old");

  DelPreShpFile(host_, contour_ + "/dem");

  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0].text.rfind("Del_fail ", 0), 0u) << host_.messages[0].text;
  EXPECT_EQ(host_.messages[0].title, "Terravox");
  EXPECT_FALSE(fs::exists(contour_ + "/dem.shp"));
  EXPECT_TRUE(fs::exists(contour_ + "/dem.dbf"));
}

TEST_F(ContoursTest, DelPreShpFileWithNothingToDeleteShowsNothing) {
  DelPreShpFile(host_, contour_ + "/dem");
  EXPECT_TRUE(host_.messages.empty());
  EXPECT_TRUE(ContourFolderNames().empty());
}

}  // namespace
}  // namespace terravox
