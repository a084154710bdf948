// The effect driven as real hosts drive it: one thread processing while two others set
// parameters, select and rename programs and read every text. Built with ThreadSanitizer in CI.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "filter_effect.h"

namespace qr47 {
namespace {

constexpr int kFrames = 256;
constexpr int kOperations = 20000;  // per control thread
const float kValues[] = {0.0f, 0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f, 0.9f, 1.0f};
const char* const kNames[] = {"Bass", "Lead", "Pad"};

// One control operation of a host's UI or automation, chosen at random.
void controlStep(FilterEffect& effect, std::mt19937& random) {
  const int choice = static_cast<int>(random() % 10);
  if (choice < 7) {
    effect.setParameter(static_cast<std::int32_t>(random() % kParameterCount),
                        kValues[random() % std::size(kValues)]);
  } else if (choice < 9) {
    effect.setProgram(static_cast<std::int32_t>(random() % kProgramCount));
  } else {
    char name[24];
    std::strcpy(name, kNames[random() % std::size(kNames)]);
    effect.setProgramName(name);
  }
}

struct Noise {
  std::mt19937 random{5};
  std::uniform_real_distribution<float> unit{-1.0f, 1.0f};
  void fill(std::vector<float>& channel) {
    for (float& v : channel) v = unit(random);
  }
};

// The peak of a block, or infinity when a sample is not finite.
float peakOf(const std::vector<float>& a, const std::vector<float>& b) {
  float peak = 0.0f;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (!std::isfinite(a[i]) || !std::isfinite(b[i])) return INFINITY;
    peak = std::max({peak, std::fabs(a[i]), std::fabs(b[i])});
  }
  return peak;
}

struct Audio {
  std::vector<float> in0 = std::vector<float>(kFrames), in1 = in0, out0 = in0, out1 = in0;
  float* inputs[2] = {in0.data(), in1.data()};
  float* outputs[2] = {out0.data(), out1.data()};
  Noise noise;
  float block(FilterEffect& effect) {
    noise.fill(in0);
    noise.fill(in1);
    effect.processReplace(inputs, outputs, kFrames);
    return peakOf(out0, out1);
  }
};

std::string text(FilterEffect& effect, int opcode, std::int32_t index = 0) {
  char buffer[64] = {};
  effect.dispatch(opcode, index, 0, buffer, 0.0f);
  return buffer;
}

TEST(Concurrency, ControlFromTwoThreadsWhileProcessing) {
  // Every text a parameter can show for the values the threads set.
  std::set<std::string> texts[kParameterCount];
  for (std::int32_t index = 0; index < kParameterCount; ++index) {
    FilterEffect scratch(nullptr);
    texts[index].insert(text(scratch, 7, index));
    for (float value : kValues) {
      scratch.setParameter(index, value);
      texts[index].insert(text(scratch, 7, index));
    }
  }

  FilterEffect effect(nullptr);
  std::atomic<int> running{2};
  std::atomic<bool> textsValid{true};
  auto control = [&](unsigned seed) {
    std::mt19937 random(seed);
    for (int i = 0; i < kOperations; ++i) {
      controlStep(effect, random);
      const auto index = static_cast<std::int32_t>(random() % kParameterCount);
      if (texts[index].count(text(effect, 7, index)) == 0) textsValid = false;
      if (text(effect, 5).empty()) textsValid = false;
    }
    --running;
  };
  std::thread ui(control, 2), automation(control, 3);
  Audio audio;
  float concurrentPeak = 0.0f;
  int blocks = 0;
  while (running > 0 || blocks < 100) {
    concurrentPeak = std::max(concurrentPeak, audio.block(effect));
    ++blocks;
  }
  ui.join();
  automation.join();

  // Settings switched every block may ring up to tens of thousands of times the input before the
  // runaway guard clears the state, between blocks as much as here, so no level bounds the output
  // but a finite one. Whether each block gets whole, newest settings is the hand-over's own test.
  EXPECT_TRUE(std::isfinite(concurrentPeak));
  EXPECT_TRUE(textsValid);
  // Every record holds values that were set, and a name that was given or the default.
  for (std::int32_t program = 0; program < kProgramCount; ++program) {
    effect.setProgram(program);
    for (std::int32_t index = 0; index < kParameterCount; ++index) {
      const float value = effect.getParameter(index);
      const bool wasSet =
          std::find(std::begin(kValues), std::end(kValues), value) != std::end(kValues) ||
          value == 0.125f || value == 0.7f || value == 0.01f;
      EXPECT_TRUE(wasSet) << program << " " << index << " " << value;
    }
    const std::string name = text(effect, 5);
    EXPECT_TRUE(program == 0 ? name == "--- Default ---"
                             : name == "Init " + std::to_string(program) || name == kNames[0] ||
                                   name == kNames[1] || name == kNames[2])
        << name;
  }
}

}  // namespace
}  // namespace qr47
