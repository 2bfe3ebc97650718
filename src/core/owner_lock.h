// Owner locks: how a process shows, to every other process on its system (in any PID namespace or
// container), that its temporaries in a folder are live. While it has temporaries in a folder it
// holds an open-file-description lock (fcntl) on the file
//   FOLDER/.terravox-MMMMMMMM-PID-START-00000000.lock
// (its own temporary stem with a zero random part), which also names the submission it belongs to.
// The kernel drops the lock when the process ends however it ends, so a lock file that no one
// holds says its owner is gone.
#pragma once

#include <memory>
#include <string>

#include "core/process_tag.h"

namespace terravox {

// The suffix of a lock file; its stem is a temporary stem (core/temporary_name.h).
inline constexpr std::string_view kOwnerLockSuffix = ".lock";

// A share of this process's lock in folder, taken before a temporary is made there and kept until
// it is gone. The lock file is made on the first share and removed with the last. Empty when the
// lock cannot be had (a folder that takes no file, a file system without locks): the temporary is
// then only ever removed by `terravox-cli clean`.
std::shared_ptr<const void> HoldOwnerLock(const std::string& folder);

// The lock file of owner in folder.
std::string OwnerLockPath(const std::string& folder, const ProcessTag& owner);

enum class LockState {
  kHeld,     // a live process holds it
  kFree,     // it is there and no one holds it: its owner has ended
  kMissing,  // there is no such file
  kUnknown,  // it cannot be asked (no lock support, no access)
};
LockState ProbeOwnerLock(const std::string& lock_path);

// The submission a lock file names; "" when it names none or cannot be read.
std::string LockSubmission(const std::string& lock_path);

}  // namespace terravox
