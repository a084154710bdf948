// The LV2 and LADSPA modules, loaded as their hosts load them, give the VST module's output bit
// for bit wherever their control values name the same host values, settings changing between
// blocks; the LV2 host's bypass (lv2:enabled) fades between that output and the dry input.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <ladspa.h>
#include <lv2/core/lv2.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "module_loader.h"

namespace {

constexpr int kFrames = 300;
constexpr int kControls = 6;
constexpr double kRate = 44100.0;
constexpr double kHighRate = 96000.0;
constexpr double kFadeSeconds = 0.010;
constexpr std::uint32_t kEnabledPort = 10;

// Control values in the ports' units and the same settings as host values.
struct Setting {
  float ports[kControls];
  float host[kControls];
};
const Setting kSettings[] = {
    {{20000, 70, 0, 2, 0, 0}, {1.0f, 0.7f, 0.0f, 0.0f, 0.0f, 0.125f}},  // the factory settings
    {{20000, 100, 3, 4, 0, 0}, {1.0f, 1.0f, 0.75f, 1.0f, 0.0f, 0.125f}},
    {{5000, 70, 1, 4, 50, 0}, {0.66666f, 0.7f, 0.25f, 1.0f, 0.5f, 0.125f}},
    {{900, 30, 2, 2, 100, 0}, {0.33333f, 0.3f, 0.5f, 0.0f, 1.0f, 0.125f}},
};
constexpr int kSettingCount = sizeof kSettings / sizeof kSettings[0];
// The settings twice round, one block each, so that a bypass has room to fade both ways.
constexpr int kBlocks = 2 * kSettingCount;

struct Signal {
  std::vector<float> in0 = std::vector<float>(kFrames), in1 = in0, out0 = in0, out1 = in0;
  explicit Signal(unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    for (int i = 0; i < kFrames; ++i) in0[i] = noise(random), in1[i] = noise(random);
  }
};

// The VST module's output over the blocks, block after block, left then right.
std::vector<float> vstOutput(double rate = kRate) {
  qr47::EffectRecord* r = loadEntry(QR47_MODULE_PATH)(answerHostVersion);
  r->dispatchEntry(r, opcode::kSampleRate, 0, 0, nullptr, static_cast<float>(rate));
  r->dispatchEntry(r, opcode::kSuspendResume, 0, 1, nullptr, 0.0f);
  std::vector<float> all;
  for (int block = 0; block < kBlocks; ++block) {
    const Setting& setting = kSettings[block % kSettingCount];
    for (int i = 0; i < kControls; ++i) r->setParameterEntry(r, i, setting.host[i]);
    Signal s(block + 1);
    float* inputs[] = {s.in0.data(), s.in1.data()};
    float* outputs[] = {s.out0.data(), s.out1.data()};
    r->processReplaceEntry(r, inputs, outputs, kFrames);
    all.insert(all.end(), s.out0.begin(), s.out0.end());
    all.insert(all.end(), s.out1.begin(), s.out1.end());
  }
  r->dispatchEntry(r, opcode::kClose, 0, 0, nullptr, 0.0f);
  return all;
}

// Runs the blocks through a plug-in whose controls are ports 0 to 5 and whose audio is ports
// 6 and 7 in, 8 and 9 out, with the given connect and run functions. With `enabled`, port 10
// holds its value for each block; without, it stays unconnected.
template <typename Connect, typename Run>
std::vector<float> portOutput(Connect connect, Run run, const float* enabled = nullptr) {
  float controls[kControls];
  for (int i = 0; i < kControls; ++i) connect(i, &controls[i]);
  float enabledValue = 1.0f;
  if (enabled) connect(kEnabledPort, &enabledValue);
  std::vector<float> all;
  for (int block = 0; block < kBlocks; ++block) {
    const Setting& setting = kSettings[block % kSettingCount];
    std::copy(std::begin(setting.ports), std::end(setting.ports), controls);
    if (enabled) enabledValue = enabled[block];
    Signal s(block + 1);
    connect(6, s.in0.data()), connect(7, s.in1.data());
    connect(8, s.out0.data()), connect(9, s.out1.data());
    run(kFrames);
    all.insert(all.end(), s.out0.begin(), s.out0.end());
    all.insert(all.end(), s.out1.begin(), s.out1.end());
  }
  return all;
}

// The bypass written out from the VST module's output (wet) and the input (dry): 10 ms at the
// rate, linear, from the switch's sample on; each sample first steps the position towards its
// end (the full length while port 10 holds 0, else 0), then gives wet + (dry - wet) * position /
// length in float; position 0 is the wet sample as it is, the full length the dry one.
std::vector<float> fadedOutput(std::vector<float> wet, const float* enabled, double rate = kRate) {
  const long length = std::lround(rate * kFadeSeconds);
  long position = 0;
  for (int block = 0; block < kBlocks; ++block) {
    const Signal dry(block + 1);
    const long end = enabled[block] == 0.0f ? length : 0;
    for (int i = 0; i < kFrames; ++i) {
      if (position != end) position += end > position ? 1 : -1;
      for (int channel = 0; channel < 2; ++channel) {
        float& out = wet[(2 * block + channel) * kFrames + i];
        const float in = (channel ? dry.in1 : dry.in0)[i];
        if (position == length) {
          out = in;
        } else if (position > 0) {
          out = out + (in - out) * (static_cast<float>(position) / static_cast<float>(length));
        }
      }
    }
  }
  return wet;
}

TEST(Adapters, Lv2MatchesTheVstModuleAndFadesToTheDryInputWhenBypassed) {
  void* module = dlopen(QR47_LV2_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(module, nullptr) << dlerror();
  auto entry = reinterpret_cast<LV2_Descriptor_Function>(dlsym(module, "lv2_descriptor"));
  ASSERT_NE(entry, nullptr);
  const LV2_Descriptor* d = entry(0);
  ASSERT_NE(d, nullptr);
  EXPECT_STREQ(d->URI, "urn:qr47:filter");
  EXPECT_EQ(entry(1), nullptr);
  const auto lv2Output = [&](const float* enabled, double rate = kRate) {
    const LV2_Feature* features[] = {nullptr};
    LV2_Handle plugin = d->instantiate(d, rate, "", features);
    d->activate(plugin);
    const std::vector<float> output =
        portOutput([&](std::uint32_t port, float* data) { d->connect_port(plugin, port, data); },
                   [&](std::uint32_t frames) { d->run(plugin, frames); }, enabled);
    d->cleanup(plugin);
    return output;
  };
  const std::vector<float> vst = vstOutput();
  const float on[kBlocks] = {1, 1, 1, 1, 1, 1, 1, 1};
  EXPECT_EQ(lv2Output(nullptr), vst);
  EXPECT_EQ(lv2Output(on), vst);

  // Blocks of 300 against a fade of 441: bypassed at 300, back at 600 from position 300, bypassed
  // at 900 to the full length at 1340, dry until 1500, back to the filter's output at 1940.
  const float switched[kBlocks] = {1, 0, 1, 0, 0, 1, 1, 1};
  EXPECT_EQ(lv2Output(switched), fadedOutput(vst, switched));
  // At another rate both the filter and the fade follow it.
  EXPECT_EQ(lv2Output(switched, kHighRate), fadedOutput(vstOutput(kHighRate), switched, kHighRate));
  dlclose(module);
}

TEST(Adapters, LadspaMatchesTheVstModule) {
  void* module = dlopen(QR47_LADSPA_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(module, nullptr) << dlerror();
  auto entry = reinterpret_cast<LADSPA_Descriptor_Function>(dlsym(module, "ladspa_descriptor"));
  ASSERT_NE(entry, nullptr);
  const LADSPA_Descriptor* d = entry(0);
  ASSERT_NE(d, nullptr);
  EXPECT_STREQ(d->Label, "qr47");
  EXPECT_EQ(d->UniqueID, 4747u);
  ASSERT_EQ(d->PortCount, 10u);
  // What a host lists: the names, and 5 (control in), 9 (audio in) and 10 (audio out).
  const char* const names[] = {"Cutoff (Hz)",
                               "Q Factor (%)",
                               "Filter Type (0 low pass, 1 high pass, 2 band pass, 3 notch)",
                               "Pole Number (2 or 4)",
                               "Additional LP (%, 0 is off)",
                               "18dB Boost (dB)",
                               "Input L",
                               "Input R",
                               "Output L",
                               "Output R"};
  for (unsigned long port = 0; port < d->PortCount; ++port) {
    EXPECT_STREQ(d->PortNames[port], names[port]);
    EXPECT_EQ(d->PortDescriptors[port], port < 6 ? 5 : port < 8 ? 9 : 10) << port;
  }
  EXPECT_FALSE(LADSPA_IS_INPLACE_BROKEN(d->Properties));
  EXPECT_EQ(entry(1), nullptr);
  LADSPA_Handle plugin = d->instantiate(d, static_cast<unsigned long>(kHighRate));
  d->activate(plugin);
  const std::vector<float> output =
      portOutput([&](unsigned long port, float* data) { d->connect_port(plugin, port, data); },
                 [&](unsigned long frames) { d->run(plugin, frames); });
  d->cleanup(plugin);
  EXPECT_EQ(output, vstOutput(kHighRate));
  dlclose(module);
}

}  // namespace
