// The processing loops and the state only they change: the sections' histories and the low-pass
// states of both channels. Used by the audio thread alone, with settings it was handed.
#pragma once

#include <cstdint>

#include "biquad_section.h"
#include "filter_settings.h"
#include "resonant_lowpass.h"
#include "runaway_guard.h"
#include "stereo_sample.h"

namespace qr47 {

class FilterCore {
 public:
  // Channel 0 of the input into channel 0 of the output, channel 1 into channel 1. A frame count
  // of 0 or less touches nothing, not even the channel arrays.
  void processReplace(const FilterSettings::Loop& settings, const float* const* inputs,
                      float* const* outputs, std::int32_t sampleFrames);
  void processAdd(const FilterSettings::Loop& settings, const float* const* inputs,
                  float* const* outputs, std::int32_t sampleFrames);

  // Both sections start again from silence; the low-pass keeps its state.
  void clearSections();
  // The largest magnitude any state holds.
  double stateLevel() const;

 private:
  template <bool kAccumulate>
  void process(const FilterSettings::Loop& settings, const float* const* inputs,
               float* const* outputs, std::int32_t sampleFrames);
  void clearRunawayState();

  BiquadSection::History firstLeft{}, firstRight{}, secondLeft{}, secondRight{};
  ResonantLowpass::State lowLeft{}, lowRight{};
  // Each channel is judged against its own input alone, so that a bad sample in one leaves the
  // other as it would have been.
  RunawayGuard guardLeft, guardRight;
};

}  // namespace qr47
