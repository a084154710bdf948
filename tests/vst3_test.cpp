// The VST 3 bundle loaded as a host loads it: its factory, its interfaces and their counts, its
// buses, its parameters' texts, its state, and the threads hosts use. Its sound against the VST
// module is the session host's test (vst3_session_host.cpp).
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "module_loader.h"
#include "noise_block.h"
#include "vst3_host.h"

namespace vst3_test {
namespace {

constexpr std::int32_t kFrames = 256;

IPluginFactory* factory() {
  static IPluginFactory* loaded = [] {
    const Module module = loadModule(QR47_VST3_BUNDLE);
    return module.getFactory ? module.getFactory() : nullptr;
  }();
  return loaded;
}

// A string the plug-in wrote, up to its end; one without an end is a fault.
template <std::size_t kLength>
std::string ascii(const TChar (&text)[kLength]) {
  std::string s;
  for (std::size_t i = 0; i < kLength; ++i) {
    if (text[i] == 0) return s;
    s += static_cast<char>(text[i]);
  }
  return "(no end)";
}

// What the plug-in writes into must not count on the host's zeros.
template <typename T>
void scribble(T& written) {
  std::memset(&written, '#', sizeof written);
}

std::u16string utf16(const char* text) {
  std::u16string s;
  for (; *text; ++text) s += static_cast<char16_t>(*text);
  return s;
}

// Noise through an active instance; the output of one block.
std::vector<float> outputOf(Instance& plugin, Changes* changes, unsigned seed = 1) {
  NoiseBlock block(kFrames, seed);
  EXPECT_EQ(plugin.process(block.in, block.out, kFrames, changes), kResultOk);
  return block.output();
}

TEST(Vst3, FactoryAndItsOneClass) {
  ASSERT_NE(factory(), nullptr);
  void* object = nullptr;
  ASSERT_EQ(factory()->queryInterface(IPluginFactory3::kIid.data(), &object), kResultOk);
  auto* factory3 = static_cast<IPluginFactory3*>(object);
  PFactoryInfo info{};
  ASSERT_EQ(factory3->getFactoryInfo(&info), kResultOk);
  EXPECT_STREQ(info.vendor, "QR47 Project");
  EXPECT_EQ(info.flags, 16);  // names in UTF-16
  ASSERT_EQ(factory3->countClasses(), 1);
  PClassInfo2 second{};
  ASSERT_EQ(factory3->getClassInfo2(0, &second), kResultOk);
  // The id's words "QR47", "Filt", "erV3", "-QR4", in the byte order of the platform's ids.
#if defined(_WIN32)
  const char id[] = "74RQtlif3Vre4RQ-";
#else
  const char id[] = "QR47FilterV3-QR4";
#endif
  EXPECT_EQ(std::string(second.cid, 16), std::string(id, 16));
  EXPECT_STREQ(second.category, "Audio Module Class");
  EXPECT_STREQ(second.name, "QR47");
  EXPECT_STREQ(second.subCategories, "Fx|Filter");
  EXPECT_STREQ(second.vendor, "QR47 Project");
  EXPECT_STREQ(second.version, "1.0.0");
  EXPECT_EQ(second.cardinality, 0x7FFFFFFF);
  PClassInfoW wide{};
  ASSERT_EQ(factory3->getClassInfoUnicode(0, &wide), kResultOk);
  EXPECT_EQ(ascii(wide.name), "QR47");
  EXPECT_EQ(ascii(wide.vendor), "QR47 Project");
  EXPECT_EQ(ascii(wide.version), "1.0.0");
  EXPECT_STREQ(wide.subCategories, "Fx|Filter");
  PClassInfo first{};
  ASSERT_EQ(factory3->getClassInfo(0, &first), kResultOk);
  EXPECT_EQ(std::string(first.cid, 16), std::string(id, 16));
  EXPECT_STREQ(first.category, "Audio Module Class");
  EXPECT_STREQ(first.name, "QR47");
  EXPECT_EQ(first.cardinality, 0x7FFFFFFF);
  EXPECT_NE(factory3->getClassInfo(1, &first), kResultOk);
  EXPECT_NE(factory3->getClassInfo2(1, &second), kResultOk);
  EXPECT_NE(factory3->getClassInfoUnicode(1, &wide), kResultOk);
  // The host's references to the factory are counted one by one, the module's entry handing out
  // one each time.
  const std::uint32_t held = factory3->addRef();
  EXPECT_EQ(factory3->addRef(), held + 1);
  EXPECT_EQ(loadModule(QR47_VST3_BUNDLE).getFactory(), factory());
  EXPECT_EQ(factory3->release(), held + 1);
  EXPECT_EQ(factory3->release(), held);
  EXPECT_EQ(factory3->release(), held - 1);
  const char other[16] = "not QR47's id";
  EXPECT_EQ(factory3->createInstance(other, IComponent::kIid.data(), &object), kNoInterface);
  EXPECT_EQ(object, nullptr);
  object = &info;
  EXPECT_EQ(factory3->queryInterface(IComponent::kIid.data(), &object), kNoInterface);
  EXPECT_EQ(object, nullptr);
  factory3->release();
}

// Every interface handed out counts once, and the last release ends the instance.
TEST(Vst3, InterfacesAndTheirCounts) {
  void* object = nullptr;
  ASSERT_EQ(factory()->createInstance(kQr47Class.data(), IComponent::kIid.data(), &object),
            kResultOk);
  auto* root = static_cast<IComponent*>(object);
  std::uint32_t count = 1;
  for (const Uid& iid : {FUnknown::kIid, IPluginBase::kIid, IComponent::kIid, IAudioProcessor::kIid,
                         IEditController::kIid, IProcessContextRequirements::kIid}) {
    void* other = nullptr;
    ASSERT_EQ(root->queryInterface(iid.data(), &other), kResultOk);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(static_cast<FUnknown*>(other)->addRef(), count + 2);
    static_cast<FUnknown*>(other)->release();
    ++count;
  }
  // It needs nothing of the process context: no flag.
  void* requirements = nullptr;
  root->queryInterface(IProcessContextRequirements::kIid.data(), &requirements);
  EXPECT_EQ(
      static_cast<IProcessContextRequirements*>(requirements)->getProcessContextRequirements(), 0u);
  static_cast<FUnknown*>(requirements)->release();
  // Ids are compared whole: one that begins as FUnknown's does is not it.
  const char zeros[16] = {};
  for (const char* iid : {IPluginFactory::kIid.data(), zeros}) {
    void* none = &object;
    EXPECT_EQ(root->queryInterface(iid, &none), -1);
    EXPECT_EQ(none, nullptr);
  }
  for (; count > 1; --count) EXPECT_EQ(root->release(), count - 1);
  EXPECT_EQ(root->release(), 0u);  // and the instance is gone: LeakSanitizer sees the rest
}

// The result codes as literals, as hosts off Windows read them: 0 done, 1 declined, -1 no such
// interface, 2 a bad argument, 3 not implemented.
TEST(Vst3, OneStereoBusEachWayAnd32BitSamples) {
  Instance plugin(factory(), kQr47Class);
  for (std::int32_t direction : {kInput, kOutput}) {
    EXPECT_EQ(plugin.component->getBusCount(kAudio, direction), 1);
    EXPECT_EQ(plugin.component->getBusCount(kEvent, direction), 0);
    BusInfo bus{};
    ASSERT_EQ(plugin.component->getBusInfo(kAudio, direction, 0, bus), kResultOk);
    EXPECT_EQ(bus.channelCount, 2);
    EXPECT_EQ(bus.busType, 0);  // main
    EXPECT_EQ(bus.flags, 1u);   // active by default
    EXPECT_EQ(bus.direction, direction);
    EXPECT_EQ(ascii(bus.name), direction == kInput ? "Input" : "Output");
    EXPECT_EQ(plugin.component->getBusInfo(kAudio, direction, 1, bus), 2);
    EXPECT_EQ(plugin.component->activateBus(kAudio, direction, 0, 1), 0);
    EXPECT_EQ(plugin.component->activateBus(kAudio, direction, 1, 1), 2);
    EXPECT_EQ(plugin.component->activateBus(kEvent, direction, 0, 1), 2);
  }
  // Stereo in and stereo out alone are taken (0); mono on either side, or two buses, are not (1).
  SpeakerArrangement mono = 0x80000, stereo = 3;
  for (SpeakerArrangement in : {mono, stereo}) {
    for (SpeakerArrangement out : {mono, stereo}) {
      EXPECT_EQ(plugin.processor->setBusArrangements(&in, 1, &out, 1),
                in == stereo && out == stereo ? 0 : 1)
          << in << " " << out;
    }
  }
  SpeakerArrangement two[] = {stereo, stereo};
  EXPECT_EQ(plugin.processor->setBusArrangements(two, 2, &stereo, 1), 1);
  SpeakerArrangement kept = 0;
  ASSERT_EQ(plugin.processor->getBusArrangement(kInput, 0, kept), kResultOk);
  EXPECT_EQ(kept, 3u);
  EXPECT_EQ(plugin.processor->canProcessSampleSize(0), 0);
  EXPECT_EQ(plugin.processor->canProcessSampleSize(1), 1);  // 64-bit declined
  ProcessSetup wide{0, 1, kFrames, 44100.0};
  EXPECT_EQ(plugin.processor->setupProcessing(wide), 1);
  EXPECT_EQ(plugin.processor->getLatencySamples(), 0u);
  TUID controllerClass;
  EXPECT_EQ(plugin.component->getControllerClassId(controllerClass), 3);
  // A host that counts no input bus is declined, whatever its pointers hold.
  std::vector<float> in(kFrames, 0.5f), out(kFrames, 7.0f);
  float* channels[] = {in.data(), in.data()};
  float* outChannels[] = {out.data(), out.data()};
  AudioBusBuffers input{2, 0, channels}, output{2, 0, outChannels};
  ProcessData data{0,       kSample32, kFrames, 0,       1,       &input,
                   &output, nullptr,   nullptr, nullptr, nullptr, nullptr};
  EXPECT_EQ(plugin.processor->process(data), 1);
  EXPECT_EQ(out, std::vector<float>(kFrames, 7.0f));
}

TEST(Vst3, ParametersTheirStepsAndTexts) {
  struct Text {
    double normalized;
    const char* text;
  };
  struct Row {
    const char* title;
    const char* units;
    std::int32_t steps, flags;  // flags: automatable 1, a list 8, the host's bypass 65536
    double defaultValue;
    std::vector<Text> texts;
  };
  const Row rows[] = {
      {"Cutoff", "Hz", 0, 1, 1.0, {{0.0, "270 Hz"}, {0.5, "2950 Hz"}, {1.0, "20000 Hz"}}},
      {"Q Factor", "%", 0, 1, 0.7f, {{0.7f, "70 %"}, {0.0, "1 %"}}},
      {"Filter Type",
       "",
       3,
       9,
       0.0,
       // Between two steps, the step min(3, floor(normalized x 4)) as hosts count them.
       {{0.0, "low pass"},
        {1.0 / 3, "high pass"},
        {0.5, "band pass"},
        {2.0 / 3, "band pass"},
        {1.0, "notch"}}},
      {"Pole Number", "", 1, 9, 0.0, {{0.0, "2 poles"}, {0.5, "4 poles"}, {1.0, "4 poles"}}},
      {"Additional LP", "%", 0, 1, 0.0, {{0.0, "Off"}, {0.00004, "0.004 %"}, {0.5, "50 %"}}},
      // Just under unity, no sign on the zero.
      {"18dB Boost",
       "dB",
       0,
       1,
       0.125,
       {{0.0, "-inf dB"}, {0.0625, "-6.02 dB"}, {0.12499999f, "0.00 dB"}}},
      {"Bypass", "", 1, 65537, 0.0, {{0.0, "Off"}, {0.4, "Off"}, {0.5, "On"}}},
  };
  Instance plugin(factory(), kQr47Class);
  IEditController* c = plugin.controller;
  ASSERT_EQ(c->getParameterCount(), 7);
  for (std::int32_t index = 0; index < 7; ++index) {
    const Row& row = rows[index];
    const auto id = static_cast<ParamID>(index);
    ParameterInfo info;
    scribble(info);
    ASSERT_EQ(c->getParameterInfo(index, info), kResultOk);
    EXPECT_EQ(info.id, id);
    EXPECT_EQ(ascii(info.title), row.title);
    EXPECT_EQ(ascii(info.shortTitle), row.title);
    EXPECT_EQ(info.unitId, 0) << "the root unit";
    EXPECT_EQ(ascii(info.units), row.units);
    EXPECT_EQ(info.stepCount, row.steps) << row.title;
    EXPECT_EQ(info.flags, row.flags) << row.title;
    EXPECT_EQ(info.defaultNormalizedValue, row.defaultValue) << row.title;
    EXPECT_EQ(c->getParamNormalized(id), row.defaultValue) << "the factory program's";
    for (const Text& t : row.texts) {
      String128 text;
      scribble(text);
      ASSERT_EQ(c->getParamStringByValue(id, t.normalized, text), kResultOk);
      EXPECT_EQ(ascii(text), t.text) << row.title;
      std::u16string typed = utf16(t.text);
      ParamValue back = -1.0;
      ASSERT_EQ(c->getParamValueByString(id, typed.data(), back), kResultOk) << t.text;
      ASSERT_EQ(c->getParamStringByValue(id, back, text), kResultOk);
      EXPECT_EQ(ascii(text), t.text) << "read back";
    }
  }
  EXPECT_EQ(c->normalizedParamToPlain(2, 2.0 / 3), 2.0);
  EXPECT_EQ(c->normalizedParamToPlain(2, 0.5), 2.0);
  EXPECT_EQ(c->normalizedParamToPlain(2, 1.0), 3.0);
  EXPECT_EQ(c->normalizedParamToPlain(3, 0.5), 1.0);
  EXPECT_EQ(c->plainParamToNormalized(2, 3.0), 1.0);
  EXPECT_EQ(c->normalizedParamToPlain(0, 0.25), 0.25);
  EXPECT_EQ(c->normalizedParamToPlain(6, 0.5), 1.0);
  std::u16string garbage = u"12 parsecs";
  ParamValue value;
  EXPECT_NE(c->getParamValueByString(0, garbage.data(), value), kResultOk);
  EXPECT_NE(c->getParamValueByString(6, garbage.data(), value), kResultOk);
  ParameterInfo outside{};
  EXPECT_NE(c->getParameterInfo(7, outside), kResultOk);
  EXPECT_EQ(c->setParamNormalized(7, 0.5), 2);
  EXPECT_EQ(c->setParamNormalized(0, 1.5), 2);
  EXPECT_EQ(c->getParamNormalized(0), 1.0);
}

// The component's state: exactly the six values and the bypass, and a fresh instance that sets
// it plays the same; the controller follows it. The first version's state loads with the bypass
// off and is saved again as the second's.
TEST(Vst3, StateRoundTripsAndTheControllerFollows) {
  Instance saved(factory(), kQr47Class);
  saved.start(44100.0, kFrames);
  Changes changes;
  const double values[] = {0.5, 0.25, 1.0, 1.0, 0.5, 0.1};
  for (ParamID id = 0; id < 6; ++id) changes.add(0, id, values[id]);
  saved.process(nullptr, nullptr, 0, &changes);
  MemoryStream stream;
  ASSERT_EQ(saved.component->getState(&stream), kResultOk);
  EXPECT_EQ(stream.data, kSavedState);
  Changes bypass;
  bypass.add(0, 6, 1.0);
  saved.process(nullptr, nullptr, 0, &bypass);
  std::vector<std::uint8_t> bypassed = kSavedState;
  bypassed[34] = 0x80;  // the bypass 1.0
  bypassed[35] = 0x3F;
  stream.data.clear();
  ASSERT_EQ(saved.component->getState(&stream), kResultOk);
  EXPECT_EQ(stream.data, bypassed);

  // The controller shows what the component loaded, whether or not the host also hands it the
  // component's state.
  Instance restored(factory(), kQr47Class);
  stream.chunk = 3;
  ASSERT_EQ(restored.component->setState(&stream), kResultOk);
  for (bool handed : {false, true}) {
    stream.position = 0;
    if (handed) {
      ASSERT_EQ(restored.controller->setComponentState(&stream), kResultOk);
    }
    for (ParamID id = 0; id < 6; ++id) {
      // What the state holds: the host values, narrowed to float.
      EXPECT_EQ(restored.controller->getParamNormalized(id), static_cast<float>(values[id])) << id;
    }
    EXPECT_EQ(restored.controller->getParamNormalized(6), 1.0);
  }
  restored.start(44100.0, kFrames);
  saved.stop();
  saved.start(44100.0, kFrames);  // the sections from silence, as in the fresh one
  Changes none;
  EXPECT_EQ(outputOf(restored, &none), outputOf(saved, &none));
  // From the 441st sample after the switch (10 ms) on, the output is the input.
  NoiseBlock block(kFrames, 2);
  restored.process(block.in, block.out, kFrames, &none);
  const std::int32_t dry = 441 - kFrames - 1;
  EXPECT_TRUE(std::equal(block.out0.begin() + dry, block.out0.end(), block.in0.begin() + dry) &&
              std::equal(block.out1.begin() + dry, block.out1.end(), block.in1.begin() + dry));

  MemoryStream first, again;
  first.data = kFirstVersionState;
  ASSERT_EQ(restored.component->setState(&first), kResultOk);
  first.position = 0;
  ASSERT_EQ(restored.controller->setComponentState(&first), kResultOk);
  EXPECT_EQ(restored.controller->getParamNormalized(6), 0.0);
  ASSERT_EQ(restored.component->getState(&again), kResultOk);
  EXPECT_EQ(again.data, kSavedState);

  // A VST host's Filter Type at the top, 1.0, is the notch: the last step, normalized 1.
  MemoryStream top;
  top.data = kSavedState;
  top.data[19] = 0x3F, top.data[18] = 0x80;
  ASSERT_EQ(restored.component->setState(&top), kResultOk);
  EXPECT_EQ(restored.controller->getParamNormalized(2), 1.0);
}

TEST(Vst3, StatesNotOfThisFormatAreRefusedAndChangeNothing) {
  Instance source(factory(), kQr47Class);
  MemoryStream good;
  good.chunk = 64;
  ASSERT_EQ(source.component->getState(&good), kResultOk);
  Instance plugin(factory(), kQr47Class);
  plugin.start(44100.0, kFrames);
  Changes none;
  const std::vector<float> before = outputOf(plugin, &none);
  for (const auto& bytes : refusedStates(good.data)) {
    for (bool controller : {false, true}) {
      MemoryStream stream;
      stream.data = bytes;
      stream.chunk = 5;
      EXPECT_EQ(controller ? plugin.controller->setComponentState(&stream)
                           : plugin.component->setState(&stream),
                kResultFalse)
          << bytes.size();
      EXPECT_LE(stream.position, 37u) << "read no further than a byte past a state";
    }
  }
  MemoryStream failing;
  failing.data = good.data;
  failing.fail = true;
  EXPECT_EQ(plugin.component->setState(&failing), kResultFalse);
  EXPECT_EQ(plugin.component->getState(&failing), kResultFalse);
  EXPECT_EQ(plugin.component->setState(nullptr), kResultFalse);
  for (ParamID id = 0; id < 7; ++id) {
    EXPECT_EQ(plugin.controller->getParamNormalized(id), source.controller->getParamNormalized(id));
  }
  plugin.stop();
  plugin.start(44100.0, kFrames);
  EXPECT_EQ(outputOf(plugin, &none), before) << "the same sound from a cleared filter";
}

// The tail is the VST module's answer, but 0 where the filter is silent, and once the fade to the
// bypass is done: 10 ms after the switch, 441 samples at 44.1 kHz and 960 at 96 kHz.
TEST(Vst3, TailAsTheFilterHasIt) {
  qr47::ModuleMain vstEntry = loadEntry(QR47_MODULE_PATH);
  ASSERT_NE(vstEntry, nullptr);
  const double settings[][6] = {{1.0, 0.7, 0, 0, 0, 0.125}, {0.3, 0.9, 2.0 / 3, 1, 1.0, 0.5}};
  const float vstValues[][6] = {{1.0f, 0.7f, 0, 0, 0, 0.125f}, {0.3f, 0.9f, 0.5f, 1, 1.0f, 0.5f}};
  for (const auto& [rate, fade] : {std::pair{44100.0, 441}, {96000.0, 960}}) {
    for (int s = 0; s < 2; ++s) {
      Instance plugin(factory(), kQr47Class);
      qr47::EffectRecord* r = vstEntry(answerHostVersion);
      r->dispatchEntry(r, opcode::kSampleRate, 0, 0, nullptr, static_cast<float>(rate));
      plugin.start(rate, kFrames);
      Changes changes;
      for (ParamID id = 0; id < 6; ++id) {
        changes.add(0, id, settings[s][id]);
        r->setParameterEntry(r, static_cast<std::int32_t>(id), vstValues[s][id]);
      }
      plugin.process(nullptr, nullptr, 0, &changes);
      const auto tail =
          static_cast<std::uint32_t>(r->dispatchEntry(r, opcode::kTailSize, 0, 0, nullptr, 0));
      EXPECT_EQ(plugin.processor->getTailSamples(), tail);
      Changes on, none, off;
      on.add(0, 6, 0.5);    // the second step's lower edge
      off.add(0, 6, 0.49);  // the first step's
      for (std::int32_t done = 0; done < fade; done += kFrames) {
        EXPECT_EQ(plugin.processor->getTailSamples(), tail) << done << " samples into the fade";
        outputOf(plugin, done == 0 ? &on : &none);
      }
      EXPECT_EQ(plugin.processor->getTailSamples(), 0u) << "bypassed";
      outputOf(plugin, &off);
      EXPECT_EQ(plugin.processor->getTailSamples(), tail) << "fading back";
      Changes silence;
      silence.add(0, 5, 0.0);
      plugin.process(nullptr, nullptr, 0, &silence);
      EXPECT_EQ(plugin.processor->getTailSamples(), 0u);
      r->dispatchEntry(r, opcode::kClose, 0, 0, nullptr, 0);
    }
  }
}

// The audio thread processes with changes while the UI thread asks the controller, saves and
// sets the component's state: nothing waits, nothing tears, and the last state set is what the
// next block plays.
TEST(Vst3, ControllerAndStateFromTheUiThreadWhileProcessing) {
  Instance plugin(factory(), kQr47Class);
  plugin.start(44100.0, kFrames);
  std::atomic<bool> stop{false};
  std::thread audio([&] {
    std::uint32_t n = 0;
    while (!stop) {
      Changes changes;
      changes.add(static_cast<std::int32_t>(n % kFrames), n % 6, (n % 4) / 4.0);
      outputOf(plugin, &changes, ++n);
    }
  });
  std::vector<std::uint8_t> last;
  for (int round = 0; round < 300; ++round) {
    String128 text{};
    for (ParamID id = 0; id < 6; ++id) {
      const ParamValue value = plugin.controller->getParamNormalized(id);
      ASSERT_EQ(plugin.controller->getParamStringByValue(id, value, text), kResultOk);
      ASSERT_EQ(plugin.controller->setParamNormalized(id, 1.0 - value), kResultOk);
    }
    MemoryStream stream;
    stream.chunk = 32;
    ASSERT_EQ(plugin.component->getState(&stream), kResultOk);
    stream.data[8 + 4 * (round % 6) + 3] = 0x3E;  // that value becomes 0.125 to 0.25
    ASSERT_EQ(plugin.component->setState(&stream), kResultOk);
    last = stream.data;
  }
  stop = true;
  audio.join();
  // The last state, with the Additional LP off so that the low-pass's history is not heard,
  // sounds the same in a fresh instance once both start from silence.
  std::fill(last.begin() + 24, last.begin() + 28, 0);
  Instance fresh(factory(), kQr47Class);
  for (Instance* p : {&plugin, &fresh}) {
    MemoryStream stream;
    stream.data = last;
    stream.chunk = 32;
    ASSERT_EQ(p->component->setState(&stream), kResultOk);
  }
  fresh.start(44100.0, kFrames);
  plugin.stop();
  plugin.start(44100.0, kFrames);
  Changes none;
  EXPECT_EQ(outputOf(plugin, &none, 9), outputOf(fresh, &none, 9));
}

}  // namespace
}  // namespace vst3_test
