// Shard choice by a hash of the tile's base name, and the per-shard file names.
#include "core/shard.h"

#include <charconv>

#include "core/paths.h"

namespace terravox {
namespace {

// A whole decimal number filling text, or -1.
int ParseCount(std::string_view text) {
  int value = -1;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return -1;
  return value;
}

}  // namespace

Result<Shard> ParseShard(std::string_view text) {
  const size_t slash = text.find('/');
  Shard shard;
  if (slash != std::string_view::npos) {
    shard.index = ParseCount(text.substr(0, slash));
    shard.count = ParseCount(text.substr(slash + 1));
  }
  if (slash == std::string_view::npos || shard.index < 0 || shard.count < 1 ||
      shard.index >= shard.count) {
    return Error(ErrorKind::kOther, "--shard takes K/N with 0 <= K < N, not " + std::string(text));
  }
  return shard;
}

uint32_t Fnv1a32(std::string_view bytes) {
  uint32_t hash = 2166136261u;
  for (char c : bytes) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 16777619u;
  }
  return hash;
}

int ShardOf(std::string_view file_name, int count, const ShardManifest* manifest) {
  if (count <= 1) return 0;
  const std::string tile = BaseName(file_name);
  if (manifest != nullptr) {
    if (auto found = manifest->find(tile); found != manifest->end()) return found->second;
  }
  return static_cast<int>(Fnv1a32(tile) % static_cast<uint32_t>(count));
}

bool InShard(const Shard& shard, std::string_view file_name) {
  if (shard.count <= 1) return true;
  return ShardOf(file_name, shard.count, shard.manifest.get()) == shard.index;
}

std::string ShardPath(const std::string& path, const Shard& shard) {
  if (shard.count <= 1) return path;
  const std::string k = std::to_string(shard.index);
  if (size_t at = path.find("%K"); at != std::string::npos) {
    return path.substr(0, at) + k + path.substr(at + 2);
  }
  const size_t name_start = path.size() - LastPathPiece(path).size();
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot <= name_start) dot = path.size();
  return path.substr(0, dot) + ".shard-" + k + path.substr(dot);
}

}  // namespace terravox
