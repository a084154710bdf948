// A second-order recursive section: one set of coefficients, separate left and right state.
#pragma once

#include <cstdint>

#include "flush_to_zero.h"

namespace qr47 {

enum FilterType : std::int32_t {
  kLowPass = 1,
  kHighPass = 2,
  kBandPass = 3,
  kNotch = 4,
};

class BiquadSection {
 public:
  // The coefficients are stored divided by a0; a0 itself is not kept.
  float a1 = 0.0f;
  float a2 = 0.0f;
  float b0 = 0.0f;
  float b1 = 0.0f;
  float b2 = 0.0f;

  // Previous inputs and outputs: element 0 is one sample back, element 1 two samples back.
  struct History {
    float input[2];
    float output[2];
  };
  History left{};
  History right{};

  void computeCoefficients(float cutoffHz, float q, float sampleRate, FilterType type);
  void reset();
  // Clears the history of a channel that holds an input that is not finite or an output that has
  // run away.
  void clearRunaway();
  float processLeft(float x) { return process(left, x); }
  float processRight(float x) { return process(right, x); }

  // One sample through the recursion with the given history, which advances.
  float process(History& history, float x) const;
};

inline float BiquadSection::process(History& history, float x) const {
  const double sum = static_cast<double>(history.input[1]) * b2 + static_cast<double>(x) * b0 +
                     static_cast<double>(b1) * history.input[0] -
                     static_cast<double>(a1) * history.output[0] -
                     static_cast<double>(history.output[1]) * a2;
  const float y = flushToZero(static_cast<float>(sum));
  history.input[1] = history.input[0];
  history.input[0] = x;
  history.output[1] = history.output[0];
  history.output[0] = y;
  return y;
}

}  // namespace qr47
