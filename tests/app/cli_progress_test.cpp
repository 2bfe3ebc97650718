// The command line's progress line: the estimate of the time left, its text, and what a terminal
// and a log each get.
#include "app/cli_progress.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>

namespace terravox::cli {
namespace {

TEST(CliProgressTest, EstimatesTheTimeLeftFromThePaceSoFar) {
  struct Row {
    double elapsed;
    RunPosition position;
    double expected;  // negative: too early to tell
  };
  const Row rows[] = {
      {10, {0, 0, 0.5}, 10},     // half of a file of unknown count
      {10, {1, 4, 0.0}, 30},     // one of four files done
      {10, {1, 4, 0.5}, 16.67},  // one and a half of four
      {10, {3, 4, 1.0}, 0},      // all done
      {10, {0, 4, 0.01}, -1},    // too little done
      {0.5, {0, 1, 0.5}, -1},    // too little time passed
  };
  for (const Row& row : rows) {
    const double left = EstimateSecondsLeft(row.elapsed, row.position);
    if (row.expected < 0) {
      EXPECT_LT(left, 0);
    } else {
      EXPECT_NEAR(left, row.expected, 0.01);
    }
  }
}

TEST(CliProgressTest, FormatsDurations) {
  EXPECT_EQ(FormatDuration(0), "0:00");
  EXPECT_EQ(FormatDuration(7.4), "0:07");
  EXPECT_EQ(FormatDuration(754), "12:34");
  EXPECT_EQ(FormatDuration(3723), "1:02:03");
}

TEST(CliProgressTest, ATerminalGetsPercentOnTheRedrawnLineALogOnlyCaptions) {
  using std::chrono::milliseconds;
  const ProgressLine::Clock::time_point t0{};
  std::ostringstream terminal;
  ProgressLine on_terminal(terminal, true);
  on_terminal.SetPosition({0, 2, 0.0}, t0);
  on_terminal.Show("Running : file", t0);
  on_terminal.SetPosition({0, 2, 0.10}, t0 + milliseconds(100));  // too soon: quiet
  on_terminal.SetPosition({0, 2, 0.42}, t0 + milliseconds(2000));
  on_terminal.SetPosition({0, 2, 0.43}, t0 + milliseconds(2050));  // within a redraw: skipped
  on_terminal.SetPosition({0, 2, 0.50}, t0 + milliseconds(3000));
  on_terminal.EndLine();
  EXPECT_EQ(terminal.str(),
            "\rRunning : file\x1b[K"
            "\rRunning : file   42%   0:08 left\x1b[K"
            "\rRunning : file   50%   0:09 left\x1b[K\n");

  std::ostringstream log;
  ProgressLine in_log(log, false);
  in_log.Show("Running : file");
  in_log.SetPosition({0, 2, 0.42});
  in_log.Show("");
  in_log.EndLine();
  EXPECT_EQ(log.str(), "Running : file\n");
}

}  // namespace
}  // namespace terravox::cli
