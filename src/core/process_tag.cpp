// ProcessTag: the running system's boot id, and process start times read from /proc/PID/stat.
#include "core/process_tag.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>

#include "core/unique_fd.h"

namespace terravox {
namespace {

// The starttime field of /proc/PID/stat is the 22nd; counting starts after the command name,
// whose closing parenthesis is the last one on the line (the name itself may hold any).
constexpr int kStartFieldAfterName = 22 - 3;

// The first 32 bits of a file's leading hex text (a boot id "64430f65-...", a machine id).
std::optional<uint32_t> LeadingHex32(const char* path) {
  std::ifstream file(path);
  std::string text;
  uint32_t tag = 0;
  if (file >> text && text.size() >= 8 &&
      std::from_chars(text.data(), text.data() + 8, tag, 16).ptr == text.data() + 8) {
    return tag;
  }
  return std::nullopt;
}

// The running system: its boot id, new at every boot and the same in every container and PID
// namespace on it, so that "this machine" means "this kernel", where process ids and locks mean
// something. A node cloned from another, machine id included, still boots with an id of its own.
// Without one, the machine id, else a hash of the host name.
uint32_t MachineTag() {
  if (std::optional<uint32_t> boot = LeadingHex32("/proc/sys/kernel/random/boot_id")) return *boot;
  if (std::optional<uint32_t> machine = LeadingHex32("/etc/machine-id")) return *machine;
  char host[256] = {};
  if (::gethostname(host, sizeof host - 1) != 0) return 0;
  return static_cast<uint32_t>(std::hash<std::string_view>{}(host));
}

// The process's start time, or the errno of a failed read (0 when the text made no sense).
struct StartTimeRead {
  std::optional<uint64_t> start;
  int error = 0;
};

StartTimeRead ReadStartTime(int64_t pid) {
  const std::string path = "/proc/" + std::to_string(pid) + "/stat";
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return {std::nullopt, errno};
  char buffer[4096];
  ssize_t size;
  do {
    size = ::read(fd.get(), buffer, sizeof buffer);
  } while (size < 0 && errno == EINTR);
  if (size < 0) return {std::nullopt, errno};
  std::string_view text(buffer, static_cast<size_t>(size));
  size_t name_end = text.rfind(')');
  if (name_end == std::string_view::npos) return {};
  text.remove_prefix(name_end + 1);
  for (int field = 0; field < kStartFieldAfterName; ++field) {
    size_t blank = text.find(' ', 1);
    if (blank == std::string_view::npos) return {};
    text.remove_prefix(blank);
  }
  uint64_t start = 0;
  const char* first = text.data() + 1;
  auto [end, ec] = std::from_chars(first, text.data() + text.size(), start);
  if (ec != std::errc() || end == first) return {};
  return {start, 0};
}

}  // namespace

const ProcessTag& ThisProcess() {
  static const ProcessTag tag = [] {
    ProcessTag t;
    t.machine = MachineTag();
    t.pid = ::getpid();
    t.start = ReadStartTime(t.pid).start.value_or(0);
    return t;
  }();
  return tag;
}

std::optional<uint64_t> ProcessStartTime(int64_t pid) { return ReadStartTime(pid).start; }

ProcessState StateOf(const ProcessTag& tag) {
  const ProcessTag& self = ThisProcess();
  // Without start times (no /proc here, or none where the temporary was made) a missing process
  // cannot be told from an unreadable one, nor a reused process id from the original.
  if (tag.machine != self.machine || self.start == 0 || tag.start == 0 || tag.pid <= 0) {
    return ProcessState::kUnknown;
  }
  StartTimeRead read = ReadStartTime(tag.pid);
  if (read.start) return *read.start == tag.start ? ProcessState::kRunning : ProcessState::kGone;
  if (read.error == ENOENT || read.error == ESRCH) return ProcessState::kGone;
  return ProcessState::kUnknown;
}

}  // namespace terravox
