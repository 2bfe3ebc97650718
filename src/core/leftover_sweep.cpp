// RemoveDeadTemporaries: one pass over a folder's entries, asking after each owner once.
#include "core/leftover_sweep.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <system_error>
#include <tuple>

#include "core/temporary_name.h"

namespace terravox {

int RemoveDeadTemporaries(const std::string& folder) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::directory_iterator it(folder.empty() ? "." : folder, ec);
  if (ec) return 0;
  std::map<std::tuple<uint32_t, int64_t, uint64_t>, ProcessState> states;
  int removed = 0;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) break;
    std::optional<ProcessTag> owner = TemporaryOwner(it->path().filename().string());
    if (!owner) continue;
    auto [state, fresh] =
        states.try_emplace({owner->machine, owner->pid, owner->start}, ProcessState::kUnknown);
    if (fresh) state->second = StateOf(*owner);
    if (state->second != ProcessState::kGone) continue;
    // Only the kinds of entry a writer makes: a link of that name is no temporary of ours.
    std::error_code kind_ec;
    fs::file_status status = it->symlink_status(kind_ec);
    std::error_code remove_ec;
    if (fs::is_directory(status)) {
      if (fs::remove_all(it->path(), remove_ec) != static_cast<std::uintmax_t>(-1)) ++removed;
    } else if (fs::is_regular_file(status)) {
      if (fs::remove(it->path(), remove_ec)) ++removed;
    }
  }
  return removed;
}

}  // namespace terravox
