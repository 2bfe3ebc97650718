// A run with COGs and a contour GeoPackage: every GRID and slope GRID has a COG of its cells and
// the GeoPackage every Shapefile line under its tile, with one thread or two; a stopped run
// resumed, or a run in shards merged, leaves the GeoPackage of one clean run.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "batch/batch_run.h"
#include "batch/extra_outputs.h"
#include "core/paths.h"
#include "core/run_control.h"
#include "engine/gis_test_util.h"
#include "support/fake_host.h"
#include "support/temp_dir_test.h"

namespace terravox {
namespace {

using ::terravox::testing::ContourLineTexts;

constexpr int kTiles = 5;

class ExtraOutputsTest : public ::terravox::testing::TempDirTest {
 protected:
  // The whole chain over kTiles rippled tiles t0.. into root's folders, with COGs in root/cog and
  // the contours in root/all.gpkg, the options then adjusted.
  RunOutcome Run(const std::string& root, const std::function<void(RunOptions&)>& adjust = {}) {
    testing::FakeHost host;
    Settings& v = host.values;
    for (const auto& [folder, name] : {std::pair{&v.xyz_folder, "xyz"},
                                       {&v.ascii_folder, "ascii"},
                                       {&v.grid_folder, "grid"},
                                       {&v.slope_folder, "slope"},
                                       {&v.contour_folder, "contour"}}) {
      *folder = root + "/" + name;
      std::filesystem::create_directories(*folder);
    }
    for (int i = 0; i < kTiles; ++i) {
      std::string text;
      for (int p = 0; p < 900; ++p) {
        const int x = p % 30, y = p / 30;
        text += std::to_string(x * 10) + " " + std::to_string(y * 10) + " " +
                std::to_string(100 + i + x + ((x * y + 3 * i) % 11)) + "\r\n";
      }
      testing::WriteFile(v.xyz_folder + "/t" + std::to_string(i) + ".xyz", text);
    }
    v.contour_interval = "3";
    v.input_xyz = v.run_slope = v.run_contour = true;
    RunOptions options;
    options.jobs = 1;
    options.error_log_path = root + "/log.txt";
    options.cog_dir = root + "/cog";
    std::filesystem::create_directories(options.cog_dir);
    options.contour_gpkg = root + "/all.gpkg";
    if (adjust) adjust(options);
    if (options.control != nullptr) {
      options.control->SetProgressSink([&host, control = options.control](double) {
        // Within the third raster's contours: the first two are in the GeoPackage.
        if (host.StatusText().starts_with("Running : ESRI GRID--> Get Contour ") &&
            control->item() == 2) {
          control->RequestStop();
        }
      });
    }
    BatchMdl mdl;
    return RunBatch(host, mdl, options);
  }
};

TEST(CogThreadsTest, CompressOnTheCoresTheRunLeavesIdle) {
  struct Row {
    const char* name;
    int jobs;
    int threads_per_file;
    unsigned cores;
    int threads;
  };
  const Row rows[] = {
      {"one job, two cores", 1, 0, 2, 2},        {"a job per core", 2, 0, 2, 1},
      {"jobs left to the run", 0, 0, 8, 1},      {"more jobs than cores", 3, 0, 2, 1},
      {"one job, many cores", 1, 0, 16, 4},      {"cores unknown", 1, 0, 0, 1},
      {"threads per file asked for", 2, 3, 2, 3}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    RunOptions options;
    options.jobs = row.jobs;
    options.threads_per_file = row.threads_per_file;
    EXPECT_EQ(CogThreads(options, row.cores), row.threads);
  }
}

TEST_F(ExtraOutputsTest, EveryTileHasItsCogsAndItsLinesInTheGeoPackage) {
  for (int jobs : {1, 2}) {
    SCOPED_TRACE(std::to_string(jobs) + " jobs");
    const std::string root = PathIn("jobs" + std::to_string(jobs));
    ASSERT_EQ(Run(root, [jobs](RunOptions& o) { o.jobs = jobs; }), RunOutcome::kFinished);
    std::vector<std::string> lines;
    for (int i = 0; i < kTiles; ++i) {
      const std::string tile = "t" + std::to_string(i);
      for (const auto& [grid, cog] : {std::pair{"/grid/" + tile, "/cog/" + tile + ".tif"},
                                      {"/slope/" + tile, "/cog/" + tile + "_slope.tif"}}) {
        const testing::GridReadBack expected = testing::ReadGridBack(root + grid);
        ASSERT_TRUE(expected.opened) << grid;
        EXPECT_EQ(testing::ReadGridBack(root + cog).cells, expected.cells) << cog;
      }
      const std::vector<std::string> tile_lines =
          ContourLineTexts(JoinPath(JoinPath(root, "contour"), tile + ".shp"), tile);
      lines.insert(lines.end(), tile_lines.begin(), tile_lines.end());
    }
    std::sort(lines.begin(), lines.end());
    EXPECT_GT(lines.size(), size_t{kTiles});
    EXPECT_EQ(ContourLineTexts(root + "/all.gpkg"), lines);
  }
}

TEST_F(ExtraOutputsTest, StoppedRunResumedLeavesTheGeoPackageOfACleanRun) {
  ASSERT_EQ(Run(PathIn("clean")), RunOutcome::kFinished);
  const std::vector<std::string> clean = ContourLineTexts(PathIn("clean/all.gpkg"));
  RunControl control;
  const std::string report = PathIn("report.jsonl");
  ASSERT_EQ(Run(PathIn("resumed"),
                [&](RunOptions& o) {
                  o.report_path = report;
                  o.control = &control;
                }),
            RunOutcome::kInterrupted);
  const size_t stopped = ContourLineTexts(PathIn("resumed/all.gpkg")).size();
  EXPECT_TRUE(stopped > 0 && stopped < clean.size()) << stopped;
  ASSERT_EQ(Run(PathIn("resumed"),
                [&](RunOptions& o) {
                  o.report_path = report;
                  o.resume = true;
                }),
            RunOutcome::kFinished);
  EXPECT_EQ(ContourLineTexts(PathIn("resumed/all.gpkg")), clean);
}

TEST_F(ExtraOutputsTest, ShardsMergeIntoTheGeoPackageOfOneRun) {
  ASSERT_EQ(Run(PathIn("one")), RunOutcome::kFinished);
  std::vector<std::string> shards;
  for (int k = 0; k < 2; ++k) {
    shards.push_back(PathIn("shared/contours." + std::to_string(k) + ".gpkg"));
    ASSERT_EQ(Run(PathIn("shared"),
                  [&](RunOptions& o) {
                    o.shard = {k, 2};
                    o.contour_gpkg = shards.back();
                  }),
              RunOutcome::kFinished);
  }
  ASSERT_TRUE(MergeContourPackages(PathIn("merged.gpkg"), shards).ok());
  EXPECT_EQ(ContourLineTexts(PathIn("merged.gpkg")), ContourLineTexts(PathIn("one/all.gpkg")));
}

}  // namespace
}  // namespace terravox
