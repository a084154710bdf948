#include "tail_length.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "filter_core.h"

namespace qr47 {
namespace {

constexpr double kSilence = 3.1622776601683795e-5;  // -90 dB
constexpr double kLongestTailSeconds = 10.0;
// Past this many samples the response is not followed further: the answer is the longest tail.
constexpr std::int64_t kLongestRun = std::int64_t{1} << 20;
constexpr std::int32_t kBlock = 256;

// What the states can still bring to the output: each section's recursion at most three times
// its largest state, the low-pass its mix, all times the output gain.
double reach(const FilterCore& core, const FilterSettings::Loop& settings) {
  const double gain = std::fabs(settings.outputGain);
  return core.stateLevel() * (9.0 + std::fabs(settings.mixGain)) * gain;
}

}  // namespace

// The filter is run on an impulse, block by block, until what its states hold can no longer
// reach -90 dB; the tail ends after the last output sample at or above that level.
std::int32_t tailLength(const FilterSettings::Loop& settings) {
  // The answer is a 32-bit count, whatever the rate.
  constexpr double kLargestAnswer = std::numeric_limits<std::int32_t>::max();
  const auto longest = static_cast<std::int64_t>(
      std::min(kLongestTailSeconds * settings.sampleRate, kLargestAnswer));
  FilterCore core;
  float input[kBlock] = {1.0f};
  float left[kBlock], right[kBlock];
  const float* inputs[] = {input, input};
  float* outputs[] = {left, right};
  std::int64_t tail = 0;
  for (std::int64_t start = 0; start < std::min(longest, kLongestRun); start += kBlock) {
    core.processReplace(settings, inputs, outputs, kBlock);
    input[0] = 0.0f;
    for (std::int32_t i = 0; i < kBlock; ++i) {
      if (!(std::fabs(left[i]) < kSilence)) tail = start + i + 1;
    }
    if (reach(core, settings) < kSilence) {
      return static_cast<std::int32_t>(std::clamp<std::int64_t>(tail, 1, longest));
    }
  }
  return static_cast<std::int32_t>(std::max<std::int64_t>(longest, 1));
}

}  // namespace qr47
