#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/paths.h"
#include "engine/dataset_enum.h"
#include "engine/raster_dataset.h"
#include "engine/workspace.h"
#include "engine/workspace_opener.h"
#include "gis_test_util.h"
#include "support/temp_dir_test.h"

namespace terravox::engine {
namespace {

using ::terravox::testing::MakePlaneGrid;
using ::terravox::testing::SurfaceGeometry;
using ::terravox::testing::TempDirTest;
using ::terravox::testing::WriteFile;

class WorkspaceTest : public TempDirTest {
 protected:
  void MakeRaster(const std::string& name) {
    MakePlaneGrid(PathIn(name), SurfaceGeometry(3, 2, 1, 1), 1, 0);
  }

  Workspace Open() {
    Result<Workspace> workspace = WorkspaceOpener().OpenFolder(dir().string(), 0);
    EXPECT_TRUE(workspace.ok());
    return std::move(workspace).value();
  }

  // The names of every raster the enumeration gives, in its order.
  static std::vector<std::string> Names(DatasetEnum datasets) {
    std::vector<std::string> names;
    while (std::optional<RasterDataset> raster = datasets.NextDataset()) {
      names.push_back(LastPathPiece(raster->GetDatasetPath()));
    }
    return names;
  }
};

TEST_F(WorkspaceTest, OpenFolderFailsNamingAMissingFolder) {
  const std::string missing = PathIn("missing");
  WriteFile(PathIn("plain.txt"), "x");
  for (const std::string& path : {missing, PathIn("plain.txt"), std::string()}) {
    SCOPED_TRACE(path);
    Result<Workspace> workspace = WorkspaceOpener().OpenFolder(path, 0);
    ASSERT_FALSE(workspace.ok());
    EXPECT_EQ(workspace.error().kind(), ErrorKind::kPathNotFound);
    EXPECT_NE(workspace.error().description().find(path), std::string::npos)
        << workspace.error().description();
  }
}

TEST_F(WorkspaceTest, OpenFolderKeepsThePathAsGiven) {
  Result<Workspace> workspace = WorkspaceOpener().OpenFolder(dir().string() + "/", 0);
  ASSERT_TRUE(workspace.ok());
  EXPECT_EQ(workspace->path(), dir().string() + "/");
}

TEST_F(WorkspaceTest, ListsGridRastersInNameOrder) {
  for (const char* name : {"b", "A", "a", "C", "_x", "10", "9"}) MakeRaster(name);
  Result<DatasetEnum> datasets = Open().ListDatasets(kRasterDatasetKind);
  ASSERT_TRUE(datasets.ok());
  // Letters fold to lower case, so "_" (0x5F) sorts before them; ties go by the exact bytes.
  EXPECT_EQ(Names(std::move(datasets).value()),
            (std::vector<std::string>{"10", "9", "_x", "A", "a", "b", "C"}));
}

TEST_F(WorkspaceTest, ListsOnlyFoldersThatAreGrids) {
  MakeRaster("dem");
  MakeDir("info");  // a workspace's INFO folder
  MakeDir("only_header");
  WriteFile(PathIn("only_header/hdr.adf"), "");  // no w001001.adf
  MakeDir("only_data");
  WriteFile(PathIn("only_data/w001001.adf"), "");  // no hdr.adf
  MakeDir("hdr_is_folder/hdr.adf");
  WriteFile(PathIn("hdr_is_folder/w001001.adf"), "");
  WriteFile(PathIn("plain.asc"), "ncols 1\r\n");  // files are never rasters
  WriteFile(PathIn("hdr.adf"), "");
  WriteFile(PathIn("w001001.adf"), "");
  MakeRaster(".hidden");  // a writer's temporary folder
  std::filesystem::create_directory_symlink(PathIn("dem"), PathIn("linked"));

  Result<DatasetEnum> datasets = Open().ListDatasets(kRasterDatasetKind);
  ASSERT_TRUE(datasets.ok());
  EXPECT_EQ(Names(std::move(datasets).value()), (std::vector<std::string>{"dem", "linked"}));
}

TEST_F(WorkspaceTest, FolderWithoutRastersGivesAnEmptyEnumeration) {
  MakeDir("sub");
  WriteFile(PathIn("a.asc"), "");
  Result<DatasetEnum> datasets = Open().ListDatasets(kRasterDatasetKind);
  ASSERT_TRUE(datasets.ok());
  EXPECT_FALSE(datasets->NextDataset().has_value());
  EXPECT_FALSE(datasets->NextDataset().has_value());
}

TEST_F(WorkspaceTest, OtherKindsGiveAnEmptyEnumeration) {
  MakeRaster("dem");
  Workspace workspace = Open();
  for (int kind : {0, 1, 5, 11, 13, -12}) {
    SCOPED_TRACE(kind);
    Result<DatasetEnum> datasets = workspace.ListDatasets(kind);
    ASSERT_TRUE(datasets.ok());
    EXPECT_FALSE(datasets->NextDataset().has_value());
  }
}

TEST_F(WorkspaceTest, EnumerationEndsAfterTheLastRasterAndStaysEnded) {
  MakeRaster("one");
  Result<DatasetEnum> datasets = Open().ListDatasets(kRasterDatasetKind);
  ASSERT_TRUE(datasets.ok());
  std::optional<RasterDataset> first = datasets->NextDataset();
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->GetDatasetPath(), JoinPath(dir().string(), "one"));
  EXPECT_FALSE(datasets->NextDataset().has_value());
  EXPECT_FALSE(datasets->NextDataset().has_value());
}

TEST_F(WorkspaceTest, ListingAFolderRemovedAfterOpeningFails) {
  const std::string folder = MakeDir("gone");
  Result<Workspace> workspace = WorkspaceOpener().OpenFolder(folder, 0);
  ASSERT_TRUE(workspace.ok());
  std::filesystem::remove(folder);
  EXPECT_FALSE(workspace->ListDatasets(kRasterDatasetKind).ok());
  EXPECT_FALSE(workspace->FindRaster("dem").ok());
}

TEST_F(WorkspaceTest, FindRasterFindsAGridByName) {
  MakeRaster("dem3");
  Result<std::optional<RasterDataset>> found = Open().FindRaster("dem3");
  ASSERT_TRUE(found.ok());
  ASSERT_TRUE(found->has_value());
  EXPECT_EQ((*found)->GetDatasetPath(), JoinPath(dir().string(), "dem3"));
}

TEST_F(WorkspaceTest, FindRasterGivesNoneForWhatIsNoGridOfThisFolder) {
  MakeRaster("outside");
  MakeDir("ws/sub");
  MakeRaster("ws/sub/inner");
  WriteFile(PathIn("ws/file"), "");
  Result<Workspace> workspace = WorkspaceOpener().OpenFolder(PathIn("ws"), 0);
  ASSERT_TRUE(workspace.ok());
  for (const char* name : {"missing", "sub", "file", "sub/inner", "../outside", "", ".", ".."}) {
    SCOPED_TRACE(name);
    Result<std::optional<RasterDataset>> found = workspace->FindRaster(name);
    ASSERT_TRUE(found.ok());
    EXPECT_FALSE(found->has_value());
  }
}

}  // namespace
}  // namespace terravox::engine
