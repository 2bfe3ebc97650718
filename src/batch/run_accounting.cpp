// AccountRun: the runs of the submission per shard, the last record of each file, and per tile
// the steps it went through.
#include "batch/run_accounting.h"

#include <algorithm>
#include <map>
#include <set>
#include <utility>

#include "batch/final_message.h"
#include "core/folder_listing.h"
#include "core/paths.h"

namespace terravox {
namespace {

// A run of an older report that wrote no start counts as the submission "" of one shard.
std::string SubmissionOf(const ReportSegment& segment) {
  return segment.start ? segment.start->submission : std::string();
}
Shard ShardOf(const ReportSegment& segment) { return segment.shard.value_or(Shard{}); }

// The submission most runs belong to; among equals the one read last.
std::string LikeliestSubmission(const std::vector<Report>& reports) {
  std::map<std::string, int> runs;
  std::string chosen;
  int most = 0;
  for (const Report& report : reports) {
    for (const ReportSegment& segment : report.segments) {
      const std::string submission = SubmissionOf(segment);
      if (++runs[submission] >= most) {
        most = runs[submission];
        chosen = submission;
      }
    }
  }
  return chosen;
}

std::string ShardText(const Shard& shard) {
  return std::to_string(shard.index) + "/" + std::to_string(shard.count);
}

// Why a shard's last run stopped, in the words it was told in.
std::string StopReason(const ReportSegment& last) {
  if (!last.end) return "it ended without its final message (killed, or still running)";
  const RunEnd& end = *last.end;
  if (!end.signal.empty()) return end.text + " by " + end.signal;
  if (end.text == kStoppedText && !end.cause.empty()) return end.cause;
  return end.text.empty() ? end.message : end.text;
}

// Places the shard's state and counts its records (the last of each step and input).
void AccountShard(const std::vector<const ReportSegment*>& runs, ShardAccount& account,
                  std::map<std::pair<std::string, std::string>, size_t>& record_of,
                  RunAccount& run) {
  const ReportSegment& last = *runs.back();
  if (last.end && last.end->finished) {
    account.state = ShardState::kFinished;
  } else {
    account.state = ShardState::kStopped;
    account.reason = StopReason(last);
  }
  for (const ReportSegment* segment : runs) {
    for (const FileRecord& record : segment->files) {
      auto [at, added] = record_of.try_emplace({record.step, record.input}, run.files.size());
      if (added) {
        run.files.push_back(record);
      } else {
        run.files[at->second] = record;
      }
    }
  }
}

// The tiles of the counted records that did not go through every step from the first one
// they met (a GRID that was in the folder before the run needs only the walk).
void AccountTiles(RunAccount& run, const std::map<int, const ShardAccount*>& shard_of_index) {
  struct TileSteps {
    Shard shard;
    std::map<std::string, bool> step_ok;  // step -> every record of it ok or skipped
    std::vector<FileRecord> failed;
  };
  auto less = [](const std::string& a, const std::string& b) { return FileNameLess(a, b); };
  std::map<std::string, TileSteps, decltype(less)> tiles(less);
  for (const FileRecord& record : run.files) {
    TileSteps& tile = tiles[BaseName(LastPathPiece(record.input))];
    const bool ok = record.outcome != FileOutcome::kFailed;
    auto [at, added] = tile.step_ok.try_emplace(record.step, ok);
    at->second = at->second && ok;
    if (!ok) tile.failed.push_back(record);
  }
  run.tiles = static_cast<int>(tiles.size());
  for (auto& [name, tile] : tiles) {
    TileAccount account{.tile = name, .shard = {}, .failed = tile.failed};
    bool met = false;
    bool failed_before = false;
    for (const std::string& step : run.steps) {
      auto found = tile.step_ok.find(step);
      met = met || found != tile.step_ok.end();
      if (!met) continue;
      if (found == tile.step_ok.end()) {
        account.not_processed.push_back(step);
        if (account.why_not_processed.empty()) {
          account.why_not_processed = failed_before ? "an earlier step failed" : "not reached";
        }
      } else if (!found->second) {
        failed_before = true;
      }
    }
    if (account.failed.empty() && account.not_processed.empty()) continue;
    for (const auto& [index, shard] : shard_of_index) {
      if (InShard(shard->shard, name)) {
        account.shard = shard->shard;
        if (account.why_not_processed == "not reached" && shard->state != ShardState::kFinished) {
          account.why_not_processed = "shard " + ShardText(shard->shard) + " stopped before it";
        }
      }
    }
    run.not_done.push_back(std::move(account));
  }
}

}  // namespace

RunAccount AccountRun(const std::vector<Report>& reports, std::string submission, int shard_count) {
  RunAccount run;
  run.submission = submission.empty() ? LikeliestSubmission(reports) : std::move(submission);
  std::map<int, std::vector<const ReportSegment*>> mine;  // shard index -> its runs, in order
  std::map<int, std::string> others;                      // shard index -> whose runs it has
  if (shard_count <= 0) {
    shard_count = 1;
    for (const Report& report : reports) {
      for (const ReportSegment& segment : report.segments) {
        if (SubmissionOf(segment) == run.submission) shard_count = ShardOf(segment).count;
      }
    }
  }
  run.shard_count = shard_count;
  for (const Report& report : reports) {
    for (const ReportSegment& segment : report.segments) {
      const Shard shard = ShardOf(segment);
      if (SubmissionOf(segment) == run.submission && shard.count == shard_count) {
        mine[shard.index].push_back(&segment);
        if (segment.start) {
          if (!segment.start->steps.empty()) run.steps = segment.start->steps;
          run.keep_going = segment.start->keep_going;
        }
      } else {
        others[shard.index] = "it has only runs of submission \"" + SubmissionOf(segment) +
                              "\" as shard " + ShardText(shard);
      }
    }
  }
  // Reports of older runs name no steps: the steps their records show, in run order.
  if (run.steps.empty()) {
    std::set<std::string> seen;
    for (const auto& [index, runs] : mine) {
      for (const ReportSegment* segment : runs) {
        for (const FileRecord& record : segment->files) seen.insert(record.step);
      }
    }
    for (const char* step : {kStepXyz2Ascii, kStepAscii2Grid, kStepSlope, kStepContours}) {
      if (seen.contains(step)) run.steps.emplace_back(step);
    }
  }

  std::map<std::pair<std::string, std::string>, size_t> record_of;
  std::map<int, const ShardAccount*> shard_of_index;
  run.shards.resize(static_cast<size_t>(shard_count));
  for (int k = 0; k < shard_count; ++k) {
    ShardAccount& account = run.shards[static_cast<size_t>(k)];
    account.shard = {k, shard_count};
    if (auto found = mine.find(k); found != mine.end()) {
      AccountShard(found->second, account, record_of, run);
    } else if (auto other = others.find(k); other != others.end()) {
      account.state = ShardState::kOther;
      account.reason = other->second;
    }
    shard_of_index[k] = &account;
  }
  AccountTiles(run, shard_of_index);
  run.finished = run.not_done.empty() &&
                 std::all_of(run.shards.begin(), run.shards.end(), [](const ShardAccount& shard) {
                   return shard.state == ShardState::kFinished;
                 });
  return run;
}

}  // namespace terravox
