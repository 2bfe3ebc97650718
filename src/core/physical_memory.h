// PhysicalMemoryBytes: how much memory this process may count on holding at once.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace terravox {

// Where the control groups of this process are told: its /proc list of them and the root their
// file systems are mounted under. Tests point both at a made-up tree.
struct CgroupFiles {
  std::string self = "/proc/self/cgroup";
  std::string root = "/sys/fs/cgroup";
};

// The lowest memory limit set on the control groups this process is in (cgroup v2 memory.max,
// v1 memory.limit_in_bytes), its own or any above it, as Slurm's --mem or a container sets it;
// none when none is set or none can be read.
std::optional<uint64_t> CgroupMemoryLimit(const CgroupFiles& files = {});

// The machine's physical memory in bytes, lowered to the control groups' limit and to the
// process's address-space limit when they are lower; UINT64_MAX when none can be read.
uint64_t PhysicalMemoryBytes(const CgroupFiles& files = {});

}  // namespace terravox
