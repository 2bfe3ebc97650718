// Pictures made during a run: on each tile's last report record, named in the quicklook folder,
// and the same with one thread as with several.
#include "batch/tile_quicklook.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "batch/batch_run.h"
#include "batch/run_report.h"
#include "core/paths.h"
#include "support/fake_host.h"
#include "support/lattice_fixtures.h"
#include "support/temp_dir_test.h"

namespace terravox {
namespace {

namespace fs = std::filesystem;

class TileQuicklookTest : public testing::TempDirTest {};

TEST_F(TileQuicklookTest, RunRecordsEachTilesPicturesTheSameWhateverTheJobs) {
  const std::string seed = MakeDir("seed");
  for (int i = 0; i < 3; ++i) {
    testing::WriteFile(seed + "/t" + std::to_string(i) + ".asc", testing::LatticeAsciiGrid(7 * i));
  }
  std::map<int, std::map<std::string, std::string>> pictures_of_jobs;
  for (int jobs : {1, 2}) {
    SCOPED_TRACE(jobs);
    const std::string root = "jobs" + std::to_string(jobs);
    testing::FakeHost host;
    host.values.input_ascii = true;
    host.values.ascii_folder = seed;
    host.values.grid_folder = MakeDir(root + "/grid");
    host.values.run_slope = true;
    host.values.slope_folder = MakeDir(root + "/slope");
    host.values.run_contour = true;
    host.values.contour_folder = MakeDir(root + "/contour");
    host.values.contour_interval = "10";
    RunOptions options;
    options.jobs = jobs;
    options.error_log_path = PathIn(root + "/x.log");
    options.report_path = PathIn(root + "/r.jsonl");
    options.quicklook_folder = QuicklookFolderBeside(options.report_path);
    BatchMdl mdl;
    ASSERT_EQ(RunBatch(host, mdl, options), RunOutcome::kFinished);

    Result<std::vector<FileRecord>> records = ReadFileRecords(options.report_path);
    ASSERT_TRUE(records.ok());
    int pictured = 0;
    for (const FileRecord& record : *records) {
      SCOPED_TRACE(record.step + " " + record.input);
      ASSERT_EQ(record.quicklook.has_value(), record.step == kStepContours);
      if (!record.quicklook) continue;
      ++pictured;
      const std::string tile = LastPathPiece(record.input);
      EXPECT_EQ(record.quicklook->hillshade, PathIn(root + "/r.quicklook/" + tile + ".png"));
      EXPECT_EQ(record.quicklook->slope, PathIn(root + "/r.quicklook/" + tile + ".slope.png"));
      EXPECT_GT(record.quicklook->contour_lines, 0);
    }
    EXPECT_EQ(pictured, 3);
    // Every file of the folder is a named picture: no temporary is left.
    for (const fs::directory_entry& entry : fs::directory_iterator(options.quicklook_folder)) {
      pictures_of_jobs[jobs][entry.path().filename()] = testing::ReadFile(entry.path());
    }
    EXPECT_EQ(pictures_of_jobs[jobs].size(), 6u);
  }
  EXPECT_EQ(pictures_of_jobs[1], pictures_of_jobs[2]);
}

}  // namespace
}  // namespace terravox
