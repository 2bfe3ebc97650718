// Stop signals: SIGINT and SIGTERM ask the run to stop, as a close request does in the window.
// The run then ends in order and the program exits 128 + the signal's number (130, 143). Outside
// a run, and on a second signal, the process ends at once with that status: outputs are written
// under hidden temporary names and renamed only when complete, so no half-written file bears a
// real name.
#pragma once

#include "core/run_control.h"

namespace terravox::cli {

// Installs the handlers for the rest of the process and unblocks both signals (a parent may have
// held them while it started us). Called first in main(), so that no stop, however early, takes
// the signal's default action.
void InstallStopSignals();

// Hands the signals to a run while it lives: the first asks control to stop.
class StopSignals {
 public:
  // One instance at a time; InstallStopSignals() was called.
  explicit StopSignals(RunControl& control);
  // From here on a signal ends the process at once again.
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // The first stopping signal received, or 0.
  int received() const;
  // The exit code for that signal, 128 + its number; 0 when none came.
  int ExitCode() const;
};

}  // namespace terravox::cli
