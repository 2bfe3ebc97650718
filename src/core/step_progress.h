// StepProgress: how far the current step of a run is, for a progress bar: its files done plus
// the share of the current file, never lower than before within one step.
#pragma once

namespace terravox {

class StepProgress {
 public:
  static constexpr int kScale = 1000;

  // The step's progress in parts of kScale after file index of count (count 0: unknown, the
  // file is all there is) reached fraction (0..1) of its work. step names the step (see
  // RunControl::step()); a new one starts again from 0.
  int Update(int step, int index, int count, double fraction);

 private:
  int step_ = -1;
  int index_ = 0;
  int shown_ = 0;
};

}  // namespace terravox
