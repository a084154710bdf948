// Tells when a recursion has run away: settings switched every few samples can drive a recursion
// that is stable for each setting alone into growing without bound, and a NaN or infinite input
// would stay in it for good. The judgement is relative to the level the filter was fed, so that
// a stable filter fed a loud floating-point signal is never cleared, and input scaled by a power
// of two gives output scaled by the same power exactly.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "flush_to_zero.h"

namespace qr47 {

class RunawayGuard {
 public:
  // A state beyond this many times the recent input peak has run away. Stable settings stay far
  // below it: the most resonant setting rings at some 70 times its input.
  static constexpr float kRunawayFactor = 8192.0f;  // 2^13
  // The remembered peak halves over this many seconds of the host's rate (and at least this
  // many frames), slower than any tail of the filter decays.
  static constexpr double kPeakHalfLifeSeconds = 1.0;
  static constexpr double kShortestHalfLifeFrames = 65536.0;

  // Remembers a block's input peak (its finite samples), after letting the old one decay.
  void feed(float blockPeak, std::int32_t frames, float sampleRate) {
    const double halfLife = std::max(kPeakHalfLifeSeconds * sampleRate, kShortestHalfLifeFrames);
    const auto decayed = static_cast<float>(peak * std::exp2(-frames / halfLife));
    peak = flushToZero(std::isfinite(blockPeak) ? std::max(blockPeak, decayed) : decayed);
  }

  // Not finite, or beyond the factor of the remembered peak.
  bool hasRunAway(double state) const { return !(std::fabs(state) <= peak * kRunawayFactor); }

 private:
  float peak = 0.0f;
};

}  // namespace qr47
