// terravox-cli plan: the dry run writes nothing at all, and foresees the columns x rows, points
// and errors the run then produces; with --shard it lists each shard's share.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
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
using ::terravox::testing::ReadFile;
using ::terravox::testing::ReportLines;
using ::terravox::testing::RunCli;
using ::terravox::testing::Snapshot;
using ::terravox::testing::TileXyz;
using ::terravox::testing::With;
using ::terravox::testing::WriteFile;
using json = nlohmann::ordered_json;

// The number after "ncols" or "nrows" in an ASCII grid's header.
int HeaderValue(const std::string& grid, const std::string& key) {
  size_t at = grid.find(key);
  return at == std::string::npos ? -1 : std::stoi(grid.substr(at + key.size()));
}

class CliPlanTest : public ::terravox::testing::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    MakeTiles(PathIn("data"), 0, 0);
    // Tiles of different sizes, so each shape is its own.
    for (int i = 0; i < 6; ++i) {
      WriteFile(PathIn("data/xyz/s" + std::to_string(i) + ".xyz"), TileXyz(i, 3 + i));
    }
  }

  std::vector<std::string> Options(const std::string& command) {
    return With(ChainOptions(command, PathIn("data"), PathIn("data")),
                {"--log", PathIn("data/x.log"), "--report", PathIn("data/r.jsonl")});
  }

  // plan --json, checking that nothing under the test's folder changed.
  json Plan(const std::vector<std::string>& extra, int exit_code) {
    const auto before = Snapshot(PathIn("data"));  // every folder, the log and the report
    Process plan = RunCli(With(With(Options("plan"), {"--json"}), extra), MakeDir("io"));
    EXPECT_EQ(Snapshot(PathIn("data")), before) << "plan wrote something";
    EXPECT_EQ(plan.exit_code, exit_code) << plan.err;
    return json::parse(plan.out, nullptr, false);
  }
};

TEST_F(CliPlanTest, WritesNothingAndForeseesTheRunsGrids) {
  // A bad file among them: the run logs it and stops after the XYZ step; plan says so.
  WriteFile(PathIn("data/xyz/s9.xyz"), "0 0 1\r\n10 0 high\r\n");
  json plan = Plan({}, 1);
  ASSERT_TRUE(plan.is_object());
  ASSERT_EQ(plan["steps"].size(), 1u);
  EXPECT_EQ(plan["stops"], "an XYZ file fails, so the run stops after this step");

  Process run = RunCli(Options("run"), MakeDir("io"));
  EXPECT_EQ(run.exit_code, 1);
  std::map<std::string, json> reported;
  for (const json& line : ReportLines(PathIn("data/r.jsonl"))) {
    if (line["step"] == "xyz2ascii") reported[line["input"]] = line;
  }
  const json& files = plan["steps"][0]["files"];
  ASSERT_EQ(files.size(), 7u);
  for (const json& file : files) {
    const std::string input = file["input"];
    SCOPED_TRACE(input);
    EXPECT_EQ(file["points"], reported[input]["points"]);
    EXPECT_EQ(file["error"], reported[input]["error"]);
    if (file["error"] == "") {
      const std::string grid = ReadFile(file["output"]);
      EXPECT_EQ(file["columns"], HeaderValue(grid, "ncols"));
      EXPECT_EQ(file["rows"], HeaderValue(grid, "nrows"));
      EXPECT_EQ(file["columns"].get<int>() * file["rows"].get<int>(), reported[input]["cells"]);
    } else {
      EXPECT_EQ(file["error"], "Type mismatch");
      EXPECT_NE(ReadFile(PathIn("data/x.log")).find(input + " Error-Type mismatch"),
                std::string::npos);
    }
  }
}

TEST_F(CliPlanTest, ListsEveryStepAndEachShardsShare) {
  json whole = Plan({"--cell-size", "10"}, 0);
  ASSERT_TRUE(whole.is_object());
  std::vector<std::string> steps;
  for (const json& step : whole["steps"]) {
    steps.push_back(step["step"]);
    EXPECT_EQ(step["files"].size(), 6u) << step["step"];
  }
  EXPECT_EQ(steps, (std::vector<std::string>{"xyz2ascii", "ascii2grid", "slope", "contours"}));
  EXPECT_EQ(whole["steps"][0]["files"][0]["cell_size"], 10.0);
  EXPECT_EQ(whole["steps"][0]["files"][0]["cell_size_given"], true);

  std::multiset<std::string> from_shards;
  for (int k = 0; k < 3; ++k) {
    json shard = Plan({"--shard", std::to_string(k) + "/3"}, 0);
    for (const json& step : shard["steps"]) {
      for (const json& file : step["files"])
        from_shards.insert(step["step"].get<std::string>() + " " +
                           file["input"].get<std::string>());
    }
  }
  std::multiset<std::string> from_whole;
  for (const json& step : whole["steps"]) {
    for (const json& file : step["files"])
      from_whole.insert(step["step"].get<std::string>() + " " + file["input"].get<std::string>());
  }
  EXPECT_EQ(from_shards, from_whole);
}

TEST_F(CliPlanTest, FailedValidationIsShownAndNothingListed) {
  fs::remove_all(PathIn("data/grid"));
  json plan = Plan({}, 1);
  EXPECT_EQ(plan["valid"], false);
  EXPECT_EQ(plan["validation"], "Please Re-Select Folder: The folder of Grid does not exist.");
  EXPECT_TRUE(plan["steps"].empty());
}

}  // namespace
}  // namespace terravox
