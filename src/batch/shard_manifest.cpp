// Shard manifests: the assignment by size and the JSON file.
#include "batch/shard_manifest.h"

#include <algorithm>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "core/pending_file.h"

namespace terravox {

ShardManifest AssignBySize(std::vector<SizedTile> tiles, int count) {
  std::sort(tiles.begin(), tiles.end(), [](const SizedTile& a, const SizedTile& b) {
    return a.bytes != b.bytes ? a.bytes > b.bytes : a.name < b.name;
  });
  std::vector<uint64_t> load(static_cast<size_t>(std::max(count, 1)), 0);
  ShardManifest manifest;
  for (const SizedTile& tile : tiles) {
    const auto lightest = std::min_element(load.begin(), load.end());
    *lightest += tile.bytes;
    manifest[tile.name] = static_cast<int>(lightest - load.begin());
  }
  return manifest;
}

Status WriteShardManifest(const std::string& path, const ShardManifest& manifest, int count) {
  // Sorted by name, so the file reads and compares well.
  nlohmann::ordered_json tiles = nlohmann::ordered_json::object();
  std::vector<std::pair<std::string, int>> sorted(manifest.begin(), manifest.end());
  std::sort(sorted.begin(), sorted.end());
  for (const auto& [name, shard] : sorted) tiles[name] = shard;
  const nlohmann::ordered_json document = {{"shards", count}, {"tiles", std::move(tiles)}};
  PendingFile file;
  if (Status s = file.Create(path); !s.ok()) return s;
  if (Status s = file.Write(document.dump(1) + "\n"); !s.ok()) return s;
  return file.Commit();
}

Result<LoadedManifest> ReadShardManifest(const std::string& path) {
  std::ifstream in(path);
  if (!in) return Error(ErrorKind::kOther, "cannot read the manifest " + path);
  std::stringstream text;
  text << in.rdbuf();
  const nlohmann::json document = nlohmann::json::parse(text.str(), nullptr, false);
  auto invalid = [&] { return Error(ErrorKind::kOther, "not a shard manifest: " + path); };
  if (!document.is_object() || !document.contains("shards") ||
      !document["shards"].is_number_integer() || !document.contains("tiles") ||
      !document["tiles"].is_object()) {
    return invalid();
  }
  LoadedManifest loaded;
  loaded.count = document["shards"].get<int>();
  if (loaded.count < 1) return invalid();
  for (const auto& [name, shard] : document["tiles"].items()) {
    if (!shard.is_number_integer() || shard.get<int>() < 0 || shard.get<int>() >= loaded.count) {
      return invalid();
    }
    loaded.tiles[name] = shard.get<int>();
  }
  return loaded;
}

}  // namespace terravox
