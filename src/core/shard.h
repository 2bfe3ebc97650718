// Shards: which share of the tiles one of N cooperating runs takes. A tile is known by its base
// name, which it keeps from XYZ file to ASCII grid, GRID, slope and contours, so every step of
// every shard agrees on its owner whatever else the shared folders hold.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/status.h"

namespace terravox {

struct Shard {
  int index = 0;  // K, 0 <= K < count
  int count = 1;  // N; one shard is the whole run
};

// "K/N" with 0 <= K < N. The error says what was wrong.
Result<Shard> ParseShard(std::string_view text);

// FNV-1a (32 bits) of the bytes: fixed across machines and runs, unlike std::hash.
uint32_t Fnv1a32(std::string_view bytes);

// The shard of count that takes the tile of this file name (its base name).
int ShardOf(std::string_view file_name, int count);

// True when the tile of this file name (its base name) belongs to the shard.
bool InShard(const Shard& shard, std::string_view file_name);

// The file a shard writes in place of path: path itself for a single shard; otherwise "%K" in
// path replaced by K, or, without "%K", ".shard-K" put in front of the last extension of the
// file name ("run.jsonl" -> "run.shard-2.jsonl"), so shards never share a file.
std::string ShardPath(const std::string& path, const Shard& shard);

}  // namespace terravox
