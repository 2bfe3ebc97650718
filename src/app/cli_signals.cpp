// The signal handler behind StopSignals: only async-signal-safe work (atomic stores, _exit).
#include "app/cli_signals.h"

#include <atomic>
#include <csignal>
#include <cstdlib>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace terravox::cli {
namespace {

std::atomic<RunControl*> g_control{nullptr};
volatile std::sig_atomic_t g_received = 0;

static_assert(std::atomic<RunControl*>::is_always_lock_free, "read in a signal handler");

extern "C" void OnStopSignal(int signal_number) {
  RunControl* control = g_control.load();
  if (control == nullptr || g_received != 0) {
    // No run to stop in order, or the user insists: leave now. Only hidden temporaries can be
    // left behind.
#ifdef _WIN32
    std::_Exit(128 + signal_number);
#else
    _exit(128 + signal_number);
#endif
  }
  g_received = signal_number;
  control->RequestStop(signal_number);
}

}  // namespace

void InstallStopSignals() {
#ifndef _WIN32
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  // SA_RESTART: reads and writes of the run go on; the run sees the stop at its next check.
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  sigprocmask(SIG_UNBLOCK, &stop_signals, nullptr);
#else
  std::signal(SIGINT, OnStopSignal);
  std::signal(SIGTERM, OnStopSignal);
#endif
}

StopSignals::StopSignals(RunControl& control) {
  g_received = 0;
  g_control.store(&control);
}

StopSignals::~StopSignals() { g_control.store(nullptr); }

int StopSignals::received() const { return g_received; }

int StopSignals::ExitCode() const { return g_received == 0 ? 0 : 128 + g_received; }

}  // namespace terravox::cli
