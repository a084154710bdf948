// Two one-pole low-pass stages in series with resonance feedback from the second stage into the
// first. The coefficient is handed in with every sample; each channel has a state of its own.
#pragma once

#include "stereo_sample.h"

namespace qr47 {

class ResonantLowpass {
 public:
  // Both stages of a channel (or of both, side by side): float values, held widened.
  template <typename Sample>
  struct StateOf {
    Sample stage1;
    Sample stage2;  // also the output
  };
  using State = StateOf<double>;

  float feedback = 0.0f;

  void setFeedback(float cutoff, float q);

  // One sample through both stages of the given state. Each stage is flushed to zero as soon as
  // it is formed, so a decaying tail never turns subnormal.
  float process(State& state, float x, float cutoff) const {
    return static_cast<float>(step(state, static_cast<double>(x), cutoff));
  }
  // The same for a widened float sample, or a stereo pair of them.
  template <typename Sample>
  Sample step(StateOf<Sample>& state, Sample x, float cutoff) const {
    const double c = cutoff;
    const Sample stage1 = flushedFloat(
        ((state.stage1 - state.stage2) * static_cast<double>(feedback) + (x - state.stage1)) * c +
        state.stage1);
    state.stage2 = flushedFloat((stage1 - state.stage2) * c + state.stage2);
    state.stage1 = stage1;
    return state.stage2;
  }
};

}  // namespace qr47
