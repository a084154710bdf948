#include "biquad_section.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>

#include "float_bits.h"

namespace qr47 {
namespace {

// Expected values are literal bit patterns from an independent transcription of the arithmetic
// (tests/golden/reference_model.py), not from this code.

BiquadSection sectionFor(float hz, float q, FilterType type) {
  BiquadSection section;
  section.computeCoefficients(hz, q, 44100.0f, type);
  return section;
}

// The worked example (5000 Hz, Q 0.7, 44100 Hz) for each type, and the factory program's
// section (20000.447 Hz), as stored: b0, b1, b2, a1, a2.
TEST(BiquadSection, CoefficientsBitForBit) {
  struct Case {
    float hz;
    FilterType type;
    std::uint32_t bits[5];
  };
  const Case cases[] = {
      {5000.0f, kLowPass, {0x3DA9C440, 0x3E29C440, 0x3DA9C440, 0xBF8413FB, 0x3EBA142D}},
      {5000.0f, kHighPass, {0x3F194C83, 0xBF994C83, 0x3F194C83, 0xBF8413FB, 0x3EBA142D}},
      {5000.0f, kBandPass, {0x3EA2F5E9, 0x00000000, 0xBEA2F5E9, 0xBF8413FB, 0x3EBA142D}},
      {5000.0f, kNotch, {0x3F2E850B, 0xBF8413FB, 0x3F2E850B, 0xBF8413FB, 0x3EBA142D}},
      {fromBits(0x469C40E5),
       kLowPass,
       {0x3F4FD7CE, 0x3FCFD7CE, 0x3F4FD7CE, 0x3FCB5938, 0x3F28ACC8}},
  };
  for (const Case& c : cases) {
    const BiquadSection s = sectionFor(c.hz, 0.7f, c.type);
    const double stored[] = {s.b0, s.b1, s.b2, s.a1, s.a2};
    for (int i = 0; i < 5; ++i) {
      EXPECT_EQ(bitsOf(stored[i]), c.bits[i]) << c.hz << " type " << c.type << " coefficient " << i;
      EXPECT_EQ(stored[i], fromBits(c.bits[i]));  // held exactly, not merely rounding to it
    }
  }
}

// The shape of each type, for a spread of settings: unity gain where each passes, the band
// pass's zeros at 0 Hz and Nyquist, the notch's numerator sharing the denominator's a1.
TEST(BiquadSection, ResponseShapeOfEachType) {
  for (float hz : {30.0f, 270.0f, 1000.0f, 5000.0f, 15000.0f, 20000.447f}) {
    for (float q : {0.01f, 0.2f, 0.7f, 1.0f}) {
      const BiquadSection lp = sectionFor(hz, q, kLowPass);
      EXPECT_NEAR(lp.b0 + lp.b1 + lp.b2, 1.0f + lp.a1 + lp.a2, 1e-6) << hz << " " << q;
      const BiquadSection hp = sectionFor(hz, q, kHighPass);
      EXPECT_NEAR(hp.b0 - hp.b1 + hp.b2, 1.0f - hp.a1 + hp.a2, 1e-5) << hz << " " << q;
      const BiquadSection bp = sectionFor(hz, q, kBandPass);
      EXPECT_EQ(bp.b1, 0.0f);
      EXPECT_EQ(bp.b2, -bp.b0);
      const BiquadSection notch = sectionFor(hz, q, kNotch);
      EXPECT_EQ(notch.b0, notch.b2);
      EXPECT_EQ(notch.b1, notch.a1);
      EXPECT_EQ(notch.a1, lp.a1);
    }
  }
}

// The recursion's first outputs for the worked low pass, from silence, and the history it keeps.
TEST(BiquadSection, FirstSamplesBitForBit) {
  const BiquadSection section = sectionFor(5000.0f, 0.7f, kLowPass);
  BiquadSection::History history{};
  const float inputs[] = {1.0f, 0.0f, -0.5f, 0.25f};
  const std::uint32_t expected[] = {0x3DA9C440, 0x3E80AD59, 0x3E8A92A3, 0x3E00C804};
  float previous = 0.0f;
  for (int i = 0; i < 4; ++i) {
    const float y = section.process(history, inputs[i]);
    EXPECT_EQ(bitsOf(y), expected[i]) << i;
    EXPECT_EQ(history.x1, inputs[i]);
    EXPECT_EQ(history.x2, i > 0 ? inputs[i - 1] : 0.0f);
    EXPECT_EQ(history.y1, y);
    EXPECT_EQ(history.y2, previous);
    previous = y;
  }
}

// Results below the smallest normal float, and negative zero, become +0.0 in the output and its
// history; the input history keeps what came in, subnormal or not.
TEST(BiquadSection, TinyResultsFlushToPositiveZeroButInputsAreKept) {
  const BiquadSection section = sectionFor(5000.0f, 0.7f, kLowPass);
  for (float x : {1e-38f, -1e-38f, 1e-44f, -0.0f, 1.4e-37f}) {
    BiquadSection::History history{};
    const float y = section.process(history, x);
    const bool tiny = std::fabs(static_cast<double>(x) * section.b0) < 1.1754944e-38;
    if (tiny) {
      EXPECT_EQ(bitsOf(y), 0u) << x;
      EXPECT_EQ(bitsOf(history.y1), 0u) << x;
    } else {
      EXPECT_NE(y, 0.0f) << x;
    }
    EXPECT_EQ(bitsOf(history.x1), bitsOf(x)) << x;
  }
}

TEST(BiquadSection, SilenceDecaysToExactZeros) {
  std::mt19937 random(3);
  std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
  for (FilterType type : {kLowPass, kHighPass, kBandPass, kNotch}) {
    const BiquadSection section = sectionFor(300.0f, 1.0f, type);
    BiquadSection::History history{};
    for (int i = 0; i < 1000; ++i) section.process(history, noise(random));
    for (int i = 0; i < 200000; ++i) {
      ASSERT_NE(std::fpclassify(section.process(history, 0.0f)), FP_SUBNORMAL) << type;
    }
    EXPECT_EQ(bitsOf(history.y1), 0u);
    EXPECT_EQ(bitsOf(history.y2), 0u);
  }
}

}  // namespace
}  // namespace qr47
