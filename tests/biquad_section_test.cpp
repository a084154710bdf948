#include "biquad_section.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

namespace qr47 {
namespace {

BiquadSection sectionFor(float hz, float q, FilterType type) {
  BiquadSection section;
  section.computeCoefficients(hz, q, 44100.0f, type);
  section.reset();
  return section;
}

TEST(BiquadSection, WorkedExampleCoefficients) {
  const BiquadSection lowPass = sectionFor(5000.0f, 0.7f, kLowPass);
  EXPECT_NEAR(lowPass.b0, 0.0828938, 1e-6);
  EXPECT_NEAR(lowPass.b1, 0.165788, 1e-6);
  EXPECT_EQ(lowPass.b2, lowPass.b0);
  EXPECT_NEAR(lowPass.a1, -1.03186, 1e-5);
  EXPECT_NEAR(lowPass.a2, 0.363435, 1e-6);

  const BiquadSection highPass = sectionFor(5000.0f, 0.7f, kHighPass);
  EXPECT_NEAR(highPass.b0, 0.598824, 1e-6);
  EXPECT_EQ(highPass.b2, highPass.b0);
  EXPECT_NEAR(highPass.b1, -1.19765, 1e-5);
  EXPECT_EQ(highPass.a1, lowPass.a1);
  EXPECT_EQ(highPass.a2, lowPass.a2);
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

TEST(BiquadSection, FirstSamplesFollowTheRecursion) {
  BiquadSection section = sectionFor(5000.0f, 0.7f, kLowPass);
  const float x = 0.8f;
  const float y0 = section.processLeft(x);
  EXPECT_EQ(y0, static_cast<float>(static_cast<double>(section.b0) * x));
  const float y1 = section.processLeft(0.0f);
  EXPECT_EQ(y1, static_cast<float>(static_cast<double>(section.b1) * x -
                                   static_cast<double>(section.a1) * y0));
  EXPECT_EQ(section.left.x1, 0.0f);
  EXPECT_EQ(section.left.x2, x);
  EXPECT_EQ(section.left.y1, y1);
  EXPECT_EQ(section.left.y2, y0);
}

TEST(BiquadSection, TinyResultsFlushToPositiveZeroButInputsAreKept) {
  BiquadSection section;
  section.reset();
  section.b0 = 0.5f;
  const float subnormal = 1e-40f;
  ASSERT_EQ(std::fpclassify(subnormal), FP_SUBNORMAL);
  for (float x : {subnormal, -subnormal, -0.0f, 2e-38f, -2e-38f}) {
    const float y = section.processRight(x);
    EXPECT_EQ(y, 0.0f) << x;
    EXPECT_FALSE(std::signbit(y)) << x;
    EXPECT_FALSE(std::signbit(section.right.y1)) << x;
    const auto kept = static_cast<float>(section.right.x1);
    EXPECT_EQ(std::memcmp(&kept, &x, sizeof x), 0) << x;
  }
  EXPECT_EQ(section.processRight(1e-37f), 5e-38f);  // the smallest normal results stay
}

TEST(BiquadSection, ChannelsAndCoefficientChangesLeaveHistoryAlone) {
  BiquadSection section = sectionFor(1000.0f, 0.7f, kBandPass);
  section.processLeft(0.5f);
  section.processLeft(-0.25f);
  const BiquadSection::History left = section.left;
  section.processRight(1.0f);
  EXPECT_EQ(std::memcmp(&left, &section.left, sizeof left), 0);
  EXPECT_EQ(section.left.x1, -0.25f);
  section.computeCoefficients(8000.0f, 0.3f, 44100.0f, kNotch);
  EXPECT_EQ(std::memcmp(&left, &section.left, sizeof left), 0);
  section.reset();
  for (float value : {section.left.x1, section.left.y2, section.right.x2}) {
    EXPECT_EQ(value, 0.0f);
  }
}

// Every type at a resonant setting: after loud noise, silence reaches exact zeros and stays.
TEST(BiquadSection, SilenceDecaysToExactZeros) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
  for (FilterType type : {kLowPass, kHighPass, kBandPass, kNotch}) {
    BiquadSection section = sectionFor(300.0f, 1.0f, type);
    for (int i = 0; i < 1000; ++i) section.processLeft(noise(random));
    int silentFrom = -1;
    for (int i = 0; i < 200000; ++i) {
      const float y = section.processLeft(0.0f);
      if (y != 0.0f) silentFrom = -1;
      if (y == 0.0f && silentFrom < 0) silentFrom = i;
      ASSERT_NE(std::fpclassify(y), FP_SUBNORMAL);
    }
    EXPECT_GE(silentFrom, 0) << type;
    EXPECT_EQ(section.left.y1, 0.0f);
    EXPECT_EQ(section.left.y2, 0.0f);
  }
}

TEST(BiquadSection, ClearRunawayResetsOnlyThePoisonedChannel) {
  BiquadSection section = sectionFor(1000.0f, 0.7f, kLowPass);
  section.processLeft(NAN);
  section.processRight(0.5f);
  const BiquadSection::History right = section.right;
  section.clearRunaway();
  EXPECT_EQ(section.left.x1, 0.0f);
  EXPECT_EQ(section.left.y1, 0.0f);
  EXPECT_EQ(std::memcmp(&right, &section.right, sizeof right), 0);
  // A finite output far beyond anything full-scale input produces has run away too.
  section.right.y2 = 2e4f;
  section.left.y1 = 9e3f;
  section.clearRunaway();
  EXPECT_EQ(section.right.y2, 0.0f);
  EXPECT_EQ(section.left.y1, 9e3f);
}

}  // namespace
}  // namespace qr47
