#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "interface_numbers.h"
#include "mock_effect.h"
#include "text_copy.h"

namespace qr47 {
namespace {

using ::testing::InSequence;
using ::testing::NiceMock;
using ::testing::Return;

// The smallest effect there is: everything but processAdd is EffectBase's.
class BareEffect : public EffectBase {
 public:
  BareEffect() : EffectBase(nullptr, 4, 3) {}
  void processAdd(float**, float**, std::int32_t) override {}
};

TEST(EffectBase, ConstructorFillsTheRecord) {
  BareEffect effect;
  const EffectRecord& record = *effect.getRecord();
  EXPECT_EQ(std::memcmp(&record, "PtsV", 4), 0);
  EXPECT_EQ(record.programCount, 4);
  EXPECT_EQ(record.parameterCount, 3);
  EXPECT_EQ(record.inputCount, 1);
  EXPECT_EQ(record.outputCount, 2);
  EXPECT_EQ(record.flags, 0);
  EXPECT_EQ(record.reservedA, 0);
  EXPECT_EQ(record.reservedB, 0);
  EXPECT_EQ(record.initialDelay, 0);
  EXPECT_EQ(record.realtimeQualities, 0);
  EXPECT_EQ(record.offlineQualities, 0);
  EXPECT_EQ(record.ioRatio, 1.0f);
  EXPECT_EQ(record.object, static_cast<void*>(&effect));
  EXPECT_EQ(record.userWord, 0);
  EXPECT_EQ(record.uniqueId, 0x4E6F4566);
  EXPECT_EQ(record.version, 1);
  for (unsigned char tail : record.reservedTail) EXPECT_EQ(tail, 0);
}

TEST(EffectBase, DefaultsOfABareEffect) {
  BareEffect effect;
  EXPECT_EQ(effect.getParameter(0), 0.0f);
  EXPECT_EQ(effect.getMeterLevel(), 0.0f);
  void* block = &effect;
  EXPECT_EQ(effect.getStateBlock(&block, true), 0);
  EXPECT_EQ(effect.setStateBlock(&effect, 8, false), 0);
  EXPECT_EQ(effect.getSampleRate(), 44100.0f);
  EXPECT_EQ(effect.getBlockSize(), 1024);
  EXPECT_EQ(effect.getProgram(), 0);
  effect.setProgram(3);
  EXPECT_EQ(effect.getProgram(), 3);
  effect.setSampleRate(48000.25f);
  effect.setBlockSize(64);
  EXPECT_EQ(effect.getSampleRate(), 48000.25f);
  EXPECT_EQ(effect.getBlockSize(), 64);

  using TextOperation = void (*)(EffectBase&, char*);
  const TextOperation operations[] = {
      [](EffectBase& e, char* t) { e.setProgramName(t); },
      [](EffectBase& e, char* t) { e.getProgramName(t); },
      [](EffectBase& e, char* t) { e.getParameterUnit(0, t); },
      [](EffectBase& e, char* t) { e.getParameterText(1, t); },
      [](EffectBase& e, char* t) { e.getParameterName(2, t); },
  };
  for (TextOperation operation : operations) {
    char text[] = "filled";
    operation(effect, text);
    EXPECT_STREQ(text, "");
    EXPECT_STREQ(text + 1, "illed");  // only the first byte is written
  }
}

TEST(EffectBase, FlagSettersChangeOnlyTheirBit) {
  struct Case {
    void (EffectBase::*setter)(bool);
    std::int32_t bit;
  };
  const Case cases[] = {{&EffectBase::setHasClipIndicator, 2},
                        {&EffectBase::setHasMeter, 4},
                        {&EffectBase::setCanMono, 8},
                        {&EffectBase::setCanReplace, 16},
                        {&EffectBase::setProgramsAreBlocks, 32}};
  for (const Case& c : cases) {
    BareEffect effect;
    const std::int32_t others = 0x3E & ~c.bit;
    for (const Case& other : cases) {
      if (other.bit != c.bit) (effect.*other.setter)(true);
    }
    (effect.*c.setter)(true);
    (effect.*c.setter)(true);
    EXPECT_EQ(effect.getRecord()->flags, others | c.bit);
    (effect.*c.setter)(false);
    EXPECT_EQ(effect.getRecord()->flags, others);
  }
}

TEST(EffectBase, RecordSettersWriteTheirField) {
  BareEffect effect;
  effect.setUniqueId(0x51523437);
  effect.setInputCount(2);
  effect.setOutputCount(6);
  effect.setRealtimeQualities(3);
  effect.setOfflineQualities(4);
  effect.setInitialDelay(128);
  const EffectRecord& record = *effect.getRecord();
  EXPECT_EQ(record.uniqueId, 0x51523437);
  EXPECT_EQ(record.inputCount, 2);
  EXPECT_EQ(record.outputCount, 6);
  EXPECT_EQ(record.realtimeQualities, 3);
  EXPECT_EQ(record.offlineQualities, 4);
  EXPECT_EQ(record.initialDelay, 128);
}

TEST(EntryFunctions, RouteToTheObjectUnchanged) {
  NiceMock<MockEffect> effect;
  EffectRecord* record = effect.getRecord();
  float left[4], right[4];
  float* inputs[] = {left, right};
  float* outputs[] = {right, left};
  EXPECT_CALL(effect, setParameter(2, 0.75f));
  EXPECT_CALL(effect, getParameter(-3)).WillOnce(Return(-0.0f));
  EXPECT_CALL(effect, processAdd(inputs, outputs, 4));
  EXPECT_CALL(effect, processReplace(inputs, outputs, -2));
  EXPECT_CALL(effect, getProgram()).WillOnce(Return(9));
  record->setParameterEntry(record, 2, 0.75f);
  const float got = record->getParameterEntry(record, -3);
  EXPECT_TRUE(got == 0.0f && std::signbit(got));
  record->processAddEntry(record, inputs, outputs, 4);
  record->processReplaceEntry(record, inputs, outputs, -2);
  EXPECT_EQ(record->dispatchEntry(record, opcode::kCurrentProgram, 0, 0, nullptr, 0.0f), 9);
}

TEST(EntryFunctions, CloseCallsCloseThenDestroysAndAnswersOne) {
  auto* effect = new NiceMock<MockEffect>();
  auto owned = std::make_unique<NiceMock<MockEditor>>();
  MockEditor& editor = *owned;
  effect->giveEditor(std::move(owned));
  {
    InSequence order;
    EXPECT_CALL(*effect, close());
    EXPECT_CALL(*effect, destroyed());
    EXPECT_CALL(editor, destroyed());
  }
  EffectRecord* record = effect->getRecord();
  EXPECT_EQ(record->dispatchEntry(record, opcode::kClose, 0, 0, nullptr, 0.0f), 1);
}

// Texts are cut to the host's room, terminated within it, and nothing past it is touched.
TEST(TextCopy, CutToTheRoomAndEndedWithinIt) {
  struct Case {
    const char* text;
    std::size_t room;
    const char* copied;
  };
  for (const Case& c : {Case{"0123456789", 5, "0123"}, Case{"0123", 5, "0123"},
                        Case{"01234", 5, "0123"}, Case{"", 5, ""}, Case{"x", 1, ""}}) {
    char buffer[8];
    std::memset(buffer, '#', sizeof buffer);
    copyText(buffer, c.text, c.room);
    EXPECT_STREQ(buffer, c.copied);
    EXPECT_EQ(std::string(buffer + c.room, sizeof buffer - c.room), std::string(8 - c.room, '#'));
  }
}

// The record's offsets on both kinds of platform as the interface gives them, so that a wrong
// number for the other platform fails here too, not only in its own build.
TEST(RecordLayout, OffsetsOfBothPointerWidths) {
  struct Case {
    const RecordLayout& layout;
    std::size_t offsets[17];
  };
  const Case cases[] = {
      {kLayout32, {4, 8, 12, 16, 20, 36, 40, 44, 48, 60, 64, 68, 72, 76, 80, 84, 144}},
      {kLayout64, {8, 16, 24, 32, 40, 56, 64, 72, 80, 92, 96, 104, 112, 116, 120, 128, 192}},
  };
  static_assert(sizeof(RecordLayout) == 17 * sizeof(std::size_t));
  for (const Case& c : cases) {
    std::size_t actual[17];
    std::memcpy(actual, &c.layout, sizeof actual);
    for (int i = 0; i < 17; ++i) EXPECT_EQ(actual[i], c.offsets[i]) << c.offsets[16] << " " << i;
  }
}

}  // namespace
}  // namespace qr47
