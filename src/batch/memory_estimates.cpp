// Memory estimates from file sizes and the lengths of an XYZ file's first lines.
#include "batch/memory_estimates.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <string_view>

#include "core/unique_fd.h"

namespace terravox {
namespace {

constexpr uint64_t kMiB = uint64_t{1} << 20;
constexpr uint64_t kXyzBytesPerPoint = 40;
constexpr uint64_t kXyzFixedBytes = 32 * kMiB;
constexpr size_t kLineSample = 64 * 1024;
// The shortest line a point can have ("0 0 0" and a line end): the estimate when no line end
// shows in the sample.
constexpr uint64_t kShortestLine = 6;

// The mean length of the lines in the file's first bytes; kShortestLine when none ends there.
uint64_t MeanLineLength(const std::string& path) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return kShortestLine;
  std::string sample(kLineSample, '\0');
  size_t filled = 0;
  while (filled < sample.size()) {
    const ssize_t got = ::read(fd.get(), sample.data() + filled, sample.size() - filled);
    if (got <= 0) break;
    filled += static_cast<size_t>(got);
  }
  const std::string_view text(sample.data(), filled);
  // LF or CR LF ends a line; a file of CR alone counts its CRs.
  char end = '\n';
  if (text.find('\n') == std::string_view::npos) end = '\r';
  const size_t lines = static_cast<size_t>(std::count(text.begin(), text.end(), end));
  if (lines == 0) return kShortestLine;
  return std::max<uint64_t>(kShortestLine, (text.rfind(end) + 1) / lines);
}

}  // namespace

uint64_t XyzPeakBytes(const std::string& path, uint64_t file_size) {
  const uint64_t points = file_size / MeanLineLength(path) + 1;
  return points * kXyzBytesPerPoint + kXyzFixedBytes;
}

uint64_t AsciiToGridPeakBytes() { return 64 * kMiB; }

uint64_t RasterPeakBytes(uint64_t cell_file_bytes) { return 4 * cell_file_bytes + 16 * kMiB; }

uint64_t MemoryBudget(const RunOptions& options, const CgroupFiles& cgroups) {
  if (options.memory_budget > 0) return options.memory_budget;
  const uint64_t memory = PhysicalMemoryBytes(cgroups);
  return memory == UINT64_MAX ? uint64_t{1} << 30 : memory / 2;
}

uint64_t StepPeakBytes(std::vector<uint64_t> estimates, const PrefetchLimits& limits) {
  std::sort(estimates.begin(), estimates.end(), std::greater<>());
  if (estimates.empty()) return 0;
  if (limits.threads < 2) return estimates.front();
  // The workers begin a file only while it fits the budget beside those under way; the step's own
  // thread takes one that no worker has begun, so one more than the workers may run at once.
  const size_t at_once = std::min(estimates.size(), static_cast<size_t>(limits.threads) + 1);
  uint64_t together = 0;
  for (size_t i = 0; i < at_once; ++i) together += estimates[i];
  return std::max(estimates.front(), std::min(together, limits.memory_budget));
}

}  // namespace terravox
