// terravox-cli plan: the dry run writes nothing at all, and foresees the columns x rows, points
// and errors the run then produces; with --shard it lists each shard's share.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
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

// The ways a run stops at its own checks: plan exits 1 and says each failure in the run's
// words, every one of which the run then prints.
TEST_F(CliPlanTest, FailsWithTheRunsOwnTextWhereTheRunWouldStop) {
  struct Row {
    const char* name;
    std::function<void(const std::string& data)> prepare;
    std::vector<std::string> options;  // in place of the chain's
  };
  auto chain_with = [&](const std::string& option, const std::string& value) {
    std::vector<std::string> args = ChainOptions("", PathIn("data"), PathIn("data"));
    args.erase(args.begin());
    *(std::find(args.begin(), args.end(), option) + 1) = value;
    return args;
  };
  const Row rows[] = {
      {"a grid of 10^12 cells",
       [](const std::string& data) {
         std::string diagonal;
         for (int i = 0; i < 1000000; ++i)
           diagonal += std::to_string(i) + " " + std::to_string(i) + " 1\n";
         WriteFile(data + "/xyz/diagonal.xyz", diagonal);
       },
       chain_with("--contour-interval", "3")},
      {"32,768 files",
       [](const std::string& data) {
         for (int i = 0; i < 32768 - 6; ++i)
           WriteFile(data + "/xyz/e" + std::to_string(i) + ".xyz", "");
       },
       chain_with("--contour-interval", "3")},
      {"the slope folder is the GRID folder", [](const std::string&) {},
       chain_with("--slope-dir", PathIn("data/grid"))},
      {"a contour interval of 1e-7", [](const std::string&) {},
       chain_with("--contour-interval", "1e-7")},
      {"an XYZ file that would be its own grid",
       [](const std::string& data) { WriteFile(data + "/xyz/g.asc", TileXyz(0, 3)); },
       chain_with("--ascii-dir", PathIn("data/xyz"))},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    fs::remove_all(PathIn("data"));
    MakeTiles(PathIn("data"), 0, 0);
    for (int i = 0; i < 6; ++i) {
      WriteFile(PathIn("data/xyz/s" + std::to_string(i) + ".xyz"), TileXyz(i, 3 + i));
    }
    row.prepare(PathIn("data"));
    const std::vector<std::string> logs = {"--log", PathIn("data/x.log")};
    Process plan = RunCli(With(With({"plan", "--json"}, row.options), logs), MakeDir("io"));
    EXPECT_EQ(plan.exit_code, 1) << plan.err;
    const json planned = json::parse(plan.out, nullptr, false);
    ASSERT_TRUE(planned.is_object()) << plan.out;
    std::vector<std::string> texts = {planned["final"]};
    for (const json& message : planned["messages"]) texts.push_back(message);
    for (const json& step : planned["steps"]) {
      for (const json& file : step["files"]) {
        if (file["error"] != "") texts.push_back(file["error"]);
      }
    }
    EXPECT_EQ(texts[0].rfind("Program is Stopped: ", 0), 0u) << plan.out;

    Process run = RunCli(With(With({"run"}, row.options), logs), MakeDir("io"));
    EXPECT_EQ(run.exit_code, 1);
    for (const std::string& text : texts) {
      EXPECT_NE(run.err.find(text), std::string::npos) << text << "\nnot in\n" << run.err;
    }
  }
}

TEST_F(CliPlanTest, TotalsComeFirstInPlainNumbersAndResumeShowsOnlyWhatIsLeft) {
  // A tile far from the origin, whose extent must read in plain numbers.
  WriteFile(PathIn("data/xyz/far.xyz"),
            "500000 4189990 1\r\n500010 4189990 2\r\n500000 4190000 3\r\n500010 4190000 4\r\n");
  uint64_t bytes = 0;
  for (const auto& entry : fs::directory_iterator(PathIn("data/xyz"))) bytes += entry.file_size();
  Process table = RunCli(With(Options("plan"), {"--jobs", "1"}), MakeDir("io"));
  EXPECT_EQ(table.exit_code, 0) << table.err;
  // Tiles of 3 x 3 to 8 x 8 points and the far one of 2 x 2.
  const std::string totals = "validation passes\ntotals:\n  xyz2ascii: 7 tiles, 203 points, " +
                             std::to_string(bytes) + " bytes, 203 cells\n";
  EXPECT_EQ(table.out.rfind(totals, 0), 0u) << table.out;
  EXPECT_NE(table.out.find("largest tile: " + PathIn("data/xyz/s5.xyz") + ", "), std::string::npos)
      << table.out;
  EXPECT_NE(table.out.find("x 500000..500010, y 4189990..4190000,"), std::string::npos)
      << table.out;
  EXPECT_EQ(table.out.find("e+"), std::string::npos) << table.out;

  ASSERT_EQ(RunCli(Options("run"), PathIn("io")).exit_code, 0);
  fs::remove_all(PathIn("data/grid/s2"));
  json left = Plan({"--resume"}, 0);
  std::map<std::string, std::pair<int, int>> tiles_done;  // step -> tiles, done
  for (const json& step : left["totals"]) tiles_done[step["step"]] = {step["tiles"], step["done"]};
  const std::map<std::string, std::pair<int, int>> expected = {
      {"xyz2ascii", {0, 7}}, {"ascii2grid", {1, 6}}, {"slope", {1, 6}}, {"contours", {1, 6}}};
  EXPECT_EQ(tiles_done, expected);
  EXPECT_EQ(left["steps"][1]["files"][0]["input"], PathIn("data/ascii/s2.asc"));
}

TEST_F(CliPlanTest, AManifestAssignsTilesBySizeAndEachShardTakesItsOwn) {
  const std::string manifest = PathIn("manifest.json");
  json whole = Plan({"--shards", "2", "--manifest", manifest}, 0);
  const json assigned = json::parse(ReadFile(manifest), nullptr, false);
  ASSERT_TRUE(assigned.is_object());
  EXPECT_EQ(assigned["shards"], 2);
  EXPECT_EQ(assigned["tiles"]["s5"], 0);  // the largest first
  EXPECT_EQ(assigned["tiles"]["s4"], 1);
  // Largest first to the lightest shard: the shares differ by no more than the largest tile.
  const int64_t first = whole["shards"][0]["bytes"];
  const int64_t second = whole["shards"][1]["bytes"];
  EXPECT_LE(std::abs(first - second), static_cast<int64_t>(whole["largest"]["bytes"]));
  for (int k = 0; k < 2; ++k) {
    SCOPED_TRACE(k);
    json shard = Plan({"--shard", std::to_string(k) + "/2", "--manifest", manifest}, 0);
    std::set<std::string> listed;
    for (const json& file : shard["steps"][0]["files"]) {
      listed.insert(fs::path(file["input"].get<std::string>()).stem().string());
    }
    std::set<std::string> given;
    for (const auto& [tile, index] : assigned["tiles"].items()) {
      if (index == k) given.insert(tile);
    }
    EXPECT_EQ(listed, given);
    EXPECT_EQ(shard["totals"][0]["bytes"], whole["shards"][k]["bytes"]);
  }
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
