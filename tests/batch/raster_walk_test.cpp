// Tests for GetRasterLayersFromFolder over real folders: order of the operations, captions,
// and how slope and contour failures end or do not end the walk.
#include "batch/raster_walk.h"

#include <sys/stat.h>

#include <cctype>
#include <filesystem>
#include <string>

#include "engine/gis_test_util.h"
#include "support/fake_host.h"
#include "support/temp_dir_test.h"

namespace terravox {
namespace {

namespace fs = std::filesystem;
using testing::FakeHost;
using testing::ReadGridBack;

class RasterWalkTest : public testing::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    grid_ = MakeDir("grid");
    slope_ = MakeDir("slope");
    contour_ = MakeDir("contour");
    host_.values.grid_folder = grid_;
    host_.values.slope_folder = slope_;
    host_.values.contour_folder = contour_;
    host_.values.contour_interval = "1";
    host_.values.contour_base = "0";
    host_.values.run_contour = true;
    host_.values.run_slope = true;
  }

  void AddRamps() {
    for (const char* name : {"a", "b"}) {
      testing::MakePlaneGrid(grid_ + "/" + name, testing::SurfaceGeometry(6, 5, 1, 1), 1, 0);
    }
  }

  std::string grid_;
  std::string slope_;
  std::string contour_;
  FakeHost host_;
  BatchMdl mdl_;
};

TEST_F(RasterWalkTest, FolderWithoutRastersDoesNothingAndSucceeds) {
  testing::WriteFile(grid_ + "/notes.txt", "no raster here");
  MakeDir("grid/empty-folder");

  ASSERT_TRUE(GetRasterLayersFromFolder(host_, mdl_).ok());

  EXPECT_TRUE(host_.captions.empty());
  EXPECT_TRUE(host_.messages.empty());
  EXPECT_TRUE(fs::is_empty(slope_));
  EXPECT_TRUE(fs::is_empty(contour_));
  EXPECT_TRUE(mdl_.bRunOk);
}

TEST_F(RasterWalkTest, EachRasterGetsItsSlopeThenItsContours) {
  AddRamps();

  ASSERT_TRUE(GetRasterLayersFromFolder(host_, mdl_).ok());

  const std::vector<std::string> expected = {
      "Running : ESRI GRID--> Get Slope " + grid_ + "/a",
      "Running : ESRI GRID--> Get Contour " + grid_ + "/a",
      "Running : ESRI GRID--> Get Slope " + grid_ + "/b",
      "Running : ESRI GRID--> Get Contour " + grid_ + "/b",
  };
  EXPECT_EQ(host_.captions, expected);
  EXPECT_EQ(host_.repaint_count, 4);
  for (const char* name : {"a", "b"}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(ReadGridBack(slope_ + "/" + name).opened);
    EXPECT_FALSE(testing::ReadContourShapefile(contour_ + "/" + name + ".shp").lines.empty());
  }
  EXPECT_TRUE(host_.messages.empty());
  EXPECT_TRUE(mdl_.bRunOk);
}

// However the GRID folder is typed, the captions name each raster by its one absolute path.
TEST_F(RasterWalkTest, CaptionsNameTheRasterByItsAbsolutePath) {
  testing::MakePlaneGrid(grid_ + "/a", testing::SurfaceGeometry(6, 5, 1, 1), 1, 0);
  host_.values.run_contour = false;
  const std::string relative = fs::relative(grid_, fs::current_path()).string();
  const std::string typed[] = {grid_ + "/", grid_ + "//", grid_ + "/./", relative + "/"};
  for (const std::string& folder : typed) {
    SCOPED_TRACE(folder);
    fs::remove_all(slope_ + "/a");
    host_.captions.clear();
    host_.values.grid_folder = folder;

    ASSERT_TRUE(GetRasterLayersFromFolder(host_, mdl_).ok());

    EXPECT_EQ(host_.captions,
              std::vector<std::string>{"Running : ESRI GRID--> Get Slope " + grid_ + "/a"});
    EXPECT_TRUE(ReadGridBack(slope_ + "/a").opened);
  }
}

TEST_F(RasterWalkTest, OnlyTheCheckedOperationRuns) {
  AddRamps();
  struct Row {
    const char* name;
    bool check1;
    bool check2;
  };
  const Row rows[] = {{"contours only", true, false}, {"slope only", false, true}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    fs::remove_all(slope_);
    fs::remove_all(contour_);
    fs::create_directory(slope_);
    fs::create_directory(contour_);
    host_.values.run_contour = row.check1;
    host_.values.run_slope = row.check2;

    ASSERT_TRUE(GetRasterLayersFromFolder(host_, mdl_).ok());

    EXPECT_EQ(fs::is_empty(contour_), !row.check1);
    EXPECT_EQ(fs::is_empty(slope_), !row.check2);
  }
}

TEST_F(RasterWalkTest, SlopeFailureIsShownTheWalkGoesOnAndTheFlagStaysCleared) {
  AddRamps();
  MakeDir("slope/a/not-a-grid");  // blocks a's slope once the handler is armed
  mdl_.bRunOk = true;

  ASSERT_TRUE(GetRasterLayersFromFolder(host_, mdl_).ok());

  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0].text.rfind("File Error-", 0), 0u);
  EXPECT_EQ(host_.messages[0].status_at_show, "Running : ESRI GRID--> Get Slope " + grid_ + "/a");
  EXPECT_EQ(host_.captions.size(), 4u);
  EXPECT_FALSE(testing::ReadContourShapefile(contour_ + "/a.shp").lines.empty());
  EXPECT_TRUE(ReadGridBack(slope_ + "/b").opened);
  EXPECT_FALSE(mdl_.bRunOk);
}

TEST_F(RasterWalkTest, NumberTextThatDoesNotConvertEscapes) {
  AddRamps();
  struct Row {
    const char* name;
    std::string text3;
    std::string text2;
  };
  const Row rows[] = {
      {"interval", "five", "0"},
      {"start value", "5", "1,5"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakeHost host;
    host.values = host_.values;
    host.values.contour_interval = row.text3;
    host.values.contour_base = row.text2;
    BatchMdl mdl;

    Status status = GetRasterLayersFromFolder(host, mdl);

    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.description(), "Type mismatch");
    EXPECT_TRUE(host.messages.empty());
    EXPECT_FALSE(mdl.bRunOk);
    // The walk ended at the first raster's contours.
    EXPECT_EQ(host.captions.back(), "Running : ESRI GRID--> Get Contour " + grid_ + "/a");
  }
}

// A FIFO among a GRID's files once hung the run for ever, and a GRID whose hdr.adf was a link
// that cannot be followed left the walk unseen: the raster now fails with a description naming
// the file, through each operation's usual path (the slope escapes when no old slope exists).
TEST_F(RasterWalkTest, GridFileThatCannotBeReadFailsTheRasterNamingIt) {
  struct Row {
    const char* file;
    const char* link_to;  // none: a FIFO
    const char* says;
  };
  const Row rows[] = {
      {"sta.adf", nullptr, "is not a regular file"},
      {"hdr.adf", "hdr.adf",
       "is a link that cannot be followed (Too many levels of symbolic links)"},
      {"hdr.adf", "gone", "is a link that cannot be followed (No such file or directory)"},
  };
  for (const Row& row : rows) {
    for (bool slope : {true, false}) {
      SCOPED_TRACE(std::string(row.says) + (slope ? ", slope" : ", contours"));
      fs::remove_all(grid_);
      fs::create_directory(grid_);
      AddRamps();
      const std::string path = grid_ + "/a/" + row.file;
      fs::remove(path);
      if (row.link_to != nullptr) {
        fs::create_symlink(row.link_to, path);
      } else {
        ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
      }
      FakeHost host;
      host.values = host_.values;
      host.values.run_slope = slope;
      host.values.run_contour = !slope;
      BatchMdl mdl;

      Status status = GetRasterLayersFromFolder(host, mdl);

      ASSERT_FALSE(status.ok());
      EXPECT_EQ(status.description(), "'" + path + "' " + row.says + ", so the GRID is not read");
      EXPECT_TRUE(fs::is_empty(slope_));
      EXPECT_TRUE(fs::is_empty(contour_));
    }
  }
}

// GRIDs copied from some media name every file in capitals; GDAL's reader takes those names too.
TEST_F(RasterWalkTest, GridsWithCapitalFileNamesAreWalked) {
  AddRamps();
  for (const auto& entry : fs::directory_iterator(grid_ + "/a")) {
    std::string name = entry.path().filename().string();
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    fs::rename(entry.path(), grid_ + "/a/" + name);
  }

  ASSERT_TRUE(GetRasterLayersFromFolder(host_, mdl_).ok());

  EXPECT_EQ(host_.captions.size(), 4u);
  EXPECT_EQ(ReadGridBack(slope_ + "/a").cells, ReadGridBack(slope_ + "/b").cells);
  EXPECT_FALSE(testing::ReadContourShapefile(contour_ + "/a.shp").lines.empty());
  EXPECT_TRUE(host_.messages.empty());
}

TEST_F(RasterWalkTest, ContourAndFolderFailuresEscape) {
  AddRamps();
  struct Row {
    const char* name;
    std::string grid_folder;
    std::string contour_folder;
  };
  const Row rows[] = {
      {"missing GRID folder", PathIn("no-grid"), contour_},
      {"missing contour folder", grid_, PathIn("no-contour")},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakeHost host;
    host.values = host_.values;
    host.values.grid_folder = row.grid_folder;
    host.values.contour_folder = row.contour_folder;
    BatchMdl mdl;

    EXPECT_FALSE(GetRasterLayersFromFolder(host, mdl).ok());
    EXPECT_TRUE(host.messages.empty());
    EXPECT_FALSE(mdl.bRunOk);
  }
}

}  // namespace
}  // namespace terravox
