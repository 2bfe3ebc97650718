// RunOptions: what a batch run takes besides the window's settings.
#pragma once

#include <functional>
#include <string>

namespace terravox {

class RunControl;

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
  // The run's stop request and progress sink; none: the run cannot be stopped.
  RunControl* control = nullptr;
};

}  // namespace terravox
