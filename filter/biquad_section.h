// A second-order recursive section: one set of coefficients, run over any number of histories
// (one a channel).
#pragma once

#include <cstdint>

#include "stereo_sample.h"

namespace qr47 {

enum FilterType : std::int32_t {
  kLowPass = 1,
  kHighPass = 2,
  kBandPass = 3,
  kNotch = 4,
};

class BiquadSection {
 public:
  // The coefficients, divided by a0 (a0 itself is not kept). Each is a float value, held widened
  // so that the recursion multiplies by it without a conversion every sample.
  double a1 = 0.0;
  double a2 = 0.0;
  double b0 = 0.0;
  double b1 = 0.0;
  double b2 = 0.0;

  // Previous inputs and outputs of a channel (or of both, side by side): x1 and y1 one sample
  // back, x2 and y2 two samples back. Float values, held widened like the coefficients.
  template <typename Sample>
  struct HistoryOf {
    Sample x1, x2;
    Sample y1, y2;
  };
  using History = HistoryOf<double>;

  void computeCoefficients(float cutoffHz, float q, float sampleRate, FilterType type);

  // One sample through the recursion with the given history, which advances.
  float process(History& history, float x) const {
    return static_cast<float>(step(history, static_cast<double>(x)));
  }
  // The same for a widened float sample, or a stereo pair of them.
  template <typename Sample>
  Sample step(HistoryOf<Sample>& history, Sample input) const {
    const Sample sum =
        history.x2 * b2 + input * b0 + b1 * history.x1 - a1 * history.y1 - history.y2 * a2;
    const Sample y = flushedFloat(sum);
    history = {input, history.x1, y, history.y1};
    return y;
  }
};

}  // namespace qr47
