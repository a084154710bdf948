// The built module, loaded and driven exactly as a host does: through its entry and its record.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "module_loader.h"

namespace qr47 {
namespace {

std::intptr_t hostVersion = 2400;

std::intptr_t host(EffectRecord*, std::int32_t request, std::int32_t, std::intptr_t, void*, float) {
  return request == request::kHostVersion ? hostVersion : 0;
}

class LoadedModule : public ::testing::Test {
 protected:
  void SetUp() override {
    handle = dlopen(QR47_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    entry = reinterpret_cast<ModuleMain>(dlsym(handle, "VSTPluginMain"));
    ASSERT_NE(entry, nullptr);
    hostVersion = 2400;
  }
  void TearDown() override {
    for (EffectRecord* record : open) close(record);
    if (handle) dlclose(handle);
  }

  EffectRecord* create() {
    EffectRecord* record = entry(host);
    if (record) open.push_back(record);
    return record;
  }
  void close(EffectRecord* record) {
    EXPECT_EQ(dispatch(record, opcode::kClose), 1);
    open.erase(std::remove(open.begin(), open.end(), record), open.end());
  }
  static std::string text(EffectRecord* record, std::int32_t opcode, std::int32_t index = 0) {
    char buffer[64] = {};
    dispatch(record, opcode, index, 0, buffer);
    return buffer;
  }

  void* handle = nullptr;
  ModuleMain entry = nullptr;
  std::vector<EffectRecord*> open;
};

TEST_F(LoadedModule, MainAndVstPluginMainAreTheSameFunction) {
  EXPECT_EQ(reinterpret_cast<void*>(entry), dlsym(handle, "main"));
}

TEST_F(LoadedModule, AVersionOfZeroGivesNoEffect) {
  hostVersion = 0;
  EXPECT_EQ(create(), nullptr);
}

template <typename T>
T fieldAt(const EffectRecord* record, std::size_t offset) {
  T value;
  std::memcpy(&value, reinterpret_cast<const unsigned char*>(record) + offset, sizeof value);
  return value;
}

// The record read byte by byte at the host interface's offsets for this platform.
TEST_F(LoadedModule, RecordBytesAtTheHostOffsets) {
  const bool wide = sizeof(void*) == 8;
  const std::size_t object = wide ? 96 : 64, uniqueId = wide ? 112 : 72;
  const std::size_t counts = wide ? 40 : 20, tail = wide ? 128 : 84, size = wide ? 192 : 144;
  EffectRecord* record = create();
  ASSERT_NE(record, nullptr);
  const auto* bytes = reinterpret_cast<const unsigned char*>(record);
  EXPECT_EQ(std::memcmp(bytes, "PtsV", 4), 0);
  const std::int32_t expectedCounts[] = {16, 6, 2, 2, 24};
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(fieldAt<std::int32_t>(record, counts + 4 * i), expectedCounts[i]);
  EXPECT_EQ(fieldAt<std::intptr_t>(record, wide ? 64 : 40), 0);  // reserved words
  EXPECT_EQ(fieldAt<std::intptr_t>(record, wide ? 72 : 44), 0);
  for (std::size_t at : {wide ? 80u : 48u, wide ? 84u : 52u, wide ? 88u : 56u}) {
    EXPECT_EQ(fieldAt<std::int32_t>(record, at), 0);
  }
  EXPECT_EQ(fieldAt<float>(record, wide ? 92 : 60), 1.0f);
  EXPECT_NE(fieldAt<void*>(record, object), nullptr);
  EXPECT_EQ(fieldAt<std::intptr_t>(record, wide ? 104 : 68), 0);
  EXPECT_EQ(fieldAt<std::int32_t>(record, uniqueId), 0x51523437);  // QR47
  EXPECT_EQ(fieldAt<std::int32_t>(record, uniqueId + 4), 1);
  const std::size_t entries[] = {wide ? 8u : 4u, wide ? 16u : 8u, wide ? 24u : 12u,
                                 wide ? 32u : 16u, wide ? 120u : 80u};
  for (std::size_t at : entries) EXPECT_NE(fieldAt<void*>(record, at), nullptr);
  for (std::size_t at = tail; at < size; ++at) EXPECT_EQ(bytes[at], 0) << at;
}

TEST_F(LoadedModule, CommandsTextsAndPrograms) {
  EffectRecord* record = create();
  ASSERT_NE(record, nullptr);
  dispatch(record, opcode::kOpen);
  dispatch(record, opcode::kSampleRate, 0, 0, nullptr, 44100.0f);
  dispatch(record, opcode::kBlockSize, 0, 512);
  dispatch(record, opcode::kSuspendResume, 0, 1);
  EXPECT_EQ(dispatch(record, opcode::kIdentify), 0x4E764566);
  EXPECT_EQ(dispatch(record, opcode::kMeterLevel), 0);
  EXPECT_EQ(dispatch(record, opcode::kGetStateBlock, 1), 0);
  EXPECT_EQ(dispatch(record, opcode::kEditorBounds), 0);
  EXPECT_EQ(text(record, opcode::kProgramName), "--- Default ---");
  EXPECT_EQ(text(record, opcode::kParameterName, 4), " Additional LP ");
  EXPECT_EQ(text(record, opcode::kParameterUnit, 0), "   Hz   ");
  EXPECT_EQ(text(record, opcode::kParameterText, 0), "20000");

  record->setParameterEntry(record, 0, 0.5f);
  EXPECT_EQ(record->getParameterEntry(record, 0), 0.5f);
  EXPECT_EQ(text(record, opcode::kParameterText, 0), "2950");
  EXPECT_EQ(dispatch(record, opcode::kSelectProgram, 0, 7), 0);
  EXPECT_EQ(dispatch(record, opcode::kCurrentProgram), 7);
  EXPECT_EQ(text(record, opcode::kProgramName), "Init 7");
  char name[] = "Sweep";
  dispatch(record, opcode::kRenameProgram, 0, 0, name);
  EXPECT_EQ(text(record, opcode::kProgramName), "Sweep");
  EXPECT_EQ(record->getParameterEntry(record, 0), 1.0f);
  dispatch(record, opcode::kSelectProgram, 0, 16);
  dispatch(record, opcode::kSelectProgram, 0, -1);
  EXPECT_EQ(dispatch(record, opcode::kCurrentProgram), 7);
}

// A text question asked with a buffer guarded beyond the room the host states.
std::string guardedText(EffectRecord* r, std::int32_t opcode, std::int32_t index, std::size_t room,
                        std::intptr_t* result) {
  char buffer[128];
  std::memset(buffer, '#', sizeof buffer);
  *result = r->dispatchEntry(r, opcode, index, 0, buffer, 0.0f);
  for (std::size_t i = room; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], '#') << opcode;
  if (buffer[0] == '#') return "untouched";
  EXPECT_NE(std::memchr(buffer, '\0', room), nullptr) << opcode;
  return std::string(buffer, strnlen(buffer, room));
}

// Texts read through the dispatcher after each change, with a check that nothing is written past
// the longest text each command may write: 16 bytes for a name, 9 for a unit, 24 for a program
// name and 40 for a value text of a value far outside 0 .. 1. Values that are not finite are
// ignored, so the text stays what it was.
TEST_F(LoadedModule, TextsThroughTheDispatcher) {
  struct Case {
    std::int32_t index;
    float value;
    const char* text;
  };
  const Case cases[] = {
      {0, 0.0f, "270"},
      {0, 0.33332998f, "1170"},
      {0, 0.33333f, "900"},
      {0, 1.0f, "20000"},
      {0, 1.0000001f, "900"},
      {0, NAN, "900"},
      {1, 0.7f, "70"},
      {1, -0.0f, "1"},
      {1, 3e38f, "oo"},
      {2, 0.24999999f, "low pass"},
      {2, 0.25f, "high pass"},
      {2, 0.74999994f, "band pass"},
      {2, 1.0f, "notch"},
      {2, 1.0000001f, "notch"},
      {3, 0.49999997f, "2 poles"},
      {3, 0.5f, "4 poles"},
      {3, -1e30f, "2 poles"},
      {4, -0.0f, "Off"},
      {4, 0.005f, "1"},
      {4, 0.004f, ""},
      {4, INFINITY, ""},
      {5, 0.0f, "  -oo   "},
      {5, 1.0f, "18.06180"},
      {5, 100.0f, "58.06179"},
      {5, -1.0f, "  -oo   "},
      {5, 2e7f, "164.0823"},
      {1, 1e20f, "9999999778196308400000"},
  };
  EffectRecord* record = create();
  ASSERT_NE(record, nullptr);
  std::intptr_t result;
  auto guarded = [&](std::int32_t opcode, std::int32_t index, std::size_t room) {
    return guardedText(record, opcode, index, room, &result);
  };
  for (const Case& c : cases) {
    record->setParameterEntry(record, c.index, c.value);
    EXPECT_EQ(guarded(opcode::kParameterText, c.index, 40), c.text) << c.index << " " << c.value;
    for (std::int32_t index = -1; index <= 6; ++index) {
      guarded(opcode::kParameterName, index, 16);
      guarded(opcode::kParameterUnit, index, 9);
      guarded(opcode::kParameterText, index, 40);
    }
  }
  const std::string longName(100, 'n');
  dispatch(record, opcode::kSelectProgram, 0, 11);
  dispatch(record, opcode::kRenameProgram, 0, 0, const_cast<char*>(longName.c_str()));
  EXPECT_EQ(guarded(opcode::kProgramName, 0, 24), std::string(23, 'n'));
  EXPECT_EQ(guarded(opcode::kProgramNameIndexed, 11, 24), std::string(23, 'n'))
      << "a name of the full length, by number too";
  dispatch(record, opcode::kSelectProgram, 0, 0);
  EXPECT_EQ(guarded(opcode::kProgramName, 0, 24), "--- Default ---");
}

// Two live instances fed the same audio in different modes and block sizes agree sample for
// sample; closing one leaves the other working.
TEST_F(LoadedModule, TwoInstancesProcessIndependently) {
  EffectRecord* a = create();
  EffectRecord* b = create();
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a, b);
  EXPECT_NE(fieldAt<void*>(a, sizeof(void*) == 8 ? 96 : 64),
            fieldAt<void*>(b, sizeof(void*) == 8 ? 96 : 64));
  const float settings[] = {0.55f, 0.9f, 0.6f, 1.0f, 0.3f, 0.2f};
  for (EffectRecord* r : {a, b}) {
    for (int i = 0; i < 6; ++i) r->setParameterEntry(r, i, settings[i]);
    dispatch(r, opcode::kSuspendResume, 0, 1);
  }
  const int frames = 4096;
  std::mt19937 random(3);
  std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
  std::vector<float> in0(frames), in1(frames), outA0(frames), outA1(frames);
  std::vector<float> outB0(frames, 0.0f), outB1(frames, 0.0f);
  for (int i = 0; i < frames; ++i) {
    in0[i] = noise(random);
    in1[i] = noise(random);
  }
  for (int start = 0, size = 1; start < frames; start += size, size = size % 1024 + 37) {
    const int n = std::min(size, frames - start);
    float* inputs[] = {in0.data() + start, in1.data() + start};
    float* outA[] = {outA0.data() + start, outA1.data() + start};
    a->processReplaceEntry(a, inputs, outA, n);
  }
  for (int start = 0; start < frames; start += 256) {
    float* inputs[] = {in0.data() + start, in1.data() + start};
    float* outB[] = {outB0.data() + start, outB1.data() + start};
    b->processAddEntry(b, inputs, outB, 256);
  }
  EXPECT_EQ(outA0, outB0);
  EXPECT_EQ(outA1, outB1);
  float energy = 0.0f;
  for (float v : outA0) energy += v * v;
  EXPECT_GT(energy, 1.0f);

  close(a);
  float* inputs[] = {in0.data(), in1.data()};
  float* outputs[] = {outA0.data(), outA1.data()};
  b->processReplaceEntry(b, inputs, outputs, 64);
  EXPECT_TRUE(std::isfinite(outA0[63]));
  EXPECT_EQ(text(b, opcode::kParameterText, 2), "band pass");
}

TEST_F(LoadedModule, ManyCreateAndCloseCycles) {
  for (int i = 0; i < 1000; ++i) {
    EffectRecord* record = create();
    ASSERT_NE(record, nullptr);
    close(record);
  }
}

// The questions hosts ask beyond the first 25 commands, as an independent host asks them.
TEST_F(LoadedModule, AnswersTheHostsQuestions) {
  EffectRecord* r = create();
  ASSERT_NE(r, nullptr);
  struct Number {
    std::int32_t opcode, index;
    std::intptr_t answer;
  };
  const Number numbers[] = {
      {opcode::kCanBeAutomated, 0, 1},      {opcode::kCanBeAutomated, 5, 1},
      {opcode::kCanBeAutomated, 6, 0},      {opcode::kCanBeAutomated, -1, 0},
      {opcode::kPlugCategory, 0, 1},        {opcode::kVendorVersion, 0, r->version},
      {opcode::kInterfaceVersion, 0, 2400},
  };
  for (const Number& n : numbers) {
    EXPECT_EQ(dispatch(r, n.opcode, n.index), n.answer) << n.opcode << " " << n.index;
  }
  EXPECT_EQ(r->version, 1);

  struct Text {
    std::int32_t opcode, index;
    std::size_t room;
    std::intptr_t result;
    const char* text;
  };
  const Text texts[] = {
      {opcode::kEffectName, 0, 32, 1, "QR47"},
      {opcode::kVendorString, 0, 64, 1, "QR47 Project"},
      {opcode::kProductString, 0, 64, 1, "QR47 Filter"},
      {opcode::kProgramNameIndexed, 0, 24, 1, "--- Default ---"},
      {opcode::kProgramNameIndexed, 7, 24, 1, "Init 7"},
      {opcode::kProgramNameIndexed, 15, 24, 1, "Init 15"},
      {opcode::kProgramNameIndexed, 16, 24, 0, "untouched"},
      {opcode::kProgramNameIndexed, -1, 24, 0, "untouched"},
  };
  for (const Text& t : texts) {
    std::intptr_t result = -7;
    EXPECT_EQ(guardedText(r, t.opcode, t.index, t.room, &result), t.text) << t.opcode;
    EXPECT_EQ(result, t.result) << t.opcode << " " << t.index;
  }
  EXPECT_EQ(dispatch(r, opcode::kCurrentProgram), 0);  // naming a program does not select it
  // Every text command without its text answers 0 and touches nothing.
  for (std::int32_t opcode :
       {opcode::kRenameProgram, opcode::kProgramName, opcode::kParameterUnit,
        opcode::kParameterText, opcode::kParameterName, opcode::kProgramNameIndexed,
        opcode::kEffectName, opcode::kVendorString, opcode::kProductString, opcode::kCanDo}) {
    EXPECT_EQ(dispatch(r, opcode, 0, 0, nullptr), 0) << opcode;
  }
  std::intptr_t named = -1;
  EXPECT_EQ(guardedText(r, opcode::kProgramName, 0, 24, &named), "--- Default ---");

  struct Ability {
    const char* name;
    std::intptr_t answer;
  };
  const Ability abilities[] = {
      {"plugAsChannelInsert", 1},
      {"plugAsSend", 1},
      {"2in2out", 1},
      {"receiveVstEvents", -1},
      {"receiveVstMidiEvent", -1},
      {"sendVstEvents", -1},
      {"sendVstMidiEvent", -1},
      {"offline", -1},
      {"1in1out", 0},
      {"", 0},
      {"2in2out ", 0},
  };
  for (const Ability& a : abilities) {
    std::string name = a.name;
    EXPECT_EQ(dispatch(r, opcode::kCanDo, 0, 0, name.data()), a.answer) << a.name;
  }
}

// The tail follows the settings: no shorter than the samples after which the impulse response
// stays below -90 dB (as the filter run on an impulse counts them), and not much longer.
TEST_F(LoadedModule, TailFollowsTheSettings) {
  struct Case {
    std::vector<std::pair<std::int32_t, float>> settings;
    std::intptr_t rings;
  };
  const Case cases[] = {
      {{}, 46},  // the factory program
      {{{0, 0.1f}, {1, 1.0f}, {3, 1.0f}}, 251},
      {{{0, 0.3f}, {1, 0.9f}, {4, 1.0f}, {5, 1.0f}}, 1616},
  };
  for (const Case& c : cases) {
    EffectRecord* r = create();
    for (auto [index, value] : c.settings) r->setParameterEntry(r, index, value);
    EXPECT_GE(dispatch(r, opcode::kTailSize), c.rings);
    EXPECT_LE(dispatch(r, opcode::kTailSize), c.rings * 5 / 4 + 64);
    close(r);
  }
  EffectRecord* silent = create();
  silent->setParameterEntry(silent, 5, 0.0f);
  EXPECT_EQ(dispatch(silent, opcode::kTailSize), 1) << "the interface's no tail";
  close(silent);
  EffectRecord* r = create();  // at most ten seconds of the host's rate
  dispatch(r, opcode::kSampleRate, 0, 0, nullptr, 1e7f);
  r->setParameterEntry(r, 4, 1.0f);
  r->setParameterEntry(r, 0, 0.0f);
  EXPECT_LE(dispatch(r, opcode::kTailSize), 100000000);
  EXPECT_GT(dispatch(r, opcode::kTailSize), 10000);
}

}  // namespace
}  // namespace qr47
