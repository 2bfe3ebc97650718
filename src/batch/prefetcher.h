// Prefetcher: works out the invisible part of a step's files (grids written under hidden
// temporary names, nothing committed, nothing shown) ahead of the step on several threads, in
// file order and within a memory budget. The step still visits its files one by one and takes
// each result when it reaches that file, so everything a user sees (captions, boxes, log lines,
// outputs taking their names) happens in file order, exactly as with one thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "core/run_control.h"

namespace terravox {

// How far a prefetcher may go: threads working at once, and the memory their files may hold
// together. A file larger than the budget still runs, alone.
struct PrefetchLimits {
  int threads = 1;
  uint64_t memory_budget = 0;
};

template <typename T>
class Prefetcher {
 public:
  // How many items per thread may lie finished or begun ahead of the step. With one, a thread
  // idles whenever the step lingers over a file (renaming, captions), which on small files is
  // as long as working one out; two absorb that. Each holds at most one open file.
  static constexpr size_t kAheadPerThread = 2;

  // compute(i) gives item i's result; memory_estimates[i] is what it holds while it runs.
  Prefetcher(std::vector<uint64_t> memory_estimates, PrefetchLimits limits,
             std::function<T(size_t)> compute)
      : control_(CurrentRunControl()),
        estimates_(std::move(memory_estimates)),
        limits_(limits),
        compute_(std::move(compute)),
        results_(estimates_.size()),
        progress_(estimates_.size()) {
    for (int t = 0; t < limits_.threads; ++t) workers_.emplace_back([this] { Work(); });
  }
  Prefetcher(const Prefetcher&) = delete;
  Prefetcher& operator=(const Prefetcher&) = delete;

  // Lets the running items finish, then drops every result not taken (their destructors remove
  // their temporaries): a step that stops early commits nothing of a later file.
  ~Prefetcher() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& worker : workers_) worker.join();
  }

  // Item i's result, waiting for it or working it out here when no thread has begun it.
  // REQUIRES: items are taken in increasing order, each at most once.
  T Take(size_t i) {
    std::unique_lock lock(mutex_);
    taken_ = i + 1;
    changed_.notify_all();
    if (next_ <= i) {  // not begun: the threads never skip an item, so next_ == i
      next_ = i + 1;
      in_use_ += estimates_[i];
      lock.unlock();
      T result = compute_(i);
      lock.lock();
      in_use_ -= estimates_[i];
      changed_.notify_all();
      return result;
    }
    // While a thread works the item out, its progress is the step's: shown as it comes.
    awaited_ = i;
    int shown = 0;
    for (;;) {
      changed_.wait(lock, [&] { return results_[i].has_value() || progress_[i] > shown; });
      if (results_[i].has_value()) break;
      shown = progress_[i];
      lock.unlock();
      // A stop request reaches the thread working the item out too: its result comes soon.
      (void)CheckRun(shown / kProgressScale);
      lock.lock();
    }
    awaited_ = kNone;
    in_use_ -= estimates_[i];
    changed_.notify_all();
    lock.unlock();
    (void)CheckRun(1.0);  // the item's work is done; a stop is seen at the step's next check
    return std::move(*results_[i]);
  }

 private:
  // The next item may begin: it lies within kAheadPerThread items per thread of the step, and
  // fits the budget beside the items running (or nothing runs).
  bool MayBegin() const {
    if (next_ >= estimates_.size()) return false;
    if (next_ >= taken_ + kAheadPerThread * static_cast<size_t>(limits_.threads)) return false;
    return in_use_ == 0 || in_use_ + estimates_[next_] <= limits_.memory_budget;
  }

  void Work() {
    // A stop request of the run reaches the work done ahead too; its progress is kept for the
    // step, which shows it once it waits for the item.
    size_t working = 0;
    const ProgressRelay relay = [this, &working](double fraction) { Relay(working, fraction); };
    RunControlScope scope(control_, relay);
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [&] { return stopping_ || MayBegin(); });
      if (stopping_) return;
      const size_t i = next_++;
      working = i;
      in_use_ += estimates_[i];
      lock.unlock();
      T result = compute_(i);
      lock.lock();
      results_[i].emplace(std::move(result));
      changed_.notify_all();
    }
  }

  // Keeps item i's progress; wakes the step only when it waits for that item and the progress
  // moved on by a step of the scale, so a loop reporting per row costs no lock.
  void Relay(size_t i, double fraction) {
    const int scaled = static_cast<int>(fraction * kProgressScale);
    if (scaled <= progress_[i]) return;
    progress_[i] = scaled;
    if (awaited_ != i) return;
    { std::lock_guard lock(mutex_); }  // the step is now waiting or will see the new value
    changed_.notify_all();
  }

  static constexpr double kProgressScale = 1000.0;
  static constexpr size_t kNone = static_cast<size_t>(-1);

  RunControl* const control_;
  const std::vector<uint64_t> estimates_;
  const PrefetchLimits limits_;
  const std::function<T(size_t)> compute_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::optional<T>> results_;
  std::vector<std::atomic<int>> progress_;  // per item, in parts of kProgressScale
  std::atomic<size_t> awaited_{kNone};      // the item the step waits for
  size_t next_ = 0;                         // the first item no one has begun
  size_t taken_ = 0;                        // items the step has reached
  uint64_t in_use_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> workers_;  // last: they start once everything above is ready
};

}  // namespace terravox
