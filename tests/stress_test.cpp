// Validator-style stress: many live instances of the built module, created and closed in turn,
// every host operation called in random order between processing calls.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "module_loader.h"

namespace qr47 {
namespace {

TEST(Stress, ManyInstancesAndEveryOperationInRandomOrder) {
  void* module = dlopen(QR47_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(module, nullptr) << dlerror();
  auto entry = reinterpret_cast<ModuleMain>(dlsym(module, "main"));
  ASSERT_NE(entry, nullptr);

  const float values[] = {0.0f,  0.25f, 0.5f,  0.75f,    1.0f, 0.33333f, 0.66666f,
                          -1.0f, 2.0f,  1e30f, -FLT_MAX, NAN,  INFINITY, 1e-40f};
  const float rates[] = {8000.0f, 22050.0f, 44100.0f, 48000.0f, 96000.0f, 0.0f, -1.0f, NAN};
  std::mt19937 random(99);
  auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
  std::uniform_real_distribution<float> audio(-1.0f, 1.0f);

  std::vector<EffectRecord*> live;
  for (int i = 0; i < 64; ++i) live.push_back(entry(answerHostVersion));
  std::vector<float> in0(2048), in1(2048), out0(2048), out1(2048);
  float* inputs[] = {in0.data(), in1.data()};
  float* outputs[] = {out0.data(), out1.data()};
  char text[64];
  char name[] = "A program name longer than any record can hold";

  for (int step = 0; step < 50000; ++step) {
    EffectRecord*& r = live[pick(static_cast<int>(live.size()))];
    switch (pick(10)) {
      case 0:
        r->setParameterEntry(r, pick(8) - 1, values[pick(std::size(values))]);
        break;
      case 1:
        r->getParameterEntry(r, pick(8) - 1);
        break;
      case 2:
        dispatch(r, opcode::kSelectProgram, 0, pick(20) - 2);
        break;
      case 3:
        dispatch(r, opcode::kRenameProgram, 0, 0, pick(2) ? name : text);
        break;
      case 4:
        dispatch(r, opcode::kParameterName + pick(3) - 2, pick(8) - 1, 0, text);
        dispatch(r, opcode::kProgramName, 0, 0, text);
        break;
      case 5:
        dispatch(r, opcode::kSampleRate, 0, 0, nullptr, rates[pick(std::size(rates))]);
        dispatch(r, opcode::kSuspendResume, 0, pick(2));
        break;
      case 6: {  // anything else, close aside, without a pointer
        const std::int32_t opcode = pick(30) - 2;
        dispatch(r, opcode == opcode::kClose ? opcode::kOpen : opcode, pick(4), pick(4), nullptr);
        break;
      }
      case 7:  // close and replace with a new instance
        EXPECT_EQ(dispatch(r, opcode::kClose), 1);
        r = entry(answerHostVersion);
        ASSERT_NE(r, nullptr);
        break;
      default: {
        const int frames = pick(2049);
        for (int i = 0; i < frames; ++i) {
          in0[i] = audio(random);
          in1[i] = audio(random);
        }
        std::fill(out0.begin(), out0.end(), 0.0f);
        std::fill(out1.begin(), out1.end(), 0.0f);
        pick(2) ? r->processReplaceEntry(r, inputs, outputs, frames)
                : r->processAddEntry(r, inputs, outputs, frames);
        for (int i = 0; i < frames; ++i) {
          ASSERT_TRUE(std::isfinite(out0[i]) && std::isfinite(out1[i])) << step << " " << i;
        }
      }
    }
    text[sizeof text - 1] = '\0';
  }
  for (EffectRecord* r : live) EXPECT_EQ(dispatch(r, opcode::kClose), 1);
  dlclose(module);
}

}  // namespace
}  // namespace qr47
