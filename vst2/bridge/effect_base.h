// The base of every effect: owns the record the host holds, turns host commands into calls of
// its virtual operations and gives each operation a default.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "editor_interface.h"
#include "effect_record.h"

namespace qr47 {

constexpr float kDefaultSampleRate = 44100.0f;
constexpr std::int32_t kDefaultBlockSize = 1024;

class EffectBase {
 public:
  EffectBase(HostCallback hostCallback, std::int32_t programCount, std::int32_t parameterCount);
  EffectBase(const EffectBase&) = delete;
  EffectBase& operator=(const EffectBase&) = delete;

  // The virtual operations, in the slot order of the host bridge.
  virtual ~EffectBase();
  virtual void setParameter(std::int32_t index, float value);
  virtual float getParameter(std::int32_t index);
  virtual void setParameterAndNotify(std::int32_t index, float value);
  virtual void processAdd(float** inputs, float** outputs, std::int32_t sampleFrames) = 0;
  virtual void processReplace(float** inputs, float** outputs, std::int32_t sampleFrames);
  virtual std::intptr_t dispatch(std::int32_t opcode, std::int32_t index, std::intptr_t value,
                                 void* pointer, float opt);
  virtual void open();
  virtual void close();
  virtual std::int32_t getProgram();
  virtual void setProgram(std::int32_t program);
  virtual void setProgramName(char* name);
  virtual void getProgramName(char* name);
  virtual void getParameterUnit(std::int32_t index, char* text);
  virtual void getParameterText(std::int32_t index, char* text);
  virtual void getParameterName(std::int32_t index, char* text);
  virtual float getMeterLevel();
  virtual std::int32_t getStateBlock(void** block, bool isPreset);
  virtual std::int32_t setStateBlock(void* block, std::int32_t byteSize, bool isPreset);
  virtual void setSampleRate(float rate);
  virtual void setBlockSize(std::int32_t size);
  virtual void suspend();
  virtual void resume();
  virtual void setUniqueId(std::int32_t id);
  virtual void setInputCount(std::int32_t count);
  virtual void setOutputCount(std::int32_t count);
  virtual void setHasMeter(bool state);
  virtual void setHasClipIndicator(bool state);
  virtual void setCanMono(bool state);
  virtual void setCanReplace(bool state);
  virtual void setProgramsAreBlocks(bool state);
  virtual void setRealtimeQualities(std::int32_t qualities);
  virtual void setOfflineQualities(std::int32_t qualities);
  virtual void setInitialDelay(std::int32_t samples);
  virtual float getSampleRate();
  virtual std::int32_t getBlockSize();
  virtual std::int32_t queryHostVersion();
  virtual std::int32_t queryCurrentUniqueId();
  virtual std::int32_t requestHostIdle();
  virtual bool isInputConnected(std::int32_t input);
  virtual bool isOutputConnected(std::int32_t output);
  // Texts of eight characters and a terminator.
  virtual void formatDecibels(float level, char* text);
  virtual void formatHertz(float samples, char* text);
  virtual void formatMilliseconds(float samples, char* text);
  virtual void formatFloat(float value, char* text);
  virtual void formatInteger(std::int32_t value, char* text);

  // Questions hosts ask beyond the first 25 commands. Each answers "unknown" here; texts are
  // written within the room the host gives (kEffectNameRoom and the others), terminated.
  virtual bool canParameterBeAutomated(std::int32_t index);
  virtual bool getProgramNameIndexed(std::int32_t program, char* name);
  virtual std::int32_t getPlugCategory();
  virtual bool getEffectName(char* name);
  virtual bool getVendorString(char* text);
  virtual bool getProductString(char* text);
  virtual std::int32_t getVendorVersion();
  // 1 for what the effect can do, -1 for what it cannot, 0 when it does not say.
  virtual std::int32_t canDo(const char* capability);
  // Samples of output after the input falls silent; 0 when the effect does not say.
  virtual std::int32_t getTailSize();

  EffectRecord* getRecord() { return &record; }

 protected:
  // The host sets and reads these from any thread.
  std::atomic<float> sampleRate{kDefaultSampleRate};
  std::unique_ptr<EditorInterface> editor;
  HostCallback hostCallback;
  std::int32_t programCount;
  std::int32_t parameterCount;
  std::atomic<std::int32_t> currentProgram{0};
  std::atomic<std::int32_t> blockSize{kDefaultBlockSize};
  EffectRecord record;

 private:
  void setFlag(std::int32_t flag, bool state);
  // A request with the arguments it does not use sent as zero.
  std::intptr_t sendRequest(std::int32_t request, std::int32_t index = 0, std::intptr_t value = 0,
                            float opt = 0.0f);
};

}  // namespace qr47
