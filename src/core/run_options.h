// RunOptions: what a batch run takes besides the window's settings.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace terravox {

// Where the gridder appends one line per failed XYZ file.
#ifdef _WIN32
inline constexpr const char* kErrorLogPath = "c:\\temp\\xyz2ascii.log";
#else
inline constexpr const char* kErrorLogPath = "/tmp/xyz2ascii.log";
#endif

struct RunOptions {
  std::string error_log_path = kErrorLogPath;
  // Called with each line the gridder logs (without its line end), before it is written;
  // the command line echoes them.
  std::function<void(const std::string& line)> on_log_line;
  // Files worked on at once; 0 means one per core. 1 is the plain one-file-at-a-time run.
  int jobs = 0;
  // Bytes the files worked on at once may hold together; 0 means half the physical memory.
  uint64_t memory_budget = 0;
};

}  // namespace terravox
