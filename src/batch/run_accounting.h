// AccountRun: what became of every shard and every tile of one submission, from the reports its
// shards wrote. This is the final verdict of a run spread over shards: finished only when every
// shard finished in this submission and every tile went through every step.
#pragma once

#include <string>
#include <vector>

#include "batch/report_reader.h"
#include "core/file_record.h"

namespace terravox {

enum class ShardState {
  kFinished,
  kStopped,       // ended stopped, or without an end (killed)
  kNeverStarted,  // no report of it at all
  kOther,         // only reports of another submission or another shard count
};

struct ShardAccount {
  Shard shard{};
  ShardState state = ShardState::kNeverStarted;
  std::string reason{};  // why it stopped, or whose reports it has
};

// A tile (a base name) that did not go through every step of its run.
struct TileAccount {
  std::string tile{};
  Shard shard{};
  std::vector<FileRecord> failed{};          // its failed steps
  std::vector<std::string> not_processed{};  // steps with no record of it, in run order
  std::string why_not_processed{};           // an earlier step failed, or the shard stopped
};

struct RunAccount {
  std::string submission{};
  int shard_count = 1;
  std::vector<ShardAccount> shards{};  // 0 .. shard_count - 1
  int tiles = 0;                       // tiles named in the counted reports
  std::vector<TileAccount> not_done{};
  // The records counted: the last one of each step and input, in the order read.
  std::vector<FileRecord> files{};
  std::vector<std::string> steps{};  // the run's steps, in run order
  bool keep_going = false;           // its runs kept going past failed files
  bool finished = false;
};

// The account of a submission from the reports read (in any order). submission empty: the one
// that wrote most of the reports' runs; shard_count 0: the count that submission's runs give.
// Runs of other submissions or counts are not counted.
RunAccount AccountRun(const std::vector<Report>& reports, std::string submission, int shard_count);

}  // namespace terravox
