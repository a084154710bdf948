#include "filter_settings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "float_bits.h"

namespace qr47 {
namespace {

// The cutoff curve's table, bit for bit: the normalised cutoff and the Hz it shows. Expected
// values from the independent transcription in tests/golden/reference_model.py.
TEST(FilterSettings, CutoffCurveBitForBit) {
  struct Case {
    float value;
    std::uint32_t normalised, hz;
  };
  const Case cases[] = {
      {0.0f, 0x3C5D2FAB, 0x43870058},                  // 270.0027 Hz
      {0.2f, 0x3D25E3C1, 0x444A8085},                  // 810.0081
      {fromBits(0x3EAAAA3A), 0x3D6F9DD5, 0x44924015},  // 1170.0026, just below 0.33333
      {0.33333f, 0x3D3851EC, 0x44610001},              // 900.0001
      {0.5f, 0x3E170B0B, 0x453860FB},                  // 2950.0613
      {0.66666f, 0x3E800000, 0x459C4000},              // 5000
      {0.75f, 0x3EE00235, 0x4608B959},                 // 8750.3369
      {0.9f, 0x3F4667B9, 0x4672319D},                  // 15500.4033
      {1.0f, 0x3F8000BC, 0x469C40E5},                  // 20000.4473
      {1.5f, 0x3D3851EC, 0x44610001},                  // 900.0001
  };
  FilterSettings settings;
  for (const Case& c : cases) {
    settings.setParameter(kCutoff, c.value);
    EXPECT_EQ(bitsOf(settings.normalisedCutoff()), c.normalised) << c.value;
    EXPECT_EQ(bitsOf(settings.displayedCutoffHz()), c.hz) << c.value;
    EXPECT_EQ(bitsOf(FilterSettings::mapCutoff(900.0f, 5000.0f, 20000.0f, c.value)), c.normalised);
  }
}

// Each parameter's thresholds and limits, and what the parameter reads back.
TEST(FilterSettings, ParameterThresholdsAndLimits) {
  FilterSettings settings;
  struct TypeCase {
    float value;
    FilterType type;
  };
  const TypeCase types[] = {{0.0f, kLowPass},  {0.2499f, kLowPass}, {0.25f, kHighPass},
                            {0.5f, kBandPass}, {0.75f, kNotch},     {1.0f, kNotch},
                            {1.5f, kNotch},    {-3.0f, kLowPass},   {1.5f, kLowPass}};
  for (const TypeCase& c : types) {
    settings.setParameter(kFilterTypeParameter, c.value);
    EXPECT_EQ(settings.filterTypeIndex(), c.type) << c.value;
    EXPECT_EQ(settings.parameter(kFilterTypeParameter), c.value);
  }
  for (float q : {0.0f, 0.005f, 0.01f, -1.0f}) {
    settings.setParameter(kQFactor, q);
    EXPECT_EQ(bitsOf(settings.parameter(kQFactor)), 0x3C23D70Au) << q;  // 0.01 as a float
  }
  settings.setParameter(kQFactor, 0.0100001f);
  EXPECT_EQ(settings.parameter(kQFactor), 0.0100001f);
  for (auto [boost, factor] :
       {std::pair{0.0f, 0.0f}, {0.125f, 1.0f}, {1.0f, 8.0f}, {-0.5f, -4.0f}, {0.3f, 2.4f}}) {
    settings.setParameter(kBoost, boost);
    EXPECT_EQ(settings.outputFactor(), factor) << boost;
    EXPECT_EQ(settings.loop().outputGain, factor);
  }
  for (auto [poles, four] : {std::pair{0.5f, true}, {0.49f, false}, {1.0f, true}, {-1.0f, false}}) {
    settings.setParameter(kPoleNumber, poles);
    EXPECT_EQ(settings.fourPoles(), four) << poles;
    EXPECT_EQ(settings.loop().fourPoles, four) << poles;
  }
  for (auto [level, mix] : {std::pair{0.0f, 0.0f}, {0.7f, 0.7f}, {-0.3f, -0.3f}, {5e3f, 1e3f}}) {
    settings.setParameter(kAdditionalLp, level);
    EXPECT_EQ(settings.parameter(kAdditionalLp), level);
    EXPECT_EQ(settings.loop().mixGain, mix) << level;
  }
  EXPECT_EQ(settings.parameter(6), 0.0f);
  EXPECT_EQ(settings.parameter(-1), 0.0f);
}

// The host's rate: the coefficients follow it, and at 44100 Hz they are what they always were;
// the low-pass coefficient keeps its value at 44100 Hz; rates that are no rate are ignored.
TEST(FilterSettings, FollowsTheHostSampleRate) {
  FilterSettings settings;
  for (auto [index, value] : {std::pair{kQFactor, 0.7f},
                              {kCutoff, 0.66666f},
                              {kPoleNumber, 1.0f},
                              {kAdditionalLp, 0.5f}}) {
    settings.setParameter(index, value);
  }
  const FilterSettings::Loop at44100 = settings.loop();
  EXPECT_EQ(bitsOf(at44100.first.b0), 0x3DA9C440u);  // the 5000 Hz worked example
  EXPECT_EQ(at44100.lowpassCutoff, 0.25f);

  settings.setSampleRate(96000.0f);
  BiquadSection expected;
  expected.computeCoefficients(5000.0f, 0.7f, 96000.0f, kLowPass);
  for (const BiquadSection* section : {&settings.loop().first, &settings.loop().second}) {
    EXPECT_EQ(section->b0, expected.b0);
    EXPECT_EQ(section->a1, expected.a1);
  }
  EXPECT_EQ(settings.displayedCutoffHz(), 5000.0f);
  EXPECT_EQ(settings.loop().lowpassCutoff, static_cast<float>(0.25 * 44100.0 / 96000.0));
  EXPECT_EQ(settings.loop().sampleRate, 96000.0f);

  for (float invalid : {0.0f, -44100.0f, NAN, INFINITY}) {
    settings.setSampleRate(invalid);
    EXPECT_EQ(settings.loop().first.b0, expected.b0) << invalid;
  }
  settings.setSampleRate(44100.0f);
  EXPECT_EQ(std::memcmp(&at44100, &settings.loop(), sizeof at44100), 0);
}

// Values that no host value reaches stay where the filter is stable: the coefficient frequency
// within 270 Hz (or 1e-4 of the rate) and 0.49 of the rate, Q at most 1, the low-pass
// coefficient within 0 .. 0.99.
TEST(FilterSettings, CoefficientsStayWhereTheFilterIsStable) {
  FilterSettings settings;
  settings.setParameter(kAdditionalLp, 1.0f);
  settings.setParameter(kQFactor, 50.0f);
  settings.setParameter(kCutoff, 1.0f);
  EXPECT_EQ(settings.loop().lowpassCutoff, 0.99f);
  EXPECT_EQ(settings.loop().lowpass.feedback, static_cast<float>(0.99f / (1.0 - 0.99f) + 0.99f));
  BiquadSection atOne;
  atOne.computeCoefficients(fromBits(0x469C40E5), 1.0f, 44100.0f, kLowPass);
  EXPECT_EQ(settings.loop().first.a1, atOne.a1);

  settings.setSampleRate(8000.0f);  // 20000 Hz is above Nyquist: 0.49 of the rate
  BiquadSection nearNyquist;
  nearNyquist.computeCoefficients(3920.0f, 1.0f, 8000.0f, kLowPass);
  EXPECT_EQ(settings.loop().first.a2, nearNyquist.a2);

  settings.setSampleRate(1e8f);  // 270 Hz is below 1e-4 of the rate
  settings.setParameter(kCutoff, -5.0f);
  BiquadSection lowest;
  lowest.computeCoefficients(1e4f, 1.0f, 1e8f, kLowPass);
  EXPECT_EQ(settings.loop().first.a1, lowest.a1);
  EXPECT_GE(settings.loop().lowpassCutoff, 0.0f);
}

}  // namespace
}  // namespace qr47
