// ConvertXyzFile: the grids it writes, byte for byte, and how each failure is reported.
#include "gridder/gridder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "support/fake_host.h"
#include "support/temp_dir_test.h"

namespace terravox {
namespace {

using testing::FakeHost;
using testing::ReadFile;
using testing::ShownMessage;
using testing::TempDirTest;
using testing::WriteFile;

constexpr char kCaption[] = "Running : XYZ-->ASCII( 1/ 1)   points.xyz";

// Lines joined with CR LF after each, the last one included.
std::string CrLf(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// The 3 x 2 lattice x 0, 10, 20 and y 0, 10 with z = x / 10 + 1 + 3 * (y / 10).
const std::string kLattice3x2Grid = CrLf({
    "ncols         3",
    "nrows         2",
    "xllcorner     -5",
    "yllcorner     -5",
    "cellsize      10",
    "NODATA_value  -9999",
    "4 5 6",
    "1 2 3",
});

class GridderTest : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    options_.error_log_path = PathIn("xyz2ascii.log");
    mdl_.bRunOk = true;
    host_.SetStatus(kCaption);
  }

  std::string XyzPath() const { return PathIn("points.xyz"); }
  std::string AscPath() const { return PathIn("points.asc"); }

  Status Convert(const std::string& xyz_text) {
    WriteFile(XyzPath(), xyz_text);
    return ConvertXyzFile(XyzPath(), AscPath(), host_, mdl_, options_);
  }
  void GiveCellSize(const std::string& text) {
    host_.values.cell_size_given = true;
    host_.values.cell_size = text;
  }

  // The names in the test folder: shows any leftover temporary file.
  std::set<std::string> FolderNames() const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir())) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }

  void ExpectGrid(const Status& status, const std::string& expected) {
    ASSERT_TRUE(status.ok()) << status.description();
    EXPECT_EQ(ReadFile(AscPath()), expected);
    EXPECT_TRUE(mdl_.bRunOk);
    EXPECT_EQ(host_.StatusText(), kCaption);
    EXPECT_TRUE(host_.messages.empty());
    EXPECT_FALSE(std::filesystem::exists(options_.error_log_path));
    EXPECT_EQ(FolderNames(), (std::set<std::string>{"points.xyz", "points.asc"}));
  }

  // The error path: one log line, the flag and the status line cleared, no grid, no leftovers.
  void ExpectErrorPath(const Status& status, const std::string& description) {
    ASSERT_TRUE(status.ok()) << status.description();
    EXPECT_EQ(ReadFile(options_.error_log_path), XyzPath() + " Error-" + description + "\r\n");
    EXPECT_FALSE(mdl_.bRunOk);
    EXPECT_EQ(host_.StatusText(), "");
    EXPECT_TRUE(host_.messages.empty());
    std::set<std::string> names = FolderNames();
    names.erase("points.xyz");
    EXPECT_EQ(names, (std::set<std::string>{"xyz2ascii.log"}));
  }

  FakeHost host_;
  BatchMdl mdl_;
  RunOptions options_;
};

TEST_F(GridderTest, LatticeGivesTheSameGridInAnyPointOrder) {
  struct Row {
    const char* name;
    const char* xyz;
  };
  const Row rows[] = {
      {"row order", "0 0 1\r\n10 0 2\r\n20 0 3\r\n0 10 4\r\n10 10 5\r\n20 10 6\r\n"},
      {"reversed", "20 10 6\r\n10 10 5\r\n0 10 4\r\n20 0 3\r\n10 0 2\r\n0 0 1\r\n"},
      {"shuffled", "10 10 5\r\n0 0 1\r\n20 10 6\r\n10 0 2\r\n0 10 4\r\n20 0 3\r\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ExpectGrid(Convert(row.xyz), kLattice3x2Grid);
  }
}

TEST_F(GridderTest, DerivedCellSizeIsRoundedToSingle) {
  // The single nearest 0.1 prints as 0.1 in 7 digits, but the corners show it is not 0.1.
  ExpectGrid(Convert("100 0 1\r\n100.1 0 2\r\n100.2 0 3\r\n"
                     "100 0.1 4\r\n100.1 0.1 5\r\n100.2 0.1 6\r\n"),
             CrLf({"ncols         3", "nrows         2", "xllcorner     99.9499999992549",
                   "yllcorner     -0.0500000007450581", "cellsize      0.1", "NODATA_value  -9999",
                   "4 5 6", "1 2 3"}));
}

TEST_F(GridderTest, GivenCellSizeBelowTheSpacingKeepsRowsInPlace) {
  // The single nearest 0.7 lies below 0.7: a ceiling would push rows down and lose the last.
  GiveCellSize("0.7");
  std::string xyz;
  const char* coords[] = {"0", "0.7", "1.4", "2.1"};
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      xyz += std::string(coords[c]) + " " + coords[r] + " " + std::to_string(10 * r + c) + "\r\n";
    }
  }
  ExpectGrid(Convert(xyz),
             CrLf({"ncols         4", "nrows         4", "xllcorner     -0.349999994039536",
                   "yllcorner     -0.349999994039536", "cellsize      0.7", "NODATA_value  -9999",
                   "30 31 32 33", "20 21 22 23", "10 11 12 13", "0 1 2 3"}));
}

TEST_F(GridderTest, LaterPointOfACellWins) {
  ExpectGrid(Convert("0 0 1\r\n10 0 2\r\n20 0 3\r\n0 10 4\r\n10 10 5\r\n20 10 6\r\n"
                     "10 0 7.25\r\n-0 0 -8\r\n"),
             CrLf({"ncols         3", "nrows         2", "xllcorner     -5", "yllcorner     -5",
                   "cellsize      10", "NODATA_value  -9999", "4 5 6", "-8 7.25 3"}));
}

TEST_F(GridderTest, CellsWithoutPointsAreNoData) {
  ExpectGrid(
      Convert("0 0 1E-5\r\n20 0 -0\r\n0 10 1e15\r\n10 10 -9999\r\n"),
      CrLf({"ncols         3", "nrows         2", "xllcorner     -5", "yllcorner     -5",
            "cellsize      10", "NODATA_value  -9999", "1E+15 -9999 -9999", "1E-05 -9999 0"}));
}

TEST_F(GridderTest, CommentLinesAreSkippedByTheirFirstCharacter) {
  for (const char* comment : {"# x y z", "' note", "\\ note", "// note"}) {
    SCOPED_TRACE(comment);
    ExpectGrid(Convert(std::string(comment) + "\r\n0 0 1\r\n10 0 2\r\n" + comment +
                       "\r\n20 0 3\r\n0 10 4\r\n10 10 5\r\n20 10 6\r\n"),
               kLattice3x2Grid);
  }
}

TEST_F(GridderTest, BlankBeforeHashMakesADataLine) {
  ExpectErrorPath(Convert(" # x y z\r\n0 0 1\r\n"), "Type mismatch");
}

TEST_F(GridderTest, FieldsAfterTheThirdAreIgnored) {
  ExpectGrid(Convert("0 0 1 a\r\n10 0 2 b c\r\n20 0 3 \r\n0 10 4 9 9 9\r\n10 10 5 x\r\n"
                     "20 10 6 7\r\n"),
             kLattice3x2Grid);
}

TEST_F(GridderTest, SplitsAtTheChosenSeparator) {
  struct Row {
    const char* name;
    std::string separator;
  };
  const Row rows[] = {
      {"blank", " "}, {"tab", "\t"}, {"comma", ","}, {"semicolon", ";"}, {"typed", "::"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    mdl_.strSeparator = row.separator;
    const std::string& s = row.separator;
    ExpectGrid(
        Convert("0" + s + "0" + s + "1\r\n10" + s + "0" + s + "2\r\n20" + s + "0" + s + "3\r\n0" +
                s + "10" + s + "4\r\n10" + s + "10" + s + "5\r\n20" + s + "10" + s + "6\r\n"),
        kLattice3x2Grid);
  }
}

TEST_F(GridderTest, DoubledSeparatorGivesAnEmptyField) {
  ExpectErrorPath(Convert("0  0 1\r\n"), "Type mismatch");
}

TEST_F(GridderTest, SeparatorMissingFromALineShowsTheFormatMessage) {
  for (const std::string separator : {"\t", "", "x y"}) {
    SCOPED_TRACE("separator [" + separator + "]");
    host_.messages.clear();
    host_.SetStatus(kCaption);
    mdl_.bRunOk = true;
    mdl_.strSeparator = separator;
    Status status = Convert("0 0 1\r\n10 0 2\r\n");
    ASSERT_TRUE(status.ok());
    ASSERT_EQ(host_.messages.size(), 1u);
    EXPECT_EQ(host_.messages[0], (ShownMessage{XyzPath() + " does not fit the format you setting!",
                                               "Please Check xyz file", kCaption}));
    EXPECT_FALSE(mdl_.bRunOk);
    EXPECT_EQ(host_.StatusText(), "");
    EXPECT_EQ(FolderNames(), (std::set<std::string>{"points.xyz"}));  // no log, no grid
  }
}

TEST_F(GridderTest, EveryLineEndEndsALine) {
  struct Row {
    const char* name;
    const char* xyz;
  };
  const Row rows[] = {
      {"LF", "0 0 1\n10 0 2\n20 0 3\n0 10 4\n10 10 5\n20 10 6\n"},
      {"CR", "0 0 1\r10 0 2\r20 0 3\r0 10 4\r10 10 5\r20 10 6\r"},
      {"mixed, no last end", "0 0 1\r\n10 0 2\n20 0 3\r0 10 4\n10 10 5\r\n20 10 6"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ExpectGrid(Convert(row.xyz), kLattice3x2Grid);
  }
}

TEST_F(GridderTest, EmptyLineAfterTheDataIsAnError) {
  ExpectErrorPath(Convert("0 0 1\r\n10 0 2\r\n\r\n"), "Subscript out of range");
}

TEST_F(GridderTest, SinglePointNeedsAGivenCellSize) {
  ExpectErrorPath(Convert("500 800 12.5\r\n"), "Division by zero");
}

TEST_F(GridderTest, SinglePointWithGivenCellSizeMakesOneCell) {
  GiveCellSize("2");
  ExpectGrid(Convert("500 800 12.5\r\n"),
             CrLf({"ncols         1", "nrows         1", "xllcorner     499", "yllcorner     799",
                   "cellsize      2", "NODATA_value  -9999", "12.5"}));
}

TEST_F(GridderTest, GapInYIsAnErrorNotALostRow) {
  // The point at y = 0 would land in row 3 of a 3-row grid.
  ExpectErrorPath(Convert("0 0 1\r\n10 0 2\r\n0 10 3\r\n10 10 4\r\n0 30 5\r\n10 30 6\r\n"),
                  "Subscript out of range");
}

TEST_F(GridderTest, ExistingOutputIsReplaced) {
  WriteFile(AscPath(), std::string(5000, 'x'));
  ExpectGrid(Convert("0 0 1\r\n10 0 2\r\n20 0 3\r\n0 10 4\r\n10 10 5\r\n20 10 6\r\n"),
             kLattice3x2Grid);
}

TEST_F(GridderTest, CellSizeIsReadOnlyWhenGiven) {
  host_.values.cell_size = "not a number";
  ExpectGrid(Convert("0 0 1\r\n10 0 2\r\n20 0 3\r\n0 10 4\r\n10 10 5\r\n20 10 6\r\n"),
             kLattice3x2Grid);
  EXPECT_FALSE(host_.WasRead("CellSizeText"));
}

TEST_F(GridderTest, LogIsAppendedToNeverTruncated) {
  WriteFile(options_.error_log_path, "earlier line\r\n");
  std::vector<std::string> echoed;
  options_.on_log_line = [&](const std::string& line) { echoed.push_back(line); };
  ASSERT_TRUE(Convert("a b c\r\n").ok());
  EXPECT_EQ(ReadFile(options_.error_log_path),
            "earlier line\r\n" + XyzPath() + " Error-Type mismatch\r\n");
  EXPECT_EQ(echoed, std::vector<std::string>{XyzPath() + " Error-Type mismatch"});
}

TEST_F(GridderTest, BadInputEndsInTheLogNeverInACrash) {
  struct Row {
    const char* name;
    std::string xyz;
    const char* given_cell_size;  // nullptr: derived
    const char* description;
  };
  const Row rows[] = {
      {"empty file", "", nullptr, "Subscript out of range"},
      {"comments only", "# x y z\r\n/ none\r\n", nullptr, "Subscript out of range"},
      {"two fields", "0 0 1\r\n10 0\r\n", nullptr, "Subscript out of range"},
      {"words", "x y z\r\n", nullptr, "Type mismatch"},
      {"nan", "nan 0 1\r\n", nullptr, "Type mismatch"},
      {"inf", "0 0 inf\r\n", nullptr, "Type mismatch"},
      {"hex", "0x10 0 1\r\n", nullptr, "Type mismatch"},
      {"decimal comma", "0 0 1,5\r\n", nullptr, "Type mismatch"},
      {"binary", std::string("\x00\xff\x01 \x7f\x80 \x02\r\n", 10), nullptr, "Type mismatch"},
      {"huge z", "0 0 1e400\r\n", nullptr, "Overflow"},
      {"x extent beyond single", "-1e300 0 1\r\n1e300 0 2\r\n", nullptr, "Overflow"},
      {"x extent beyond double", "-1.7e308 0 1\r\n1.7e308 0 2\r\n", nullptr, "Overflow"},
      {"cell size not a number", "0 0 1\r\n", "five", "Type mismatch"},
      {"cell size beyond single", "0 0 1\r\n", "1e39", "Overflow"},
      {"zero cell size", "0 0 1\r\n10 0 2\r\n", "0", "Division by zero"},
      {"cell size rounding to zero", "0 0 1\r\n10 0 2\r\n", "1e-50", "Division by zero"},
      {"negative cell size", "0 0 1\r\n10 0 2\r\n", "-10", "Subscript out of range"},
      {"column past 16 bits", "0 0 1\r\n1 0 2\r\n", "0.00001", "Overflow"},
      {"row past 16 bits", "0 0 1\r\n0 1 2\r\n", "0.00001", "Overflow"},
      {"column 32767 of 2", "0 0 1\r\n32767 0 2\r\n", "1", "Subscript out of range"},
      {"column past the grid", "0 0 1\r\n10 0 2\r\n25 0 3\r\n", "5", "Subscript out of range"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::filesystem::remove(options_.error_log_path);
    mdl_.bRunOk = true;
    host_.SetStatus(kCaption);
    host_.values.cell_size_given = row.given_cell_size != nullptr;
    host_.values.cell_size = row.given_cell_size ? row.given_cell_size : "";
    ExpectErrorPath(Convert(row.xyz), row.description);
  }
}

TEST_F(GridderTest, UnreadableInputIsLogged) {
  struct Row {
    const char* name;
    std::string path;
    const char* description;
  };
  const Row rows[] = {
      {"missing file", PathIn("none.xyz"), "File not found"},
      {"missing folder", PathIn("none/points.xyz"), "File not found"},
      {"a folder", MakeDir("folder.xyz"), "Is a directory"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::filesystem::remove(options_.error_log_path);
    ASSERT_TRUE(ConvertXyzFile(row.path, AscPath(), host_, mdl_, options_).ok());
    EXPECT_EQ(ReadFile(options_.error_log_path), row.path + " Error-" + row.description + "\r\n");
    EXPECT_FALSE(std::filesystem::exists(AscPath()));
  }
}

// Points on a diagonal make a grid of n x n cells, nearly all of them no-data: the grid must be
// one that could be held in memory, however little of it the points fill.
TEST_F(GridderTest, GridBeyondTheMemoryLimitIsOutOfMemoryBeforeAnythingIsWritten) {
  std::string diagonal;
  for (int i = 0; i < 100; ++i) {
    diagonal += std::to_string(i) + " " + std::to_string(i) + " 1\r\n";
  }
  constexpr uint64_t kGridBytes = uint64_t{100} * 100 * sizeof(float);
  struct Row {
    const char* name;
    uint64_t limit;
    bool fits;
  };
  const Row rows[] = {
      {"exactly the grid's bytes", kGridBytes, true},
      {"one byte less", kGridBytes - 1, false},
      {"one cell less", kGridBytes - sizeof(float), false},
      {"no memory at all", 0, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::filesystem::remove(AscPath());
    std::filesystem::remove(options_.error_log_path);
    mdl_.bRunOk = true;
    host_.SetStatus(kCaption);
    options_.max_grid_bytes = row.limit;
    Status status = Convert(diagonal);
    if (row.fits) {
      ASSERT_TRUE(status.ok());
      EXPECT_TRUE(std::filesystem::exists(AscPath()));
      EXPECT_TRUE(mdl_.bRunOk);
    } else {
      ExpectErrorPath(status, "Out of memory");
    }
  }
}

TEST_F(GridderTest, NameWithLineEndsIsLoggedAsOneEscapedLine) {
  const std::string xyz_path = PathIn("bad\r\nforged.xyz Error-Overflow\r\nx.xyz");
  WriteFile(xyz_path, "");
  std::vector<std::string> echoed;
  options_.on_log_line = [&](const std::string& line) { echoed.push_back(line); };

  ASSERT_TRUE(ConvertXyzFile(xyz_path, AscPath(), host_, mdl_, options_).ok());

  const std::string expected =
      PathIn("bad\\r\\nforged.xyz Error-Overflow\\r\\nx.xyz") + " Error-Subscript out of range";
  EXPECT_EQ(ReadFile(options_.error_log_path), expected + "\r\n");
  EXPECT_EQ(echoed, std::vector<std::string>{expected});
}

TEST_F(GridderTest, OutputInAMissingFolderIsLogged) {
  WriteFile(XyzPath(), "0 0 1\r\n10 0 2\r\n");
  std::string asc_path = PathIn("missing/points.asc");
  ASSERT_TRUE(ConvertXyzFile(XyzPath(), asc_path, host_, mdl_, options_).ok());
  EXPECT_EQ(ReadFile(options_.error_log_path), XyzPath() + " Error-Path not found\r\n");
  EXPECT_FALSE(mdl_.bRunOk);
}

TEST_F(GridderTest, OutputOverAFolderFailsAndLeavesNoTemporaryFile) {
  MakeDir("points.asc");
  WriteFile(XyzPath(), "0 0 1\r\n10 0 2\r\n");
  ASSERT_TRUE(ConvertXyzFile(XyzPath(), AscPath(), host_, mdl_, options_).ok());
  EXPECT_FALSE(mdl_.bRunOk);
  EXPECT_TRUE(std::filesystem::is_empty(AscPath()));
  EXPECT_EQ(FolderNames(), (std::set<std::string>{"points.xyz", "points.asc", "xyz2ascii.log"}));
}

TEST_F(GridderTest, NeverWritesOverItsInput) {
  std::filesystem::create_symlink(XyzPath(), AscPath());
  const std::string xyz = "0 0 1\r\n10 0 2\r\n";
  Status status = Convert(xyz);
  EXPECT_EQ(ReadFile(XyzPath()), xyz);
  std::filesystem::remove(AscPath());
  ExpectErrorPath(status, "The output file is the input file");
}

TEST_F(GridderTest, UnwritableLogEscapesNamingTheLog) {
  std::string victim = PathIn("victim.txt");
  WriteFile(victim, "keep\n");
  std::filesystem::create_symlink(victim, PathIn("link.log"));
  struct Row {
    const char* name;
    std::string log_path;
    std::string reason;
  };
  const Row rows[] = {
      {"missing folder", PathIn("none/x.log"), "Path not found"},
      {"symbolic link", PathIn("link.log"), "it is a symbolic link"},
      {"folder", MakeDir("folder.log"), "Is a directory"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    options_.error_log_path = row.log_path;
    Status status = Convert("a b c\r\n");
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.description(),
              "Cannot write the error log " + row.log_path + ": " + row.reason);
    EXPECT_FALSE(std::filesystem::exists(AscPath()));
  }
  EXPECT_EQ(ReadFile(victim), "keep\n");
}

}  // namespace
}  // namespace terravox
