// Prefetcher: results come back in order whatever the threads do, the memory budget caps what
// runs at once, and results never taken are dropped when a step stops early.
#include "batch/prefetcher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace terravox {
namespace {

TEST(PrefetcherTest, EachItemComesBackInItsTurnWhateverTheThreadCount) {
  for (int threads : {1, 2, 4, 8}) {
    SCOPED_TRACE(threads);
    std::atomic<int> computed{0};
    Prefetcher<int> prefetcher(std::vector<uint64_t>(20, 1), {threads, 100}, [&](size_t i) {
      // Later items finish first: the order must not follow the finishing order.
      std::this_thread::sleep_for(std::chrono::microseconds(200 * (20 - i)));
      ++computed;
      return static_cast<int>(i * i);
    });
    for (size_t i = 0; i < 20; ++i) EXPECT_EQ(prefetcher.Take(i), static_cast<int>(i * i));
    EXPECT_EQ(computed.load(), 20);
  }
}

TEST(PrefetcherTest, ItemsBeyondTheBudgetRunOneAtATime) {
  std::atomic<int> running{0};
  std::atomic<int> most{0};
  auto compute = [&](size_t i) {
    int now = ++running;
    int seen = most.load();
    while (now > seen && !most.compare_exchange_weak(seen, now)) {
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    --running;
    return i;
  };
  {
    // Each item needs the whole budget: never two at once, however many threads.
    Prefetcher<size_t> alone(std::vector<uint64_t>(8, 100), {4, 100}, compute);
    for (size_t i = 0; i < 8; ++i) EXPECT_EQ(alone.Take(i), i);
  }
  EXPECT_EQ(most.load(), 1);

  most = 0;
  {
    Prefetcher<size_t> together(std::vector<uint64_t>(8, 10), {4, 100}, compute);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    for (size_t i = 0; i < 8; ++i) EXPECT_EQ(together.Take(i), i);
  }
  EXPECT_GT(most.load(), 1);
}

// A result the step never takes is destroyed with the prefetcher: its temporaries go with it.
TEST(PrefetcherTest, ResultsNotTakenAreDroppedWhenTheStepStops) {
  auto alive = std::make_shared<std::atomic<int>>(0);
  struct Tracked {
    std::shared_ptr<std::atomic<int>> count;
    explicit Tracked(std::shared_ptr<std::atomic<int>> c) : count(std::move(c)) { ++*count; }
    Tracked(Tracked&& other) noexcept : count(std::move(other.count)) {}
    ~Tracked() {
      if (count) --*count;
    }
  };
  {
    Prefetcher<Tracked> prefetcher(std::vector<uint64_t>(10, 1), {3, 100},
                                   [&](size_t) { return Tracked(alive); });
    Tracked first = prefetcher.Take(0);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    // Only the items within reach of the threads were begun, never the whole folder.
    EXPECT_LE(alive->load(), 1 + Prefetcher<Tracked>::kAheadPerThread * 3);
    EXPECT_LT(alive->load(), 10);
  }
  EXPECT_EQ(alive->load(), 0);
}

}  // namespace
}  // namespace terravox
