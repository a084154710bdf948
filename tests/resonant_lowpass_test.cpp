#include "resonant_lowpass.h"

#include <gtest/gtest.h>

#include <cmath>

namespace qr47 {
namespace {

TEST(ResonantLowpass, FeedbackFormulaHasNoLimit) {
  ResonantLowpass lowpass;
  lowpass.setFeedback(0.25f, 0.693f);
  EXPECT_EQ(lowpass.feedback, static_cast<float>(0.693f / (1.0 - 0.25f) + 0.693f));
  lowpass.setFeedback(1.0000224f, 0.693f);
  EXPECT_NEAR(lowpass.feedback, -30921.0f, 30.0f);
}

TEST(ResonantLowpass, ConstantInputSettlesToItself) {
  for (float cutoff : {0.0135f, 0.1475f, 0.5f, 0.9f}) {
    for (float q : {0.0099f, 0.5f, 0.99f * 0.7f}) {
      ResonantLowpass lowpass;
      lowpass.setFeedback(cutoff, q);
      float left = 0.0f, right = 0.0f;
      for (int i = 0; i < 200000; ++i) {
        left = lowpass.processLeft(0.6f, cutoff);
        right = lowpass.processRight(-0.3f, cutoff);
      }
      EXPECT_NEAR(left, 0.6f, 1e-5) << cutoff << " " << q;
      EXPECT_NEAR(right, -0.3f, 1e-5) << cutoff << " " << q;
    }
  }
}

TEST(ResonantLowpass, FirstSampleOfEachStage) {
  ResonantLowpass lowpass;
  lowpass.setFeedback(0.5f, 0.5f);
  const float out = lowpass.processLeft(1.0f, 0.5f);
  EXPECT_EQ(lowpass.left.stage1, 0.5f);  // (0 * feedback + 1) * 0.5 + 0
  EXPECT_EQ(out, 0.25f);
  EXPECT_EQ(lowpass.right.stage1, 0.0f);
  EXPECT_EQ(lowpass.right.stage2, 0.0f);
}

// Each stage is flushed as it is formed, so a decaying tail never turns subnormal. With
// resonance the flush can leave a limit cycle just above the smallest normal float, some 740 dB
// down, which costs nothing.
TEST(ResonantLowpass, SilenceDecaysWithoutSubnormals) {
  ResonantLowpass lowpass;
  lowpass.setFeedback(0.05f, 0.9f);
  for (int i = 0; i < 100; ++i) lowpass.processLeft(i % 2 ? 1.0f : -1.0f, 0.05f);
  for (int i = 0; i < 400000; ++i) {
    lowpass.processLeft(0.0f, 0.05f);
    ASSERT_NE(std::fpclassify(lowpass.left.stage1), FP_SUBNORMAL);
    ASSERT_NE(std::fpclassify(lowpass.left.stage2), FP_SUBNORMAL);
  }
  EXPECT_LT(std::fabs(lowpass.left.stage1), 1e-35f);
  EXPECT_LT(std::fabs(lowpass.left.stage2), 1e-35f);
}

TEST(ResonantLowpass, ClearRunawayResetsOnlyThePoisonedChannel) {
  ResonantLowpass lowpass;
  lowpass.setFeedback(0.5f, 0.5f);
  lowpass.processLeft(INFINITY, 0.5f);
  lowpass.processRight(1.0f, 0.5f);
  lowpass.clearRunaway();
  EXPECT_EQ(lowpass.left.stage1, 0.0f);
  EXPECT_EQ(lowpass.left.stage2, 0.0f);
  EXPECT_EQ(lowpass.right.stage2, 0.25f);
}

}  // namespace
}  // namespace qr47
