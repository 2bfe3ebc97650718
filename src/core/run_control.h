// RunControl: a run's stop request and the current file's progress, shared by the thread that
// runs the batch and whoever may stop it (the window, a signal handler). The long loops of the
// steps reach the run's control through a scope on their own thread, so the engine's and the
// gridder's interfaces need no extra argument.
#pragma once

#include <atomic>
#include <functional>

#include "core/status.h"

namespace terravox {

// The description of the error a stopped run ends with.
inline constexpr const char* kInterruptedText = "Interrupted";

// The error of a run that was asked to stop: kind kCancelled, "Interrupted".
Error CancelledError();
bool IsCancelled(const Status& status);

class RunControl {
 public:
  // Called with the current file's done fraction (0 to 1), from the running thread.
  using ProgressSink = std::function<void(double fraction)>;

  RunControl() = default;
  RunControl(const RunControl&) = delete;
  RunControl& operator=(const RunControl&) = delete;

  // Any thread, and a signal handler: lock-free stores. signal_number names the signal that
  // asked, for the report; 0 when none did.
  void RequestStop(int signal_number = 0) {
    if (signal_number != 0) signal_.store(signal_number, std::memory_order_relaxed);
    stop_.store(true, std::memory_order_relaxed);
  }
  int stop_signal() const { return signal_.load(std::memory_order_relaxed); }
  bool stop_requested() const { return stop_.load(std::memory_order_relaxed); }
  void Reset() {
    stop_.store(false, std::memory_order_relaxed);
    signal_.store(0, std::memory_order_relaxed);
  }

  // Set before the run starts; called on the running thread only.
  void SetProgressSink(ProgressSink sink) { sink_ = std::move(sink); }
  void ReportProgress(double fraction) const {
    if (sink_) sink_(fraction);
  }

  // Which file of its step the run is at: index from 0, count 0 when the step does not know
  // how many come. Running thread only, like the sink that reads them. A step's first file
  // (index 0) begins the next step.
  void SetItem(int index, int count) {
    if (index == 0) ++step_;
    item_ = index;
    items_ = count;
  }
  int item() const { return item_; }
  int items() const { return items_; }
  // The steps begun so far: 0 before the first file of the run.
  int step() const { return step_; }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<int> signal_{0};
  ProgressSink sink_;
  int item_ = 0;
  int items_ = 0;
  int step_ = 0;
};

static_assert(std::atomic<bool>::is_always_lock_free, "a signal handler stores the stop flag");
static_assert(std::atomic<int>::is_always_lock_free, "a signal handler stores the signal");

// Where a thread that works for the run's own thread sends its progress: called on that thread
// with the fraction (0 to 1) of the piece of work it is on.
using ProgressRelay = std::function<void(double fraction)>;

// Makes control the current run's control on this thread for the scope's lifetime.
class RunControlScope {
 public:
  // report_progress false: a thread that works for the run's own thread sees its stop request
  // but leaves the progress to it.
  explicit RunControlScope(RunControl* control, bool report_progress = true);
  // A thread that works for the run's own thread: it sees the stop request, and its progress
  // goes to relay, which must outlive the scope, instead of the run's sink.
  RunControlScope(RunControl* control, const ProgressRelay& relay);
  ~RunControlScope();
  RunControlScope(const RunControlScope&) = delete;
  RunControlScope& operator=(const RunControlScope&) = delete;

 private:
  RunControl* previous_;
  bool previous_reports_;
  const ProgressRelay* previous_relay_;
};

// The run control of this thread, for handing to the threads that work for it; null if none.
RunControl* CurrentRunControl();

// All this thread knows of its run (control, progress span, where its progress goes), taken on
// it for a thread of a pool that does a serial part of its work; see LentRunScope.
struct RunThreadState {
  RunControl* control = nullptr;
  double span_begin = 0.0;
  double span_end = 1.0;
  bool reports_progress = true;
  const ProgressRelay* relay = nullptr;
};
RunThreadState CurrentRunThreadState();

// Makes state this thread's for the scope's lifetime, so that CheckRun reports the lender's
// progress. REQUIRES: one thread at a time holds a lent state, the lender waiting meanwhile.
class LentRunScope {
 public:
  explicit LentRunScope(const RunThreadState& state);
  ~LentRunScope();
  LentRunScope(const LentRunScope&) = delete;
  LentRunScope& operator=(const LentRunScope&) = delete;

 private:
  RunThreadState previous_;
};

// The stop request of the run of the thread that made it, for loops on threads of a pool.
class StopWatcher {
 public:
  StopWatcher();
  bool stop_requested() const;

 private:
  const RunControl* control_;
};

// The part of the current file that a piece of work covers: progress reported inside the scope
// as 0..1 is mapped onto [begin, end) of the file's whole. Scopes nest.
class ProgressSpan {
 public:
  ProgressSpan(double begin, double end);
  ~ProgressSpan();
  ProgressSpan(const ProgressSpan&) = delete;
  ProgressSpan& operator=(const ProgressSpan&) = delete;

 private:
  double previous_begin_;
  double previous_end_;
};

// For the long loops: reports how far the current piece of work is (0..1) and returns
// CancelledError() once a stop was requested. Without a current control it is always OK.
// Cheap enough to call once per row; callers with finer loops call it every few thousand items.
Status CheckRun(double fraction);
// The same without progress.
Status CheckRun();
// Between files: the step is at file index of count (0: unknown), whose progress starts at 0.
Status StartItem(int index, int count);

}  // namespace terravox
