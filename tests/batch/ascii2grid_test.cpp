// Tests for ASCII2GRID over real folders: conversions, replacement, captions and the handler.
#include "batch/ascii2grid.h"

#include <filesystem>

#include "engine/gis_test_util.h"
#include "support/fake_host.h"
#include "support/temp_dir_test.h"

namespace terravox {
namespace {

namespace fs = std::filesystem;
using testing::FakeHost;
using testing::ReadGridBack;
using testing::WriteFile;

// An ESRI ASCII grid of a plane rising `step` per cell eastwards, 0 in the west.
std::string AsciiRamp(int ncols, int nrows, int step) {
  std::string text = "ncols " + std::to_string(ncols) + "\r\nnrows " + std::to_string(nrows) +
                     "\r\nxllcorner 1000\r\nyllcorner 2000\r\ncellsize 1\r\n"
                     "NODATA_value -9999\r\n";
  for (int row = 0; row < nrows; ++row) {
    for (int col = 0; col < ncols; ++col) {
      text += std::to_string(col * step) + (col + 1 < ncols ? " " : "\r\n");
    }
  }
  return text;
}

class Ascii2GridTest : public testing::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    ascii_ = MakeDir("ascii");
    grid_ = MakeDir("grid");
    host_.values.ascii_folder = ascii_;
    host_.values.grid_folder = grid_;
    mdl_.bRunOk = true;
  }

  // The value of the north-east cell of a converted ramp: (ncols - 1) * step.
  float LastCell(const std::string& name) {
    testing::GridReadBack grid = ReadGridBack(grid_ + "/" + name);
    return grid.opened ? grid.cells[grid.ncols - 1] : -1;
  }

  std::string ascii_;
  std::string grid_;
  FakeHost host_;
  BatchMdl mdl_;
};

TEST_F(Ascii2GridTest, ConvertsEveryFileToAGridOfItsBaseName) {
  WriteFile(ascii_ + "/dem1.asc", AsciiRamp(4, 3, 1));
  WriteFile(ascii_ + "/a.b.asc", AsciiRamp(5, 2, 2));

  ASSERT_TRUE(ASCII2GRID(host_, mdl_).ok());

  EXPECT_TRUE(host_.messages.empty());
  EXPECT_TRUE(mdl_.bRunOk);
  testing::GridReadBack dem1 = ReadGridBack(grid_ + "/dem1");
  ASSERT_TRUE(dem1.opened);
  EXPECT_EQ(dem1.ncols, 4);
  EXPECT_EQ(dem1.nrows, 3);
  EXPECT_FLOAT_EQ(LastCell("a"), 8);
}

TEST_F(Ascii2GridTest, CaptionsCountFilesWithLeadingBlanks) {
  WriteFile(ascii_ + "/b.asc", AsciiRamp(3, 3, 1));
  WriteFile(ascii_ + "/A.asc", AsciiRamp(3, 3, 1));

  ASSERT_TRUE(ASCII2GRID(host_, mdl_).ok());

  const std::vector<std::string> expected = {"Running : ASCII-->ESRI GRID ( 1/ 2)   A.asc",
                                             "Running : ASCII-->ESRI GRID ( 2/ 2)   b.asc"};
  EXPECT_EQ(host_.captions, expected);
  EXPECT_EQ(host_.repaint_count, 2);
  // On success the last caption stays for the batch run to clear.
  EXPECT_EQ(host_.StatusText(), expected.back());
}

// The usual ESRI pair: the .prj is the grid's coordinate system, and GDAL's side file is GDAL's.
// Neither is counted, shown or converted, so neither can remove the GRID just made.
TEST_F(Ascii2GridTest, SideFilesOfAGridAreNeitherCountedNorConverted) {
  WriteFile(ascii_ + "/dem.asc", AsciiRamp(4, 3, 1));
  WriteFile(ascii_ + "/dem.prj",
            "GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\","
            "6378137.0,298.257223563]],PRIMEM[\"Greenwich\",0.0],"
            "UNIT[\"Degree\",0.0174532925199433]]");
  WriteFile(ascii_ + "/dem.asc.aux.xml", "<PAMDataset></PAMDataset>");
  WriteFile(ascii_ + "/b.asc", AsciiRamp(3, 3, 1));

  ASSERT_TRUE(ASCII2GRID(host_, mdl_).ok());

  EXPECT_TRUE(host_.messages.empty());
  EXPECT_TRUE(mdl_.bRunOk);
  EXPECT_EQ(host_.captions,
            (std::vector<std::string>{"Running : ASCII-->ESRI GRID ( 1/ 2)   b.asc",
                                      "Running : ASCII-->ESRI GRID ( 2/ 2)   dem.asc"}));
  EXPECT_FLOAT_EQ(LastCell("dem"), 3);
  EXPECT_FLOAT_EQ(LastCell("b"), 2);
}

// Far from the origin the bounds lose the cell size: such a GRID would read back as another size,
// so its conversion fails through the step's handler and nothing is written under its name.
TEST_F(Ascii2GridTest, CornerTooFarForTheCellSizeFailsTheConversion) {
  WriteFile(ascii_ + "/far.asc",
            "ncols 2\r\nnrows 2\r\nxllcorner 1e17\r\nyllcorner 0\r\ncellsize 1\r\n"
            "NODATA_value -9999\r\n1 2\r\n3 4\r\n");

  ASSERT_TRUE(ASCII2GRID(host_, mdl_).ok());

  ASSERT_EQ(host_.messages.size(), 1u);
  const std::string prefix = ascii_ + "/far.asc Error-";
  EXPECT_EQ(host_.messages[0].text.substr(0, prefix.size()), prefix);
  EXPECT_NE(host_.messages[0].text.find("would read back with another size"), std::string::npos)
      << host_.messages[0].text;
  EXPECT_FALSE(mdl_.bRunOk);
  EXPECT_TRUE(fs::is_empty(grid_));
}

TEST_F(Ascii2GridTest, ExistingGridIsReplaced) {
  WriteFile(ascii_ + "/dem.asc", AsciiRamp(4, 3, 1));
  ASSERT_TRUE(ASCII2GRID(host_, mdl_).ok());
  ASSERT_FLOAT_EQ(LastCell("dem"), 3);

  WriteFile(ascii_ + "/dem.asc", AsciiRamp(4, 3, 10));
  ASSERT_TRUE(ASCII2GRID(host_, mdl_).ok());

  EXPECT_TRUE(host_.messages.empty());
  EXPECT_FLOAT_EQ(LastCell("dem"), 30);
}

TEST_F(Ascii2GridTest, LaterFileOfTheSameBaseNameWins) {
  WriteFile(ascii_ + "/dem.asc", AsciiRamp(4, 3, 1));
  WriteFile(ascii_ + "/dem.txt", AsciiRamp(4, 3, 7));

  ASSERT_TRUE(ASCII2GRID(host_, mdl_).ok());

  EXPECT_TRUE(host_.messages.empty());
  EXPECT_FLOAT_EQ(LastCell("dem"), 21);
}

TEST_F(Ascii2GridTest, FileThatIsNoGridStopsTheLoop) {
  WriteFile(ascii_ + "/a.asc", AsciiRamp(3, 3, 1));
  WriteFile(ascii_ + "/b.txt", "Notes on the survey, not a grid.\r\n");
  WriteFile(ascii_ + "/c.asc", AsciiRamp(3, 3, 1));

  ASSERT_TRUE(ASCII2GRID(host_, mdl_).ok());

  ASSERT_EQ(host_.messages.size(), 1u);
  const testing::ShownMessage& shown = host_.messages[0];
  const std::string prefix = ascii_ + "/b.txt Error-";
  EXPECT_EQ(shown.text.substr(0, prefix.size()), prefix);
  EXPECT_GT(shown.text.size(), prefix.size()) << "the engine's message is missing";
  EXPECT_EQ(shown.title, "Program was interrupted");
  EXPECT_EQ(shown.status_at_show, "Running : ASCII-->ESRI GRID ( 2/ 3)   b.txt");
  EXPECT_EQ(host_.StatusText(), "");
  EXPECT_FALSE(mdl_.bRunOk);
  EXPECT_TRUE(ReadGridBack(grid_ + "/a").opened);
  EXPECT_FALSE(fs::exists(grid_ + "/b"));
  EXPECT_FALSE(fs::exists(grid_ + "/c"));
  EXPECT_EQ(host_.captions.size(), 3u);  // a and b, then the emptied line
}

TEST_F(Ascii2GridTest, FailureBeforeAnyInputPathNamesNoPath) {
  WriteFile(ascii_ + "/a.asc", AsciiRamp(3, 3, 1));
  struct Row {
    const char* name;
    std::string ascii_folder;
    std::string grid_folder;
  };
  const Row rows[] = {
      {"missing ASCII folder", PathIn("no-ascii"), grid_},
      {"missing GRID folder", ascii_, PathIn("no-grid")},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakeHost host;
    host.values.ascii_folder = row.ascii_folder;
    host.values.grid_folder = row.grid_folder;
    BatchMdl mdl;
    mdl.bRunOk = true;

    ASSERT_TRUE(ASCII2GRID(host, mdl).ok());

    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text.rfind(" Error-", 0), 0u) << host.messages[0].text;
    EXPECT_GT(host.messages[0].text.size(), std::string(" Error-").size());
    EXPECT_EQ(host.messages[0].title, "Program was interrupted");
    EXPECT_FALSE(mdl.bRunOk);
    EXPECT_EQ(host.StatusText(), "");
  }
}

TEST_F(Ascii2GridTest, MissingAsciiFolderIsPathNotFound) {
  host_.values.ascii_folder = PathIn("no-ascii");
  ASSERT_TRUE(ASCII2GRID(host_, mdl_).ok());
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0].text, " Error-Path not found");
}

TEST_F(Ascii2GridTest, EmptyFolderShowsNothing) {
  ASSERT_TRUE(ASCII2GRID(host_, mdl_).ok());
  EXPECT_TRUE(host_.captions.empty());
  EXPECT_TRUE(host_.messages.empty());
  EXPECT_EQ(host_.repaint_count, 0);
  EXPECT_TRUE(mdl_.bRunOk);
}

}  // namespace
}  // namespace terravox
