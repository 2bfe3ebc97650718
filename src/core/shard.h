// Shards: which share of the tiles one of N cooperating runs takes. A tile is known by its base
// name, which it keeps from XYZ file to ASCII grid, GRID, slope and contours, so every step of
// every shard agrees on its owner whatever else the shared folders hold. By default a hash of the
// name chooses; a manifest (plan --manifest) may assign the tiles by size instead.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "core/status.h"

namespace terravox {

// Tiles by base name, each with the shard of N it goes to.
using ShardManifest = std::unordered_map<std::string, int>;

struct Shard {
  Shard() = default;
  Shard(int k, int n, std::shared_ptr<const ShardManifest> tiles = nullptr)
      : index(k), count(n), manifest(std::move(tiles)) {}

  int index = 0;  // K, 0 <= K < count
  int count = 1;  // N; one shard is the whole run
  // When set, the tiles it names go to the shards it gives them, the others by the hash.
  std::shared_ptr<const ShardManifest> manifest;
};

// "K/N" with 0 <= K < N. The error says what was wrong.
Result<Shard> ParseShard(std::string_view text);

// FNV-1a (32 bits) of the bytes: fixed across machines and runs, unlike std::hash.
uint32_t Fnv1a32(std::string_view bytes);

// The shard of count that takes the tile of this file name (its base name): the manifest's choice
// when it names the tile, else the hash's.
int ShardOf(std::string_view file_name, int count, const ShardManifest* manifest = nullptr);

// True when the tile of this file name belongs to the shard.
bool InShard(const Shard& shard, std::string_view file_name);

// The file a shard writes in place of path: path itself for a single shard; otherwise "%K" in
// path replaced by K, or, without "%K", ".shard-K" put in front of the last extension of the
// file name ("run.jsonl" -> "run.shard-2.jsonl"), so shards never share a file.
std::string ShardPath(const std::string& path, const Shard& shard);

}  // namespace terravox
