// PhysicalMemoryBytes from sysconf, the control groups' limits and the address-space limit
// (Windows: GlobalMemoryStatusEx).
#include "core/physical_memory.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <fstream>
#include <limits>
#include <string_view>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace terravox {
namespace {

// A cgroup v1 file system says "no limit" with a huge page-aligned number rather than a word.
constexpr uint64_t kNoV1Limit = uint64_t{1} << 62;

// The number a limit file holds; none for "max", a missing file or anything else.
std::optional<uint64_t> ReadLimit(const std::string& path) {
  std::ifstream file(path);
  std::string text;
  if (!(file >> text)) return std::nullopt;
  uint64_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value >= kNoV1Limit) {
    return std::nullopt;
  }
  return value;
}

// The lowest limit in limit_file of the group at path under mount and of every group above it.
// A path not found under the mount (a container showing its own group as the mount's root) is
// walked up until it is.
std::optional<uint64_t> LowestLimitUp(const std::string& mount, std::string path,
                                      const char* limit_file) {
  std::optional<uint64_t> lowest;
  for (;;) {
    if (std::optional<uint64_t> limit = ReadLimit(mount + path + "/" + limit_file)) {
      lowest = std::min(lowest.value_or(*limit), *limit);
    }
    if (path.empty() || path == "/") return lowest;
    path.erase(path.rfind('/'));
  }
}

}  // namespace

std::optional<uint64_t> CgroupMemoryLimit(const CgroupFiles& files) {
  std::ifstream self(files.self);
  std::optional<uint64_t> lowest;
  auto lower = [&](std::optional<uint64_t> limit) {
    if (limit) lowest = std::min(lowest.value_or(*limit), *limit);
  };
  // Lines "ID:CONTROLLERS:PATH": "0::PATH" for v2, "N:...memory...:PATH" for v1's memory group.
  for (std::string line; std::getline(self, line);) {
    const size_t first = line.find(':');
    const size_t second = line.find(':', first + 1);
    if (first == std::string::npos || second == std::string::npos) continue;
    const std::string_view controllers(line.data() + first + 1, second - first - 1);
    const std::string path = line.substr(second + 1);
    if (line.compare(0, first, "0") == 0 && controllers.empty()) {
      lower(LowestLimitUp(files.root, path, "memory.max"));
      continue;
    }
    for (size_t start = 0; start <= controllers.size();) {
      const size_t comma = std::min(controllers.find(',', start), controllers.size());
      if (controllers.substr(start, comma - start) == "memory") {
        lower(LowestLimitUp(files.root + "/memory", path, "memory.limit_in_bytes"));
      }
      start = comma + 1;
    }
  }
  return lowest;
}

uint64_t PhysicalMemoryBytes(const CgroupFiles& files) {
  uint64_t bytes = std::numeric_limits<uint64_t>::max();
#ifdef _WIN32
  (void)files;
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  if (GlobalMemoryStatusEx(&status)) bytes = status.ullTotalPhys;
#else
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long page_size = sysconf(_SC_PAGE_SIZE);
  if (pages > 0 && page_size > 0) {
    bytes = static_cast<uint64_t>(pages) * static_cast<uint64_t>(page_size);
  }
  // A process in a control group (Slurm's --mem, a container) is stopped at its limit, however
  // much the machine has.
  if (std::optional<uint64_t> limit = CgroupMemoryLimit(files)) bytes = std::min(bytes, *limit);
  // A process held to less address space than the machine has cannot allocate beyond it.
  struct rlimit limit {};
  if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
    bytes = std::min<uint64_t>(bytes, limit.rlim_cur);
  }
#endif
  return bytes;
}

}  // namespace terravox
