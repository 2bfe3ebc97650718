// The sweeps: one pass over a folder's entries gathers each owner's temporaries and lock file,
// then each owner is asked after once.
#include "core/leftover_sweep.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <system_error>
#include <tuple>
#include <vector>

#include "core/owner_lock.h"
#include "core/process_tag.h"
#include "core/temporary_name.h"

namespace terravox {
namespace {

namespace fs = std::filesystem;

struct Owned {
  ProcessTag owner;
  std::vector<fs::path> temporaries;  // the lock file not among them
  bool has_lock_file = false;
};
using Owners = std::map<std::tuple<uint32_t, int64_t, uint64_t>, Owned>;

Result<Owners> ListOwners(const std::string& folder) {
  std::error_code ec;
  fs::directory_iterator it(folder.empty() ? "." : folder, ec);
  if (ec) return Error::FromErrno(ec.value());
  Owners owners;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) return Error::FromErrno(ec.value());
    const std::string name = it->path().filename().string();
    std::optional<ProcessTag> owner = TemporaryOwner(name);
    // Only the kinds of entry a writer makes: a link of that name is no temporary of ours.
    std::error_code kind_ec;
    const fs::file_status kind = it->symlink_status(kind_ec);
    if (!owner || !(fs::is_regular_file(kind) || fs::is_directory(kind))) continue;
    Owned& owned = owners[{owner->machine, owner->pid, owner->start}];
    owned.owner = *owner;
    if (name == TemporaryStem(*owner, 0) + std::string(kOwnerLockSuffix)) {
      owned.has_lock_file = true;
    } else {
      owned.temporaries.push_back(it->path());
    }
  }
  return owners;
}

// Removes a file, or a folder with all it holds. True when it went.
bool RemoveEntry(const fs::path& path) {
  std::error_code ec;
  if (fs::is_directory(fs::symlink_status(path, ec))) {
    return fs::remove_all(path, ec) != static_cast<std::uintmax_t>(-1) && !ec;
  }
  return fs::remove(path, ec);
}

// Removes an owner's temporaries, then its lock file, which while any stays still says whose
// they are. Returns how many entries went; failed is set when one stayed.
int RemoveOwned(const std::string& folder, const Owned& owned, bool& failed) {
  int removed = 0;
  for (const fs::path& path : owned.temporaries) {
    if (RemoveEntry(path)) {
      ++removed;
    } else {
      failed = true;
    }
  }
  if (owned.has_lock_file && removed == static_cast<int>(owned.temporaries.size())) {
    if (RemoveEntry(OwnerLockPath(folder, owned.owner))) {
      ++removed;
    } else {
      failed = true;
    }
  }
  return removed;
}

bool SurelyGone(const std::string& folder, const ProcessTag& owner) {
  const ProcessTag& self = ThisProcess();
  // Process ids and locks of another system say nothing here.
  if (owner.machine != self.machine || owner == self) return false;
  if (ProbeOwnerLock(OwnerLockPath(folder, owner)) != LockState::kFree) return false;
  // A free lock and a running process of that id and start time cannot both be: keep the doubt.
  return StateOf(owner) != ProcessState::kRunning;
}

bool ShowsAlive(const std::string& folder, const ProcessTag& owner) {
  return owner == ThisProcess() ||
         ProbeOwnerLock(OwnerLockPath(folder, owner)) == LockState::kHeld ||
         StateOf(owner) == ProcessState::kRunning;
}

}  // namespace

int RemoveDeadTemporaries(const std::string& folder) {
  Result<Owners> owners = ListOwners(folder);
  if (!owners.ok()) return 0;
  int removed = 0;
  bool failed = false;
  for (const auto& [key, owned] : *owners) {
    if (SurelyGone(folder, owned.owner)) removed += RemoveOwned(folder, owned, failed);
  }
  return removed;
}

CleanOutcome CleanTemporaries(const std::string& folder,
                              const std::optional<std::string>& submission) {
  CleanOutcome outcome;
  Result<Owners> owners = ListOwners(folder);
  if (!owners.ok()) {
    outcome.status = owners.error();
    return outcome;
  }
  bool failed = false;
  for (const auto& [key, owned] : *owners) {
    const std::string lock = OwnerLockPath(folder, owned.owner);
    if (submission && (!owned.has_lock_file || LockSubmission(lock) != *submission)) continue;
    if (ShowsAlive(folder, owned.owner)) {
      outcome.live += static_cast<int>(owned.temporaries.size());
      continue;
    }
    outcome.removed += RemoveOwned(folder, owned, failed);
  }
  if (failed) outcome.status = Error(ErrorKind::kOther, "Some temporaries could not be removed");
  return outcome;
}

}  // namespace terravox
