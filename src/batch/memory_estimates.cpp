// Memory estimates from file sizes and the lengths of an XYZ file's first lines.
#include "batch/memory_estimates.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <string_view>

#include "core/unique_fd.h"
#include "gridder/memory_estimate.h"

namespace terravox {
namespace {

constexpr uint64_t kMiB = uint64_t{1} << 20;
constexpr uint64_t kXyzBytesPerPoint = 40;
constexpr uint64_t kXyzFixedBytes = 32 * kMiB;
constexpr uint64_t kStreamCheckFrom = 256 * kMiB;
constexpr size_t kLineSample = size_t{64} * 1024;
// The shortest line a point can have ("0 0 0" and a line end): the estimate when no line end
// shows in the sample.
constexpr uint64_t kShortestLine = 6;

// The mean length of the lines in three samples of the file, at its start, middle and end (a
// survey's first lines may be shorter than the rest: smaller coordinates); kShortestLine when no
// line ends in them. Only whole lines count: from the first line end in a sample to its last.
uint64_t MeanLineLength(const std::string& path, uint64_t file_size) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return kShortestLine;
  const uint64_t last = file_size > kLineSample ? file_size - kLineSample : 0;
  std::string sample(kLineSample, '\0');
  uint64_t bytes = 0;
  uint64_t lines = 0;
  for (uint64_t offset : {uint64_t{0}, last / 2, last}) {
    const ssize_t got = ::pread(fd.get(), sample.data(), sample.size(), static_cast<off_t>(offset));
    if (got <= 0) continue;
    const std::string_view text(sample.data(), static_cast<size_t>(got));
    // LF or CR LF ends a line; a file of CR alone counts its CRs.
    const char end = text.find('\n') != std::string_view::npos ? '\n' : '\r';
    const size_t first = offset == 0 ? std::string_view::npos : text.find(end);
    const size_t from = first == std::string_view::npos ? 0 : first + 1;
    const size_t to = text.rfind(end);
    if (to == std::string_view::npos || to < from) continue;
    bytes += to + 1 - from;
    lines += static_cast<uint64_t>(std::count(text.begin() + from, text.begin() + to + 1, end));
    if (last == 0) break;  // one sample holds the whole file
  }
  return lines == 0 ? kShortestLine : std::max(kShortestLine, bytes / lines);
}

}  // namespace

uint64_t XyzPeakBytes(const std::string& path, uint64_t file_size, const std::string& separator,
                      int threads) {
  const uint64_t whole = XyzPeakBytesForPoints(file_size / MeanLineLength(path, file_size) + 1);
  // The head that tells a streamed file costs a read of 2 MB: worth it only where the budget
  // would feel the difference.
  if (whole < kStreamCheckFrom) return whole;
  return StreamedGriddingPeakBytes(path, separator, threads).value_or(whole);
}

uint64_t XyzPeakBytesForPoints(uint64_t points) {
  return points * kXyzBytesPerPoint + kXyzFixedBytes;
}

uint64_t AsciiToGridPeakBytes() { return 64 * kMiB; }

uint64_t RasterPeakBytes(uint64_t cell_file_bytes) { return 4 * cell_file_bytes + 16 * kMiB; }

uint64_t MemoryBudget(const RunOptions& options, const CgroupFiles& cgroups) {
  if (options.memory_budget > 0) return options.memory_budget;
  const uint64_t memory = PhysicalMemoryBytes(cgroups);
  return memory == UINT64_MAX ? uint64_t{1} << 30 : memory / 2;
}

uint64_t HandOverBytes(const RunOptions& options, const CgroupFiles& cgroups) {
  return options.hand_over_cells ? MemoryBudget(options, cgroups) / 4 : 0;
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
