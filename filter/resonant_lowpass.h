// Two one-pole low-pass stages in series with resonance feedback from the second stage into the
// first. The coefficient is handed in with every sample; each channel has a state of its own.
#pragma once

#include "flush_to_zero.h"

namespace qr47 {

class ResonantLowpass {
 public:
  struct State {
    float stage1;
    float stage2;  // also the output
  };
  float feedback = 0.0f;

  void setFeedback(float cutoff, float q);

  // One sample through both stages of the given state. Each stage is flushed to zero as soon as
  // it is formed, so a decaying tail never turns subnormal.
  float process(State& state, float x, float cutoff) const;
};

inline float ResonantLowpass::process(State& state, float x, float cutoff) const {
  const double stage1 = state.stage1;
  const double stage2 = state.stage2;
  state.stage1 = flushToZero(
      static_cast<float>(((stage1 - stage2) * feedback + (x - stage1)) * cutoff + stage1));
  state.stage2 = flushToZero(static_cast<float>((state.stage1 - stage2) * cutoff + stage2));
  return state.stage2;
}

}  // namespace qr47
