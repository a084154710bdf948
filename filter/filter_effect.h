// The stereo resonant multimode filter: one biquad section, a second one cascaded for four poles,
// a resonant low-pass on the dry input mixed in, and an output boost of up to 18 dB.
#pragma once

#include <cstdint>

#include "biquad_section.h"
#include "effect_base.h"
#include "program_bank.h"
#include "resonant_lowpass.h"

namespace qr47 {

constexpr std::int32_t kUniqueId = fourCharacters('Q', 'R', '4', '7');

class FilterEffect final : public EffectBase {
 public:
  explicit FilterEffect(HostCallback hostCallback);

  void setParameter(std::int32_t index, float value) override;
  float getParameter(std::int32_t index) override;
  void processAdd(float** inputs, float** outputs, std::int32_t sampleFrames) override;
  void processReplace(float** inputs, float** outputs, std::int32_t sampleFrames) override;
  void setProgram(std::int32_t program) override;
  void setProgramName(char* name) override;
  void getProgramName(char* name) override;
  void getParameterUnit(std::int32_t index, char* text) override;
  void getParameterText(std::int32_t index, char* text) override;
  void getParameterName(std::int32_t index, char* text) override;
  void setSampleRate(float rate) override;
  void suspend() override;
  void resume() override;

  // A whole number of the value's magnitude, halves rounded away from zero.
  static void formatRounded(float value, char* text);

  // The cutoff curve: a normalised cutoff (Hz / high) for a parameter value.
  static float mapCutoff(float low, float mid, float high, float value);

  const ProgramRecord& programRecord(std::int32_t program) const { return bank[program]; }
  const BiquadSection& firstSection() const { return section1; }
  const BiquadSection& secondSection() const { return section2; }
  const ResonantLowpass& additionalLowpass() const { return lowpass; }
  float displayedCutoffHz() const { return cutoffHz; }
  float normalisedCutoff() const { return cutoffNormalised; }
  float lowpassCoefficient() const { return lowpassCutoff; }
  float outputFactor() const { return boostFactor; }
  FilterType filterTypeIndex() const { return typeIndex; }

 private:
  void updateCutoff();
  void updateLowpassCutoff();
  void updateFilters();
  void updateSection(BiquadSection& section);
  void updateFeedback();
  bool fourPoles() const;
  bool lowpassMixedIn() const;

  // What the processing loop alone changes: kept in registers over a block.
  struct LoopState {
    BiquadSection::History firstLeft, firstRight, secondLeft, secondRight;
    ResonantLowpass::State lowLeft, lowRight;
  };
  template <bool kAccumulate>
  void process(float** inputs, float** outputs, std::int32_t sampleFrames);
  void clearRunawayState();

  BiquadSection section1;
  BiquadSection section2;
  ResonantLowpass lowpass;
  ProgramBank bank;

  // The parameters as last set (Q Factor raised to its lower limit).
  float cutoff = 0.0f;
  float qFactor = 0.0f;
  float filterType = 0.0f;
  float poleNumber = 0.0f;
  float additionalLp = 0.0f;
  float boost = 0.0f;

  // Derived settings. cutoffHz and boostFactor are what the display shows. What the filters use
  // is kept where they stay stable and the output finite: the coefficients take the cutoff and
  // Q within limits at the host's sample rate; lowpassCutoff, mixGain and outputGain are the
  // low-pass coefficient and the two gains within theirs.
  float filterSampleRate = kDefaultSampleRate;
  float cutoffHz = 0.0f;
  float cutoffNormalised = 0.0f;
  float boostFactor = 0.0f;
  FilterType typeIndex = kLowPass;
  float lowpassCutoff = 0.0f;
  float mixGain = 0.0f;
  float outputGain = 0.0f;
};

}  // namespace qr47
