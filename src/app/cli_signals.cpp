// The signal handlers behind StopSignals: only async-signal-safe work (atomic stores, _exit).
#include "app/cli_signals.h"

#include <atomic>
#include <csignal>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace terravox::cli {
namespace {

std::atomic<RunControl*> g_control{nullptr};
volatile std::sig_atomic_t g_received = 0;

static_assert(std::atomic<RunControl*>::is_always_lock_free, "read in a signal handler");

extern "C" void OnStopSignal(int signal_number) {
  if (g_received != 0) {
    // The user insists: leave now. Only hidden temporaries can be left behind.
#ifdef _WIN32
    std::_Exit(128 + signal_number);
#else
    _exit(128 + signal_number);
#endif
  }
  g_received = signal_number;
  if (RunControl* control = g_control.load()) control->RequestStop(signal_number);
}

#ifndef _WIN32
struct sigaction g_previous_int;
struct sigaction g_previous_term;
#else
void (*g_previous_int)(int) = SIG_DFL;
void (*g_previous_term)(int) = SIG_DFL;
#endif

}  // namespace

StopSignals::StopSignals(RunControl& control) {
  g_received = 0;
  g_control.store(&control);
#ifndef _WIN32
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  // SA_RESTART: reads and writes of the run go on; the run sees the stop at its next check.
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, &g_previous_int);
  sigaction(SIGTERM, &action, &g_previous_term);
#else
  g_previous_int = std::signal(SIGINT, OnStopSignal);
  g_previous_term = std::signal(SIGTERM, OnStopSignal);
#endif
}

StopSignals::~StopSignals() {
#ifndef _WIN32
  sigaction(SIGINT, &g_previous_int, nullptr);
  sigaction(SIGTERM, &g_previous_term, nullptr);
#else
  std::signal(SIGINT, g_previous_int);
  std::signal(SIGTERM, g_previous_term);
#endif
  g_control.store(nullptr);
}

int StopSignals::received() const { return g_received; }

int StopSignals::ExitCode() const { return g_received == 0 ? 0 : 128 + g_received; }

}  // namespace terravox::cli
