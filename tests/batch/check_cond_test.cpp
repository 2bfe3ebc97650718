// CheckCond: every check with its condition, order, text and title; what is read and when.
#include "batch/check_cond.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/fake_host.h"
#include "support/temp_dir_test.h"

namespace terravox {
namespace {

using ::terravox::testing::FakeHost;
using ::terravox::testing::ShownMessage;
using ::terravox::testing::WriteFile;

constexpr const char* kFolder = "Please Re-Select Folder";
constexpr const char* kInput = "Please Re-Input data";

class CheckCondTest : public ::terravox::testing::TempDirTest {
 protected:
  // Every check applies and passes: XYZ input with a given cell size, both extra operations.
  void SetUp() override {
    TempDirTest::SetUp();
    Settings& v = host_.values;
    v.input_xyz = true;
    v.cell_size_given = true;
    v.run_contour = true;
    v.run_slope = true;
    v.xyz_folder = MakeDir("xyz");
    v.cell_size = "2.5";
    v.ascii_folder = MakeDir("ascii");
    v.grid_folder = MakeDir("grid");
    v.contour_folder = MakeDir("contour");
    v.contour_base = "100";
    v.contour_interval = "5";
    v.slope_folder = MakeDir("slope");
  }

  // Selects one input kind as the radio buttons would.
  void SelectInput(int option) {
    host_.values.input_xyz = option == 1;
    host_.values.input_ascii = option == 2;
  }

  std::string Missing() const { return PathIn("no-such-folder"); }

  FakeHost host_;
  BatchMdl mdl_;
};

// Number texts as users type them: blanks around, an exponent, a bare decimal point. A check
// that read them with a stricter rule than the steps would refuse a run the steps can do.
TEST_F(CheckCondTest, AllChecksPassingSetsTheFlagAndShowsNothing) {
  host_.values.cell_size = " 2.5\t";
  host_.values.contour_base = "-1e2";
  host_.values.contour_interval = ".5";

  ASSERT_TRUE(CheckCond(host_, mdl_).ok());

  EXPECT_TRUE(mdl_.bRunOk);
  EXPECT_TRUE(host_.messages.empty());
}

// One row per check: with every check applicable, spoiling only that check's control shows
// its message, and no control of a later check is read.
TEST_F(CheckCondTest, EachCheckShowsItsOwnMessageAndStopsThere) {
  struct Row {
    const char* control;
    std::string Settings::*field;
    const char* bad;  // "" stands for "a folder that does not exist"
    const char* text;
    const char* title;
  };
  const Row rows[] = {
      {"XyzFolder", &Settings::xyz_folder, "", "The folder of XYZ files does not exist.", kFolder},
      {"CellSizeText", &Settings::cell_size, "abc", "Pixcel Size is not a number", kInput},
      {"AsciiFolder", &Settings::ascii_folder, "", "The folder of ASCII files does not exist.",
       kFolder},
      {"GridFolder", &Settings::grid_folder, "", "The folder of Grid does not exist.", kFolder},
      {"ContourFolder", &Settings::contour_folder, "",
       "The folder of Contour files does not exist.", kFolder},
      {"ContourBase", &Settings::contour_base, "1,5", "The start value of Contour is not a number.",
       kInput},
      {"ContourInterval", &Settings::contour_interval, "five",
       "The interval of Contour lines is not a number", kInput},
      {"SlopeFolder", &Settings::slope_folder, "", "The folder of slope GRIDS does not exist.",
       kFolder},
  };
  const std::vector<std::string> order = {"XyzFolder",       "CellSizeText",  "AsciiFolder",
                                          "GridFolder",      "ContourFolder", "ContourBase",
                                          "ContourInterval", "SlopeFolder"};
  for (size_t i = 0; i < std::size(rows); ++i) {
    const Row& row = rows[i];
    SCOPED_TRACE(row.control);
    FakeHost host;
    host.values = host_.values;
    host.values.*row.field = *row.bad ? std::string(row.bad) : Missing();
    BatchMdl mdl;

    ASSERT_TRUE(CheckCond(host, mdl).ok());

    EXPECT_FALSE(mdl.bRunOk);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, row.text);
    EXPECT_EQ(host.messages[0].title, row.title);
    for (size_t later = i + 1; later < order.size(); ++later) {
      EXPECT_FALSE(host.WasRead(order[later])) << order[later] << " read after the failure";
    }
  }
}

// One row per check: when its condition does not hold, its control may hold anything, is not
// read, and the run is valid.
TEST_F(CheckCondTest, ChecksThatDoNotApplyAreNotReadAndDoNotFail) {
  struct Row {
    const char* name;
    std::function<void(Settings&)> settings;
    std::vector<const char*> unread;
  };
  const Row rows[] = {
      {"ASCII input skips the XYZ folder and cell size",
       [](Settings& v) {
         v.input_xyz = false, v.input_ascii = true, v.xyz_folder = "", v.cell_size = "";
       },
       {"XyzFolder", "CellSizeText"}},
      {"unknown cell size ignores letters in the cell size",
       [](Settings& v) { v.cell_size_given = false, v.cell_size = "letters"; },
       {"CellSizeText"}},
      {"GRID input skips XYZ and ASCII folders",
       [](Settings& v) {
         v.input_xyz = false, v.xyz_folder = "", v.ascii_folder = "", v.cell_size = "x";
       },
       {"XyzFolder", "CellSizeText", "AsciiFolder"}},
      {"given cell size is not checked for ASCII input",
       [](Settings& v) { v.input_xyz = false, v.input_ascii = true, v.cell_size = "x"; },
       {"CellSizeText"}},
      {"no contours skips the contour texts",
       [](Settings& v) {
         v.run_contour = false, v.contour_folder = "", v.contour_base = "a",
         v.contour_interval = "b";
       },
       {"ContourFolder", "ContourBase", "ContourInterval"}},
      {"no slopes skips the slope folder",
       [](Settings& v) { v.run_slope = false, v.slope_folder = ""; },
       {"SlopeFolder"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakeHost host;
    host.values = host_.values;
    row.settings(host.values);
    BatchMdl mdl;

    ASSERT_TRUE(CheckCond(host, mdl).ok());

    EXPECT_TRUE(mdl.bRunOk);
    EXPECT_TRUE(host.messages.empty());
    for (const char* control : row.unread) {
      EXPECT_FALSE(host.WasRead(control)) << control;
    }
  }
}

TEST_F(CheckCondTest, GridInputWithNoExtraOperationChecksOnlyTheGridFolder) {
  SelectInput(3);
  host_.values.run_contour = false;
  host_.values.run_slope = false;

  ASSERT_TRUE(CheckCond(host_, mdl_).ok());

  EXPECT_TRUE(mdl_.bRunOk);
  for (const char* control : {"ContourBase", "ContourInterval", "ContourFolder", "SlopeFolder",
                              "AsciiFolder", "XyzFolder", "CellSizeText"}) {
    EXPECT_FALSE(host_.WasRead(control)) << control;
  }
  EXPECT_TRUE(host_.WasRead("GridFolder"));
}

TEST_F(CheckCondTest, GridFolderIsCheckedForEveryInputKind) {
  for (int option : {1, 2, 3}) {
    SCOPED_TRACE(option);
    FakeHost host;
    host.values = host_.values;
    host.values.input_xyz = option == 1;
    host.values.input_ascii = option == 2;
    host.values.grid_folder = Missing();
    BatchMdl mdl;

    ASSERT_TRUE(CheckCond(host, mdl).ok());

    EXPECT_FALSE(mdl.bRunOk);
    EXPECT_EQ(host.messages,
              (std::vector<ShownMessage>{{"The folder of Grid does not exist.", kFolder, ""}}));
  }
}

TEST_F(CheckCondTest, OnlyTheFirstFailureIsShown) {
  host_.values.xyz_folder = Missing();
  host_.values.grid_folder = Missing();
  host_.values.contour_interval = "not a number";

  ASSERT_TRUE(CheckCond(host_, mdl_).ok());

  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0].text, "The folder of XYZ files does not exist.");
  EXPECT_FALSE(host_.WasRead("GridFolder"));
}

TEST_F(CheckCondTest, FolderTextsThatNameNoFolderFail) {
  WriteFile(PathIn("plain-file"), "not a folder");
  struct Row {
    const char* name;
    std::string text;
  };
  const Row rows[] = {
      {"empty text", ""},
      {"a file, not a folder", PathIn("plain-file")},
      {"below a file", PathIn("plain-file") + "/grid"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakeHost host;
    host.values = host_.values;
    host.values.grid_folder = row.text;
    BatchMdl mdl;

    ASSERT_TRUE(CheckCond(host, mdl).ok());

    EXPECT_FALSE(mdl.bRunOk);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "The folder of Grid does not exist.");
  }
}

// A folder that cannot even be tested is no missing folder: validation passes the failure on,
// naming the folder, shows nothing and leaves the flag alone; the run then ends with it.
TEST_F(CheckCondTest, FolderThatCannotBeTestedIsAFailureNotAMissingFolder) {
  std::filesystem::create_symlink(PathIn("loop"), PathIn("loop"));
  struct Row {
    const char* name;
    std::string text;
    const char* reason;
  };
  const Row rows[] = {
      {"link loop", PathIn("loop"), "Too many levels of symbolic links"},
      {"below a link loop", PathIn("loop") + "/grid", "Too many levels of symbolic links"},
      {"name too long", PathIn(std::string(300, 'g')), "File name too long"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakeHost host;
    host.values = host_.values;
    host.values.grid_folder = row.text;
    BatchMdl mdl;

    Status status = CheckCond(host, mdl);

    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.description(), std::string(row.reason) + ": " + row.text);
    EXPECT_FALSE(mdl.bRunOk);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_FALSE(host.WasRead("ContourFolder"));
  }
}

TEST_F(CheckCondTest, FailureLeavesAFlagThatWasAlreadySet) {
  host_.values.grid_folder = Missing();
  mdl_.bRunOk = true;

  ASSERT_TRUE(CheckCond(host_, mdl_).ok());

  EXPECT_TRUE(mdl_.bRunOk);
  EXPECT_EQ(host_.messages.size(), 1u);
}

}  // namespace
}  // namespace terravox
