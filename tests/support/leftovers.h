// Temporaries as crashed and running processes leave them: tags of an ended and of a running
// child process, and folders seeded with temporaries of both next to a user's look-alikes.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "core/process_tag.h"

namespace terravox::testing {

// The tag of a child process that has ended and been waited for: its process id is free.
ProcessTag EndedProcess();

// A child process that sleeps until this object goes.
class RunningChild {
 public:
  RunningChild();
  RunningChild(const RunningChild&) = delete;
  RunningChild& operator=(const RunningChild&) = delete;
  ~RunningChild();
  const ProcessTag& tag() const { return tag_; }

 private:
  pid_t pid_ = -1;
  ProcessTag tag_;
};

// Writes owner's lock file in folder naming submission; while the result lives, a lock is held on
// it as a live owner holds it.
std::shared_ptr<void> WriteOwnerLock(const std::string& folder, const ProcessTag& owner,
                                     const std::string& submission, bool held);

// What SeedTemporaries put in a folder: the entries a sweep must remove and those it must keep,
// and the locks held for the running owners.
struct SeededFolder {
  std::vector<std::string> dead;
  std::vector<std::string> kept;
  std::vector<std::shared_ptr<void>> held;
};

// Fills folder with temporaries of the ended process (a file, a GRID folder with files, a
// Shapefile's three files, its free lock file) and of running ones (this process, the child
// holding its lock), one of another system, one of an ended process without a lock file, and
// hidden user files that only look like temporaries; visible ones too unless the folder is one a
// step reads every file of.
SeededFolder SeedTemporaries(const std::string& folder, const ProcessTag& ended,
                             const ProcessTag& running_child, bool visible_lookalikes = true);

// The names in folder, sorted.
std::vector<std::string> EntryNames(const std::string& folder);

}  // namespace terravox::testing
