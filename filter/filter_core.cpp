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
    level = std::max({level, std::fabs(static_cast<double>(s->stage1)),
                      std::fabs(static_cast<double>(s->stage2))});
  }
  return level;
}

// Both loops in one: the replacing mode stores each result, the accumulating mode adds it to what
// the output holds. Both input samples are read before either output is written, so a host that
// passes the same buffer as input and output still feeds the low-pass the dry signal. The
// settings are copied in and the states loaded, so that all of them stay in registers over the
// block whatever the output buffers alias.
template <bool kAccumulate>
void FilterCore::process(const FilterSettings::Loop& settings, const float* const* inputs,
                         float* const* outputs, std::int32_t sampleFrames) {
  if (sampleFrames <= 0) return;
  const FilterSettings::Loop s = settings;
  const float* in0 = inputs[0];
  const float* in1 = inputs[1];
  float* out0 = outputs[0];
  float* out1 = outputs[1];
  BiquadSection::History h1l = firstLeft, h1r = firstRight, h2l = secondLeft, h2r = secondRight;
  ResonantLowpass::State lpl = lowLeft, lpr = lowRight;
  const bool mixLowpass = s.mixGain > 0.0f;
  std::int32_t peakBits = 0;
  for (std::int32_t i = 0; i < sampleFrames; ++i) {
    const float dryLeft = in0[i];
    const float dryRight = in1[i];
    peakBits = std::max(peakBits, std::max(magnitudeBits(dryLeft), magnitudeBits(dryRight)));
    float l = s.first.process(h1l, dryLeft);
    float r = s.first.process(h1r, dryRight);
    if (s.fourPoles) {
      l = s.second.process(h2l, l);
      r = s.second.process(h2r, r);
    }
    if (mixLowpass) {
      l = static_cast<float>(
          static_cast<double>(s.lowpass.process(lpl, dryLeft, s.lowpassCutoff)) * s.mixGain + l);
      r = static_cast<float>(
          static_cast<double>(s.lowpass.process(lpr, dryRight, s.lowpassCutoff)) * s.mixGain + r);
    }
    if (kAccumulate) {
      out0[i] = static_cast<float>(static_cast<double>(l) * s.outputGain + out0[i]);
      out1[i] = static_cast<float>(static_cast<double>(r) * s.outputGain + out1[i]);
    } else {
      out0[i] = static_cast<float>(static_cast<double>(l) * s.outputGain);
      out1[i] = static_cast<float>(static_cast<double>(r) * s.outputGain);
    }
  }
  firstLeft = h1l;
  firstRight = h1r;
  secondLeft = h2l;
  secondRight = h2r;
  lowLeft = lpl;
  lowRight = lpr;
  guard.feed(fromBits(peakBits), sampleFrames, s.sampleRate);
  clearRunawayState();
}

// A recursion that ran away, or holds what is not finite, is cleared at the end of the block it
// happened in.
void FilterCore::clearRunawayState() {
  for (BiquadSection::History* history : {&firstLeft, &firstRight, &secondLeft, &secondRight}) {
    clearIfRunAway(guard, *history);
  }
  clearIfRunAway(guard, lowLeft);
  clearIfRunAway(guard, lowRight);
}

}  // namespace qr47
