// The filter as an effect of the VST interface: a thin adapter over the engine, which holds the
// parameters, programs and processing. The texts the host shows are built here, on the host
// bridge's value formatting.
#pragma once

#include <cstdint>

#include "effect_base.h"
#include "filter_engine.h"

namespace qr47 {

constexpr std::int32_t kUniqueId = fourCharacters('Q', 'R', '4', '7');

class FilterEffect final : public EffectBase {
 public:
  explicit FilterEffect(HostCallback hostCallback);

  void setParameter(std::int32_t index, float value) override;
  float getParameter(std::int32_t index) override;
  void processAdd(float** inputs, float** outputs, std::int32_t sampleFrames) override;
  void processReplace(float** inputs, float** outputs, std::int32_t sampleFrames) override;
  std::int32_t getProgram() override;
  void setProgram(std::int32_t program) override;
  void setProgramName(char* name) override;
  void getProgramName(char* name) override;
  void getParameterUnit(std::int32_t index, char* text) override;
  void getParameterText(std::int32_t index, char* text) override;
  void getParameterName(std::int32_t index, char* text) override;
  void setSampleRate(float rate) override;
  void suspend() override;
  void resume() override;
  bool canParameterBeAutomated(std::int32_t index) override;
  bool getProgramNameIndexed(std::int32_t program, char* name) override;
  std::int32_t getPlugCategory() override;
  bool getEffectName(char* name) override;
  bool getVendorString(char* text) override;
  bool getProductString(char* text) override;
  std::int32_t canDo(const char* capability) override;
  std::int32_t getTailSize() override;

 private:
  FilterEngine engine;
};

}  // namespace qr47
