// PhysicalMemoryBytes from sysconf and the address-space limit (Windows: GlobalMemoryStatusEx).
#include "core/physical_memory.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace terravox {

uint64_t PhysicalMemoryBytes() {
  uint64_t bytes = std::numeric_limits<uint64_t>::max();
#ifdef _WIN32
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  if (GlobalMemoryStatusEx(&status)) bytes = status.ullTotalPhys;
#else
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long page_size = sysconf(_SC_PAGE_SIZE);
  if (pages > 0 && page_size > 0) {
    bytes = static_cast<uint64_t>(pages) * static_cast<uint64_t>(page_size);
  }
  // A process held to less address space than the machine has cannot allocate beyond it.
  struct rlimit limit {};
  if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
    bytes = std::min<uint64_t>(bytes, limit.rlim_cur);
  }
#endif
  return bytes;
}

}  // namespace terravox
