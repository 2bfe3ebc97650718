// terravox-cli run --resume: a run killed halfway, run again with --resume, does only what the
// killed run left, reports the rest as skipped, and leaves what a clean run leaves.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "cli_process.h"
#include "cli_tiles.h"
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
using Key = std::pair<std::string, std::string>;  // step, input

Key KeyOf(const json& line) {
  return {line["step"].get<std::string>(), line["input"].get<std::string>()};
}

constexpr int kTiles = 12;
constexpr int kSide = 90;  // big enough that half the raster walk takes a while

int CountSteps(const std::string& report, const std::string& step) {
  int count = 0;
  for (const json& line : ReportLines(report)) {
    count += line.is_object() && line.value("step", "") == step;
  }
  return count;
}

// What SIGKILL can leave and nothing can clean up: the temporary folder of a GRID being written
// (hidden, so no step ever lists it) and the temporary Shapefile of contours being made.
bool IsKillDebris(const std::string& relative) {
  const std::string name = fs::path(relative).begin()->string() == "slope" ||
                                   fs::path(relative).begin()->string() == "grid"
                               ? std::next(fs::path(relative).begin())->string()
                               : fs::path(relative).filename().string();
  return name.starts_with(".") || (relative.starts_with("contour/contour_"));
}

class CliResumeTest : public ::terravox::testing::TempDirTest {};

TEST_F(CliResumeTest, ResumedRunDoesOnlyWhatTheKilledRunLeft) {
  MakeTiles(PathIn("in"), kTiles, kSide);
  MakeTiles(PathIn("clean"), 0, 0);
  MakeTiles(PathIn("resumed"), 0, 0);
  const std::string report = PathIn("resumed.jsonl");
  const std::vector<std::string> options =
      With(ChainOptions("run", PathIn("resumed"), PathIn("in")),
           {"--report", report, "--log", PathIn("x.log")});

  // Killed once half the rasters have their contours.
  const std::string scratch = MakeDir("io");
  pid_t pid = StartCli(options, scratch);
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (CountSteps(report, "contours") < kTiles / 2 &&
         std::chrono::steady_clock::now() < give_up) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_EQ(kill(pid, SIGKILL), 0);
  WaitCli(pid, scratch);
  const std::vector<json> killed = ReportLines(report);
  ASSERT_LT(CountSteps(report, "contours"), kTiles) << "the run ended before it was killed";
  ASSERT_EQ(CountSteps(report, "run"), 0);
  std::set<Key> done_before;
  for (const json& line : killed) {
    if (line.is_object() && line.value("outcome", "") == "ok") done_before.insert(KeyOf(line));
  }

  Process resumed = RunCli(With(options, {"--resume"}), scratch);
  EXPECT_EQ(resumed.exit_code, 0) << resumed.err;

  // The new lines: what was done is skipped, the rest is done now, each file once.
  const std::vector<json> all = ReportLines(report);
  ASSERT_GE(all.size(), killed.size());
  std::map<Key, std::string> outcome_now;
  for (size_t i = killed.size(); i < all.size(); ++i) {
    ASSERT_TRUE(all[i].is_object()) << "line " << i;
    if (!all[i].contains("input")) continue;
    Key key = KeyOf(all[i]);
    EXPECT_FALSE(outcome_now.contains(key)) << key.first << " " << key.second;
    outcome_now[key] = all[i]["outcome"];
  }
  EXPECT_EQ(outcome_now.size(), 4u * kTiles);
  int skipped = 0;
  for (const auto& [key, outcome] : outcome_now) {
    EXPECT_EQ(outcome, done_before.contains(key) ? "skipped" : "ok")
        << key.first << " " << key.second;
    skipped += outcome == "skipped";
  }
  EXPECT_GE(skipped, 2 * kTiles + kTiles / 2);  // both grid steps and half the walk
  EXPECT_LT(skipped, 4 * kTiles);
  EXPECT_EQ(all.back()["outcome"], "finished");

  Process clean = RunCli(ChainOptions("run", PathIn("clean"), PathIn("in")), scratch);
  ASSERT_EQ(clean.exit_code, 0) << clean.err;
  const auto resumed_tree = Snapshot(PathIn("resumed"));
  const auto clean_tree = Snapshot(PathIn("clean"));
  for (const auto& [path, bytes] : resumed_tree) {
    EXPECT_TRUE(clean_tree.contains(path) || IsKillDebris(path)) << "left over: " << path;
  }
  for (const auto& [path, bytes] : clean_tree) {
    EXPECT_TRUE(resumed_tree.contains(path) && resumed_tree.at(path) == bytes) << path;
  }
}

TEST_F(CliResumeTest, OutputOlderThanItsInputOrNotRecordedOkIsDoneAgain) {
  MakeTiles(PathIn("in"), 2, 5);
  MakeTiles(PathIn("out"), 0, 0);
  const std::string report = PathIn("r.jsonl");
  const std::vector<std::string> options =
      With(ChainOptions("run", PathIn("out"), PathIn("in")),
           {"--report", report, "--log", PathIn("x.log"), "--resume"});
  ASSERT_EQ(RunCli(options, MakeDir("io")).exit_code, 0);

  // t00's points change after its grid was made; t01's contours lose their ok record.
  fs::last_write_time(PathIn("in/xyz/t00.xyz"),
                      fs::file_time_type::clock::now() + std::chrono::hours(1));
  std::string text = testing::ReadFile(report);
  const std::string contours_ok = "\"input\":\"" + PathIn("out/grid/t01") + "\",\"output\":\"" +
                                  PathIn("out/contour/t01.shp") + "\",\"outcome\":\"ok\"";
  ASSERT_NE(text.find(contours_ok), std::string::npos) << text;
  text.replace(text.find(contours_ok), contours_ok.size(),
               "\"input\":\"" + PathIn("out/grid/t01") + "\",\"outcome\":\"failed\"");
  testing::WriteFile(report, text);
  const size_t lines_before = ReportLines(report).size();

  ASSERT_EQ(RunCli(options, MakeDir("io")).exit_code, 0);
  std::map<Key, std::string> outcome_now;
  const std::vector<json> all = ReportLines(report);
  for (size_t i = lines_before; i < all.size(); ++i) {
    if (all[i].contains("input")) outcome_now[KeyOf(all[i])] = all[i]["outcome"];
  }
  EXPECT_EQ(outcome_now[Key("xyz2ascii", PathIn("in/xyz/t00.xyz"))], "ok");
  EXPECT_EQ(outcome_now[Key("xyz2ascii", PathIn("in/xyz/t01.xyz"))], "skipped");
  EXPECT_EQ(outcome_now[Key("ascii2grid", PathIn("out/ascii/t00.asc"))], "ok");
  EXPECT_EQ(outcome_now[Key("contours", PathIn("out/grid/t01"))], "ok");
  EXPECT_EQ(outcome_now[Key("slope", PathIn("out/grid/t01"))], "skipped");
}

TEST_F(CliResumeTest, ResumeWithAnotherCellSizeRedoesEveryTile) {
  MakeTiles(PathIn("in"), 3, 5);
  MakeTiles(PathIn("out"), 0, 0);
  const std::string report = PathIn("r.jsonl");
  const std::vector<std::string> options = With(ChainOptions("run", PathIn("out"), PathIn("in")),
                                                {"--report", report, "--log", PathIn("x.log")});
  ASSERT_EQ(RunCli(options, MakeDir("io")).exit_code, 0);  // the derived cell size, 10
  const size_t lines_before = ReportLines(report).size();

  Process resumed = RunCli(With(options, {"--resume", "--cell-size", "20"}), MakeDir("io"));
  EXPECT_EQ(resumed.exit_code, 0) << resumed.err;
  const std::vector<json> all = ReportLines(report);
  int redone = 0;
  for (size_t i = lines_before; i < all.size(); ++i) {
    if (!all[i].contains("input")) continue;
    EXPECT_EQ(all[i]["outcome"], "ok") << all[i].dump();
    ++redone;
  }
  EXPECT_EQ(redone, 4 * 3);
}

TEST_F(CliResumeTest, ResumeOfAReportOfAnotherShardCountIsRefused) {
  MakeTiles(PathIn("in"), 3, 5);
  MakeTiles(PathIn("out"), 0, 0);
  const std::vector<std::string> options =
      With(ChainOptions("run", PathIn("out"), PathIn("in")),
           {"--report", PathIn("r.jsonl"), "--log", PathIn("x.log"), "--shard"});
  RunCli(With(options, {"0/2"}), MakeDir("io"));
  ASSERT_TRUE(fs::exists(PathIn("r.shard-0.jsonl")));
  const std::string before = testing::ReadFile(PathIn("r.shard-0.jsonl"));

  Process resumed = RunCli(With(options, {"0/3", "--resume"}), MakeDir("io"));
  EXPECT_EQ(resumed.exit_code, 1);
  EXPECT_TRUE(resumed.err.ends_with("Program is Stopped: Cannot resume from the report " +
                                    PathIn("r.shard-0.jsonl") +
                                    ": it was written by shard 0/2 of 2, and this run is shard "
                                    "0/3 of 3\n"))
      << resumed.err;
  EXPECT_EQ(testing::ReadFile(PathIn("r.shard-0.jsonl")), before);
}

}  // namespace
}  // namespace terravox
