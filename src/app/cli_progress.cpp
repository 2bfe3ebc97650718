// ProgressLine: captions, percent and time left on one redrawn terminal line.
#include "app/cli_progress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ostream>

namespace terravox::cli {
namespace {

// Redraws closer together than this would only make the terminal flicker.
constexpr auto kRedrawInterval = std::chrono::milliseconds(200);
// A file done sooner than this shows no percent at all.
constexpr auto kQuietStart = std::chrono::milliseconds(500);
// Before this much of the step is done, or this much time has passed, the pace says little.
constexpr double kMinDoneShare = 0.02;
constexpr double kMinElapsedSeconds = 1.0;

}  // namespace

double EstimateSecondsLeft(double elapsed_seconds, const RunPosition& position) {
  const double fraction = std::clamp(position.fraction, 0.0, 1.0);
  // With the count known the step's whole is its files; else the current file is all we know.
  const double done = position.items > 0 ? (position.item + fraction) / position.items : fraction;
  if (done < kMinDoneShare || elapsed_seconds < kMinElapsedSeconds) return -1.0;
  return elapsed_seconds * (1.0 - done) / done;
}

std::string FormatDuration(double seconds) {
  const long total = std::lround(std::max(seconds, 0.0));
  char text[32];
  if (total >= 3600) {
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
  } else {
    std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
  }
  return text;
}

void ProgressLine::Show(const std::string& caption, Clock::time_point now) {
  caption_ = caption;
  caption_shown_ = now;
  has_position_ = false;
  if (!terminal_) {
    // An emptied status line carries no news in a log.
    if (!caption.empty()) out_ << caption << '\n';
    return;
  }
  if (caption.empty() && !open_) return;  // nothing shown, nothing to clear
  Draw(now);
}

void ProgressLine::SetPosition(const RunPosition& position, Clock::time_point now) {
  // A new step (or the raster walk's next file, whose count is unknown) starts the clock anew.
  if (position.items != step_items_ || (position.items == 0 && position.item != position_.item) ||
      (position.items > 0 && position.item < position_.item)) {
    step_items_ = position.items;
    step_start_ = now;
  }
  position_ = position;
  has_position_ = true;
  if (!terminal_ || caption_.empty()) return;
  if (now - caption_shown_ < kQuietStart || now - last_draw_ < kRedrawInterval) return;
  Draw(now);
}

void ProgressLine::Draw(Clock::time_point now) {
  std::string line = caption_;
  if (has_position_ && !caption_.empty()) {
    const int percent =
        static_cast<int>(std::floor(std::clamp(position_.fraction, 0.0, 1.0) * 100));
    line += "   " + std::to_string(percent) + "%";
    const double elapsed = std::chrono::duration<double>(now - step_start_).count();
    const double left = EstimateSecondsLeft(elapsed, position_);
    if (left >= 0) line += "   " + FormatDuration(left) + " left";
  }
  out_ << '\r' << line << "\x1b[K" << std::flush;
  open_ = !caption_.empty();
  last_draw_ = now;
}

void ProgressLine::EndLine() {
  if (open_) out_ << '\n';
  open_ = false;
}

}  // namespace terravox::cli
