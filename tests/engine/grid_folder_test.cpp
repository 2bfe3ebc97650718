// Opening GRIDs: only through their own reader, never through a virtual path or a VRT, never
// into a file that would block the read (a FIFO among the files GDAL's reader opens), and never
// for more cells than the files back or memory holds.
#include "engine/grid_folder.h"

#include <cpl_vsi.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/declared_size.h"
#include "engine/gdal_scope.h"
#include "engine/grid_format.h"
#include "gis_test_util.h"
#include "support/temp_dir_test.h"

namespace terravox::engine {
namespace {

namespace fs = std::filesystem;
using ::terravox::testing::MakePlaneGrid;
using ::terravox::testing::ReadFile;
using ::terravox::testing::SurfaceGeometry;
using ::terravox::testing::WriteFile;

class GridFolderTest : public ::terravox::testing::TempDirTest {
 protected:
  Result<GDALDatasetUniquePtr> Open(const std::string& path) {
    GdalErrorScope scope;
    return OpenGridRaster(path);
  }
};

// A FIFO without a writer blocks whoever opens it for reading: each file the reader may open is
// checked first, and the raster fails naming the FIFO.
TEST_F(GridFolderTest, FifoAmongTheFilesTheReaderOpensFailsNamingIt) {
  const std::vector<std::string> fifos = {"ws/dem/sta.adf",      "ws/dem/dblbnd.adf",
                                          "ws/dem/w001001x.adf", "ws/dem/prj.adf",
                                          "ws/dem/hdr.adf",      "ws/dem/w001001.adf",
                                          "ws/dem/vat.adf",      "ws/dem.clr",
                                          "ws/DEM.CLR",          "ws/dem.aux",
                                          "ws/dem.aux.xml",      "ws/dem.ovr",
                                          "ws/info/arc.dir",     "ws/info"};
  for (const std::string& fifo : fifos) {
    SCOPED_TRACE(fifo);
    fs::remove_all(PathIn("ws"));
    MakeDir("ws");
    MakePlaneGrid(PathIn("ws/dem"), SurfaceGeometry(3, 2, 1, 1), 1, 0);
    if (fifo.find("info/") != std::string::npos) MakeDir("ws/info");
    fs::remove(PathIn(fifo));
    ASSERT_EQ(::mkfifo(PathIn(fifo).c_str(), 0600), 0);

    EXPECT_TRUE(IsGridFolder(PathIn("ws/dem")));
    Result<GDALDatasetUniquePtr> opened = Open(PathIn("ws/dem"));

    ASSERT_FALSE(opened.ok());
    EXPECT_EQ(opened.error().description(),
              "'" + PathIn(fifo) + "' is not a regular file, so the GRID is not read");
  }
}

TEST_F(GridFolderTest, RegularSideFilesAndSubFoldersDoNotStopTheRead) {
  MakeDir("ws");
  MakePlaneGrid(PathIn("ws/dem"), SurfaceGeometry(3, 2, 1, 1), 1, 0);
  MakeDir("ws/dem/extra");
  MakeDir("ws/info");
  WriteFile(PathIn("ws/dem/log"), "history");
  WriteFile(PathIn("ws/other.clr"), "");
  ASSERT_EQ(::mkfifo(PathIn("ws/other.aux").c_str(), 0600), 0);  // another raster's
  Result<GDALDatasetUniquePtr> opened = Open(PathIn("ws/dem"));
  ASSERT_TRUE(opened.ok()) << opened.error().description();
  EXPECT_EQ((*opened)->GetRasterXSize(), 3);
}

// A 3 x 2 GRID (one block row of 8 index entries, 8192 cells) whose bounds claim more: 60 KB of
// files once took 4.4 GB of memory and wrote 1.6 GB of slope.
TEST_F(GridFolderTest, DeclaredSizeMustBeBackedByTheTileIndex) {
  for (int side : {2000, 20000}) {  // GDAL takes a few million cells without blocks for no-data
    SCOPED_TRACE(side);
    const std::string grid = PathIn("g" + std::to_string(side));
    MakePlaneGrid(grid, SurfaceGeometry(3, 2, 1, 1), 1, 0);
    const std::array<uint8_t, 32> bounds = EncodeBoundsFile(SurfaceGeometry(side, side, 1, 1));
    WriteFile(grid + "/dblbnd.adf", std::string(bounds.begin(), bounds.end()));

    Result<GDALDatasetUniquePtr> opened = Open(grid);

    EXPECT_EQ(opened.ok() ? "" : opened.error().description(),
              side == 2000 ? ""
                           : "'" + grid +
                                 "' declares 20000 x 20000 cells, but its tile index holds blocks "
                                 "for only 8192 of them, so the GRID is not read");
  }
}

TEST(CellsFitInMemoryTest, CountsEveryCopy) {
  EXPECT_TRUE(CheckCellsFitInMemory(1000, 3, 12000).ok());
  EXPECT_EQ(CheckCellsFitInMemory(1001, 3, 12000).description(), "Out of memory");
  EXPECT_FALSE(CheckCellsFitInMemory(INT64_MAX, 3, UINT64_MAX).ok());  // no wrap-around
}

// A GRID copied into GDAL's memory file system opens through GDAL, but not through us: a /vsi
// path can only come from input text.
TEST_F(GridFolderTest, VirtualPathsAreRefused) {
  MakePlaneGrid(PathIn("dem"), SurfaceGeometry(3, 2, 1, 1), 1, 0);
  const std::string virtual_grid = "/vsimem/terravox-grid-folder-test/dem";
  EnsureGdalRegistered();
  VSIMkdirRecursive(virtual_grid.c_str(), 0755);
  for (const auto& entry : fs::directory_iterator(PathIn("dem"))) {
    const std::string bytes = ReadFile(entry.path().string());
    const std::string target = virtual_grid + "/" + entry.path().filename().string();
    VSILFILE* file = VSIFOpenL(target.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(VSIFWriteL(bytes.data(), 1, bytes.size(), file), bytes.size());
    VSIFCloseL(file);
  }
  const char* const aig[] = {"AIG", nullptr};
  GDALDatasetUniquePtr direct(
      GDALDataset::Open(virtual_grid.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, aig));
  EXPECT_NE(direct, nullptr) << "the control: GDAL itself reads the virtual GRID";
  direct.reset();

  for (const std::string& path :
       {virtual_grid, std::string("/VSIMEM/terravox-grid-folder-test/dem")}) {
    SCOPED_TRACE(path);
    Result<GDALDatasetUniquePtr> opened = Open(path);
    ASSERT_FALSE(opened.ok());
    EXPECT_EQ(opened.error().description(),
              "'" + path + "' names no folder on disk, so it is not read as a GRID");
  }
  VSIRmdirRecursive("/vsimem/terravox-grid-folder-test");
}

// A VRT whose raw band names another file would copy that file's bytes: neither the GRID reader
// nor GDAL as the program sets it up reads one.
TEST_F(GridFolderTest, RawVrtBandsAreNeverRead) {
  WriteFile(PathIn("secret.txt"), "SECRET\n");
  const std::string vrt =
      "<VRTDataset rasterXSize=\"7\" rasterYSize=\"1\"><GeoTransform>0,1,0,1,0,-1</GeoTransform>"
      "<VRTRasterBand dataType=\"Byte\" band=\"1\" subClass=\"VRTRawRasterBand\">"
      "<SourceFilename relativetoVRT=\"0\">" +
      PathIn("secret.txt") +
      "</SourceFilename><ImageOffset>0</ImageOffset><PixelOffset>1</PixelOffset>"
      "<LineOffset>7</LineOffset></VRTRasterBand></VRTDataset>";
  WriteFile(PathIn("leak.vrt"), vrt);
  MakeDir("dem");
  WriteFile(PathIn("dem/hdr.adf"), vrt);
  WriteFile(PathIn("dem/w001001.adf"), vrt);

  EXPECT_FALSE(Open(PathIn("dem")).ok());

  EnsureGdalRegistered();
  GdalErrorScope scope;
  GDALDatasetUniquePtr any_driver(GDALDataset::Open(PathIn("leak.vrt").c_str(), GDAL_OF_RASTER));
  if (any_driver) {
    std::vector<unsigned char> bytes(7, 0);
    const CPLErr read = any_driver->GetRasterBand(1)->RasterIO(GF_Read, 0, 0, 7, 1, bytes.data(), 7,
                                                               1, GDT_Byte, 0, 0, nullptr);
    EXPECT_TRUE(read != CE_None || std::string(bytes.begin(), bytes.end()) != "SECRET\n")
        << "the VRT read the file it names";
  }
}

}  // namespace
}  // namespace terravox::engine
