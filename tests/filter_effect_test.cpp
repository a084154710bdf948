#include "filter_effect.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace qr47 {
namespace {

bool sameBits(float a, float b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// A stereo block of noise within [-1, 1] and the buffers to process it into.
struct Block {
  std::vector<float> in0, in1, out0, out1;
  float* inputs[2];
  float* outputs[2];

  Block(int frames, std::mt19937& random, float level = 1.0f)
      : in0(frames), in1(frames), out0(frames), out1(frames) {
    std::uniform_real_distribution<float> noise(-level, level);
    for (int i = 0; i < frames; ++i) {
      in0[i] = noise(random);
      in1[i] = noise(random);
    }
    inputs[0] = in0.data();
    inputs[1] = in1.data();
    outputs[0] = out0.data();
    outputs[1] = out1.data();
  }
  int frames() const { return static_cast<int>(in0.size()); }
  float peak() const {
    float peak = 0.0f;
    for (int i = 0; i < frames(); ++i)
      peak = std::max({peak, std::fabs(out0[i]), std::fabs(out1[i])});
    return peak;
  }
  bool finite() const {
    for (int i = 0; i < frames(); ++i) {
      if (!std::isfinite(out0[i]) || !std::isfinite(out1[i])) return false;
    }
    return true;
  }
};

std::vector<float> parameters(FilterEffect& effect) {
  std::vector<float> values;
  for (int i = 0; i < kParameterCount; ++i) values.push_back(effect.getParameter(i));
  return values;
}

TEST(FilterEffect, StartsOnTheFactoryProgram) {
  FilterEffect effect(nullptr);
  const EffectRecord& record = *effect.getRecord();
  EXPECT_EQ(record.programCount, 16);
  EXPECT_EQ(record.parameterCount, 6);
  EXPECT_EQ(record.inputCount, 2);
  EXPECT_EQ(record.outputCount, 2);
  EXPECT_EQ(record.flags, 24);
  EXPECT_EQ(record.uniqueId, 0x51523437);
  EXPECT_EQ(effect.getProgram(), 0);
  const std::vector<float> factory{1.0f, 0.7f, 0.0f, 0.0f, 0.0f, 0.125f};
  EXPECT_EQ(parameters(effect), factory);
  for (int i = 0; i < kParameterCount; ++i)
    EXPECT_EQ(effect.programRecord(0).values[i], factory[i]);
  EXPECT_NEAR(effect.displayedCutoffHz(), 20000.447f, 0.001f);
  EXPECT_NEAR(effect.normalisedCutoff(), 1.0000224f, 1e-7f);
  EXPECT_EQ(effect.filterTypeIndex(), kLowPass);
  EXPECT_EQ(effect.outputFactor(), 1.0f);
  const BiquadSection& section = effect.firstSection();
  EXPECT_NEAR(section.b0, 0.811887, 1e-6);
  EXPECT_EQ(section.b2, section.b0);
  EXPECT_NEAR(section.b1, 1.62377, 1e-5);
  EXPECT_NEAR(section.a1, 1.58866, 1e-5);
  EXPECT_NEAR(section.a2, 0.658886, 1e-6);
  EXPECT_EQ(section.left.y1, 0.0f);
}

TEST(FilterEffect, CutoffCurve) {
  struct Case {
    float value, hz, normalised;
  };
  const Case cases[] = {
      {0.0f, 270.0027f, 0.0135001f},
      {0.2f, 810.0081f, 0.0405004f},
      {std::nextafter(0.33333f, 0.0f), 1170.0026f, 0.0585001f},
      {0.33333f, 900.0001f, 0.0450000f},
      {0.5f, 2950.0613f, 0.1475031f},
      {0.66666f, 5000.0f, 0.25f},
      {0.75f, 8750.3369f, 0.4375168f},
      {0.9f, 15500.4033f, 0.7750202f},
      {1.0f, 20000.4473f, 1.0000224f},
      {1.5f, 900.0001f, 0.0450000f},
  };
  FilterEffect effect(nullptr);
  for (const Case& c : cases) {
    effect.setParameter(kCutoff, c.value);
    EXPECT_NEAR(effect.displayedCutoffHz(), c.hz, c.hz * 2e-7f) << c.value;
    EXPECT_NEAR(effect.normalisedCutoff(), c.normalised, 2e-7f) << c.value;
    EXPECT_EQ(effect.displayedCutoffHz(),
              static_cast<float>(static_cast<double>(effect.normalisedCutoff()) * 20000.0));
  }
  EXPECT_EQ(FilterEffect::mapCutoff(900.0f, 5000.0f, 20000.0f, 0.66666f), 0.25f);
}

TEST(FilterEffect, ParameterThresholdsAndLimits) {
  FilterEffect effect(nullptr);
  struct TypeCase {
    float value;
    FilterType type;
  };
  const TypeCase types[] = {{0.0f, kLowPass},  {0.2499f, kLowPass}, {0.25f, kHighPass},
                            {0.5f, kBandPass}, {0.75f, kNotch},     {1.0f, kNotch},
                            {1.5f, kNotch},    {-3.0f, kLowPass},   {1.5f, kLowPass}};
  for (const TypeCase& c : types) {
    effect.setParameter(kFilterTypeParameter, c.value);
    EXPECT_EQ(effect.filterTypeIndex(), c.type) << c.value;
    EXPECT_EQ(effect.getParameter(kFilterTypeParameter), c.value);
  }
  for (float q : {0.0f, 0.005f, 0.01f, -1.0f}) {
    effect.setParameter(kQFactor, q);
    EXPECT_EQ(effect.getParameter(kQFactor), 0.01f);
    EXPECT_EQ(effect.programRecord(0).values[kQFactor], q);
  }
  effect.setParameter(kQFactor, 0.0100001f);
  EXPECT_EQ(effect.getParameter(kQFactor), 0.0100001f);
  for (auto [boost, factor] :
       {std::pair{0.0f, 0.0f}, {0.125f, 1.0f}, {1.0f, 8.0f}, {-0.5f, -4.0f}}) {
    effect.setParameter(kBoost, boost);
    EXPECT_EQ(effect.outputFactor(), factor);
  }
  EXPECT_EQ(effect.getParameter(6), 0.0f);
  EXPECT_EQ(effect.getParameter(-1), 0.0f);
}

// Values that are not finite, and indexes outside 0 to 5, change nothing: no field, no record.
TEST(FilterEffect, IgnoredParameterWrites) {
  FilterEffect effect(nullptr);
  effect.setProgram(3);
  const std::vector<float> before = parameters(effect);
  const ProgramRecord record = effect.programRecord(3);
  for (int index = -1; index <= 6; ++index) {
    for (float value : {NAN, INFINITY, -INFINITY}) effect.setParameter(index, value);
  }
  effect.setParameter(6, 0.3f);
  effect.setParameter(-1, 0.3f);
  effect.setParameter(INT32_MIN, 0.3f);
  EXPECT_EQ(parameters(effect), before);
  EXPECT_EQ(std::memcmp(&record, &effect.programRecord(3), sizeof record), 0);
}

TEST(FilterEffect, ProgramWriteBack) {
  FilterEffect effect(nullptr);
  const std::vector<float> factory = parameters(effect);

  effect.setProgram(5);  // untouched: the same values as the factory program
  EXPECT_EQ(parameters(effect), factory);

  effect.setProgram(2);
  effect.setParameter(kCutoff, 0.3f);
  effect.setProgram(3);
  EXPECT_EQ(effect.getParameter(kCutoff), 1.0f);
  effect.setProgram(2);
  EXPECT_EQ(effect.getParameter(kCutoff), 0.3f);

  effect.setProgram(0);
  effect.setParameter(kCutoff, 0.3f);
  EXPECT_EQ(effect.getParameter(kCutoff), 0.3f);
  EXPECT_EQ(effect.programRecord(0).values[kCutoff], 0.3f);
  effect.setProgram(0);  // the factory values come back, even when already current
  EXPECT_EQ(parameters(effect), factory);
  EXPECT_EQ(effect.programRecord(0).values[kCutoff], 1.0f);

  effect.setProgram(4);
  effect.setParameter(kQFactor, 0.005f);
  EXPECT_EQ(effect.getParameter(kQFactor), 0.01f);
  EXPECT_EQ(effect.programRecord(4).values[kQFactor], 0.005f);
  effect.setProgram(1);
  effect.setProgram(4);
  EXPECT_EQ(effect.getParameter(kQFactor), 0.01f);
  EXPECT_EQ(effect.programRecord(4).values[kQFactor], 0.005f);

  // Numbers outside 0 to 15 are ignored wherever they arrive.
  for (std::int32_t outside : {16, -1, 1000, INT32_MIN}) {
    effect.setProgram(outside);
    EXPECT_EQ(effect.getProgram(), 4);
  }
  for (int program = 0; program < kProgramCount; ++program) {
    EXPECT_STREQ(effect.programRecord(program).name, "Init");
  }
}

// Applying a program leaves the same derived state as setting its values by hand.
TEST(FilterEffect, ProgramSelectionAppliesEveryDerivedSetting) {
  const float values[] = {0.7f, 0.4f, 0.6f, 0.8f, 0.5f, 0.3f};
  FilterEffect byProgram(nullptr), byHand(nullptr);
  byProgram.setProgram(6);
  for (int i = 0; i < kParameterCount; ++i) byProgram.setParameter(i, values[i]);
  byProgram.setProgram(0);
  byProgram.setProgram(6);
  for (int i = 0; i < kParameterCount; ++i) byHand.setParameter(i, values[i]);
  EXPECT_EQ(std::memcmp(&byProgram.firstSection(), &byHand.firstSection(), sizeof(BiquadSection)),
            0);
  EXPECT_EQ(byProgram.secondSection().a1, byHand.secondSection().a1);
  EXPECT_EQ(byProgram.additionalLowpass().feedback, byHand.additionalLowpass().feedback);
  EXPECT_EQ(byProgram.outputFactor(), byHand.outputFactor());
}

// What the loops must compute, step by step, on copies of the effect's own filters.
struct ReferenceLoop {
  BiquadSection section1, section2;
  ResonantLowpass lowpass;

  explicit ReferenceLoop(const FilterEffect& effect)
      : section1(effect.firstSection()),
        section2(effect.secondSection()),
        lowpass(effect.additionalLowpass()) {}

  void replace(FilterEffect& effect, const Block& in, std::vector<float>& out0,
               std::vector<float>& out1) {
    for (int i = 0; i < in.frames(); ++i) {
      out0[i] = section1.processLeft(in.in0[i]);
      out1[i] = section1.processRight(in.in1[i]);
      if (effect.getParameter(kPoleNumber) >= 0.5f) {
        out0[i] = section2.processLeft(out0[i]);
        out1[i] = section2.processRight(out1[i]);
      }
      const double mix = effect.getParameter(kAdditionalLp);
      if (mix > 0.0) {
        const float c = effect.lowpassCoefficient();
        out0[i] = static_cast<float>(lowpass.processLeft(in.in0[i], c) * mix + out0[i]);
        out1[i] = static_cast<float>(lowpass.processRight(in.in1[i], c) * mix + out1[i]);
      }
      out0[i] = static_cast<float>(static_cast<double>(out0[i]) * effect.outputFactor());
      out1[i] = static_cast<float>(static_cast<double>(out1[i]) * effect.outputFactor());
    }
  }
};

// Random settings within 0 .. 1 and random block lengths: the replacing loop matches the
// step-by-step arithmetic bit for bit, and the accumulating loop into zeros gives the same values.
TEST(FilterEffect, LoopsMatchTheArithmeticBitForBit) {
  std::mt19937 random(2024);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  std::uniform_int_distribution<int> length(1, 700);
  FilterEffect replacing(nullptr), adding(nullptr);
  for (int block = 0; block < 300; ++block) {
    const int index = block % kParameterCount;
    float value = unit(random);
    if (index == kCutoff) value = std::min(value, 0.98f);  // keeps the low-pass coefficient exact
    if (index == kBoost && value < 0.05f) value = 0.05f;   // a zero factor gives signed zeros
    replacing.setParameter(index, value);
    adding.setParameter(index, value);
    if (block % 97 == 0) {
      replacing.suspend();
      adding.resume();
    }

    Block in(length(random), random);
    std::vector<float> expected0(in.frames()), expected1(in.frames());
    ReferenceLoop(replacing).replace(replacing, in, expected0, expected1);
    replacing.processReplace(in.inputs, in.outputs, in.frames());
    std::vector<float> add0(in.frames(), 0.0f), add1(in.frames(), 0.0f);
    float* addOutputs[] = {add0.data(), add1.data()};
    adding.processAdd(in.inputs, addOutputs, in.frames());
    for (int i = 0; i < in.frames(); ++i) {
      ASSERT_TRUE(sameBits(in.out0[i], expected0[i])) << block << " " << i;
      ASSERT_TRUE(sameBits(in.out1[i], expected1[i])) << block << " " << i;
      ASSERT_TRUE(sameBits(add0[i], in.out0[i])) << block << " " << i;
      ASSERT_TRUE(sameBits(add1[i], in.out1[i])) << block << " " << i;
    }
  }
}

TEST(FilterEffect, AccumulatingLoopAddsToTheOutput) {
  std::mt19937 random(5);
  FilterEffect a(nullptr), b(nullptr);
  Block in(256, random);
  a.processReplace(in.inputs, in.outputs, in.frames());
  std::vector<float> sum0(256, 0.25f), sum1(256, -0.5f);
  float* outputs[] = {sum0.data(), sum1.data()};
  b.processAdd(in.inputs, outputs, in.frames());
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(sum0[i], static_cast<float>(in.out0[i] + 0.25));
    EXPECT_EQ(sum1[i], static_cast<float>(in.out1[i] - 0.5));
  }
}

TEST(FilterEffect, EmptyOrNegativeBlocksTouchNothing) {
  FilterEffect effect(nullptr);
  float sentinel[2] = {7.0f, 7.0f};
  float* channels[] = {sentinel, sentinel + 1};
  for (std::int32_t frames : {0, -1, INT32_MIN}) {
    effect.processReplace(channels, channels, frames);
    effect.processAdd(channels, channels, frames);
  }
  EXPECT_EQ(sentinel[0], 7.0f);
  EXPECT_EQ(sentinel[1], 7.0f);
  EXPECT_EQ(effect.firstSection().left.x1, 0.0f);
}

TEST(FilterEffect, SuspendAndResumeClearTheSectionsButNotTheLowpass) {
  std::mt19937 random(9);
  for (bool useResume : {false, true}) {
    FilterEffect effect(nullptr);
    effect.setParameter(kPoleNumber, 1.0f);
    effect.setParameter(kAdditionalLp, 0.5f);
    Block in(64, random);
    effect.processReplace(in.inputs, in.outputs, in.frames());
    const ResonantLowpass lowpass = effect.additionalLowpass();
    useResume ? effect.resume() : effect.suspend();
    for (const BiquadSection* s : {&effect.firstSection(), &effect.secondSection()}) {
      for (float v : {s->left.x1, s->left.y2, s->right.x2, s->right.y1}) {
        EXPECT_EQ(v, 0.0f);
      }
    }
    EXPECT_EQ(std::memcmp(&lowpass, &effect.additionalLowpass(), sizeof lowpass), 0);
  }
}

// The coefficients follow the host's rate; at 44100 Hz they are what they always were.
TEST(FilterEffect, FollowsTheHostSampleRate) {
  FilterEffect effect(nullptr);
  effect.setParameter(kCutoff, 0.66666f);  // 5000 Hz
  effect.setParameter(kPoleNumber, 1.0f);
  effect.setParameter(kAdditionalLp, 0.5f);
  const BiquadSection at44100 = effect.firstSection();
  const float feedbackAt44100 = effect.additionalLowpass().feedback;

  effect.setSampleRate(96000.0f);
  BiquadSection expected;
  expected.computeCoefficients(5000.0f, 0.7f, 96000.0f, kLowPass);
  EXPECT_EQ(effect.firstSection().b0, expected.b0);
  EXPECT_EQ(effect.firstSection().a1, expected.a1);
  EXPECT_EQ(effect.secondSection().a2, expected.a2);
  EXPECT_EQ(effect.getSampleRate(), 96000.0f);
  EXPECT_EQ(effect.displayedCutoffHz(), 5000.0f);
  EXPECT_NEAR(effect.lowpassCoefficient(), 0.25 * 44100.0 / 96000.0, 1e-7);

  for (float invalid : {0.0f, -44100.0f, NAN, INFINITY}) {
    effect.setSampleRate(invalid);
    EXPECT_EQ(effect.firstSection().b0, expected.b0) << invalid;
  }
  effect.setSampleRate(44100.0f);
  EXPECT_EQ(std::memcmp(&at44100, &effect.firstSection(), sizeof at44100), 0);
  EXPECT_EQ(effect.additionalLowpass().feedback, feedbackAt44100);
  EXPECT_EQ(effect.lowpassCoefficient(), effect.normalisedCutoff());
}

// Every configuration at the extremes of the range, and at low and high host rates, with
// parameters changing between blocks: the output stays finite and within a fixed bound.
TEST(FilterEffect, OutputStaysBoundedForAnySettings) {
  const float extremes[] = {-FLT_MAX, -1e30f, -5.0f, -0.2f, -1e-40f, 0.0f,  0.33333f, 0.5f,
                            0.98f,    0.999f, 1.0f,  1.5f,  7.0f,    1e30f, FLT_MAX};
  std::mt19937 random(11);
  std::uniform_int_distribution<int> pick(0, std::size(extremes) - 1);
  std::uniform_int_distribution<int> parameter(0, kParameterCount - 1);
  for (float rate : {1.0f, 8000.0f, 44100.0f, 96000.0f, 1e8f}) {
    FilterEffect effect(nullptr);
    effect.setSampleRate(rate);
    for (int block = 0; block < 400; ++block) {
      effect.setParameter(parameter(random), extremes[pick(random)]);
      Block in(64, random);
      effect.processReplace(in.inputs, in.outputs, in.frames());
      ASSERT_TRUE(in.finite()) << rate << " " << block;
      ASSERT_LT(in.peak(), 1e9f) << rate << " " << block;
    }
  }
}

// The resonant low-pass mixed in at full level, with Cutoff and Q jumping anywhere in their range
// every block of 64 or more samples: the peak stays near the filter's own resonant peaks.
TEST(FilterEffect, LowpassStaysWellBehavedUnderChanges) {
  std::mt19937 random(29);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  std::uniform_int_distribution<int> length(64, 1024);
  FilterEffect effect(nullptr);
  effect.setParameter(kAdditionalLp, 1.0f);
  float peak = 0.0f;
  for (int block = 0; block < 3000; ++block) {
    effect.setParameter(kCutoff, block % 2 ? 0.95f + 0.05f * unit(random) : unit(random));
    effect.setParameter(kQFactor, unit(random));
    Block in(length(random), random);
    effect.processReplace(in.inputs, in.outputs, in.frames());
    peak = std::max(peak, in.peak());
  }
  EXPECT_LT(peak, 500.0f);
}

// Settings switched every few samples can drive each recursion, stable for either setting alone,
// into growing without bound: the low-pass between a dull, dry setting and a bright, resonant one,
// the sections between random settings at every sample. The output stays bounded.
TEST(FilterEffect, FastSwitchingSettingsCannotRunAway) {
  std::mt19937 random(23);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  FilterEffect lowpass(nullptr), sections(nullptr);
  lowpass.setParameter(kAdditionalLp, 1.0f);
  sections.setParameter(kPoleNumber, 1.0f);
  float peak = 0.0f;
  for (int block = 0; block < 200000; ++block) {
    const bool bright = block % 2 != 0;
    lowpass.setParameter(kCutoff, bright ? 0.9111f : 0.3414f);
    lowpass.setParameter(kQFactor, bright ? 0.909f : 0.0f);
    Block in(3, random);
    lowpass.processReplace(in.inputs, in.outputs, in.frames());
    ASSERT_TRUE(in.finite()) << block;
    peak = std::max(peak, in.peak());

    sections.setParameter(block % 3, unit(random));
    Block one(1, random);
    sections.processReplace(one.inputs, one.outputs, 1);
    ASSERT_TRUE(one.finite()) << block;
    peak = std::max(peak, one.peak());
  }
  EXPECT_LT(peak, 1e8f);
}

// One bad sample spoils at most its own block.
TEST(FilterEffect, NonFiniteInputIsForgottenAfterItsBlock) {
  std::mt19937 random(13);
  for (float poison : {NAN, INFINITY, -INFINITY, FLT_MAX}) {
    FilterEffect effect(nullptr);
    effect.setParameter(kPoleNumber, 1.0f);
    effect.setParameter(kAdditionalLp, 0.7f);
    effect.setParameter(kCutoff, 0.5f);
    Block bad(128, random);
    bad.in0[17] = poison;
    bad.in1[100] = poison;
    effect.processAdd(bad.inputs, bad.outputs, bad.frames());
    Block good(128, random);
    effect.processReplace(good.inputs, good.outputs, good.frames());
    EXPECT_TRUE(good.finite()) << poison;
  }
}

// The same buffer as input and output: the low-pass still hears the dry input.
TEST(FilterEffect, InPlaceProcessingMatchesSeparateBuffers) {
  std::mt19937 random(17);
  FilterEffect separate(nullptr), inPlace(nullptr);
  for (FilterEffect* effect : {&separate, &inPlace}) {
    effect->setParameter(kAdditionalLp, 0.8f);
    effect->setParameter(kCutoff, 0.4f);
    effect->setParameter(kFilterTypeParameter, 0.3f);
  }
  Block in(512, random);
  std::vector<float> left = in.in0, right = in.in1;
  float* shared[] = {left.data(), right.data()};
  separate.processReplace(in.inputs, in.outputs, in.frames());
  inPlace.processReplace(shared, shared, in.frames());
  for (int i = 0; i < in.frames(); ++i) {
    ASSERT_TRUE(sameBits(left[i], in.out0[i])) << i;
    ASSERT_TRUE(sameBits(right[i], in.out1[i])) << i;
  }
}

// After loud signal, silence never turns subnormal: the sections reach exact zeros, the
// resonant low-pass at most a limit cycle some 740 dB down.
TEST(FilterEffect, SilenceAfterSignalHasNoSubnormals) {
  std::mt19937 random(19);
  FilterEffect effect(nullptr);
  effect.setParameter(kCutoff, 0.1f);
  effect.setParameter(kQFactor, 1.0f);
  effect.setParameter(kPoleNumber, 1.0f);
  effect.setParameter(kAdditionalLp, 1.0f);
  Block loud(1024, random);
  effect.processReplace(loud.inputs, loud.outputs, loud.frames());
  Block silence(4096, random, 0.0f);
  for (int block = 0; block < 200; ++block) {
    effect.processReplace(silence.inputs, silence.outputs, silence.frames());
    for (float v : silence.out0) ASSERT_NE(std::fpclassify(v), FP_SUBNORMAL);
  }
  EXPECT_LT(silence.peak(), 1e-35f);
  EXPECT_EQ(effect.secondSection().left.y1, 0.0f);
  EXPECT_EQ(effect.secondSection().right.y2, 0.0f);
}

}  // namespace
}  // namespace qr47
