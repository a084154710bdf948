// The six parameters as last set, and everything the filter derives from them: the cutoff in Hz,
// the response, the section coefficients, the low-pass feedback and the gains. A plain value:
// the engine keeps one for its controls and hands copies of what the loop reads to the audio
// thread; adapters whose hosts set controls in the processing call keep their own.
#pragma once

#include <cstdint>

#include "biquad_section.h"
#include "program_bank.h"
#include "resonant_lowpass.h"

namespace qr47 {

// The rate the filter computes for until the host sets one.
constexpr float kStartingSampleRate = 44100.0f;

class FilterSettings {
 public:
  // What the processing loop reads, one consistent whole. The coefficients take the cutoff and Q
  // within the limits where the sections stay stable at the host's rate; lowpassCutoff, mixGain
  // and outputGain are the low-pass coefficient and the two gains within theirs.
  struct Loop {
    BiquadSection first;
    BiquadSection second;
    ResonantLowpass lowpass;
    float lowpassCutoff = 0.0f;
    float mixGain = 0.0f;
    float outputGain = 0.0f;
    bool fourPoles = false;
    float sampleRate = kStartingSampleRate;
  };

  // Values that are not finite and indexes outside 0 to 5 change nothing.
  void setParameter(std::int32_t index, float value);
  // The value as last set (Q Factor raised to its lower limit); 0 for any other index.
  float parameter(std::int32_t index) const;
  // Rates that are not finite or not positive are ignored.
  void setSampleRate(float rate);

  // The cutoff curve: a normalised cutoff (Hz / high) for a parameter value.
  static float mapCutoff(float low, float mid, float high, float value);

  // What the display shows.
  float displayedCutoffHz() const { return cutoffHz; }
  float normalisedCutoff() const { return cutoffNormalised; }
  FilterType filterTypeIndex() const { return typeIndex; }
  bool fourPoles() const { return poleNumber >= kFourPolesFrom; }
  float outputFactor() const { return boostFactor; }
  const Loop& loop() const { return loopSettings; }

 private:
  void updateCutoff();
  void updateLowpassCutoff();
  void updateFilters();
  void updateSection(BiquadSection& section) const;
  void updateFeedback();

  float cutoff = 0.0f;
  float qFactor = 0.0f;
  float filterType = 0.0f;
  float poleNumber = 0.0f;
  float additionalLp = 0.0f;
  float boost = 0.0f;

  float filterSampleRate = kStartingSampleRate;
  float cutoffHz = 0.0f;
  float cutoffNormalised = 0.0f;
  float boostFactor = 0.0f;
  FilterType typeIndex = kLowPass;
  Loop loopSettings;
};

}  // namespace qr47
