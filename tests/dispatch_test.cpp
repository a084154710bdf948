#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <utility>

#include "interface_numbers.h"
#include "mock_effect.h"

namespace qr47 {
namespace {

using ::testing::_;
using ::testing::NiceMock;
using ::testing::Return;
using ::testing::StrictMock;

// Every opcode that must answer 0 and call nothing, out-of-range ones included.
TEST(Dispatch, UnhandledOpcodesAnswerZeroAndCallNothing) {
  StrictMock<MockEffect> effect;
  EXPECT_CALL(effect, destroyed());
  for (std::int32_t opcode : {16, 17, 18, 20, 21, 25, 100, -1, INT32_MIN, INT32_MAX}) {
    EXPECT_EQ(effect.dispatch(opcode, 1, 1, nullptr, 1.0f), 0) << opcode;
  }
}

// The questions beyond the first 25 commands, asked of an effect that answers none of them: the
// bridge says "unknown" (0) and writes nothing, except the vendor version, which is the record's
// version, and the interface version.
TEST(Dispatch, QuestionsAnEffectDoesNotAnswer) {
  StrictMock<MockEffect> effect;
  EXPECT_CALL(effect, destroyed());
  const std::pair<std::int32_t, std::intptr_t> answers[] = {
      {26, 0}, {29, 0}, {35, 0}, {45, 0}, {47, 0}, {48, 0}, {49, 1}, {51, 0}, {52, 0}, {58, 2400}};
  for (auto [opcode, answer] : answers) {
    char text[80] = "untouched";
    EXPECT_EQ(effect.dispatch(opcode, 2, 0, text, 0.0f), answer) << opcode;
    EXPECT_STREQ(text, "untouched") << opcode;
  }
}

TEST(Dispatch, IdentifyAnswersNvEfWhateverTheArguments) {
  StrictMock<MockEffect> effect;
  EXPECT_CALL(effect, destroyed());
  char text[4];
  EXPECT_EQ(effect.dispatch(opcode::kIdentify, 0, 0, nullptr, 0.0f), 0x4E764566);
  EXPECT_EQ(effect.dispatch(opcode::kIdentify, -7, 99, text, 3.5f), 0x4E764566);
}

TEST(Dispatch, SelectProgramTakesTheNumberFromValueWithinBounds) {
  NiceMock<MockEffect> effect;
  EXPECT_CALL(effect, setProgram(15));
  EXPECT_CALL(effect, setProgram(0));
  EXPECT_EQ(effect.dispatch(opcode::kSelectProgram, 0, 15, nullptr, 0.0f), 0);
  EXPECT_EQ(effect.dispatch(opcode::kSelectProgram, 3, 0, nullptr, 0.0f), 0);
  // 16 is the program count; a 64-bit value must not wrap into range either.
  for (std::intptr_t outside : {std::intptr_t{16}, std::intptr_t{1000}, std::intptr_t{-1},
                                static_cast<std::intptr_t>(INTPTR_MIN)}) {
    EXPECT_EQ(effect.dispatch(opcode::kSelectProgram, 0, outside, nullptr, 0.0f), 0);
  }
  if constexpr (sizeof(std::intptr_t) == 8) {
    const auto wide = static_cast<std::intptr_t>(std::int64_t{1} << 32 | 3);
    EXPECT_EQ(effect.dispatch(opcode::kSelectProgram, 0, wide, nullptr, 0.0f), 0);
  }
}

TEST(Dispatch, SelectProgramBoundIsTheEffectsProgramCount) {
  NiceMock<MockEffect> effect(nullptr, 3, 6);
  EXPECT_CALL(effect, setProgram(2));
  EXPECT_CALL(effect, setProgram(3)).Times(0);
  effect.dispatch(opcode::kSelectProgram, 0, 2, nullptr, 0.0f);
  effect.dispatch(opcode::kSelectProgram, 0, 3, nullptr, 0.0f);
}

TEST(Dispatch, ForwardsTextCommandsWithIndexAndBuffer) {
  NiceMock<MockEffect> effect;
  char text[32];
  EXPECT_CALL(effect, getProgram()).WillOnce(Return(7));
  EXPECT_CALL(effect, setProgramName(text));
  EXPECT_CALL(effect, getProgramName(text));
  EXPECT_CALL(effect, getParameterUnit(2, text));
  EXPECT_CALL(effect, getParameterText(-4, text));
  EXPECT_CALL(effect, getParameterName(5, text));
  EXPECT_EQ(effect.dispatch(opcode::kCurrentProgram, 0, 0, nullptr, 0.0f), 7);
  EXPECT_EQ(effect.dispatch(opcode::kRenameProgram, 0, 0, text, 0.0f), 0);
  EXPECT_EQ(effect.dispatch(opcode::kProgramName, 0, 0, text, 0.0f), 0);
  EXPECT_EQ(effect.dispatch(opcode::kParameterUnit, 2, 0, text, 0.0f), 0);
  EXPECT_EQ(effect.dispatch(opcode::kParameterText, -4, 0, text, 0.0f), 0);
  EXPECT_EQ(effect.dispatch(opcode::kParameterName, 5, 0, text, 0.0f), 0);
}

TEST(Dispatch, TextCommandsWithoutATextDoNothing) {
  StrictMock<MockEffect> effect;
  EXPECT_CALL(effect, destroyed());
  for (std::int32_t opcode : {opcode::kRenameProgram, opcode::kProgramName, opcode::kParameterUnit,
                              opcode::kParameterText, opcode::kParameterName}) {
    EXPECT_EQ(effect.dispatch(opcode, 0, 0, nullptr, 0.0f), 0);
  }
}

TEST(Dispatch, ForwardsLifecycleAndSettings) {
  NiceMock<MockEffect> effect;
  {
    ::testing::InSequence order;
    EXPECT_CALL(effect, open());
    EXPECT_CALL(effect, setSampleRate(96000.5f));
    EXPECT_CALL(effect, setBlockSize(256));
    EXPECT_CALL(effect, suspend());
    EXPECT_CALL(effect, resume()).Times(3);
    EXPECT_CALL(effect, close());
  }
  EXPECT_EQ(effect.dispatch(opcode::kOpen, 0, 0, nullptr, 0.0f), 0);
  EXPECT_EQ(effect.dispatch(opcode::kSampleRate, 0, 0, nullptr, 96000.5f), 0);
  EXPECT_EQ(effect.dispatch(opcode::kBlockSize, 0, 256, nullptr, 0.0f), 0);
  EXPECT_EQ(effect.dispatch(opcode::kSuspendResume, 0, 0, nullptr, 0.0f), 0);
  for (std::intptr_t on : {1, -1, 256}) {
    EXPECT_EQ(effect.dispatch(opcode::kSuspendResume, 0, on, nullptr, 0.0f), 0);
  }
  // Through dispatch alone, close answers 0 and leaves the object alive.
  EXPECT_CALL(effect, destroyed()).Times(0);
  EXPECT_EQ(effect.dispatch(opcode::kClose, 0, 0, nullptr, 0.0f), 0);
  ::testing::Mock::VerifyAndClearExpectations(&effect);
}

TEST(Dispatch, MeterLevelIsScaledAndTruncated) {
  struct Case {
    float level;
    std::intptr_t answer;
  };
  const Case cases[] = {{0.0f, 0},     {0.5f, 16383},         {-0.5f, -16383},
                        {1.0f, 32767}, {1e30f, INT32_MAX},    {-1e30f, INT32_MIN},
                        {NAN, 0},      {INFINITY, INT32_MAX}, {0.00001f, 0}};
  for (const Case& c : cases) {
    NiceMock<MockEffect> effect;
    ON_CALL(effect, getMeterLevel()).WillByDefault(Return(c.level));
    EXPECT_EQ(effect.dispatch(opcode::kMeterLevel, 0, 0, nullptr, 0.0f), c.answer) << c.level;
  }
}

TEST(Dispatch, StateBlocksPassIsPresetFromIndex) {
  NiceMock<MockEffect> effect;
  void* block = nullptr;
  char data[16];
  EXPECT_CALL(effect, getStateBlock(reinterpret_cast<void**>(&block), false)).WillOnce(Return(0));
  EXPECT_CALL(effect, getStateBlock(reinterpret_cast<void**>(&block), true))
      .Times(2)
      .WillRepeatedly(Return(12));
  EXPECT_CALL(effect, setStateBlock(data, 16, true)).WillOnce(Return(5));
  EXPECT_EQ(effect.dispatch(opcode::kGetStateBlock, 0, 0, &block, 0.0f), 0);
  EXPECT_EQ(effect.dispatch(opcode::kGetStateBlock, 1, 0, &block, 0.0f), 12);
  EXPECT_EQ(effect.dispatch(opcode::kGetStateBlock, -1, 0, &block, 0.0f), 12);
  EXPECT_EQ(effect.dispatch(opcode::kSetStateBlock, 2, 16, data, 0.0f), 5);
}

TEST(Dispatch, EditorCommandsWithoutAnEditorAnswerZero) {
  NiceMock<MockEffect> effect;
  char bounds[8];
  for (std::int32_t opcode :
       {opcode::kEditorBounds, opcode::kOpenEditor, opcode::kCloseEditor, opcode::kEditorIdle}) {
    EXPECT_EQ(effect.dispatch(opcode, 0, 0, bounds, 0.0f), 0);
  }
}

TEST(Dispatch, EditorCommandsReachTheEditor) {
  NiceMock<MockEffect> effect;
  auto owned = std::make_unique<StrictMock<MockEditor>>();
  MockEditor& editor = *owned;
  char window[8];
  EXPECT_CALL(editor, getEditorBounds(window)).WillOnce(Return(3));
  EXPECT_CALL(editor, openEditor(window)).WillOnce(Return(1));
  EXPECT_CALL(editor, closeEditor());
  EXPECT_CALL(editor, editorIdle());
  EXPECT_CALL(editor, destroyed());
  effect.giveEditor(std::move(owned));
  EXPECT_EQ(effect.dispatch(opcode::kEditorBounds, 0, 0, window, 0.0f), 3);
  EXPECT_EQ(effect.dispatch(opcode::kOpenEditor, 0, 0, window, 0.0f), 1);
  EXPECT_EQ(effect.dispatch(opcode::kCloseEditor, 0, 0, nullptr, 0.0f), 0);
  EXPECT_EQ(effect.dispatch(opcode::kEditorIdle, 0, 0, nullptr, 0.0f), 0);
}

}  // namespace
}  // namespace qr47
