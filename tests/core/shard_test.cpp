// Shards: parsing K/N, the fixed hash, that the shards split any name list exactly, and the
// per-shard file names.
#include "core/shard.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/run_options.h"

namespace terravox {
namespace {

TEST(ShardTest, ParsesKOfN) {
  struct Row {
    const char* text;
    bool ok;
    int index;
    int count;
  };
  const Row rows[] = {
      {"0/1", true, 0, 1},  {"2/3", true, 2, 3},   {"17/100", true, 17, 100}, {"3/3", false, 0, 0},
      {"0/0", false, 0, 0}, {"-1/3", false, 0, 0}, {"1", false, 0, 0},        {"1/", false, 0, 0},
      {"/3", false, 0, 0},  {"1/3x", false, 0, 0}, {" 1/3", false, 0, 0},     {"", false, 0, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    Result<Shard> shard = ParseShard(row.text);
    ASSERT_EQ(shard.ok(), row.ok);
    if (row.ok) {
      EXPECT_EQ(shard->index, row.index);
      EXPECT_EQ(shard->count, row.count);
    } else {
      EXPECT_EQ(shard.error().description(),
                std::string("--shard takes K/N with 0 <= K < N, not ") + row.text);
    }
  }
}

TEST(ShardTest, HashIsFnv1aOnEveryMachine) {
  EXPECT_EQ(Fnv1a32(""), 0x811c9dc5u);
  EXPECT_EQ(Fnv1a32("a"), 0xe40c292cu);
  EXPECT_EQ(Fnv1a32("foobar"), 0xbf9cf968u);
}

TEST(ShardTest, EveryTileFallsInExactlyOneShardWhateverItsExtension) {
  for (int count : {1, 2, 3, 7}) {
    std::vector<int> per_shard(count);
    for (int i = 0; i < 500; ++i) {
      const std::string base = "tile_" + std::to_string(i);
      int owners = 0;
      for (int k = 0; k < count; ++k) {
        const bool owns = InShard({k, count}, base + ".xyz");
        // The tile keeps its shard as XYZ file, ASCII grid and GRID.
        EXPECT_EQ(InShard({k, count}, base + ".asc"), owns);
        EXPECT_EQ(InShard({k, count}, base), owns);
        owners += owns;
        per_shard[k] += owns;
      }
      EXPECT_EQ(owners, 1) << base;
    }
    for (int k = 0; k < count; ++k) EXPECT_GT(per_shard[k], 500 / count / 2) << k << "/" << count;
  }
}

TEST(ShardTest, EachShardWritesFilesOfItsOwn) {
  struct Row {
    const char* path;
    Shard shard;
    const char* expected;
  };
  const Row rows[] = {
      {"/tmp/run.jsonl", {0, 1}, "/tmp/run.jsonl"},
      {"/tmp/run.jsonl", {2, 3}, "/tmp/run.shard-2.jsonl"},
      {"/tmp/x.y/log", {1, 3}, "/tmp/x.y/log.shard-1"},
      {"/tmp/report.%K.jsonl", {1, 3}, "/tmp/report.1.jsonl"},
      {"/tmp/.log", {0, 2}, "/tmp/.log.shard-0"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(ShardPath(row.path, row.shard), row.expected) << row.path;
  }
}

TEST(ShardTest, OnlyTheWindowWritesAReportUnasked) {
  EXPECT_FALSE(WindowRunOptions().report_path.empty());
  EXPECT_EQ(RunOptions().report_path, "");  // the command line writes one only when asked
}

}  // namespace
}  // namespace terravox
