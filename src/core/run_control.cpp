// The thread's current run control and progress span, and the checks the long loops make.
#include "core/run_control.h"

#include <algorithm>

namespace terravox {
namespace {

// One run per thread: the batch run's thread sets these through the scopes.
thread_local RunControl* current_control = nullptr;
thread_local double span_begin = 0.0;
thread_local double span_end = 1.0;
// False on the threads that work for the run's thread: only the run's own thread reports.
thread_local bool reports_progress = true;
// Where the progress of such a thread goes instead; null: nowhere.
thread_local const ProgressRelay* progress_relay = nullptr;

}  // namespace

Error CancelledError() { return Error(ErrorKind::kCancelled, kInterruptedText); }

bool IsCancelled(const Status& status) {
  return !status.ok() && status.error().kind() == ErrorKind::kCancelled;
}

RunControlScope::RunControlScope(RunControl* control, bool report_progress)
    : previous_(current_control),
      previous_reports_(reports_progress),
      previous_relay_(progress_relay) {
  current_control = control;
  reports_progress = report_progress;
  progress_relay = nullptr;
}

RunControlScope::RunControlScope(RunControl* control, const ProgressRelay& relay)
    : RunControlScope(control, /*report_progress=*/false) {
  progress_relay = &relay;
}

RunControlScope::~RunControlScope() {
  current_control = previous_;
  reports_progress = previous_reports_;
  progress_relay = previous_relay_;
}

RunControl* CurrentRunControl() { return current_control; }

RunThreadState CurrentRunThreadState() {
  return {current_control, span_begin, span_end, reports_progress, progress_relay};
}

namespace {
void SetThreadState(const RunThreadState& state) {
  current_control = state.control;
  span_begin = state.span_begin;
  span_end = state.span_end;
  reports_progress = state.reports_progress;
  progress_relay = state.relay;
}
}  // namespace

LentRunScope::LentRunScope(const RunThreadState& state) : previous_(CurrentRunThreadState()) {
  SetThreadState(state);
}

LentRunScope::~LentRunScope() { SetThreadState(previous_); }

StopWatcher::StopWatcher() : control_(current_control) {}

bool StopWatcher::stop_requested() const {
  return control_ != nullptr && control_->stop_requested();
}

ProgressSpan::ProgressSpan(double begin, double end)
    : previous_begin_(span_begin), previous_end_(span_end) {
  const double width = previous_end_ - previous_begin_;
  span_begin = previous_begin_ + width * std::clamp(begin, 0.0, 1.0);
  span_end = previous_begin_ + width * std::clamp(end, 0.0, 1.0);
}

ProgressSpan::~ProgressSpan() {
  span_begin = previous_begin_;
  span_end = previous_end_;
}

Status CheckRun(double fraction) {
  if (current_control == nullptr) return Status::Ok();
  if (current_control->stop_requested()) return CancelledError();
  const double done = span_begin + (span_end - span_begin) * std::clamp(fraction, 0.0, 1.0);
  if (reports_progress) {
    current_control->ReportProgress(done);
  } else if (progress_relay != nullptr) {
    (*progress_relay)(done);
  }
  return Status::Ok();
}

Status CheckRun() {
  if (current_control != nullptr && current_control->stop_requested()) return CancelledError();
  return Status::Ok();
}

Status StartItem(int index, int count) {
  if (current_control == nullptr) return Status::Ok();
  if (reports_progress) current_control->SetItem(index, count);
  return CheckRun(0.0);
}

}  // namespace terravox
