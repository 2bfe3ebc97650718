// GridFilePath: one lookup per spelling, without listing the folder; TileIndexEntries from the
// sizes of the index files the folder lists.
#include "engine/grid_files.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "core/file_entry.h"
#include "core/paths.h"

namespace terravox::engine {
namespace {

namespace fs = std::filesystem;

// A tile index as the reader names one: w or z, six digits, x, .adf; all lower case or all in
// capitals.
bool IsTileIndexName(const std::string& name) {
  if (name.size() != 12) return false;
  const bool capitals = name[0] == 'W' || name[0] == 'Z';
  if (!capitals && name[0] != 'w' && name[0] != 'z') return false;
  for (size_t i = 1; i <= 6; ++i) {
    if (name[i] < '0' || name[i] > '9') return false;
  }
  return name.compare(7, 5, capitals ? "X.ADF" : "x.adf") == 0;
}

}  // namespace

std::string GridFilePath(const std::string& grid, std::string_view lower_name) {
  std::string lower = JoinPath(grid, lower_name);
  if (EntryExists(lower)) return lower;
  std::string capitals(lower_name);
  std::transform(capitals.begin(), capitals.end(), capitals.begin(),
                 [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
  std::string upper = JoinPath(grid, capitals);
  return EntryExists(upper) ? upper : lower;
}

int64_t TileIndexEntries(const std::string& grid) {
  constexpr uintmax_t kHeaderBytes = 100;
  constexpr uintmax_t kEntryBytes = 8;
  int64_t entries = 0;
  std::error_code ec;
  for (fs::directory_iterator it(grid, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    if (!IsTileIndexName(it->path().filename().string())) continue;
    std::error_code size_ec;
    const uintmax_t bytes = fs::file_size(it->path(), size_ec);
    if (!size_ec && bytes > kHeaderBytes) {
      entries += static_cast<int64_t>((bytes - kHeaderBytes) / kEntryBytes);
    }
  }
  return entries;
}

}  // namespace terravox::engine
