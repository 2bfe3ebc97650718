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
    ControlValues& v = host_.values;
    v.Option1 = true;
    v.Option3 = false;
    v.Option4 = true;
    v.Option5 = false;
    v.Check1 = true;
    v.Check2 = true;
    v.Text7 = MakeDir("xyz");
    v.Text8 = "2.5";
    v.Text6 = MakeDir("ascii");
    v.Text1 = MakeDir("grid");
    v.Text4 = MakeDir("contour");
    v.Text2 = "100";
    v.Text3 = "5";
    v.Text5 = MakeDir("slope");
  }

  // Selects one input kind as the radio buttons would.
  void SelectInput(int option) {
    host_.values.Option1 = option == 1;
    host_.values.Option2 = option == 2;
    host_.values.Option3 = option == 3;
  }

  std::string Missing() const { return PathIn("no-such-folder"); }

  FakeHost host_;
  BatchMdl mdl_;
};

TEST_F(CheckCondTest, AllChecksPassingSetsTheFlagAndShowsNothing) {
  CheckCond(host_, mdl_);
  EXPECT_TRUE(mdl_.bRunOk);
  EXPECT_TRUE(host_.messages.empty());
}

// One row per check: with every check applicable, spoiling only that check's control shows
// its message, and no control of a later check is read.
TEST_F(CheckCondTest, EachCheckShowsItsOwnMessageAndStopsThere) {
  struct Row {
    const char* control;
    std::string ControlValues::*field;
    const char* bad;  // "" stands for "a folder that does not exist"
    const char* text;
    const char* title;
  };
  const Row rows[] = {
      {"Text7", &ControlValues::Text7, "", "The folder of XYZ files does not exist.", kFolder},
      {"Text8", &ControlValues::Text8, "abc", "Pixcel Size is not a number", kInput},
      {"Text6", &ControlValues::Text6, "", "The folder of ASCII files does not exist.", kFolder},
      {"Text1", &ControlValues::Text1, "", "The folder of Grid does not exist.", kFolder},
      {"Text4", &ControlValues::Text4, "", "The folder of Contour files does not exist.", kFolder},
      {"Text2", &ControlValues::Text2, "1,5", "The start value of Contour is not a number.",
       kInput},
      {"Text3", &ControlValues::Text3, "five", "The interval of Contour lines is not a number",
       kInput},
      {"Text5", &ControlValues::Text5, "", "The folder of slope GRIDS does not exist.", kFolder},
  };
  const std::vector<std::string> order = {"Text7", "Text8", "Text6", "Text1",
                                          "Text4", "Text2", "Text3", "Text5"};
  for (size_t i = 0; i < std::size(rows); ++i) {
    const Row& row = rows[i];
    SCOPED_TRACE(row.control);
    FakeHost host;
    host.values = host_.values;
    host.values.*row.field = *row.bad ? std::string(row.bad) : Missing();
    BatchMdl mdl;

    CheckCond(host, mdl);

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
    std::function<void(ControlValues&)> settings;
    std::vector<const char*> unread;
  };
  const Row rows[] = {
      {"ASCII input skips the XYZ folder and cell size",
       [](ControlValues& v) { v.Option1 = false, v.Option2 = true, v.Text7 = "", v.Text8 = ""; },
       {"Text7", "Text8"}},
      {"unknown cell size ignores letters in the cell size",
       [](ControlValues& v) { v.Option4 = false, v.Option5 = true, v.Text8 = "letters"; },
       {"Text8"}},
      {"GRID input skips XYZ and ASCII folders",
       [](ControlValues& v) {
         v.Option1 = false, v.Option3 = true, v.Text7 = "", v.Text6 = "", v.Text8 = "x";
       },
       {"Text7", "Text8", "Text6"}},
      {"given cell size is not checked for ASCII input",
       [](ControlValues& v) { v.Option1 = false, v.Option2 = true, v.Text8 = "x"; },
       {"Text8"}},
      {"no contours skips the contour texts",
       [](ControlValues& v) { v.Check1 = false, v.Text4 = "", v.Text2 = "a", v.Text3 = "b"; },
       {"Text4", "Text2", "Text3"}},
      {"no slopes skips the slope folder",
       [](ControlValues& v) { v.Check2 = false, v.Text5 = ""; },
       {"Text5"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakeHost host;
    host.values = host_.values;
    row.settings(host.values);
    BatchMdl mdl;

    CheckCond(host, mdl);

    EXPECT_TRUE(mdl.bRunOk);
    EXPECT_TRUE(host.messages.empty());
    for (const char* control : row.unread) {
      EXPECT_FALSE(host.WasRead(control)) << control;
    }
  }
}

TEST_F(CheckCondTest, GridInputWithNoExtraOperationChecksOnlyTheGridFolder) {
  SelectInput(3);
  host_.values.Check1 = false;
  host_.values.Check2 = false;

  CheckCond(host_, mdl_);

  EXPECT_TRUE(mdl_.bRunOk);
  for (const char* control : {"Text2", "Text3", "Text4", "Text5", "Text6", "Text7", "Text8"}) {
    EXPECT_FALSE(host_.WasRead(control)) << control;
  }
  EXPECT_TRUE(host_.WasRead("Text1"));
}

TEST_F(CheckCondTest, GridFolderIsCheckedForEveryInputKind) {
  for (int option : {1, 2, 3}) {
    SCOPED_TRACE(option);
    FakeHost host;
    host.values = host_.values;
    host.values.Option1 = option == 1;
    host.values.Option2 = option == 2;
    host.values.Option3 = option == 3;
    host.values.Text1 = Missing();
    BatchMdl mdl;

    CheckCond(host, mdl);

    EXPECT_FALSE(mdl.bRunOk);
    EXPECT_EQ(host.messages,
              (std::vector<ShownMessage>{{"The folder of Grid does not exist.", kFolder, ""}}));
  }
}

TEST_F(CheckCondTest, OnlyTheFirstFailureIsShown) {
  host_.values.Text7 = Missing();
  host_.values.Text1 = Missing();
  host_.values.Text3 = "not a number";

  CheckCond(host_, mdl_);

  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0].text, "The folder of XYZ files does not exist.");
  EXPECT_FALSE(host_.WasRead("Text1"));
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
      {"a name too long to ask about", PathIn(std::string(300, 'g'))},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakeHost host;
    host.values = host_.values;
    host.values.Text1 = row.text;
    BatchMdl mdl;

    CheckCond(host, mdl);

    EXPECT_FALSE(mdl.bRunOk);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "The folder of Grid does not exist.");
  }
}

// Validation tests form only: values the later steps may reject still pass here, and the number
// rule is the shared one (point as decimal separator, blanks around allowed).
TEST_F(CheckCondTest, NumberTextsFollowTheSharedNumberRule) {
  struct Row {
    const char* text;
    bool passes;
  };
  const Row rows[] = {
      {"0", true},     {"-5", true},   {" 2.5 ", true}, {"\t1e3", true}, {".5", true},
      {"+7.", true},   {"", false},    {"   ", false},  {"1,5", false},  {"1 000", false},
      {"0x10", false}, {"inf", false}, {"nan", false},  {"1e", false},   {"5m", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string("\"") + row.text + "\"");
    for (std::string ControlValues::*field :
         {&ControlValues::Text8, &ControlValues::Text2, &ControlValues::Text3}) {
      FakeHost host;
      host.values = host_.values;
      host.values.*field = row.text;
      BatchMdl mdl;

      CheckCond(host, mdl);

      EXPECT_EQ(mdl.bRunOk, row.passes);
      EXPECT_EQ(host.messages.empty(), row.passes);
    }
  }
}

TEST_F(CheckCondTest, FailureLeavesAFlagThatWasAlreadySet) {
  host_.values.Text1 = Missing();
  mdl_.bRunOk = true;

  CheckCond(host_, mdl_);

  EXPECT_TRUE(mdl_.bRunOk);
  EXPECT_EQ(host_.messages.size(), 1u);
}

TEST_F(CheckCondTest, ValidationTouchesNothingOnDisk) {
  host_.values.Text5 = Missing();

  CheckCond(host_, mdl_);

  EXPECT_FALSE(std::filesystem::exists(Missing()));
  for (const char* folder : {"xyz", "ascii", "grid", "contour", "slope"}) {
    EXPECT_TRUE(std::filesystem::is_empty(PathIn(folder))) << folder;
  }
}

}  // namespace
}  // namespace terravox
