// RemoveDeadTemporaries: clears a folder of the temporaries that a crashed or killed run left.
// CleanTemporaries: clears it, after a job, of those every process of that job left.
#pragma once

#include <optional>
#include <string>

#include "core/status.h"

namespace terravox {

// Removes from folder every entry with a temporary name (core/temporary_name.h) whose owner is
// surely gone: a process of this system whose lock file there (core/owner_lock.h) is free, and
// which does not run here. A file, or a folder with all it holds; the lock file last. Everything
// else stays: temporaries of live processes and of other systems, of owners whose lock file is
// missing or cannot be asked, and every other name. Best effort: an entry that cannot be removed
// stays, and a folder that cannot be read is left alone. Returns how many entries went.
int RemoveDeadTemporaries(const std::string& folder);

struct CleanOutcome {
  int removed = 0;  // entries removed, lock files included
  int live = 0;     // temporaries kept because their owner shows it is alive
  Status status;    // the folder could not be read, or an entry could not be removed
};

// Removes the temporaries of every owner of any system that does not show it is alive (its lock
// held, or its process running here), with their lock files: for when the processes that wrote
// there have ended, even on other machines. With a submission, only the owners whose lock file
// names that submission.
CleanOutcome CleanTemporaries(const std::string& folder,
                              const std::optional<std::string>& submission);

}  // namespace terravox
