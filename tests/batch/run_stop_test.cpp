// Stopping a run through its RunControl inside each kind of long work: the run ends with the
// "Interrupted" box only, keeps what earlier files committed, leaves no temporary and logs nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "batch/batch_run.h"
#include "core/run_control.h"
#include "support/fake_host.h"
#include "support/temp_dir_test.h"

namespace terravox {
namespace {

namespace fs = std::filesystem;
using ::terravox::testing::FakeHost;
using ::terravox::testing::WriteFile;

// An n by n lattice, spacing 10, on a tilted plane with a bump, so every step has real work.
std::string Lattice(int n, int offset) {
  std::string text;
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) {
      const int z = offset + x + 2 * y + ((x * y) % 7);
      text +=
          std::to_string(x * 10) + " " + std::to_string(y * 10) + " " + std::to_string(z) + "\r\n";
    }
  }
  return text;
}

std::vector<std::string> Tree(const fs::path& folder) {
  std::vector<std::string> paths;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    paths.push_back(fs::relative(entry.path(), folder).string());
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

struct StopCase {
  const char* name;
  const char* caption_prefix;        // the step's progress caption
  int item;                          // the file or raster of that step
  double at;                         // the file's progress when the stop is asked for: a raster's
                                     // slope takes its first half, its contours the second
  std::vector<std::string> kept;     // outputs that must exist afterwards
  std::vector<std::string> missing;  // outputs that must not
};

class RunStopTest : public ::terravox::testing::TempDirTest,
                    public ::testing::WithParamInterface<StopCase> {};

TEST_P(RunStopTest, StopsInsideTheWorkAndKeepsOnlyWhatWasCommitted) {
  const StopCase& c = GetParam();
  FakeHost host;
  Settings& v = host.values;
  v.xyz_folder = MakeDir("xyz");
  v.ascii_folder = MakeDir("ascii");
  v.grid_folder = MakeDir("grid");
  v.slope_folder = MakeDir("slope");
  v.contour_folder = MakeDir("contour");
  v.contour_interval = "3";
  v.input_xyz = true;
  v.run_slope = true;
  v.run_contour = true;
  for (int i = 0; i < 3; ++i) {
    WriteFile(v.xyz_folder + "/" + std::string(1, static_cast<char>('a' + i)) + ".xyz",
              Lattice(120, i));
  }

  RunControl control;
  bool asked = false;
  std::vector<double> seen;
  control.SetProgressSink([&](double fraction) {
    seen.push_back(fraction);
    if (!asked && host.StatusText().rfind(c.caption_prefix, 0) == 0 && control.item() == c.item &&
        fraction >= c.at) {
      control.RequestStop();
      asked = true;
    }
  });
  RunOptions options;
  options.error_log_path = PathIn("xyz2ascii.log");
  options.control = &control;
  options.jobs = 1;  // the file's own progress, reported by the step's thread, decides when to stop
  BatchMdl mdl;

  EXPECT_EQ(RunBatch(host, mdl, options), RunOutcome::kInterrupted);
  ASSERT_TRUE(asked);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "Interrupted");
  EXPECT_EQ(host.messages[0].title, "Program is Stopped");
  EXPECT_EQ(host.StatusText(), "");
  EXPECT_FALSE(fs::exists(options.error_log_path));
  for (const std::string& path : Tree(dir())) {
    EXPECT_EQ(fs::path(path).filename().string()[0] == '.', false) << "temporary left: " << path;
  }
  for (const std::string& kept : c.kept) EXPECT_TRUE(fs::exists(PathIn(kept))) << kept;
  for (const std::string& missing : c.missing) EXPECT_FALSE(fs::exists(PathIn(missing))) << missing;
  // Progress stays within a file's whole.
  for (double fraction : seen) {
    EXPECT_GE(fraction, 0.0);
    EXPECT_LE(fraction, 1.0);
  }
}

INSTANTIATE_TEST_SUITE_P(Steps, RunStopTest,
                         ::testing::Values(StopCase{"GridderReading",
                                                    "Running : XYZ-->ASCII(",
                                                    1,
                                                    0.3,
                                                    {"ascii/a.asc"},
                                                    {"ascii/b.asc", "ascii/c.asc", "grid/a"}},
                                           StopCase{"GridderWriting",
                                                    "Running : XYZ-->ASCII(",
                                                    2,
                                                    0.8,
                                                    {"ascii/a.asc", "ascii/b.asc"},
                                                    {"ascii/c.asc", "grid/a"}},
                                           StopCase{"GridWriter",
                                                    "Running : ASCII-->ESRI GRID (",
                                                    1,
                                                    0.5,
                                                    {"ascii/c.asc", "grid/a"},
                                                    {"grid/b", "grid/c", "slope/a"}},
                                           StopCase{"SlopeComputing",
                                                    "Running : ESRI GRID--> Get Slope ",
                                                    1,
                                                    0.1,
                                                    {"grid/c", "slope/a", "contour/a.shp"},
                                                    {"slope/b", "contour/b.shp"}},
                                           StopCase{"SlopeStoring",
                                                    "Running : ESRI GRID--> Get Slope ",
                                                    0,
                                                    0.375,
                                                    {"grid/c"},
                                                    {"slope/a", "contour/a.shp"}},
                                           StopCase{"Contours",
                                                    "Running : ESRI GRID--> Get Contour ",
                                                    0,
                                                    0.65,
                                                    {"slope/a"},
                                                    {"contour/a.shp", "contour/a.dbf", "slope/b"}}),
                         [](const ::testing::TestParamInfo<StopCase>& param) {
                           return std::string(param.param.name);
                         });

// Without a control, or with one never asked to stop, nothing changes: the run finishes.
TEST(RunControlInRun, UnstoppedRunFinishes) {
  FakeHost host;
  host.values.grid_folder = ::testing::TempDir();
  RunControl control;
  RunOptions options;
  options.control = &control;
  options.jobs = 1;  // the file's own progress, reported by the step's thread, decides when to stop
  BatchMdl mdl;
  EXPECT_EQ(RunBatch(host, mdl, options), RunOutcome::kFinished);
}

}  // namespace
}  // namespace terravox
