// RunBatch over real folders: which steps run for each input kind, how a run stops, and what
// the user sees at the end.
#include "batch/batch_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "support/fake_host.h"
#include "support/lattice_fixtures.h"
#include "support/temp_dir_test.h"

namespace terravox {
namespace {

namespace fs = std::filesystem;
using ::terravox::testing::FakeHost;
using ::terravox::testing::LatticeAsciiGrid;
using ::terravox::testing::LatticeXyz;
using ::terravox::testing::ReadFile;
using ::terravox::testing::ShownMessage;
using ::terravox::testing::WriteFile;

constexpr const char* kFinishedText = "All files in the folders were finished";
constexpr const char* kStoppedText = "There are some errors happened during processing";
constexpr const char* kStoppedTitle = "Program is Stopped";

enum class Input { kXyz, kAscii, kGrid };

bool IsGrid(const std::string& path) {
  return fs::is_regular_file(path + "/hdr.adf") && fs::is_regular_file(path + "/w001001.adf");
}

// The steps a run went through, in order of their first caption.
std::vector<std::string> StepsSeen(const FakeHost& host) {
  const std::pair<const char*, const char*> prefixes[] = {
      {"Running : XYZ-->ASCII(", "xyz"},
      {"Running : ASCII-->ESRI GRID (", "ascii"},
      {"Running : ESRI GRID--> Get Slope ", "slope"},
      {"Running : ESRI GRID--> Get Contour ", "contour"},
  };
  std::vector<std::string> steps;
  for (const std::string& caption : host.captions) {
    for (const auto& [prefix, step] : prefixes) {
      if (caption.rfind(prefix, 0) == 0 &&
          std::find(steps.begin(), steps.end(), step) == steps.end()) {
        steps.push_back(step);
      }
    }
  }
  return steps;
}

// Every path under a folder, relative to it, in order.
std::vector<std::string> Tree(const std::string& folder) {
  std::vector<std::string> paths;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    paths.push_back(fs::relative(entry.path(), folder).string());
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

class BatchRunTest : public ::terravox::testing::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    options_.error_log_path = PathIn("xyz2ascii.log");
    host_.values = Settings("run", Input::kXyz);
  }

  // Settings over fresh folders under root: the XYZ folder holds a.xyz and b.xyz, the ASCII
  // folder a.asc and b.asc for ASCII input, and the GRID folder GRIDs a and b for GRID input.
  ControlValues Settings(const std::string& root, Input input) {
    ControlValues v;
    v.Text7 = MakeDir(root + "/xyz");
    v.Text6 = MakeDir(root + "/ascii");
    v.Text1 = MakeDir(root + "/grid");
    v.Text4 = MakeDir(root + "/contour");
    v.Text5 = MakeDir(root + "/slope");
    v.Text2 = "0";
    v.Text3 = "20";
    WriteFile(v.Text7 + "/a.xyz", LatticeXyz(0));
    WriteFile(v.Text7 + "/b.xyz", LatticeXyz(7));
    if (input != Input::kXyz) {
      WriteFile(v.Text6 + "/a.asc", LatticeAsciiGrid(0));
      WriteFile(v.Text6 + "/b.asc", LatticeAsciiGrid(7));
    }
    if (input == Input::kGrid) {
      FakeHost maker;
      maker.values = v;
      maker.values.Option2 = true;
      maker.values.Option3 = false;
      BatchMdl mdl;
      EXPECT_EQ(RunBatch(maker, mdl, options_), RunOutcome::kFinished);
      EXPECT_TRUE(IsGrid(v.Text1 + "/a"));
    }
    v.Option1 = input == Input::kXyz;
    v.Option2 = input == Input::kAscii;
    v.Option3 = input == Input::kGrid;
    return v;
  }

  FakeHost host_;
  BatchMdl mdl_;
  RunOptions options_;
};

TEST_F(BatchRunTest, EachInputKindRunsItsSteps) {
  struct Row {
    const char* name;
    Input input;
    bool contour;
    bool slope;
    std::vector<std::string> steps;
  };
  const Row rows[] = {
      {"xyz alone", Input::kXyz, false, false, {"xyz", "ascii"}},
      {"xyz with both", Input::kXyz, true, true, {"xyz", "ascii", "slope", "contour"}},
      {"ascii with contours", Input::kAscii, true, false, {"ascii", "contour"}},
      {"ascii with slopes", Input::kAscii, false, true, {"ascii", "slope"}},
      {"grid with both", Input::kGrid, true, true, {"slope", "contour"}},
      {"grid with slopes", Input::kGrid, false, true, {"slope"}},
  };
  int n = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakeHost host;
    host.values = Settings("row" + std::to_string(n++), row.input);
    host.values.Check1 = row.contour;
    host.values.Check2 = row.slope;
    BatchMdl mdl;

    EXPECT_EQ(RunBatch(host, mdl, options_), RunOutcome::kFinished);

    EXPECT_EQ(StepsSeen(host), row.steps);
    ASSERT_GE(host.captions.size(), 2u);
    EXPECT_EQ(host.messages, (std::vector<ShownMessage>{
                                 {kFinishedText, "Program is Finished", host.captions.end()[-2]}}));
    const ControlValues& v = host.values;
    for (const char* name : {"a", "b"}) {
      EXPECT_TRUE(fs::is_regular_file(v.Text6 + "/" + name + ".asc")) << name;
      EXPECT_TRUE(IsGrid(v.Text1 + "/" + name)) << name;
      EXPECT_EQ(IsGrid(v.Text5 + "/" + name), row.slope) << name;
      EXPECT_EQ(fs::is_regular_file(v.Text4 + "/" + name + ".shp"), row.contour) << name;
    }
  }
}

TEST_F(BatchRunTest, GridInputWithoutExtraOperationDoesNothingAndFinishes) {
  host_.values = Settings("idle", Input::kAscii);
  host_.values.Option2 = false;
  host_.values.Option3 = true;
  const std::vector<std::string> before = Tree(PathIn("idle"));

  EXPECT_EQ(RunBatch(host_, mdl_, options_), RunOutcome::kFinished);

  EXPECT_EQ(host_.messages,
            (std::vector<ShownMessage>{{kFinishedText, "Program is Finished", ""}}));
  EXPECT_EQ(host_.captions, std::vector<std::string>{""});
  EXPECT_EQ(Tree(PathIn("idle")), before);
}

TEST_F(BatchRunTest, MissingFolderShowsValidationMessageThenStopsTouchingNothing) {
  struct Row {
    std::string ControlValues::*field;
    const char* text;
  };
  const Row rows[] = {
      {&ControlValues::Text7, "The folder of XYZ files does not exist."},
      {&ControlValues::Text6, "The folder of ASCII files does not exist."},
      {&ControlValues::Text1, "The folder of Grid does not exist."},
      {&ControlValues::Text4, "The folder of Contour files does not exist."},
      {&ControlValues::Text5, "The folder of slope GRIDS does not exist."},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    FakeHost host;
    host.values = host_.values;
    host.values.Check1 = true;
    host.values.Check2 = true;
    host.values.*row.field = PathIn("missing");
    const std::vector<std::string> before = Tree(dir().string());
    BatchMdl mdl;

    EXPECT_EQ(RunBatch(host, mdl, options_), RunOutcome::kStopped);

    EXPECT_EQ(host.messages, (std::vector<ShownMessage>{{row.text, "Please Re-Select Folder", ""},
                                                        {kStoppedText, kStoppedTitle, ""}}));
    EXPECT_EQ(host.Label6(), "");
    EXPECT_EQ(Tree(dir().string()), before);
  }
}

TEST_F(BatchRunTest, BadXyzFileLetsTheOthersConvertThenSkipsTheLaterSteps) {
  const ControlValues& v = host_.values;
  WriteFile(v.Text7 + "/ab.xyz", "0 0 not-a-height\r\n");
  host_.values.Check1 = true;
  host_.values.Check2 = true;

  EXPECT_EQ(RunBatch(host_, mdl_, options_), RunOutcome::kStopped);

  EXPECT_TRUE(fs::is_regular_file(v.Text6 + "/a.asc"));
  EXPECT_TRUE(fs::is_regular_file(v.Text6 + "/b.asc"));
  EXPECT_FALSE(fs::exists(v.Text6 + "/ab.asc"));
  EXPECT_EQ(StepsSeen(host_), std::vector<std::string>{"xyz"});
  EXPECT_TRUE(fs::is_empty(v.Text1));
  EXPECT_NE(ReadFile(options_.error_log_path).find(v.Text7 + "/ab.xyz Error-"), std::string::npos);
  ASSERT_FALSE(host_.messages.empty());
  EXPECT_EQ(host_.messages.back().text, kStoppedText);
  EXPECT_EQ(host_.messages.back().title, kStoppedTitle);
  EXPECT_EQ(host_.Label6(), "");
}

TEST_F(BatchRunTest, FailedGridConversionSkipsTheRasterWalk) {
  host_.values = Settings("asc", Input::kAscii);
  WriteFile(host_.values.Text6 + "/note.txt", "not a raster\r\n");
  host_.values.Check2 = true;

  EXPECT_EQ(RunBatch(host_, mdl_, options_), RunOutcome::kStopped);

  ASSERT_EQ(host_.messages.size(), 2u);
  EXPECT_EQ(host_.messages[0].title, "Program was interrupted");
  EXPECT_EQ(host_.messages[1], (ShownMessage{kStoppedText, kStoppedTitle, ""}));
  EXPECT_EQ(StepsSeen(host_), std::vector<std::string>{"ascii"});
  EXPECT_TRUE(fs::is_empty(host_.values.Text5));
}

TEST_F(BatchRunTest, UnwritableErrorLogEndsTheRunNamingTheLog) {
  options_.error_log_path = PathIn("no-such-folder/xyz2ascii.log");
  WriteFile(host_.values.Text7 + "/ab.xyz", "0 0 not-a-height\r\n");
  host_.values.Check2 = true;

  EXPECT_EQ(RunBatch(host_, mdl_, options_), RunOutcome::kStopped);

  ASSERT_FALSE(host_.messages.empty());
  const ShownMessage& last = host_.messages.back();
  EXPECT_EQ(last.title, kStoppedTitle);
  EXPECT_NE(last.text.find(options_.error_log_path), std::string::npos) << last.text;
  EXPECT_NE(last.text, kStoppedText);
  EXPECT_EQ(host_.Label6(), "");
  EXPECT_TRUE(fs::is_empty(host_.values.Text1));
  EXPECT_FALSE(fs::exists(PathIn("no-such-folder")));
}

// An error no step handles (here the contour interval of 0, which validation lets through)
// ends the run with a box that says what went wrong.
TEST_F(BatchRunTest, EscapedErrorEndsTheRunWithItsDescription) {
  host_.values = Settings("walk", Input::kGrid);
  host_.values.Check1 = true;
  host_.values.Text3 = "0";

  EXPECT_EQ(RunBatch(host_, mdl_, options_), RunOutcome::kStopped);

  ASSERT_EQ(host_.messages.size(), 1u);
  const ShownMessage& box = host_.messages[0];
  EXPECT_EQ(box.title, kStoppedTitle);
  EXPECT_FALSE(box.text.empty());
  EXPECT_NE(box.text, kStoppedText);
  EXPECT_EQ(box.label6_at_show.rfind("Running : ESRI GRID--> Get Contour ", 0), 0u);
  EXPECT_EQ(host_.Label6(), "");
  EXPECT_FALSE(fs::exists(host_.values.Text4 + "/a.shp"));
}

// A slope failure that the slope step reports itself must not end as "finished": here the
// slope folder is the GRID folder, so each slope would replace its own input.
TEST_F(BatchRunTest, ReportedSlopeFailureEndsTheRunStopped) {
  host_.values = Settings("same", Input::kGrid);
  host_.values.Check2 = true;
  host_.values.Text5 = host_.values.Text1;
  const std::vector<std::string> before = Tree(host_.values.Text1);

  EXPECT_EQ(RunBatch(host_, mdl_, options_), RunOutcome::kStopped);

  ASSERT_EQ(host_.messages.size(), 3u);
  for (int i : {0, 1}) {
    EXPECT_EQ(host_.messages[i].title, "Program was interrupted");
    EXPECT_EQ(host_.messages[i].text.rfind("File Error-", 0), 0u) << host_.messages[i].text;
  }
  EXPECT_EQ(host_.messages[2],
            (ShownMessage{kStoppedText, kStoppedTitle, host_.captions.end()[-2]}));
  EXPECT_EQ(Tree(host_.values.Text1), before);
  EXPECT_TRUE(IsGrid(host_.values.Text1 + "/a"));
}

TEST_F(BatchRunTest, StatusLineKeepsTheLastCaptionUntilTheFinalBoxCloses) {
  host_.values.Check1 = true;
  host_.values.Check2 = true;

  EXPECT_EQ(RunBatch(host_, mdl_, options_), RunOutcome::kFinished);

  ASSERT_EQ(host_.messages.size(), 1u);
  ASSERT_GE(host_.captions.size(), 2u);
  EXPECT_EQ(host_.messages[0].label6_at_show,
            "Running : ESRI GRID--> Get Contour " + host_.values.Text1 + "/b");
  EXPECT_EQ(host_.captions.back(), "");
  EXPECT_EQ(host_.Label6(), "");
}

TEST_F(BatchRunTest, SecondRunWithTheSameSettingsBehavesTheSame) {
  struct Row {
    const char* name;
    bool bad_file;
    RunOutcome outcome;
  };
  const Row rows[] = {{"finishing run", false, RunOutcome::kFinished},
                      {"stopping run", true, RunOutcome::kStopped}};
  int n = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ControlValues settings = Settings("twice" + std::to_string(n++), Input::kXyz);
    settings.Check1 = true;
    settings.Check2 = true;
    if (row.bad_file) WriteFile(settings.Text7 + "/c.xyz", "0 0 not-a-height\r\n");
    FakeHost first;
    FakeHost second;
    first.values = second.values = settings;

    EXPECT_EQ(RunBatch(first, mdl_, options_), row.outcome);
    EXPECT_EQ(RunBatch(second, mdl_, options_), row.outcome);

    EXPECT_EQ(second.messages, first.messages);
    EXPECT_EQ(second.captions, first.captions);
  }
}

TEST_F(BatchRunTest, FlagOfAnEarlierRunDoesNotCarryOver) {
  EXPECT_EQ(RunBatch(host_, mdl_, options_), RunOutcome::kFinished);
  ASSERT_TRUE(mdl_.bRunOk);

  FakeHost invalid;
  invalid.values = host_.values;
  invalid.values.Text6 = PathIn("missing");
  EXPECT_EQ(RunBatch(invalid, mdl_, options_), RunOutcome::kStopped);
  EXPECT_EQ(invalid.messages.back().title, kStoppedTitle);

  FakeHost valid_again;
  valid_again.values = host_.values;
  EXPECT_EQ(RunBatch(valid_again, mdl_, options_), RunOutcome::kFinished);
}

}  // namespace
}  // namespace terravox
