// terravox-cli run --shard and report --merge: three shards over twelve tiles, one after another
// and all at once, leave what one run leaves, do each tile once, and merge into one run's report;
// their contour GeoPackages merge into one run's.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "cli_process.h"
#include "cli_tiles.h"
#include "core/shard.h"
#include "engine/gis_test_util.h"
#include "support/temp_dir_test.h"

namespace terravox {
namespace {

namespace fs = std::filesystem;
using ::terravox::testing::ChainOptions;
using ::terravox::testing::MakeTiles;
using ::terravox::testing::Process;
using ::terravox::testing::ReportLines;
using ::terravox::testing::RunCli;
using ::terravox::testing::Snapshot;
using ::terravox::testing::StartCli;
using ::terravox::testing::WaitCli;
using ::terravox::testing::With;
using json = nlohmann::ordered_json;

constexpr int kTiles = 12;
constexpr int kShards = 3;
constexpr char kStopped[] =
    "Program is Stopped: There are some errors happened during processing\n";
constexpr char kFinished[] = "Program is Finished: All files in the folders were finished\n";

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// A report's lines without their times, the run's folder spelt ROOT.
std::vector<std::string> Comparable(const std::string& report, const std::string& root) {
  std::vector<std::string> lines;
  for (json line : ReportLines(report)) {
    line.erase("seconds");
    line.erase("input_time");
    line.erase("cause");
    lines.push_back(Replace(line.dump(), root, "ROOT"));
  }
  return lines;
}

class CliShardTest : public ::terravox::testing::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    MakeTiles(PathIn("in"), kTiles, 6);
    // t05's slope is blocked by a folder of its name that is no GRID: a failure the raster walk
    // reports and goes on from, so one run and the shards alike do every other file.
    for (const char* root : {"one", "shards"}) {
      MakeTiles(PathIn(root), 0, 0);
      MakeDir(std::string(root) + "/slope/t05/not-a-grid");
    }
    MakeDir("reports");
  }

  std::vector<std::string> Options(const std::string& root) {
    return ChainOptions("run", PathIn(root), PathIn("in"));
  }
};

TEST_F(CliShardTest, ThreeShardsDoWhatOneRunDoesEachTileOnce) {
  Process one = RunCli(With(Options("one"), {"--report", PathIn("reports/one.jsonl"), "--log",
                                             PathIn("reports/one.log")}),
                       MakeDir("io-one"));
  ASSERT_EQ(one.exit_code, 1) << one.err;
  ASSERT_TRUE(one.err.ends_with(kStopped));

  for (bool together : {false, true}) {
    SCOPED_TRACE(together ? "all at once" : "one after another");
    fs::remove_all(PathIn("shards"));
    for (int k = 0; k < kShards; ++k) fs::remove(PathIn("reports/r.shard-" + std::to_string(k)));
    MakeTiles(PathIn("shards"), 0, 0);
    MakeDir("shards/slope/t05/not-a-grid");

    std::vector<pid_t> pids;
    std::vector<Process> shards(kShards);
    for (int k = 0; k < kShards; ++k) {
      const std::string scratch = MakeDir("io-" + std::to_string(k));
      pids.push_back(
          StartCli(With(Options("shards"),
                        {"--shard", std::to_string(k) + "/" + std::to_string(kShards), "--report",
                         PathIn("reports/r.jsonl"), "--log", PathIn("reports/x.log")}),
                   scratch));
      if (!together) shards[k] = WaitCli(pids[k], scratch);
    }
    if (together) {
      for (int k = 0; k < kShards; ++k)
        shards[k] = WaitCli(pids[k], PathIn("io-" + std::to_string(k)));
    }

    // Per shard, the final message of a run over its tiles: only t05's shard stops.
    for (int k = 0; k < kShards; ++k) {
      const bool has_t05 = InShard({k, kShards}, "t05");
      EXPECT_EQ(shards[k].exit_code, has_t05 ? 1 : 0) << shards[k].err;
      EXPECT_TRUE(shards[k].err.ends_with(has_t05 ? kStopped : kFinished)) << shards[k].err;
    }

    EXPECT_EQ(Snapshot(PathIn("shards")), Snapshot(PathIn("one")));

    // Every tile once per step, in exactly one shard's report, and no shard log was shared.
    std::map<std::pair<std::string, std::string>, int> done;
    std::vector<std::string> reports;
    for (int k = 0; k < kShards; ++k) {
      reports.push_back(PathIn("reports/r.shard-" + std::to_string(k) + ".jsonl"));
      for (const json& line : ReportLines(reports.back())) {
        if (!line.contains("input")) continue;
        const std::string tile = fs::path(line["input"].get<std::string>()).stem().string();
        EXPECT_TRUE(InShard({k, kShards}, tile)) << tile << " in shard " << k;
        ++done[{line["step"], tile}];
      }
    }
    EXPECT_EQ(done.size(), 4u * kTiles);
    for (const auto& [key, count] : done) EXPECT_EQ(count, 1) << key.first << " " << key.second;

    Process merge = RunCli(With({"report", "--merge", PathIn("reports/merged.jsonl"), "--final",
                                 "--shards", std::to_string(kShards)},
                                reports),
                           MakeDir("io-merge"));
    EXPECT_EQ(merge.exit_code, 1);
    EXPECT_EQ(merge.err, kStopped);
    EXPECT_NE(merge.out.find("slope              11        1        0"), std::string::npos)
        << merge.out;
    EXPECT_EQ(Comparable(PathIn("reports/merged.jsonl"), PathIn("shards")),
              Comparable(PathIn("reports/one.jsonl"), PathIn("one")));
  }
}

TEST_F(CliShardTest, KeepingGoingShardsDoWhatOneKeepingGoingRunDoesWhenFilesFail) {
  // t03 fails the XYZ step; t05's slope fails (see SetUp): without keeping going, one run would
  // stop after the XYZ step while the other shards went on.
  testing::WriteFile(PathIn("in/xyz/t03.xyz"), "0 0 high\r\n");
  const std::vector<std::string> keep = {"--keep-going", "--log", PathIn("reports/x.log")};
  Process one = RunCli(With(Options("one"), keep), MakeDir("io"));
  EXPECT_EQ(one.exit_code, 1);
  std::vector<std::string> reports;
  for (int k = 0; k < kShards; ++k) {
    const std::string shard = std::to_string(k) + "/" + std::to_string(kShards);
    reports.push_back(PathIn("reports/r." + std::to_string(k) + ".jsonl"));
    RunCli(With(Options("shards"),
                With(keep, {"--shard", shard, "--report", PathIn("reports/r.%K.jsonl")})),
           MakeDir("io"));
  }
  EXPECT_EQ(Snapshot(PathIn("shards")), Snapshot(PathIn("one")));
  EXPECT_TRUE(fs::exists(PathIn("one/slope/t04")));

  Process merge = RunCli(With({"report", "--final", "--shards", "3"}, reports), MakeDir("io"));
  EXPECT_EQ(merge.exit_code, 1);
  // Run order: the XYZ failure first, then the slope's; each names its file.
  const std::string stopped(kStopped, std::size(kStopped) - 2);  // without its line end
  const std::string named =
      stopped + "; failed: xyz2ascii " + PathIn("in/xyz/t03.xyz") + " (Type mismatch); slope ";
  EXPECT_EQ(merge.err.rfind(named + PathIn("shards/grid/t05"), 0), 0u) << merge.err;
  EXPECT_NE(one.err.find(named + PathIn("one/grid/t05")), std::string::npos) << one.err;
}

TEST_F(CliShardTest, FinalMessageNeedsEveryShardFinished) {
  // Two shards of a run without failures: finished only once both have reported their end.
  fs::remove_all(PathIn("one/slope/t05"));
  std::vector<std::string> reports;
  for (int k = 0; k < 2; ++k) {
    Process shard = RunCli(
        With(Options("one"), {"--shard", std::to_string(k) + "/2", "--report",
                              PathIn("reports/r.%K.jsonl"), "--log", PathIn("reports/x.%K.log")}),
        MakeDir("io"));
    ASSERT_EQ(shard.exit_code, 0) << shard.err;
    reports.push_back(PathIn("reports/r." + std::to_string(k) + ".jsonl"));
  }
  // Shard 0 stopped once, then a resumed run of it finished: its last end counts.
  const std::string resumed = PathIn("reports/r.0-resumed.jsonl");
  testing::WriteFile(resumed, R"({"step":"run","outcome":"stopped","message":"Program is Stopped",)"
                              R"("shard":"0/2"})"
                              "\n" +
                                  testing::ReadFile(reports[0]));
  const std::string stopped_last = PathIn("reports/r.0-stopped.jsonl");
  testing::WriteFile(stopped_last, testing::ReadFile(reports[0]) +
                                       R"({"step":"run","outcome":"stopped","shard":"0/2"})"
                                       "\n");
  struct Row {
    const char* name;
    std::vector<std::string> reports;
    int exit_code;
  };
  const Row rows[] = {
      {"both", reports, 0},
      {"shard 0 resumed to its end", {resumed, reports[1]}, 0},
      {"shard 0 stopped after it finished", {stopped_last, reports[1]}, 1},
      {"one missing", {reports[0]}, 1},
      {"one unreadable", {reports[0], PathIn("reports/none.jsonl")}, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Process merge =
        RunCli(With({"report", "--final", "--shards", "2"}, row.reports), MakeDir("io"));
    EXPECT_EQ(merge.exit_code, row.exit_code);
    EXPECT_TRUE(merge.err.ends_with(row.exit_code == 0 ? kFinished : kStopped)) << merge.err;
  }
}

TEST_F(CliShardTest, ReportMergesTheContourGeoPackagesOfTheShardsCounted) {
  for (const char* root : {"one", "shards"}) fs::remove_all(PathIn(root) + "/slope/t05");
  const std::vector<std::string> gpkg = {"--log", PathIn("reports/x.log"), "--contour-gpkg"};
  ASSERT_EQ(RunCli(With(Options("one"), With(gpkg, {PathIn("one.gpkg")})), MakeDir("io")).exit_code,
            0);
  std::vector<std::string> reports;
  for (int k = 0; k < 2; ++k) {
    Process shard = RunCli(
        With(Options("shards"), With(gpkg, {PathIn("c.gpkg"), "--shard", std::to_string(k) + "/2",
                                            "--report", PathIn("reports/r.%K.jsonl")})),
        MakeDir("io"));
    ASSERT_EQ(shard.exit_code, 0) << shard.err;
    reports.push_back(PathIn("reports/r." + std::to_string(k) + ".jsonl"));
  }
  const std::vector<std::string> all = testing::ContourLineTexts(PathIn("one.gpkg"));
  const std::vector<std::string> of_0 = testing::ContourLineTexts(PathIn("c.shard-0.gpkg"));
  ASSERT_FALSE(of_0.empty());
  ASSERT_LT(of_0.size(), all.size());
  struct Row {
    const char* name;
    std::vector<std::string> reports;
    std::vector<std::string> lines;
  };
  // Without its report, shard 1 never started in this account: its GeoPackage is not taken.
  const Row rows[] = {{"both shards", reports, all}, {"shard 1 never started", {reports[0]}, of_0}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Process merge =
        RunCli(With({"report", "--final", "--shards", "2", "--contour-gpkg", PathIn("c.gpkg")},
                    row.reports),
               MakeDir("io"));
    EXPECT_NE(merge.out.find("merged into " + PathIn("c.gpkg")), std::string::npos) << merge.out;
    EXPECT_EQ(testing::ContourLineTexts(PathIn("c.gpkg")), row.lines);
  }
}

}  // namespace
}  // namespace terravox
