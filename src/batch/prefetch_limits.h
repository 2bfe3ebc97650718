// PrefetchLimits for a run: its thread count and memory budget, from the run options and the
// machine.
#pragma once

#include <cstdint>
#include <string>

#include "batch/prefetcher.h"
#include "core/run_options.h"

namespace terravox {

// The threads (--jobs, else one per core) and the memory budget (batch/memory_estimates.h) less
// the share of the cells handed on between the steps.
PrefetchLimits PrefetchLimitsFor(const RunOptions& options);

// The size of a file in bytes; 0 when it cannot be told.
uint64_t FileSizeOf(const std::string& path);

}  // namespace terravox
