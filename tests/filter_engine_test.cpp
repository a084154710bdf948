#include "filter_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// A stereo block of noise within [-level, level] and the buffers to process it into. A copy has
// buffers of its own.
struct Block {
  std::vector<float> in0, in1, out0, out1;
  float* inputs[2] = {in0.data(), in1.data()};
  float* outputs[2] = {out0.data(), out1.data()};

  Block(int frames, std::mt19937& random, float level = 1.0f)
      : in0(frames), in1(frames), out0(frames), out1(frames) {
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    for (int i = 0; i < frames; ++i) {
      in0[i] = noise(random) * level;
      in1[i] = noise(random) * level;
    }
  }
  Block(const Block& o) : in0(o.in0), in1(o.in1), out0(o.out0), out1(o.out1) {}
  int frames() const { return static_cast<int>(in0.size()); }
  float peak() const {
    float peak = 0.0f;
    for (int i = 0; i < frames(); ++i) {
      if (!std::isfinite(out0[i]) || !std::isfinite(out1[i])) return INFINITY;
      peak = std::max({peak, std::fabs(out0[i]), std::fabs(out1[i])});
    }
    return peak;
  }
};

std::vector<float> parameters(const FilterEngine& engine) {
  std::vector<float> values;
  for (int i = 0; i < kParameterCount; ++i) values.push_back(engine.getParameter(i));
  return values;
}

const std::vector<float> kFactory{1.0f, 0.7f, 0.0f, 0.0f, 0.0f, 0.125f};

TEST(FilterEngine, StartsOnTheFactoryProgram) {
  const FilterEngine engine;
  EXPECT_EQ(engine.getProgram(), 0);
  EXPECT_EQ(parameters(engine), kFactory);
  for (int program : {0, 1, 15}) {
    const ProgramRecord record = engine.programRecord(program);
    EXPECT_EQ(std::vector<float>(record.values.begin(), record.values.end()), kFactory);
    EXPECT_STREQ(record.name, "Init");
  }
}

// Values that are not finite, and indexes outside 0 to 5, change nothing: no value, no record.
TEST(FilterEngine, IgnoredParameterWrites) {
  FilterEngine engine;
  engine.setProgram(3);
  const std::vector<float> before = parameters(engine);
  for (int index = -1; index <= 6; ++index) {
    for (float value : {NAN, INFINITY, -INFINITY}) engine.setParameter(index, value);
  }
  for (int index : {6, -1, INT32_MIN}) engine.setParameter(index, 0.3f);
  EXPECT_EQ(parameters(engine), before);
  const ProgramRecord record = engine.programRecord(3);
  EXPECT_EQ(std::vector<float>(record.values.begin(), record.values.end()), before);
}

TEST(FilterEngine, ProgramWriteBack) {
  FilterEngine engine;
  engine.setProgram(5);  // untouched: the same values as the factory program
  EXPECT_EQ(parameters(engine), kFactory);

  engine.setProgram(2);
  engine.setParameter(kCutoff, 0.3f);
  engine.setProgram(3);
  EXPECT_EQ(engine.getParameter(kCutoff), 1.0f);
  engine.setProgram(2);
  EXPECT_EQ(engine.getParameter(kCutoff), 0.3f);

  // Every parameter changed in program 0, then the factory program selected again, even while
  // current: every factory value comes back, into the record too.
  engine.setProgram(0);
  const float changed[] = {0.3f, 0.2f, 0.9f, 1.0f, 0.6f, 0.9f};
  for (int index = kParameterCount - 1; index >= 0; --index) {
    engine.setParameter(index, changed[index]);
    EXPECT_EQ(engine.programRecord(0).values[index], changed[index]);
  }
  engine.setProgram(0);
  EXPECT_EQ(parameters(engine), kFactory);
  const ProgramRecord factory = engine.programRecord(0);
  EXPECT_EQ(std::vector<float>(factory.values.begin(), factory.values.end()), kFactory);

  engine.setProgram(4);
  engine.setParameter(kQFactor, 0.005f);
  engine.setProgram(1);
  engine.setProgram(4);
  EXPECT_EQ(engine.getParameter(kQFactor), 0.01f);
  EXPECT_EQ(engine.programRecord(4).values[kQFactor], 0.005f);

  for (std::int32_t outside : {16, -1, 1000, INT32_MIN}) {
    engine.setProgram(outside);
    EXPECT_EQ(engine.getProgram(), 4);
  }
}

// Each setting changed alone, in an order unlike the one a program applies, sounds exactly like
// the same settings applied by selecting a program that holds them.
TEST(FilterEngine, ProgramSelectionSoundsLikeTheSameSettingsSetByHand) {
  const float values[] = {0.7f, 0.4f, 0.6f, 0.8f, 0.5f, 0.3f};
  FilterEngine byProgram, byHand;
  byProgram.setProgram(6);
  for (int i = 0; i < kParameterCount; ++i) byProgram.setParameter(i, values[i]);
  byProgram.setProgram(0);
  byProgram.setProgram(6);
  for (int i : {5, 3, 2, 4, 1, 0}) byHand.setParameter(i, values[i]);
  std::mt19937 random(6);
  Block a(300, random), b = a;
  byProgram.processReplace(a.inputs, a.outputs, a.frames());
  byHand.processReplace(b.inputs, b.outputs, b.frames());
  EXPECT_EQ(a.out0, b.out0);
  EXPECT_EQ(a.out1, b.out1);
  EXPECT_GT(a.peak(), 0.01f);
}

TEST(FilterEngine, EmptyBlocksTouchNothing) {
  FilterEngine engine;
  float sentinel[2] = {7.0f, 7.0f};
  float* channels[] = {sentinel, sentinel + 1};
  for (std::int32_t frames : {0, -1, INT32_MIN}) {
    engine.processReplace(nullptr, nullptr, frames);
    engine.processAdd(nullptr, nullptr, frames);
    engine.processReplace(channels, channels, frames);
    engine.processAdd(channels, channels, frames);
  }
  EXPECT_EQ(sentinel[0], 7.0f);
  EXPECT_EQ(sentinel[1], 7.0f);
}

// After clearing, the sections start from silence: the output equals a fresh engine's. The
// low-pass keeps its state, so with Additional LP the output differs.
TEST(FilterEngine, ClearingResetsTheSectionsButNotTheLowpass) {
  for (float lp : {0.0f, 0.5f}) {
    FilterEngine used, fresh;
    for (FilterEngine* engine : {&used, &fresh}) {
      engine->setParameter(kPoleNumber, 1.0f);
      engine->setParameter(kCutoff, 0.4f);
      engine->setParameter(kAdditionalLp, lp);
    }
    std::mt19937 random(9);
    Block first(64, random);
    used.processReplace(first.inputs, first.outputs, first.frames());
    used.clearSections();
    Block after(64, random), reference = after;
    used.processReplace(after.inputs, after.outputs, after.frames());
    fresh.processReplace(after.inputs, reference.outputs, after.frames());
    EXPECT_EQ(after.out0 == reference.out0, lp == 0.0f) << lp;
  }
}

// The same buffer as input and output: the low-pass still hears the dry input.
TEST(FilterEngine, InPlaceProcessingMatchesSeparateBuffers) {
  std::mt19937 random(17);
  FilterEngine separate, inPlace;
  for (FilterEngine* engine : {&separate, &inPlace}) {
    engine->setParameter(kAdditionalLp, 0.8f);
    engine->setParameter(kCutoff, 0.4f);
    engine->setParameter(kFilterTypeParameter, 0.3f);
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

// One bad sample spoils at most its own block.
TEST(FilterEngine, NonFiniteInputIsForgottenAfterItsBlock) {
  std::mt19937 random(13);
  for (float poison : {NAN, INFINITY, -INFINITY}) {
    FilterEngine engine;
    engine.setParameter(kPoleNumber, 1.0f);
    engine.setParameter(kAdditionalLp, 0.7f);
    engine.setParameter(kCutoff, 0.5f);
    Block bad(128, random);
    bad.in0[17] = poison;
    bad.in1[100] = poison;
    engine.processAdd(bad.inputs, bad.outputs, bad.frames());
    Block good(128, random);
    engine.processReplace(good.inputs, good.outputs, good.frames());
    EXPECT_LT(good.peak(), 100.0f) << poison;
  }
}

// A bad sample in one channel, NaN, infinite or far beyond the rest, clears that channel's state
// only: over sessions of changing settings the other channel is bit for bit what it is without
// it. Among them, a sine starting after silence in one channel beside a NaN in the other.
TEST(FilterEngine, ABadSampleInOneChannelLeavesTheOtherAlone) {
  const float poisons[] = {NAN, INFINITY, -INFINITY, 3e38f};
  std::mt19937 random(37);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  for (int channel : {0, 1}) {
    for (int session = 0; session < 8; ++session) {
      FilterEngine clean, poisoned;
      for (int block = 0; block < 300; ++block) {
        const std::int32_t index = static_cast<std::int32_t>(random() % kParameterCount);
        const float value = unit(random);
        clean.setParameter(index, value);
        poisoned.setParameter(index, value);
        // Silence, then a sine in the other channel alone, now and then.
        Block in(1 + static_cast<int>(random() % 256), random, block % 50 < 5 ? 0.0f : 1.0f);
        if (block % 50 == 5) {
          for (int i = 0; i < in.frames(); ++i) {
            (channel == 0 ? in.in1 : in.in0)[i] = std::sin(0.05f * static_cast<float>(i));
          }
        }
        Block bad = in;
        if (block % 7 == 5) {
          (channel == 0 ? bad.in0 : bad.in1)[random() % in.frames()] = poisons[block % 4];
        }
        clean.processReplace(in.inputs, in.outputs, in.frames());
        poisoned.processReplace(bad.inputs, bad.outputs, bad.frames());
        const std::vector<float>& other = channel == 0 ? in.out1 : in.out0;
        const std::vector<float>& otherBad = channel == 0 ? bad.out1 : bad.out0;
        ASSERT_EQ(0, std::memcmp(other.data(), otherBad.data(), other.size() * sizeof(float)))
            << "channel " << channel << ", session " << session << ", block " << block;
      }
    }
  }
}

// Every configuration at the extremes of the range, and at low and high host rates, with
// parameters changing between blocks: the output stays finite and within a fixed bound.
TEST(FilterEngine, OutputStaysBoundedForAnySettings) {
  const float extremes[] = {-FLT_MAX, -1e30f, -5.0f, -0.2f, -1e-40f, 0.0f,  0.33333f, 0.5f,
                            0.98f,    0.999f, 1.0f,  1.5f,  7.0f,    1e30f, FLT_MAX};
  std::mt19937 random(11);
  std::uniform_int_distribution<int> pick(0, std::size(extremes) - 1);
  std::uniform_int_distribution<int> parameter(0, kParameterCount - 1);
  for (float rate : {1.0f, 8000.0f, 44100.0f, 96000.0f, 1e8f}) {
    FilterEngine engine;
    engine.setSampleRate(rate);
    for (int block = 0; block < 400; ++block) {
      engine.setParameter(parameter(random), extremes[pick(random)]);
      Block in(64, random);
      engine.processReplace(in.inputs, in.outputs, in.frames());
      ASSERT_LT(in.peak(), 1e9f) << rate << " " << block;
    }
  }
}

// The resonant low-pass mixed in at full level, with Cutoff and Q jumping anywhere in their range
// every block of 64 or more samples: the peak stays near the filter's own resonant peaks.
TEST(FilterEngine, LowpassStaysWellBehavedUnderChanges) {
  std::mt19937 random(29);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  std::uniform_int_distribution<int> length(64, 1024);
  FilterEngine engine;
  engine.setParameter(kAdditionalLp, 1.0f);
  float peak = 0.0f;
  for (int block = 0; block < 3000; ++block) {
    engine.setParameter(kCutoff, block % 2 ? 0.95f + 0.05f * unit(random) : unit(random));
    engine.setParameter(kQFactor, unit(random));
    Block in(length(random), random);
    engine.processReplace(in.inputs, in.outputs, in.frames());
    peak = std::max(peak, in.peak());
  }
  EXPECT_LT(peak, 500.0f);
}

// Settings switched every few samples can drive each recursion, stable for either setting alone,
// into growing without bound: the low-pass between a dull, dry setting and a bright, resonant one,
// the sections between random settings at every sample. The output stays bounded, relative to
// the input's level, at full scale and far beyond it.
TEST(FilterEngine, FastSwitchingSettingsCannotRunAway) {
  for (float level : {1.0f, 1e6f}) {
    std::mt19937 random(23);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    FilterEngine lowpass, sections;
    lowpass.setParameter(kAdditionalLp, 1.0f);
    sections.setParameter(kPoleNumber, 1.0f);
    float peak = 0.0f;
    for (int block = 0; block < 100000; ++block) {
      const bool bright = block % 2 != 0;
      lowpass.setParameter(kCutoff, bright ? 0.9111f : 0.3414f);
      lowpass.setParameter(kQFactor, bright ? 0.909f : 0.0f);
      Block in(3, random, level);
      lowpass.processReplace(in.inputs, in.outputs, in.frames());
      peak = std::max(peak, in.peak());

      sections.setParameter(block % 3, unit(random));
      Block one(1, random, level);
      sections.processReplace(one.inputs, one.outputs, 1);
      peak = std::max(peak, one.peak());
    }
    EXPECT_LT(peak, 1e8f * level) << level;
  }
}

// A linear filter scales: input times 2^k gives output times 2^k bit for bit, with settings
// changing every block, resonance high and the low-pass mixed in, as long as nothing overflows.
TEST(FilterEngine, OutputScalesWithTheInputExactly) {
  for (float scale : {1024.0f, 1.0f / 1024.0f, 1099511627776.0f}) {  // 2^10, 2^-10, 2^40
    FilterEngine plain, scaled;
    std::mt19937 random(31);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (int block = 0; block < 2000; ++block) {
      const int index = block % kParameterCount;
      const float value = index == kQFactor ? 0.9f + 0.1f * unit(random) : unit(random);
      plain.setParameter(index, value);
      scaled.setParameter(index, value);
      Block in(1 + block % 97, random, 4.0f);
      Block big = in;
      for (int i = 0; i < in.frames(); ++i) big.in0[i] *= scale, big.in1[i] *= scale;
      plain.processReplace(in.inputs, in.outputs, in.frames());
      scaled.processReplace(big.inputs, big.outputs, big.frames());
      for (int i = 0; i < in.frames(); ++i) {
        ASSERT_TRUE(sameBits(in.out0[i] * scale, big.out0[i])) << scale << " " << block << " " << i;
        ASSERT_TRUE(sameBits(in.out1[i] * scale, big.out1[i])) << scale << " " << block << " " << i;
      }
    }
  }
}

// After loud signal, silence never turns subnormal and decays to (nearly) nothing.
TEST(FilterEngine, SilenceAfterSignalHasNoSubnormals) {
  std::mt19937 random(19);
  FilterEngine engine;
  engine.setParameter(kCutoff, 0.1f);
  engine.setParameter(kQFactor, 1.0f);
  engine.setParameter(kPoleNumber, 1.0f);
  engine.setParameter(kAdditionalLp, 1.0f);
  Block loud(1024, random);
  engine.processReplace(loud.inputs, loud.outputs, loud.frames());
  Block silence(4096, random, 0.0f);
  for (int block = 0; block < 200; ++block) {
    engine.processReplace(silence.inputs, silence.outputs, silence.frames());
    for (float v : silence.out0) ASSERT_NE(std::fpclassify(v), FP_SUBNORMAL);
  }
  EXPECT_LT(silence.peak(), 1e-35f);
}

}  // namespace
}  // namespace qr47
