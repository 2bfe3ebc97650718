// StopSignals: SIGINT and SIGTERM ask the run to stop, as a close request does in the window.
// The run then ends in order and the program exits 128 + the signal's number (130, 143). A second
// signal ends the process at once: outputs are written under hidden temporary names and renamed
// only when complete, so even then no half-written file bears a real name.
#pragma once

#include "core/run_control.h"

namespace terravox::cli {

class StopSignals {
 public:
  // Installs the handlers; one instance at a time.
  explicit StopSignals(RunControl& control);
  // Restores the handlers found before.
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // The first stopping signal received, or 0.
  int received() const;
  // The exit code for that signal, 128 + its number; 0 when none came.
  int ExitCode() const;
};

}  // namespace terravox::cli
