// ProcessTag: which process made a temporary (its machine, process id and start time), and
// whether that process still runs, so a later run can tell a crash's leftovers from live work.
#pragma once

#include <cstdint>
#include <optional>

namespace terravox {

struct ProcessTag {
  // The first 32 bits of the running system's boot id (else of the machine id, else a hash of
  // the host name): a process id means nothing on another machine writing to a shared folder,
  // nor on this one before its last boot.
  uint32_t machine = 0;
  int64_t pid = 0;
  // Clock ticks from boot to the process's start; 0 where the system does not tell. A process
  // id is reused after its process ends, but never by a process started at the same tick.
  uint64_t start = 0;

  bool operator==(const ProcessTag&) const = default;
};

// This process's tag, read once.
const ProcessTag& ThisProcess();

// When process pid started (ticks from boot); none when it is not running or cannot be asked.
std::optional<uint64_t> ProcessStartTime(int64_t pid);

enum class ProcessState { kRunning, kGone, kUnknown };

// kGone only when it is certain: the tag names this machine and no process of that id and start
// time runs. A process of another machine, or a system that cannot be asked, gives kUnknown.
// An ended process that its parent has not yet waited for still counts as running.
ProcessState StateOf(const ProcessTag& tag);

}  // namespace terravox
