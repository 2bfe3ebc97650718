// PrefetchLimits from the run options, the core count and the physical memory.
#include "batch/prefetch_limits.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <thread>

namespace terravox {

PrefetchLimits PrefetchLimitsFor(const RunOptions& options) {
  PrefetchLimits limits;
  limits.threads = options.jobs > 0
                       ? options.jobs
                       : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
  limits.memory_budget = options.memory_budget;
  if (limits.memory_budget == 0) {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long page_size = sysconf(_SC_PAGE_SIZE);
    limits.memory_budget = pages > 0 && page_size > 0
                               ? static_cast<uint64_t>(pages) * static_cast<uint64_t>(page_size) / 2
                               : uint64_t{1} << 30;
  }
  return limits;
}

uint64_t FileSizeOf(const std::string& path) {
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  return ec ? 0 : static_cast<uint64_t>(size);
}

}  // namespace terravox
