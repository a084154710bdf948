#include "resonant_lowpass.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "float_bits.h"

namespace qr47 {
namespace {

// Feedback q / (1 - c) + q without a limit: about -30921 just above c = 1. Expected values from
// the independent transcription in tests/golden/reference_model.py.
TEST(ResonantLowpass, FeedbackBitForBit) {
  ResonantLowpass lowpass;
  lowpass.setFeedback(1.0000224f, 0.693f);
  EXPECT_EQ(lowpass.feedback, -30921.14453125f);
  lowpass.setFeedback(0.5f, static_cast<float>(0.7f * static_cast<double>(0.99f)));
  EXPECT_EQ(bitsOf(lowpass.feedback), 0x40050E56u);
}

// Both stages from silence with that feedback and c = 0.5: stage 2 is the output.
TEST(ResonantLowpass, FirstSamplesBitForBit) {
  ResonantLowpass lowpass;
  lowpass.setFeedback(0.5f, static_cast<float>(0.7f * static_cast<double>(0.99f)));
  ResonantLowpass::State state{};
  const float inputs[] = {1.0f, 0.0f, -0.5f};
  const std::uint32_t outputs[] = {0x3E800000, 0x3EC2872B, 0x3E851B1E};
  const std::uint32_t firstStages[] = {0x3F000000, 0x3F02872B, 0x3E0F5E22};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(bitsOf(lowpass.process(state, inputs[i], 0.5f)), outputs[i]) << i;
    EXPECT_EQ(bitsOf(state.stage1), firstStages[i]) << i;
    EXPECT_EQ(bitsOf(state.stage2), outputs[i]) << i;
  }
}

TEST(ResonantLowpass, ConstantInputSettlesToItself) {
  for (float cutoff : {0.0135f, 0.25f, 0.9f}) {
    for (float q : {0.0099f, 0.5f, 0.98f}) {
      ResonantLowpass lowpass;
      lowpass.setFeedback(cutoff, q);
      ResonantLowpass::State state{};
      float out = 0.0f;
      for (int i = 0; i < 200000; ++i) out = lowpass.process(state, 0.6f, cutoff);
      EXPECT_NEAR(out, 0.6f, 1e-4) << cutoff << " " << q;
    }
  }
}

TEST(ResonantLowpass, SilenceDecaysWithoutSubnormals) {
  ResonantLowpass lowpass;
  lowpass.setFeedback(0.05f, 0.5f);
  ResonantLowpass::State state{};
  for (int i = 0; i < 100; ++i) lowpass.process(state, i % 2 ? 1.0f : -1.0f, 0.05f);
  for (int i = 0; i < 100000; ++i) {
    lowpass.process(state, 0.0f, 0.05f);
    ASSERT_NE(std::fpclassify(state.stage1), FP_SUBNORMAL);
    ASSERT_NE(std::fpclassify(state.stage2), FP_SUBNORMAL);
  }
  EXPECT_LT(std::fabs(state.stage2), 1e-35f);
}

}  // namespace
}  // namespace qr47
