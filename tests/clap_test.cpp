// The CLAP module loaded as a host loads it: what it tells the host, its parameters' texts, its
// state, and the interface's thread rules. Its sound against the VST module is the session
// host's test (clap_session_host.cpp).
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstring>
#include <string>
#include <thread>

#include "clap_host.h"
#include "gesture_mailbox.h"
#include "module_loader.h"
#include "noise_block.h"

namespace clap_test {
namespace {

constexpr std::uint32_t kFrames = 256;

const PluginEntry* entry() {
  static const PluginEntry* loaded = [] {
    const PluginEntry* e = loadClapEntry(QR47_CLAP_MODULE_PATH);
    if (e) e->init(QR47_CLAP_MODULE_PATH);
    return e;
  }();
  return loaded;
}

// Noise through an active instance; the output of one block.
std::vector<float> outputOf(Instance& plugin, const EventList& events, unsigned seed = 1) {
  NoiseBlock block(kFrames, seed);
  EXPECT_EQ(plugin.process(block.in, block.out, kFrames, events), 1);
  return block.output();
}

void activate(Instance& plugin, double rate = 44100.0) {
  ASSERT_TRUE(plugin.plugin->activate(plugin.plugin, rate, 1, kFrames));
  ASSERT_TRUE(plugin.plugin->startProcessing(plugin.plugin));
}

void deactivate(Instance& plugin) {
  plugin.plugin->stopProcessing(plugin.plugin);
  plugin.plugin->deactivate(plugin.plugin);
}

TEST(Clap, EntryFactoryAndDescriptor) {
  ASSERT_NE(entry(), nullptr);
  EXPECT_EQ(entry()->clapVersion.major, 1u);
  EXPECT_TRUE(entry()->init(QR47_CLAP_MODULE_PATH));  // again: harmless
  entry()->deinit();
  EXPECT_EQ(entry()->getFactory("clap.preset-discovery-factory"), nullptr);
  auto* factory = static_cast<const PluginFactory*>(entry()->getFactory("clap.plugin-factory"));
  ASSERT_NE(factory, nullptr);
  ASSERT_EQ(factory->getPluginCount(factory), 1u);
  EXPECT_EQ(factory->getPluginDescriptor(factory, 1), nullptr);
  const PluginDescriptor* d = factory->getPluginDescriptor(factory, 0);
  EXPECT_STREQ(d->id, "org.qr47.filter");
  EXPECT_STREQ(d->name, "QR47");
  EXPECT_STREQ(d->vendor, "QR47 Project");
  EXPECT_STREQ(d->version, "1.0.0");
  EXPECT_NE(std::strlen(d->description), 0u);
  std::string features;
  for (const char* const* f = d->features; *f; ++f) features += std::string(*f) + " ";
  EXPECT_EQ(features, "audio-effect filter stereo ");
  TestHost host;
  EXPECT_EQ(factory->createPlugin(factory, &host.host, "org.qr47.other"), nullptr);
  Instance plugin(entry(), &host.host);
  EXPECT_EQ(plugin.plugin->getExtension(plugin.plugin, "clap.note-ports"), nullptr);
  EXPECT_EQ(plugin.plugin->getExtension(plugin.plugin, nullptr), nullptr);
  ASSERT_TRUE(plugin.latency && plugin.tail && plugin.state && plugin.ports && plugin.params);
}

TEST(Clap, OneStereoPortEachWayProcessableInPlace) {
  TestHost host;
  Instance plugin(entry(), &host.host);
  for (bool input : {true, false}) {
    ASSERT_EQ(plugin.ports->count(plugin.plugin, input), 1u);
    AudioPortInfo info{};
    ASSERT_TRUE(plugin.ports->get(plugin.plugin, 0, input, &info));
    EXPECT_EQ(info.id, 0u);
    EXPECT_EQ(info.flags, 1u);  // main
    EXPECT_EQ(info.channelCount, 2u);
    EXPECT_STREQ(info.portType, "stereo");
    EXPECT_EQ(info.inPlacePair, 0u);
    EXPECT_FALSE(plugin.ports->get(plugin.plugin, 1, input, &info));
  }
}

// A call without audio buffers still takes its events, even one past its end, and fails only
// when it has frames. An activation needs a rate.
TEST(Clap, ProcessingWithoutAudioBuffers) {
  TestHost host;
  Instance plugin(entry(), &host.host);
  for (double rate : {0.0, -44100.0, std::nan("")}) {
    EXPECT_FALSE(plugin.plugin->activate(plugin.plugin, rate, 1, kFrames)) << rate;
  }
  activate(plugin);
  for (std::uint32_t frames : {0u, 64u}) {
    EventList events;
    events.add(frames + 5, 2, frames == 0 ? 3.0 : 1.0);
    Process p{-1, frames, nullptr, nullptr, nullptr, 0, 0, events.input(), nullptr};
    EXPECT_EQ(plugin.plugin->process(plugin.plugin, &p), frames == 0 ? 1 : 0) << frames;
    EXPECT_EQ(plugin.value(2), frames == 0 ? 3.0 : 1.0);
  }
  Process withoutEvents{-1, 0, nullptr, nullptr, nullptr, 0, 0, nullptr, nullptr};
  EXPECT_EQ(plugin.plugin->process(plugin.plugin, &withoutEvents), 1) << "no event list";
  // A value that is no number, or for no parameter, changes nothing.
  EventList none;
  none.add(0, 5, std::nan(""));
  none.add(0, 6, std::nan(""));
  none.add(0, 7, 0.5);
  plugin.params->flush(plugin.plugin, none.input(), nullptr);
  EXPECT_EQ(plugin.value(5), 0.125);
  EXPECT_EQ(plugin.value(6), 0.0);
  deactivate(plugin);
}

TEST(Clap, ParametersTheirRangesAndTexts) {
  struct Text {
    double value;
    const char* text;
  };
  struct Row {
    const char* name;
    // automatable 32, modulatable 1024; stepped 1 and enum 65536 for the lists, stepped and
    // bypass 16 for the bypass
    std::uint32_t flags;
    double maximum, defaultValue;
    std::vector<Text> texts;
  };
  const Row rows[] = {
      {"Cutoff",
       1056,
       1.0,
       1.0,
       {{0.0, "270 Hz"}, {0.33333, "900 Hz"}, {0.5, "2950 Hz"}, {1.0, "20000 Hz"}}},
      {"Q Factor", 1056, 1.0, 0.7f, {{0.0, "1 %"}, {0.7f, "70 %"}, {1.0, "100 %"}}},
      {"Filter Type",
       65569,
       3.0,
       0.0,
       {{0.0, "low pass"},
        {1.0, "high pass"},
        {2.0, "band pass"},
        {3.0, "notch"},
        {2.9, "band pass"}}},
      {"Pole Number", 65569, 1.0, 0.0, {{0.0, "2 poles"}, {1.0, "4 poles"}}},
      // A level too small for a whole percent is not off, and reads back as not off.
      {"Additional LP",
       1056,
       1.0,
       0.0,
       {{0.0, "Off"}, {0.004, "0.4 %"}, {0.125, "13 %"}, {0.5, "50 %"}}},
      {"18dB Boost",
       1056,
       1.0,
       0.125,
       {{0.0, "-inf dB"},
        {0.0625, "-6.02 dB"},
        {0.12499999f, "0.00 dB"},  // just under unity: no sign on the zero
        {0.125, "0.00 dB"},
        {1.0, "18.06 dB"}}},
      {"Bypass", 49, 1.0, 0.0, {{0.0, "Off"}, {1.0, "On"}}},
  };
  TestHost host;
  Instance plugin(entry(), &host.host);
  ASSERT_EQ(plugin.params->count(plugin.plugin), 7u);
  for (std::uint32_t id = 0; id < 7; ++id) {
    const Row& row = rows[id];
    ParamInfo info{};
    ASSERT_TRUE(plugin.params->getInfo(plugin.plugin, id, &info));
    EXPECT_EQ(info.id, id);
    EXPECT_STREQ(info.name, row.name);
    EXPECT_EQ(info.flags, row.flags) << row.name;
    EXPECT_EQ(info.minValue, 0.0);
    EXPECT_EQ(info.maxValue, row.maximum) << row.name;
    EXPECT_EQ(info.defaultValue, row.defaultValue) << row.name;
    EXPECT_EQ(plugin.value(id), row.defaultValue) << "the factory program's value";
    for (const Text& t : row.texts) {
      char text[64];
      ASSERT_TRUE(plugin.params->valueToText(plugin.plugin, id, t.value, text, sizeof text));
      EXPECT_STREQ(text, t.text) << row.name << " " << t.value;
      // What value to text writes reads back to a value with the same text.
      double back = -1.0;
      ASSERT_TRUE(plugin.params->textToValue(plugin.plugin, id, t.text, &back)) << t.text;
      ASSERT_TRUE(plugin.params->valueToText(plugin.plugin, id, back, text, sizeof text));
      EXPECT_STREQ(text, t.text) << row.name;
    }
  }
  ParamInfo info{};
  EXPECT_FALSE(plugin.params->getInfo(plugin.plugin, 7, &info));
  char small[4];
  EXPECT_FALSE(plugin.params->valueToText(plugin.plugin, 0, 1.0, small, sizeof small));
}

TEST(Clap, TextsReadBackWithOrWithoutTheirUnits) {
  struct Case {
    std::uint32_t id;
    const char* typed;
    const char* shown;  // null: refused
  };
  const Case cases[] = {
      {0, "1000", "1000 Hz"}, {0, " 2.5 kHz ", "2500 Hz"},
      {0, "440HZ", "440 Hz"}, {0, "12 parsecs", nullptr},
      {0, "", nullptr},       {1, "35", "35 %"},
      {1, "35 %", "35 %"},    {1, "35 dB", nullptr},
      {2, "NOTCH", "notch"},  {2, "1", "high pass"},
      {2, "4", nullptr},      {2, "band", nullptr},
      {3, "4", "4 poles"},    {3, "2 poles", "2 poles"},
      {3, "3", nullptr},      {4, "off", "Off"},
      {4, "25", "25 %"},      {5, "+6 dB", "6.00 dB"},
      {5, "-inf", "-inf dB"}, {5, "-12.5dB", "-12.50 dB"},
      {5, "+-3", nullptr},    {5, "nan", nullptr},
      {6, " on ", "On"},      {6, "OFF", "Off"},
      {6, "1", "On"},         {6, "0.5", nullptr},
      {7, "1", nullptr},      {0, "inf", nullptr},
  };
  TestHost host;
  Instance plugin(entry(), &host.host);
  double none;
  EXPECT_FALSE(plugin.params->textToValue(plugin.plugin, 0, nullptr, &none));
  for (const Case& c : cases) {
    double value = -1.0;
    const bool read = plugin.params->textToValue(plugin.plugin, c.id, c.typed, &value);
    ASSERT_EQ(read, c.shown != nullptr) << c.typed;
    if (!read) continue;
    char text[64];
    ASSERT_TRUE(plugin.params->valueToText(plugin.plugin, c.id, value, text, sizeof text));
    EXPECT_STREQ(text, c.shown) << c.typed;
  }
}

// The state holds the values and the bypass, never the modulation; the first version's loads
// with the bypass off.
TEST(Clap, StateRoundTripsExactlyIntoAFreshInstance) {
  TestHost host;
  Instance saved(entry(), &host.host);
  EventList changes;  // flushed while inactive
  const double values[] = {0.5, 0.25, 3.0, 1.0, 0.5, 0.1};
  for (std::uint32_t id = 0; id < 6; ++id) changes.add(0, id, values[id]);
  for (std::uint32_t id : {0, 1, 4, 5}) changes.add(0, id, 0.25, 0, kParamMod);
  saved.params->flush(saved.plugin, changes.input(), nullptr);
  for (std::uint32_t id = 0; id < 6; ++id) {
    EXPECT_EQ(saved.value(id), static_cast<float>(values[id])) << "no modulation in it";
  }
  MemoryStream stream;  // one byte a call
  ASSERT_TRUE(saved.state->save(saved.plugin, &stream.output));
  EXPECT_EQ(stream.bytes, kSavedState);

  Instance restored(entry(), &host.host);
  stream.chunk = 3;
  ASSERT_TRUE(restored.state->load(restored.plugin, &stream.input));
  EXPECT_EQ(host.valueRescans, 1) << "the host is told the values changed";
  for (std::uint32_t id = 0; id < 7; ++id) EXPECT_EQ(restored.value(id), saved.value(id)) << id;
  activate(saved);
  activate(restored);
  saved.plugin->reset(saved.plugin);
  EventList none;
  EXPECT_EQ(outputOf(restored, none), outputOf(saved, none)) << "a reset ends the modulation";
  deactivate(saved);
  deactivate(restored);

  // Bypassed, the state ends with 1.0; the first version's state turns it off again.
  EventList bypass;
  bypass.add(0, 6, 1.0);
  saved.params->flush(saved.plugin, bypass.input(), nullptr);
  MemoryStream bypassed;
  bypassed.chunk = 64;
  ASSERT_TRUE(saved.state->save(saved.plugin, &bypassed.output));
  std::vector<std::uint8_t> expected = kSavedState;
  expected[34] = 0x80, expected[35] = 0x3F;
  EXPECT_EQ(bypassed.bytes, expected);
  ASSERT_TRUE(restored.state->load(restored.plugin, &bypassed.input));
  EXPECT_EQ(restored.value(6), 1.0);
  MemoryStream first;
  first.bytes = kFirstVersionState;
  ASSERT_TRUE(restored.state->load(restored.plugin, &first.input));
  EXPECT_EQ(restored.value(6), 0.0);
  for (std::uint32_t id = 0; id < 6; ++id) EXPECT_EQ(restored.value(id), saved.value(id)) << id;

  // A VST host's Pole Number of exactly 0.5 is four poles already; its Filter Type at the top,
  // 1.0, is the notch, the last step and never one beyond.
  MemoryStream halfway;
  halfway.bytes = kSavedState;
  halfway.bytes[23] = 0x3F, halfway.bytes[22] = 0x00;
  halfway.bytes[19] = 0x3F, halfway.bytes[18] = 0x80;
  Instance fromVst(entry(), &host.host);
  ASSERT_TRUE(fromVst.state->load(fromVst.plugin, &halfway.input));
  EXPECT_EQ(fromVst.value(3), 1.0);
  EXPECT_EQ(fromVst.value(2), 3.0);
}

TEST(Clap, StatesNotOfThisFormatAreRefusedAndChangeNothing) {
  TestHost host;
  Instance source(entry(), &host.host);
  MemoryStream good;
  good.chunk = 64;
  ASSERT_TRUE(source.state->save(source.plugin, &good.output));
  Instance plugin(entry(), &host.host);
  activate(plugin);
  EventList none;
  const std::vector<float> before = outputOf(plugin, none);
  for (const auto& bytes : refusedStates(good.bytes)) {
    MemoryStream stream;
    stream.bytes = bytes;
    stream.chunk = 5;
    EXPECT_FALSE(plugin.state->load(plugin.plugin, &stream.input)) << bytes.size();
    EXPECT_LE(stream.position, 37u) << "read no further than a byte past a state";
  }
  MemoryStream failing;
  failing.bytes = good.bytes;
  failing.fail = true;
  EXPECT_FALSE(plugin.state->load(plugin.plugin, &failing.input));
  EXPECT_FALSE(plugin.state->save(plugin.plugin, &failing.output));
  EXPECT_EQ(host.valueRescans, 0);
  for (std::uint32_t id = 0; id < 7; ++id) EXPECT_EQ(plugin.value(id), source.value(id));
  plugin.plugin->reset(plugin.plugin);
  EXPECT_EQ(outputOf(plugin, none), before) << "the same sound from a cleared filter";
  deactivate(plugin);
}

// The tail is the VST module's answer, but 0 where the filter is silent or, once the fade of 10 ms
// is done, bypassed; no latency.
TEST(Clap, TailAndLatencyAsTheFilterHasThem) {
  qr47::ModuleMain vstEntry = loadEntry(QR47_MODULE_PATH);
  ASSERT_NE(vstEntry, nullptr);
  struct Setting {
    double cutoff, q, type, poles, lp, boost;
  };
  const Setting settings[] = {{1.0, 0.7, 0, 0, 0, 0.125},
                              {0.5, 1.0, 0, 1, 0, 0.125},
                              {0.3, 0.9, 2, 1, 1.0, 0.5},
                              {0.5, 0.9, 3, 0, 0.0, 1.0}};
  const float typeValues[] = {0.0f, 0.25f, 0.5f, 0.75f};
  TestHost host;
  for (double rate : {44100.0, 96000.0}) {
    for (const Setting& s : settings) {
      Instance plugin(entry(), &host.host);
      qr47::EffectRecord* r = vstEntry(answerHostVersion);
      r->dispatchEntry(r, opcode::kSampleRate, 0, 0, nullptr, static_cast<float>(rate));
      EventList changes;
      const double values[] = {s.cutoff, s.q, s.type, s.poles, s.lp, s.boost};
      for (std::uint32_t id = 0; id < 6; ++id) {
        changes.add(0, id, values[id]);
        r->setParameterEntry(
            r, static_cast<std::int32_t>(id),
            id == 2 ? typeValues[static_cast<int>(s.type)] : static_cast<float>(values[id]));
      }
      plugin.params->flush(plugin.plugin, changes.input(), nullptr);
      activate(plugin, rate);
      const auto vstTail =
          static_cast<std::uint32_t>(r->dispatchEntry(r, opcode::kTailSize, 0, 0, nullptr, 0));
      EXPECT_EQ(plugin.tail->get(plugin.plugin), vstTail);
      EXPECT_EQ(plugin.latency->get(plugin.plugin), 0u);
      EventList silence;
      silence.add(0, 5, 0.0);
      EXPECT_EQ(outputOf(plugin, silence), std::vector<float>(2 * kFrames, 0.0f));
      EXPECT_EQ(plugin.tail->get(plugin.plugin), 0u) << "a silent setting has no tail";
      EventList bypass;
      bypass.add(0, 5, s.boost);
      bypass.add(0, 6, 0.5);  // the switch's lower edge of on
      const EventList none;
      const auto fadeFrames = static_cast<std::uint32_t>(rate / 100);  // 441 and 960
      for (std::uint32_t done = 0; done < fadeFrames; done += kFrames) {
        outputOf(plugin, done == 0 ? bypass : none);
        EXPECT_EQ(plugin.tail->get(plugin.plugin), done + kFrames < fadeFrames ? vstTail : 0u)
            << "fading after " << done + kFrames;
      }
      NoiseBlock dry(kFrames, 2);
      plugin.process(dry.in, dry.out, kFrames, none);
      EXPECT_EQ(dry.out0, dry.in0) << "bypassed";
      EXPECT_EQ(dry.out1, dry.in1);
      MemoryStream saved;
      saved.chunk = 64;
      ASSERT_TRUE(plugin.state->save(plugin.plugin, &saved.output));
      ASSERT_TRUE(plugin.state->load(plugin.plugin, &saved.input));
      EXPECT_EQ(plugin.tail->get(plugin.plugin), 0u) << "its own state loaded while bypassed";
      EventList back;
      back.add(0, 6, 0.0);
      plugin.params->flush(plugin.plugin, back.input(), nullptr);
      EXPECT_EQ(plugin.tail->get(plugin.plugin), vstTail) << "switched back, before any block";
      deactivate(plugin);
      // While nothing processes a state loads at once: the tail is its own before any block.
      MemoryStream silent;
      silent.chunk = 64;
      ASSERT_TRUE(plugin.state->save(plugin.plugin, &silent.output));
      std::fill(silent.bytes.begin() + 28, silent.bytes.begin() + 32, 0);  // 18dB Boost at 0
      ASSERT_TRUE(plugin.state->load(plugin.plugin, &silent.input));
      EXPECT_EQ(plugin.tail->get(plugin.plugin), 0u) << "a silent state loaded while inactive";
      r->dispatchEntry(r, opcode::kClose, 0, 0, nullptr, 0);
    }
  }
}

// The audio thread processes with events and modulation while the main thread reads values and
// texts, saves and loads: the plug-in calls the host only from the main thread, and the last
// state loaded is what the next block plays once a reset has ended the modulation.
TEST(Clap, MainAndAudioThreadsAsTheInterfaceSeparatesThem) {
  TestHost host;
  Instance plugin(entry(), &host.host);
  activate(plugin);
  std::atomic<bool> stop{false};
  std::thread audio([&] {
    EventList events;
    std::uint32_t n = 0;
    while (!stop) {
      events.clear();
      const std::uint32_t modulated[] = {0, 1, 4, 5};
      events.add(n % kFrames, n % 6, (n % 4) / 4.0);
      events.add(n % kFrames, modulated[n % 4], (n % 3) / 4.0, 0, kParamMod);
      outputOf(plugin, events, ++n);
    }
  });
  int loads = 0;
  std::vector<std::uint8_t> last;
  for (int round = 0; round < 300; ++round) {
    double value;
    char text[64];
    for (std::uint32_t id = 0; id < 7; ++id) {
      ASSERT_TRUE(plugin.params->getValue(plugin.plugin, id, &value));
      ASSERT_TRUE(plugin.params->valueToText(plugin.plugin, id, value, text, sizeof text));
    }
    MemoryStream stream;
    stream.chunk = 32;
    ASSERT_TRUE(plugin.state->save(plugin.plugin, &stream.output));
    stream.bytes[8 + 4 * (round % 6) + 3] = 0x3E;  // that value becomes 0.125 to 0.25
    ASSERT_TRUE(plugin.state->load(plugin.plugin, &stream.input));
    ++loads;
    last = stream.bytes;
  }
  stop = true;
  audio.join();
  EXPECT_EQ(host.callsOffMainThread, 0);
  EXPECT_EQ(host.valueRescans, loads);

  // The last state, with the Additional LP off so that the low-pass's history is not heard,
  // sounds the same in a fresh instance once the sections are reset.
  MemoryStream again, copy;
  std::fill(last.begin() + 24, last.begin() + 28, 0);
  again.bytes = copy.bytes = last;
  ASSERT_TRUE(plugin.state->load(plugin.plugin, &again.input));
  Instance fresh(entry(), &host.host);
  ASSERT_TRUE(fresh.state->load(fresh.plugin, &copy.input));
  activate(fresh);
  plugin.plugin->reset(plugin.plugin);
  EventList none;
  EXPECT_EQ(outputOf(plugin, none, 9), outputOf(fresh, none, 9));
  deactivate(plugin);
  deactivate(fresh);
}

// The editor's gestures as the host hears them, delivery by delivery: one begin for any gestures
// begun since the last, the latest value alone, the end once every gesture begun has ended, and
// a gesture begun while the host's is open continuing it; the editor reads back what it sent
// until the filter has applied it.
TEST(Clap, TheEditorsGesturesCoalesceBetweenDeliveries) {
  // What the editor sends between two deliveries (b begins, a digit d sets d / 10, e ends) and
  // what the host then hears (b, v for the value, e).
  const struct {
    const char* sent;
    const char* heard;
  } deliveries[] = {
      {"", ""},   {"b34", "bv"}, {"", ""},   {"5e", "ve"}, {"beb7", "bv"},
      {"e", "e"}, {"b", "b"},    {"eb", ""}, {"e", "e"},
  };
  qr47::GestureMailbox mail;
  constexpr std::int32_t kQ = 1;
  for (const auto& step : deliveries) {
    float last = -1.0f;
    for (const char* c = step.sent; *c; ++c) {
      if (*c == 'b') mail.begin(kQ);
      if (*c == 'e') mail.end(kQ);
      if (std::isdigit(static_cast<unsigned char>(*c))) mail.set(kQ, last = (*c - '0') / 10.0f);
    }
    const bool arrived = mail.arrived();
    const qr47::GestureMailbox::Delivery d = mail.take(kQ);
    const std::string heard =
        std::string(d.begin ? "b" : "") + (d.hasValue ? "v" : "") + (d.end ? "e" : "");
    EXPECT_EQ(arrived, *step.sent != 0) << step.sent;
    EXPECT_EQ(heard, step.heard) << step.sent;
    if (!d.hasValue) continue;
    float shown = -1.0f;
    EXPECT_EQ(d.value, last) << step.sent;
    EXPECT_TRUE(mail.pending(kQ, &shown) && shown == last) << "sent, not yet applied";
    mail.applied(kQ);
    EXPECT_FALSE(mail.pending(kQ, &shown));
  }
  // Other slots heard nothing of these, and indexes outside the seven are ignored.
  EXPECT_FALSE(mail.take(0).begin || mail.take(6).hasValue);
  mail.begin(7);
  mail.set(-1, 0.5f);
  EXPECT_FALSE(mail.arrived());
}

}  // namespace
}  // namespace clap_test
