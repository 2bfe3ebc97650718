// PrefetchLimits from the run options, the core count and the memory budget.
#include "batch/prefetch_limits.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <thread>

#include "batch/memory_estimates.h"

namespace terravox {

PrefetchLimits PrefetchLimitsFor(const RunOptions& options) {
  PrefetchLimits limits;
  limits.threads = options.jobs > 0
                       ? options.jobs
                       : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
  // The cells handed on between the steps take their share of the budget.
  limits.memory_budget = MemoryBudget(options) - HandOverBytes(options);
  return limits;
}

uint64_t FileSizeOf(const std::string& path) {
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  return ec ? 0 : static_cast<uint64_t>(size);
}

}  // namespace terravox
