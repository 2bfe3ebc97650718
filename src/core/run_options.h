// RunOptions: what a batch run takes besides the window's settings.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/physical_memory.h"

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
  // The most bytes of single-precision cells a grid may take: a larger grid could not be held in
  // memory and is refused as "Out of memory" before anything is written. Lowered in tests.
  uint64_t max_grid_bytes = PhysicalMemoryBytes();
};

}  // namespace terravox
