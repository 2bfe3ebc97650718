// StepProgress: files done plus the current file's share, held from going back within a step.
#include "core/step_progress.h"

#include <algorithm>
#include <cmath>

namespace terravox {

int StepProgress::Update(int step, int index, int count, double fraction) {
  // With the count unknown each file is the whole: the next one starts again too.
  if (step != step_ || (count == 0 && index != index_)) {
    step_ = step;
    index_ = index;
    shown_ = 0;
  }
  const double share = std::clamp(fraction, 0.0, 1.0);
  const double done = count > 0 ? (std::clamp(index, 0, count) + share) / count : share;
  // A report that lags behind (a file's work split between threads) never pulls the bar back.
  shown_ = std::max(shown_, static_cast<int>(std::floor(std::min(done, 1.0) * kScale)));
  return shown_;
}

}  // namespace terravox
