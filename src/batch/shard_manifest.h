// Shard manifests: tiles assigned to N shards by size, so that N tasks take about equal work.
// plan --shards N --manifest FILE writes one; run and plan --shard K/N --manifest FILE read it. A
// JSON object: {"shards": N, "tiles": {"BASE-NAME": K, ...}}.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/shard.h"
#include "core/status.h"

namespace terravox {

struct SizedTile {
  std::string name;  // base name
  uint64_t bytes = 0;
};

// The largest tile first, each to the shard with the fewest bytes so far (the lowest index among
// equals); equal sizes in name order, so the same tiles always give the same manifest.
ShardManifest AssignBySize(std::vector<SizedTile> tiles, int count);

// Writes the manifest whole or not at all.
Status WriteShardManifest(const std::string& path, const ShardManifest& manifest, int count);

struct LoadedManifest {
  ShardManifest tiles;
  int count = 0;
};
// The error names the file and what is wrong with it.
Result<LoadedManifest> ReadShardManifest(const std::string& path);

}  // namespace terravox
