// An effect whose operations are mocks, for checking what the host bridge calls.
#pragma once

#include <gmock/gmock.h>

#include "effect_base.h"

namespace qr47 {

class MockEffect : public EffectBase {
 public:
  explicit MockEffect(HostCallback hostCallback = nullptr, std::int32_t programs = 16,
                      std::int32_t parameters = 6)
      : EffectBase(hostCallback, programs, parameters) {}
  ~MockEffect() override { destroyed(); }

  MOCK_METHOD(void, destroyed, ());
  MOCK_METHOD(void, setParameter, (std::int32_t, float), (override));
  MOCK_METHOD(float, getParameter, (std::int32_t), (override));
  MOCK_METHOD(void, processAdd, (float**, float**, std::int32_t), (override));
  MOCK_METHOD(void, processReplace, (float**, float**, std::int32_t), (override));
  MOCK_METHOD(void, open, (), (override));
  MOCK_METHOD(void, close, (), (override));
  MOCK_METHOD(std::int32_t, getProgram, (), (override));
  MOCK_METHOD(void, setProgram, (std::int32_t), (override));
  MOCK_METHOD(void, setProgramName, (char*), (override));
  MOCK_METHOD(void, getProgramName, (char*), (override));
  MOCK_METHOD(void, getParameterUnit, (std::int32_t, char*), (override));
  MOCK_METHOD(void, getParameterText, (std::int32_t, char*), (override));
  MOCK_METHOD(void, getParameterName, (std::int32_t, char*), (override));
  MOCK_METHOD(float, getMeterLevel, (), (override));
  MOCK_METHOD(std::int32_t, getStateBlock, (void**, bool), (override));
  MOCK_METHOD(std::int32_t, setStateBlock, (void*, std::int32_t, bool), (override));
  MOCK_METHOD(void, setSampleRate, (float), (override));
  MOCK_METHOD(void, setBlockSize, (std::int32_t), (override));
  MOCK_METHOD(void, suspend, (), (override));
  MOCK_METHOD(void, resume, (), (override));

  void giveEditor(std::unique_ptr<EditorInterface> newEditor) { editor = std::move(newEditor); }
};

class MockEditor : public EditorInterface {
 public:
  ~MockEditor() override { destroyed(); }
  MOCK_METHOD(void, destroyed, ());
  MOCK_METHOD(std::int32_t, getEditorBounds, (void*), (override));
  MOCK_METHOD(std::int32_t, openEditor, (void*), (override));
  MOCK_METHOD(void, closeEditor, (), (override));
  MOCK_METHOD(void, editorIdle, (), (override));
};

}  // namespace qr47
