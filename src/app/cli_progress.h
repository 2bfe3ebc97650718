// ProgressLine: the command line's status line. On a terminal it is one line redrawn in place,
// as the window's status line is, followed by the current file's percent and the time the run
// is estimated to need still; anything else gets one line per caption, which reads well in a log.
#pragma once

#include <chrono>
#include <iosfwd>
#include <string>

namespace terravox::cli {

// What a step tells of its position: file index of count (count 0 when unknown), and how far the
// current file is (0..1).
struct RunPosition {
  int item = 0;
  int items = 0;
  double fraction = 0.0;
};

// Seconds the step still needs at this pace, from when it started and where it is now; negative
// while too little is done to tell.
double EstimateSecondsLeft(double elapsed_seconds, const RunPosition& position);

// "0:07", "12:34", "1:02:03".
std::string FormatDuration(double seconds);

class ProgressLine {
 public:
  using Clock = std::chrono::steady_clock;

  ProgressLine(std::ostream& out, bool terminal) : out_(out), terminal_(terminal) {}

  void Show(const std::string& caption, Clock::time_point now = Clock::now());
  // From the run's progress sink. A file done within half a second shows no percent, so quick
  // files leave the line as it was; longer ones redraw it a few times a second.
  void SetPosition(const RunPosition& position, Clock::time_point now = Clock::now());
  // Ends a caption being redrawn, so that what is printed next starts on a line of its own
  // and the caption stays visible above it, as it does behind a message box.
  void EndLine();

 private:
  void Draw(Clock::time_point now);

  std::ostream& out_;
  bool terminal_;
  bool open_ = false;
  std::string caption_;
  RunPosition position_;
  bool has_position_ = false;
  int step_items_ = -1;  // the count of the step being timed
  Clock::time_point step_start_{};
  Clock::time_point last_draw_{};
  Clock::time_point caption_shown_{};
};

}  // namespace terravox::cli
