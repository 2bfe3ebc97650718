// GridFilePath: one lookup per spelling, without listing the folder.
#include "engine/grid_files.h"

#include <algorithm>

#include "core/file_entry.h"
#include "core/paths.h"

namespace terravox::engine {

std::string GridFilePath(const std::string& grid, std::string_view lower_name) {
  std::string lower = JoinPath(grid, lower_name);
  if (EntryExists(lower)) return lower;
  std::string capitals(lower_name);
  std::transform(capitals.begin(), capitals.end(), capitals.begin(),
                 [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
  std::string upper = JoinPath(grid, capitals);
  return EntryExists(upper) ? upper : lower;
}

}  // namespace terravox::engine
