#include "filter_core.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace qr47 {
namespace {

bool hasRunAway(const RunawayGuard& guard, const BiquadSection::History& history) {
  return !std::isfinite(history.x1) || !std::isfinite(history.x2) || guard.hasRunAway(history.y1) ||
         guard.hasRunAway(history.y2);
}

bool hasRunAway(const RunawayGuard& guard, const ResonantLowpass::State& state) {
  return guard.hasRunAway(state.stage1) || guard.hasRunAway(state.stage2);
}

// The magnitude of a sample as the bits of a float: compared as integers, they order magnitudes
// as numbers. Integer work runs beside the recursions' floating-point chain at no cost; a NaN
// gives bits above infinity's.
std::int32_t magnitudeBits(const float& sample) {
  constexpr std::int32_t kMagnitudeBits = 0x7FFFFFFF;
  std::int32_t bits;
  std::memcpy(&bits, &sample, sizeof bits);
  return bits & kMagnitudeBits;
}

float fromBits(std::int32_t bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

template <typename State>
void clearIfRunAway(const RunawayGuard& guard, State& state) {
  if (hasRunAway(guard, state)) state = State{};
}

// The loop keeps both channels' states side by side in registers; between blocks they are kept
// apart, in memory that needs no more than a double's alignment.
BiquadSection::HistoryOf<StereoSample> paired(const BiquadSection::History& left,
                                              const BiquadSection::History& right) {
  return {StereoSample{left.x1, right.x1}, StereoSample{left.x2, right.x2},
          StereoSample{left.y1, right.y1}, StereoSample{left.y2, right.y2}};
}

void split(const BiquadSection::HistoryOf<StereoSample>& both, BiquadSection::History& left,
           BiquadSection::History& right) {
  left = {both.x1[0], both.x2[0], both.y1[0], both.y2[0]};
  right = {both.x1[1], both.x2[1], both.y1[1], both.y2[1]};
}

ResonantLowpass::StateOf<StereoSample> paired(const ResonantLowpass::State& left,
                                              const ResonantLowpass::State& right) {
  return {StereoSample{left.stage1, right.stage1}, StereoSample{left.stage2, right.stage2}};
}

void split(const ResonantLowpass::StateOf<StereoSample>& both, ResonantLowpass::State& left,
           ResonantLowpass::State& right) {
  left = {both.stage1[0], both.stage2[0]};
  right = {both.stage1[1], both.stage2[1]};
}

}  // namespace

void FilterCore::processReplace(const FilterSettings::Loop& settings, const float* const* inputs,
                                float* const* outputs, std::int32_t sampleFrames) {
  process<false>(settings, inputs, outputs, sampleFrames);
}

void FilterCore::processAdd(const FilterSettings::Loop& settings, const float* const* inputs,
                            float* const* outputs, std::int32_t sampleFrames) {
  process<true>(settings, inputs, outputs, sampleFrames);
}

void FilterCore::clearSections() {
  firstLeft = firstRight = secondLeft = secondRight = BiquadSection::History{};
}

double FilterCore::stateLevel() const {
  double level = 0.0;
  for (const BiquadSection::History* h : {&firstLeft, &firstRight, &secondLeft, &secondRight}) {
    level =
        std::max({level, std::fabs(h->x1), std::fabs(h->x2), std::fabs(h->y1), std::fabs(h->y2)});
  }
  for (const ResonantLowpass::State* s : {&lowLeft, &lowRight}) {
    level = std::max({level, std::fabs(s->stage1), std::fabs(s->stage2)});
  }
  return level;
}

// Both loops in one: the replacing mode stores each result, the accumulating mode adds it to what
// the output holds. Left and right run side by side through the same arithmetic. Both input samples
// are read before either output is written, so a host that passes the same buffer as input and
// output still feeds the low-pass the dry signal. The settings are copied in and the states loaded,
// so that all of them stay in registers over the block whatever the output buffers alias.
template <bool kAccumulate>
void FilterCore::process(const FilterSettings::Loop& settings, const float* const* inputs,
                         float* const* outputs, std::int32_t sampleFrames) {
  if (sampleFrames <= 0) return;
  const FilterSettings::Loop s = settings;
  const float* in0 = inputs[0];
  const float* in1 = inputs[1];
  float* out0 = outputs[0];
  float* out1 = outputs[1];
  BiquadSection::HistoryOf<StereoSample> h1 = paired(firstLeft, firstRight);
  BiquadSection::HistoryOf<StereoSample> h2 = paired(secondLeft, secondRight);
  ResonantLowpass::StateOf<StereoSample> lp = paired(lowLeft, lowRight);
  const bool mixLowpass = s.mixGain > 0.0f;
  const double mixGain = s.mixGain;
  const double outputGain = s.outputGain;
  std::int32_t peakLeft = 0, peakRight = 0;
  for (std::int32_t i = 0; i < sampleFrames; ++i) {
    peakLeft = std::max(peakLeft, magnitudeBits(in0[i]));
    peakRight = std::max(peakRight, magnitudeBits(in1[i]));
    const StereoSample dry = loadStereo(in0 + i, in1 + i);
    StereoSample wet = s.first.step(h1, dry);
    if (s.fourPoles) wet = s.second.step(h2, wet);
    if (mixLowpass) wet = roundToFloat(s.lowpass.step(lp, dry, s.lowpassCutoff) * mixGain + wet);
    if (kAccumulate) {
      storeStereo(wet * outputGain + loadStereo(out0 + i, out1 + i), out0 + i, out1 + i);
    } else {
      storeStereo(wet * outputGain, out0 + i, out1 + i);
    }
  }
  split(h1, firstLeft, firstRight);
  split(h2, secondLeft, secondRight);
  split(lp, lowLeft, lowRight);
  guardLeft.feed(fromBits(peakLeft), sampleFrames, s.sampleRate);
  guardRight.feed(fromBits(peakRight), sampleFrames, s.sampleRate);
  clearRunawayState();
}

// A recursion that ran away, or holds what is not finite, is cleared at the end of the block it
// happened in.
void FilterCore::clearRunawayState() {
  for (BiquadSection::History* history : {&firstLeft, &secondLeft}) {
    clearIfRunAway(guardLeft, *history);
  }
  for (BiquadSection::History* history : {&firstRight, &secondRight}) {
    clearIfRunAway(guardRight, *history);
  }
  clearIfRunAway(guardLeft, lowLeft);
  clearIfRunAway(guardRight, lowRight);
}

}  // namespace qr47
