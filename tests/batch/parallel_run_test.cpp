// A run with several threads shows and leaves exactly what a run with one thread does: the same
// output bytes, the same captions, boxes and log lines in the same order, and nothing of a file
// after a step's stopping failure. Likewise a run that hands the cells it wrote to the next step
// in memory, and one that reads them back from disk.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "batch/batch_run.h"
#include "support/fake_host.h"
#include "support/lattice_fixtures.h"
#include "support/same_files.h"
#include "support/temp_dir_test.h"

namespace terravox {
namespace {

namespace fs = std::filesystem;
using ::terravox::testing::ExpectSameFiles;
using ::terravox::testing::FakeHost;
using ::terravox::testing::LatticeAsciiGrid;
using ::terravox::testing::LatticeXyz;
using ::terravox::testing::ReadFile;
using ::terravox::testing::ShownMessage;
using ::terravox::testing::WriteFile;

// Everything a user can see after a run.
struct Observed {
  std::map<std::string, std::string> files;  // every file under the run's folder, by path
  std::vector<std::string> captions;
  std::vector<ShownMessage> messages;
  RunOutcome outcome = RunOutcome::kStopped;
  bool operator==(const Observed&) const = default;
};

struct Scenario {
  const char* name;
  // Fills the run's folder and the settings.
  std::function<void(const std::string& root, Settings& settings)> prepare;
  const char* first_box;  // the text of the first message box the run shows
};

void MakeGrid(const std::string& root, const std::string& name, int offset) {
  FakeHost host;
  BatchMdl mdl;
  fs::create_directories(root + "/seed");
  WriteFile(root + "/seed/" + name + ".asc", LatticeAsciiGrid(offset));
  host.values.input_ascii = true;
  host.values.ascii_folder = root + "/seed";
  host.values.grid_folder = root + "/grid";
  RunOptions one;
  one.jobs = 1;
  ASSERT_EQ(RunBatch(host, mdl, one), RunOutcome::kFinished);
  fs::remove_all(root + "/seed");
}

// A host that calls between_steps with the last caption shown whenever a step asks for the GRID
// folder: the ASCII step does as it begins, the raster walk too.
class SteppingHost : public FakeHost {
 public:
  std::function<void(const std::string& last_caption)> between_steps;
  std::string GridFolder() const override {
    if (between_steps) between_steps(captions.empty() ? "" : captions.back());
    return FakeHost::GridFolder();
  }
};

// Replaces the file at path by a new file (another inode) holding bytes.
void ReplaceFile(const std::string& path, const std::string& bytes) {
  WriteFile(path + ".new", bytes);
  fs::rename(path + ".new", path);
}

class ParallelRunTest : public ::terravox::testing::TempDirTest {
 protected:
  Observed Run(const Scenario& scenario, int jobs, bool hand_over = true,
               std::function<void(const std::string&, const std::string&)> between_steps = {}) {
    const std::string root = PathIn("run");
    fs::remove_all(root);
    for (const char* folder : {"xyz", "ascii", "grid", "contour", "slope"}) {
      fs::create_directories(root + "/" + folder);
    }
    SteppingHost host;
    if (between_steps) {
      host.between_steps = [&](const std::string& caption) { between_steps(root, caption); };
    }
    Settings& v = host.values;
    v.xyz_folder = root + "/xyz";
    v.ascii_folder = root + "/ascii";
    v.grid_folder = root + "/grid";
    v.contour_folder = root + "/contour";
    v.slope_folder = root + "/slope";
    v.contour_interval = "7";
    scenario.prepare(root, v);

    BatchMdl mdl;
    RunOptions options;
    options.jobs = jobs;
    options.hand_over_cells = hand_over;
    options.error_log_path = PathIn("log-" + std::to_string(jobs) + ".txt");
    Observed seen;
    seen.outcome = RunBatch(host, mdl, options);
    seen.captions = host.captions;
    seen.messages = host.messages;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
      if (entry.is_regular_file()) {
        seen.files[fs::relative(entry.path(), root).string()] = ReadFile(entry.path().string());
      }
    }
    seen.files["(log)"] = ReadFile(options.error_log_path);
    return seen;
  }
};

TEST_F(ParallelRunTest, SeveralThreadsLeaveAndShowWhatOneThreadDoes) {
  const Scenario scenarios[] = {
      {"the whole chain",
       [](const std::string& root, Settings& v) {
         for (int i = 0; i < 7; ++i) {
           WriteFile(root + "/xyz/t" + std::to_string(i) + ".xyz", LatticeXyz(10 * i));
         }
         v.input_xyz = true;
         v.run_contour = true;
         v.run_slope = true;
       },
       "All files in the folders were finished"},
      {"a format mismatch and an XYZ error among good files",
       [](const std::string& root, Settings& v) {
         WriteFile(root + "/xyz/a.xyz", LatticeXyz(0));
         WriteFile(root + "/xyz/b.xyz", LatticeXyz(1, ","));
         WriteFile(root + "/xyz/c.xyz", "0 0 x\r\n");
         WriteFile(root + "/xyz/d.xyz", LatticeXyz(3));
         WriteFile(root + "/xyz/e.xyz", LatticeXyz(4));
         v.input_xyz = true;
         v.run_slope = true;
       },
       "/run/xyz/b.xyz does not fit the format you setting!"},
      {"an ASCII file that stops the step, with later files waiting",
       [](const std::string& root, Settings& v) {
         WriteFile(root + "/ascii/a.asc", LatticeAsciiGrid(0));
         WriteFile(root + "/ascii/b.asc", LatticeAsciiGrid(1));
         WriteFile(root + "/ascii/c.asc", "this is no grid\r\n");
         WriteFile(root + "/ascii/d.asc", LatticeAsciiGrid(3));
         WriteFile(root + "/ascii/e.asc", LatticeAsciiGrid(4));
         v.input_ascii = true;
         v.run_contour = true;
       },
       "/run/ascii/c.asc Error-"},
      {"a slope failure handled in the walk, then a contour failure that ends it",
       [](const std::string& root, Settings& v) {
         MakeGrid(root, "a", 0);
         MakeGrid(root, "c", 2);
         MakeGrid(root, "d", 3);
         // b reads as a GRID to the listing but not to GDAL; its old slope makes the slope
         // failure one the walk handles and goes on from.
         fs::create_directories(root + "/grid/b");
         WriteFile(root + "/grid/b/hdr.adf", "broken");
         WriteFile(root + "/grid/b/w001001.adf", "broken");
         fs::copy(root + "/grid/a", root + "/slope/b", fs::copy_options::recursive);
         v.run_slope = true;
         v.run_contour = true;
       },
       "File Error-"},
  };
  for (const Scenario& scenario : scenarios) {
    SCOPED_TRACE(scenario.name);
    const Observed one = Run(scenario, 1);
    ASSERT_FALSE(one.messages.empty());
    EXPECT_NE(one.messages[0].text.find(scenario.first_box), std::string::npos)
        << one.messages[0].text;
    for (int jobs : {2, 4}) {
      SCOPED_TRACE(jobs);
      const Observed several = Run(scenario, jobs);
      EXPECT_EQ(several.outcome, one.outcome);
      EXPECT_EQ(several.captions, one.captions);
      EXPECT_EQ(several.messages, one.messages);
      ExpectSameFiles(several.files, one.files);
    }
  }
}

// A 5 by 5 lattice of heights whose texts are hard to read back: fractions beyond single
// precision, tiny and huge numbers, and texts near the no-data value.
std::string AwkwardXyz(int seed) {
  const char* heights[] = {"0.1",          "-9999",      "-9999.00001", "1e-40", "123.456789",
                           "1234.5678901", "-0",         "2.5e-7",      "7",     "-9998.99999",
                           "-0.000001",    "0.30000001", "42.42"};
  std::string text;
  int k = seed;
  for (int y = 0; y <= 40; y += 10) {
    for (int x = 0; x <= 40; x += 10) {
      text += std::to_string(x) + " " + std::to_string(y) + " " + heights[k++ % 13] + "\r\n";
    }
  }
  return text;
}

TEST_F(ParallelRunTest, CellsHandedOnInMemoryLeaveAndShowWhatReadingThemBackDoes) {
  const Scenario extremes{"heights at the edges of single precision, no walk",
                          [](const std::string& root, Settings& v) {
                            const char* heights[] = {"3.4028234e38",    "1e-40",  "1e15",
                                                     "-9999.000000001", "-1e-30", "1e-50"};
                            for (int i = 0; i < 6; ++i) {
                              std::string text = LatticeXyz(i);
                              text.replace(text.rfind(' ') + 1, text.size(), heights[i]);
                              WriteFile(root + "/xyz/e" + std::to_string(i) + ".xyz", text);
                            }
                            v.input_xyz = true;
                          },
                          ""};
  const Scenario chain{"the whole chain",
                       [](const std::string& root, Settings& v) {
                         for (int i = 0; i < 4; ++i) {
                           WriteFile(root + "/xyz/t" + std::to_string(i) + ".xyz", AwkwardXyz(i));
                           WriteFile(root + "/xyz/u" + std::to_string(i) + ".xyz", LatticeXyz(i));
                         }
                         // Not a lattice in file order: gridded in memory.
                         WriteFile(root + "/xyz/v.xyz", "10 0 3.25\r\n0 0 1.125\r\n0 10 2\r\n");
                         v.input_xyz = true;
                         v.run_contour = true;
                         v.run_slope = true;
                       },
                       ""};
  // Files changed by someone between the steps: a replaced ASCII grid, and a GRID whose cells
  // were replaced by another tile's.
  auto change = [](const std::string& root, const std::string& caption) {
    if (caption.starts_with("Running : XYZ-->ASCII") && fs::exists(root + "/ascii/u1.asc")) {
      ReplaceFile(root + "/ascii/u1.asc", LatticeAsciiGrid(50));
    }
    if (caption.starts_with("Running : ASCII-->ESRI GRID") && fs::exists(root + "/grid/u2")) {
      ReplaceFile(root + "/grid/u2/w001001.adf", ReadFile(root + "/grid/u0/w001001.adf"));
    }
  };
  struct Row {
    const char* name;
    std::function<void(const std::string&, const std::string&)> between_steps;
  };
  for (const Row& row : {Row{"files as written", {}}, Row{"files changed meanwhile", change}}) {
    SCOPED_TRACE(row.name);
    for (const Scenario* scenario : {&chain, &extremes}) {
      for (int jobs : {1, 2}) {
        SCOPED_TRACE(std::string(scenario->name) + ", jobs " + std::to_string(jobs));
        const Observed read_back = Run(*scenario, jobs, /*hand_over=*/false, row.between_steps);
        const Observed handed = Run(*scenario, jobs, /*hand_over=*/true, row.between_steps);
        EXPECT_EQ(handed.outcome, read_back.outcome);
        EXPECT_EQ(handed.captions, read_back.captions);
        EXPECT_EQ(handed.messages, read_back.messages);
        ExpectSameFiles(handed.files, read_back.files);
      }
    }
  }
}

}  // namespace
}  // namespace terravox
