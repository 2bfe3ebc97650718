// RunBatch over real folders: which steps run for each input kind, how a run stops, and what
// the user sees at the end.
#include "batch/batch_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "core/owner_lock.h"
#include "core/process_tag.h"
#include "support/fake_host.h"
#include "support/lattice_fixtures.h"
#include "support/leftovers.h"
#include "support/temp_dir_test.h"

namespace terravox {
namespace {

namespace fs = std::filesystem;
using ::terravox::testing::EndedProcess;
using ::terravox::testing::FakeHost;
using ::terravox::testing::LatticeAsciiGrid;
using ::terravox::testing::LatticeXyz;
using ::terravox::testing::ReadFile;
using ::terravox::testing::RunningChild;
using ::terravox::testing::SeededFolder;
using ::terravox::testing::SeedTemporaries;
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
    host_.values = SettingsOver("run", Input::kXyz);
  }

  // Settings over fresh folders under root: the XYZ folder holds a.xyz and b.xyz, the ASCII
  // folder a.asc and b.asc for ASCII input, and the GRID folder GRIDs a and b for GRID input.
  Settings SettingsOver(const std::string& root, Input input) {
    Settings v;
    v.xyz_folder = MakeDir(root + "/xyz");
    v.ascii_folder = MakeDir(root + "/ascii");
    v.grid_folder = MakeDir(root + "/grid");
    v.contour_folder = MakeDir(root + "/contour");
    v.slope_folder = MakeDir(root + "/slope");
    v.contour_base = "0";
    v.contour_interval = "20";
    WriteFile(v.xyz_folder + "/a.xyz", LatticeXyz(0));
    WriteFile(v.xyz_folder + "/b.xyz", LatticeXyz(7));
    if (input != Input::kXyz) {
      WriteFile(v.ascii_folder + "/a.asc", LatticeAsciiGrid(0));
      WriteFile(v.ascii_folder + "/b.asc", LatticeAsciiGrid(7));
    }
    if (input == Input::kGrid) {
      FakeHost maker;
      maker.values = v;
      maker.values.input_ascii = true;
      BatchMdl mdl;
      EXPECT_EQ(RunBatch(maker, mdl, options_), RunOutcome::kFinished);
      EXPECT_TRUE(IsGrid(v.grid_folder + "/a"));
    }
    v.input_xyz = input == Input::kXyz;
    v.input_ascii = input == Input::kAscii;
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
    host.values = SettingsOver("row" + std::to_string(n++), row.input);
    host.values.run_contour = row.contour;
    host.values.run_slope = row.slope;
    BatchMdl mdl;

    EXPECT_EQ(RunBatch(host, mdl, options_), RunOutcome::kFinished);

    EXPECT_EQ(StepsSeen(host), row.steps);
    ASSERT_GE(host.captions.size(), 2u);
    EXPECT_EQ(host.messages, (std::vector<ShownMessage>{
                                 {kFinishedText, "Program is Finished", host.captions.end()[-2]}}));
    const Settings& v = host.values;
    for (const char* name : {"a", "b"}) {
      EXPECT_TRUE(fs::is_regular_file(v.ascii_folder + "/" + name + ".asc")) << name;
      EXPECT_TRUE(IsGrid(v.grid_folder + "/" + name)) << name;
      EXPECT_EQ(IsGrid(v.slope_folder + "/" + name), row.slope) << name;
      EXPECT_EQ(fs::is_regular_file(v.contour_folder + "/" + name + ".shp"), row.contour) << name;
    }
  }
}

// Every folder the run writes stays locked by this process at every step's caption, from the
// first file's to the last one's, and keeps no lock file after the run.
TEST_F(BatchRunTest, FoldersItWritesStayLockedThroughTheRun) {
  struct ProbingHost : FakeHost {
    std::vector<std::string> folders;
    int unlocked = 0;
    void SetStatus(const std::string& caption) override {
      FakeHost::SetStatus(caption);
      if (caption.rfind("Running : ", 0) != 0) return;
      for (const std::string& folder : folders) {
        unlocked += ProbeOwnerLock(OwnerLockPath(folder, ThisProcess())) != LockState::kHeld;
      }
    }
  };
  ProbingHost host;
  host.values = SettingsOver("locked", Input::kXyz);
  host.values.run_contour = true;
  host.values.run_slope = true;
  const Settings& v = host.values;
  host.folders = {v.ascii_folder, v.grid_folder, v.slope_folder, v.contour_folder};

  EXPECT_EQ(RunBatch(host, mdl_, options_), RunOutcome::kFinished);

  EXPECT_EQ(StepsSeen(host), (std::vector<std::string>{"xyz", "ascii", "slope", "contour"}));
  EXPECT_EQ(host.unlocked, 0);
  for (const std::string& folder : host.folders) {
    EXPECT_FALSE(fs::exists(OwnerLockPath(folder, ThisProcess()))) << folder;
  }
}

TEST_F(BatchRunTest, GridInputWithoutExtraOperationDoesNothingAndFinishes) {
  host_.values = SettingsOver("idle", Input::kAscii);
  host_.values.input_ascii = false;
  const std::vector<std::string> before = Tree(PathIn("idle"));

  EXPECT_EQ(RunBatch(host_, mdl_, options_), RunOutcome::kFinished);

  EXPECT_EQ(host_.messages,
            (std::vector<ShownMessage>{{kFinishedText, "Program is Finished", ""}}));
  EXPECT_EQ(host_.captions, std::vector<std::string>{""});
  EXPECT_EQ(Tree(PathIn("idle")), before);
}

TEST_F(BatchRunTest, RemovesWhatEndedRunsLeftInEachFolderItWritesTo) {
  struct Row {
    const char* name;
    Input input;
    bool contour;
    bool slope;
    std::vector<std::string Settings::*> written;
  };
  const Row rows[] = {
      {"xyz with both",
       Input::kXyz,
       true,
       true,
       {&Settings::ascii_folder, &Settings::grid_folder, &Settings::contour_folder,
        &Settings::slope_folder}},
      {"ascii with contours",
       Input::kAscii,
       true,
       false,
       {&Settings::grid_folder, &Settings::contour_folder}},
      {"grid with slopes", Input::kGrid, false, true, {&Settings::slope_folder}},
  };
  std::string Settings::*const folders[] = {&Settings::ascii_folder, &Settings::grid_folder,
                                            &Settings::contour_folder, &Settings::slope_folder};
  RunningChild child;
  const ProcessTag ended = EndedProcess();
  int n = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakeHost host;
    host.values = SettingsOver("sweep" + std::to_string(n++), row.input);
    host.values.run_contour = row.contour;
    host.values.run_slope = row.slope;
    std::vector<SeededFolder> seeded;
    for (std::string Settings::*folder : folders) {
      // The ASCII folder is read file by file: a visible look-alike would be a bad grid there.
      seeded.push_back(SeedTemporaries(host.values.*folder, ended, child.tag(),
                                       folder != &Settings::ascii_folder));
    }
    BatchMdl mdl;

    EXPECT_EQ(RunBatch(host, mdl, options_), RunOutcome::kFinished);

    for (size_t i = 0; i < std::size(folders); ++i) {
      const std::string& folder = host.values.*folders[i];
      SCOPED_TRACE(folder);
      const bool written =
          std::find(row.written.begin(), row.written.end(), folders[i]) != row.written.end();
      for (const std::string& name : seeded[i].dead) {
        EXPECT_EQ(fs::exists(fs::symlink_status(fs::path(folder) / name)), !written) << name;
      }
      for (const std::string& name : seeded[i].kept) {
        EXPECT_TRUE(fs::exists(fs::symlink_status(fs::path(folder) / name))) << name;
      }
    }
  }
}

TEST_F(BatchRunTest, MissingFolderShowsValidationMessageThenStopsTouchingNothing) {
  struct Row {
    std::string Settings::*field;
    const char* text;
  };
  const Row rows[] = {
      {&Settings::xyz_folder, "The folder of XYZ files does not exist."},
      {&Settings::ascii_folder, "The folder of ASCII files does not exist."},
      {&Settings::grid_folder, "The folder of Grid does not exist."},
      {&Settings::contour_folder, "The folder of Contour files does not exist."},
      {&Settings::slope_folder, "The folder of slope GRIDS does not exist."},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    FakeHost host;
    host.values = host_.values;
    host.values.run_contour = true;
    host.values.run_slope = true;
    host.values.*row.field = PathIn("missing");
    const std::vector<std::string> before = Tree(dir().string());
    BatchMdl mdl;

    EXPECT_EQ(RunBatch(host, mdl, options_), RunOutcome::kStopped);

    EXPECT_EQ(host.messages, (std::vector<ShownMessage>{{row.text, "Please Re-Select Folder", ""},
                                                        {kStoppedText, kStoppedTitle, ""}}));
    EXPECT_EQ(host.StatusText(), "");
    EXPECT_EQ(Tree(dir().string()), before);
  }
}

TEST_F(BatchRunTest, FolderThatCannotBeTestedStopsTheRunWithTheReason) {
  fs::create_symlink(PathIn("loop"), PathIn("loop"));
  host_.values.slope_folder = PathIn("loop");
  host_.values.run_slope = true;

  EXPECT_EQ(RunBatch(host_, mdl_, options_), RunOutcome::kStopped);

  EXPECT_EQ(host_.messages,
            (std::vector<ShownMessage>{
                {"Too many levels of symbolic links: " + PathIn("loop"), kStoppedTitle, ""}}));
  EXPECT_EQ(host_.StatusText(), "");
  EXPECT_TRUE(fs::is_empty(host_.values.ascii_folder));
  EXPECT_TRUE(fs::is_empty(host_.values.grid_folder));
}

TEST_F(BatchRunTest, BadXyzFileLetsTheOthersConvertThenSkipsTheLaterSteps) {
  const Settings& v = host_.values;
  WriteFile(v.xyz_folder + "/ab.xyz", "0 0 not-a-height\r\n");
  host_.values.run_contour = true;
  host_.values.run_slope = true;

  EXPECT_EQ(RunBatch(host_, mdl_, options_), RunOutcome::kStopped);

  EXPECT_TRUE(fs::is_regular_file(v.ascii_folder + "/a.asc"));
  EXPECT_TRUE(fs::is_regular_file(v.ascii_folder + "/b.asc"));
  EXPECT_FALSE(fs::exists(v.ascii_folder + "/ab.asc"));
  EXPECT_EQ(StepsSeen(host_), std::vector<std::string>{"xyz"});
  EXPECT_TRUE(fs::is_empty(v.grid_folder));
  EXPECT_NE(ReadFile(options_.error_log_path).find(v.xyz_folder + "/ab.xyz Error-"),
            std::string::npos);
  ASSERT_FALSE(host_.messages.empty());
  EXPECT_EQ(host_.messages.back().text, kStoppedText);
  EXPECT_EQ(host_.messages.back().title, kStoppedTitle);
  EXPECT_EQ(host_.StatusText(), "");
}

TEST_F(BatchRunTest, FailedGridConversionSkipsTheRasterWalk) {
  host_.values = SettingsOver("asc", Input::kAscii);
  WriteFile(host_.values.ascii_folder + "/note.txt", "not a raster\r\n");
  host_.values.run_slope = true;

  EXPECT_EQ(RunBatch(host_, mdl_, options_), RunOutcome::kStopped);

  ASSERT_EQ(host_.messages.size(), 2u);
  EXPECT_EQ(host_.messages[0].title, "Program was interrupted");
  EXPECT_EQ(host_.messages[1], (ShownMessage{kStoppedText, kStoppedTitle, ""}));
  EXPECT_EQ(StepsSeen(host_), std::vector<std::string>{"ascii"});
  EXPECT_TRUE(fs::is_empty(host_.values.slope_folder));
}

TEST_F(BatchRunTest, KeepingGoingAFailedFileHoldsBackOnlyItsOwnLaterSteps) {
  struct Row {
    const char* name;
    Input input;
    const char* bad_file;  // in the step's input folder
    const char* failure;   // as the final box names it
  };
  const Row rows[] = {
      {"XYZ step", Input::kXyz, "xyz/c.xyz", "xyz2ascii "},
      {"ASCII step", Input::kAscii, "ascii/c.asc", "ascii2grid "},
  };
  const Settings grids = SettingsOver("made", Input::kGrid);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string root = std::string("keep-") + (row.input == Input::kXyz ? "xyz" : "asc");
    FakeHost host;
    host.values = SettingsOver(root, row.input);
    host.values.run_slope = true;
    WriteFile(PathIn(root + "/" + row.bad_file), "0 0 not-a-height\r\n");
    // A GRID of the failed tile from an earlier run must not be walked either.
    fs::copy(grids.grid_folder + "/a", host.values.grid_folder + "/c", fs::copy_options::recursive);
    RunOptions options = options_;
    options.keep_going = true;
    BatchMdl mdl;

    EXPECT_EQ(RunBatch(host, mdl, options), RunOutcome::kStopped);

    EXPECT_EQ(Tree(host.values.slope_folder), Tree(grids.grid_folder)) << "slopes of a and b only";
    ASSERT_FALSE(host.messages.empty());
    EXPECT_EQ(host.messages.back().title, kStoppedTitle);
    EXPECT_EQ(host.messages.back().text.rfind(std::string(kStoppedText) + "; failed: " +
                                                  row.failure + PathIn(root + "/" + row.bad_file),
                                              0),
              0u)
        << host.messages.back().text;
  }
}

TEST_F(BatchRunTest, UnwritableErrorLogEndsTheRunNamingTheLog) {
  options_.error_log_path = PathIn("no-such-folder/xyz2ascii.log");
  WriteFile(host_.values.xyz_folder + "/ab.xyz", "0 0 not-a-height\r\n");
  host_.values.run_slope = true;

  EXPECT_EQ(RunBatch(host_, mdl_, options_), RunOutcome::kStopped);

  ASSERT_FALSE(host_.messages.empty());
  const ShownMessage& last = host_.messages.back();
  EXPECT_EQ(last.title, kStoppedTitle);
  EXPECT_NE(last.text.find(options_.error_log_path), std::string::npos) << last.text;
  EXPECT_NE(last.text, kStoppedText);
  EXPECT_EQ(host_.StatusText(), "");
  EXPECT_TRUE(fs::is_empty(host_.values.grid_folder));
  EXPECT_FALSE(fs::exists(PathIn("no-such-folder")));
}

// An error no step handles (here the contour interval of 0, which validation lets through)
// ends the run with a box that says what went wrong.
TEST_F(BatchRunTest, EscapedErrorEndsTheRunWithItsDescription) {
  host_.values = SettingsOver("walk", Input::kGrid);
  host_.values.run_contour = true;
  host_.values.contour_interval = "0";

  EXPECT_EQ(RunBatch(host_, mdl_, options_), RunOutcome::kStopped);

  ASSERT_EQ(host_.messages.size(), 1u);
  const ShownMessage& box = host_.messages[0];
  EXPECT_EQ(box.title, kStoppedTitle);
  EXPECT_FALSE(box.text.empty());
  EXPECT_NE(box.text, kStoppedText);
  EXPECT_EQ(box.status_at_show.rfind("Running : ESRI GRID--> Get Contour ", 0), 0u);
  EXPECT_EQ(host_.StatusText(), "");
  EXPECT_FALSE(fs::exists(host_.values.contour_folder + "/a.shp"));
}

// A slope failure that the slope step reports itself must not end as "finished": here the
// slope folder is the GRID folder, so each slope would replace its own input.
TEST_F(BatchRunTest, ReportedSlopeFailureEndsTheRunStopped) {
  host_.values = SettingsOver("same", Input::kGrid);
  host_.values.run_slope = true;
  host_.values.slope_folder = host_.values.grid_folder;
  const std::vector<std::string> before = Tree(host_.values.grid_folder);

  EXPECT_EQ(RunBatch(host_, mdl_, options_), RunOutcome::kStopped);

  ASSERT_EQ(host_.messages.size(), 3u);
  for (int i : {0, 1}) {
    EXPECT_EQ(host_.messages[i].title, "Program was interrupted");
    EXPECT_EQ(host_.messages[i].text.rfind("File Error-", 0), 0u) << host_.messages[i].text;
  }
  EXPECT_EQ(host_.messages[2],
            (ShownMessage{kStoppedText, kStoppedTitle, host_.captions.end()[-2]}));
  EXPECT_EQ(Tree(host_.values.grid_folder), before);
  EXPECT_TRUE(IsGrid(host_.values.grid_folder + "/a"));
}

TEST_F(BatchRunTest, StatusLineKeepsTheLastCaptionUntilTheFinalBoxCloses) {
  host_.values.run_contour = true;
  host_.values.run_slope = true;

  EXPECT_EQ(RunBatch(host_, mdl_, options_), RunOutcome::kFinished);

  ASSERT_EQ(host_.messages.size(), 1u);
  ASSERT_GE(host_.captions.size(), 2u);
  EXPECT_EQ(host_.messages[0].status_at_show,
            "Running : ESRI GRID--> Get Contour " + host_.values.grid_folder + "/b");
  EXPECT_EQ(host_.captions.back(), "");
  EXPECT_EQ(host_.StatusText(), "");
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
    Settings settings = SettingsOver("twice" + std::to_string(n++), Input::kXyz);
    settings.run_contour = true;
    settings.run_slope = true;
    if (row.bad_file) WriteFile(settings.xyz_folder + "/c.xyz", "0 0 not-a-height\r\n");
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
  invalid.values.ascii_folder = PathIn("missing");
  EXPECT_EQ(RunBatch(invalid, mdl_, options_), RunOutcome::kStopped);
  EXPECT_EQ(invalid.messages.back().title, kStoppedTitle);

  FakeHost valid_again;
  valid_again.values = host_.values;
  EXPECT_EQ(RunBatch(valid_again, mdl_, options_), RunOutcome::kFinished);
}

}  // namespace
}  // namespace terravox
