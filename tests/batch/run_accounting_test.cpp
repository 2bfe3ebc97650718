// The final verdict of a run over shards: each shard finished, stopped, never started or of
// another submission, each tile through every step, and only the submission's own runs counted.
#include "batch/run_accounting.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace terravox {
namespace {

const std::vector<std::string> kSteps = {kStepXyz2Ascii, kStepAscii2Grid, kStepSlope};

// One run of a shard: its start, one record per step for each tile named (failed at fail_step
// when the tile is failed_tile; the run then stopped after that step), and its end.
ReportSegment ShardRun(const std::string& submission, Shard shard,
                       const std::vector<std::string>& tiles,
                       std::optional<RunEnd> end = RunEnd{.finished = true},
                       const std::string& failed_tile = "",
                       FileOutcome outcome = FileOutcome::kOk) {
  ReportSegment run{.start = RunStart{.submission = submission, .shard = shard, .steps = kSteps},
                    .end = std::move(end),
                    .shard = shard};
  for (const std::string& step : kSteps) {
    for (const std::string& tile : tiles) {
      const bool fails = tile == failed_tile && step == kStepXyz2Ascii;
      run.files.push_back({.step = step,
                           .input = "in/" + tile + ".x",
                           .outcome = fails ? FileOutcome::kFailed : outcome,
                           .error = fails ? "Type mismatch" : ""});
    }
    if (!failed_tile.empty()) break;
  }
  return run;
}

Report Of(std::vector<ReportSegment> runs) { return {.segments = std::move(runs)}; }

// Tiles named by the shard they hash to for 2 shards.
std::vector<std::string> TilesOf(int k) {
  std::vector<std::string> tiles;
  for (int i = 0; tiles.size() < 3; ++i) {
    const std::string tile = "t" + std::to_string(i);
    if (InShard({k, 2}, tile)) tiles.push_back(tile);
  }
  return tiles;
}

TEST(RunAccountingTest, AccountsForEveryShardAndTileOfTheSubmission) {
  const RunEnd stopped{.finished = false, .message = "Program is Stopped"};
  const RunEnd signalled{.finished = false, .text = "Interrupted", .signal = "SIGTERM"};
  const std::vector<std::string> a = TilesOf(0);
  const std::vector<std::string> b = TilesOf(1);
  ReportSegment interrupted = ShardRun("s", {1, 2}, {b[0], b[1]}, signalled);
  interrupted.files.push_back({.step = kStepXyz2Ascii, .input = "in/" + b[2] + ".x"});
  struct Row {
    const char* name;
    std::vector<Report> reports;
    std::vector<ShardState> states;
    std::string reason;    // of shard 1
    std::string not_done;  // the first tile not done, "" when none
    std::string why_not_done;
  };
  const Row rows[] = {
      {"both finished",
       {Of({ShardRun("s", {0, 2}, a)}), Of({ShardRun("s", {1, 2}, b)})},
       {ShardState::kFinished, ShardState::kFinished},
       "",
       "",
       ""},
      {"shard 1 never started",
       {Of({ShardRun("s", {0, 2}, a)})},
       {ShardState::kFinished, ShardState::kNeverStarted},
       "",
       "",
       ""},
      {"shard 1 only of an earlier submission",
       {Of({ShardRun("s", {0, 2}, a)}), Of({ShardRun("old", {1, 2}, b)})},
       {ShardState::kFinished, ShardState::kOther},
       "submission \"old\"",
       "",
       ""},
      {"shard 1 only of another count",
       {Of({ShardRun("s", {0, 2}, a)}), Of({ShardRun("s", {1, 3}, b)})},
       {ShardState::kFinished, ShardState::kOther},
       "shard 1/3",
       "",
       ""},
      {"shard 1 stopped by a signal, its last tile not reached",
       {Of({ShardRun("s", {0, 2}, a)}), Of({interrupted})},
       {ShardState::kFinished, ShardState::kStopped},
       "Interrupted by SIGTERM",
       b[2],
       "shard 1/2 stopped before it"},
      {"shard 1 killed",
       {Of({ShardRun("s", {0, 2}, a)}), Of({ShardRun("s", {1, 2}, b, std::nullopt)})},
       {ShardState::kFinished, ShardState::kStopped},
       "without its final message",
       "",
       ""},
      {"a tile failed, its later steps not processed",
       {Of({ShardRun("s", {0, 2}, a)}), Of({ShardRun("s", {1, 2}, b, stopped, b[1])})},
       {ShardState::kFinished, ShardState::kStopped},
       "Program is Stopped",
       b[0],
       "shard 1/2 stopped before it"},
      {"resumed after a failure: finished, no old failure",
       {Of({ShardRun("s", {0, 2}, a)}),
        Of({ShardRun("s", {1, 2}, b, stopped, b[1]),
            ShardRun("s", {1, 2}, b, RunEnd{.finished = true}, "", FileOutcome::kSkipped)})},
       {ShardState::kFinished, ShardState::kFinished},
       "",
       "",
       ""},
      {"the earlier submission's failure not counted",
       {Of({ShardRun("old", {0, 2}, a, stopped, a[0]), ShardRun("s", {0, 2}, a)}),
        Of({ShardRun("s", {1, 2}, b)})},
       {ShardState::kFinished, ShardState::kFinished},
       "",
       "",
       ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const RunAccount run = AccountRun(row.reports, "s", 2);
    ASSERT_EQ(run.shards.size(), 2u);
    for (size_t k = 0; k < 2; ++k) EXPECT_EQ(run.shards[k].state, row.states[k]) << k;
    EXPECT_NE(run.shards[1].reason.find(row.reason), std::string::npos) << run.shards[1].reason;
    const bool all_done = row.states[0] == ShardState::kFinished &&
                          row.states[1] == ShardState::kFinished && row.not_done.empty();
    EXPECT_EQ(run.finished, all_done);
    if (row.not_done.empty()) continue;
    ASSERT_FALSE(run.not_done.empty());
    EXPECT_EQ(run.not_done[0].tile, row.not_done);
    EXPECT_EQ(run.not_done[0].why_not_processed, row.why_not_done);
  }
}

TEST(RunAccountingTest, ATileThatFailedNamesItsFailureAndTheStepsItMissed) {
  const RunEnd kept_going{.finished = false, .text = "There are some errors"};
  const RunAccount run =
      AccountRun({Of({ShardRun("", {0, 1}, {"t0", "t1"}, kept_going, "t1")})}, "", 0);
  EXPECT_EQ(run.shard_count, 1);
  ASSERT_EQ(run.not_done.size(), 2u);
  const TileAccount& failed = run.not_done[1];
  EXPECT_EQ(failed.tile, "t1");
  ASSERT_EQ(failed.failed.size(), 1u);
  EXPECT_EQ(failed.failed[0].error, "Type mismatch");
  EXPECT_EQ(failed.not_processed, std::vector<std::string>({kStepAscii2Grid, kStepSlope}));
  EXPECT_EQ(failed.why_not_processed, "an earlier step failed");
  EXPECT_EQ(run.tiles, 2);
}

}  // namespace
}  // namespace terravox
