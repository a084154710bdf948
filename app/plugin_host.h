// Loads a plug-in module of this interface and drives one instance through its record, exactly
// as a host application does. Knows nothing of any effect's classes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "effect_record.h"

namespace qr47 {

// The version this host reports when a plug-in asks.
constexpr std::intptr_t kHostVersionAnswer = 2400;

class PluginModule {
 public:
  // Loads the module and finds its entry (VSTPluginMain, else main); throws std::runtime_error
  // naming what was wrong.
  explicit PluginModule(const std::string& path);
  ~PluginModule();
  PluginModule(const PluginModule&) = delete;
  PluginModule& operator=(const PluginModule&) = delete;

  ModuleMain entry() const { return entry_; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  void* handle_ = nullptr;
  ModuleMain entry_ = nullptr;
};

class PluginInstance {
 public:
  // Creates an instance and checks its record: signature, and at least two outputs.
  explicit PluginInstance(const PluginModule& module);
  ~PluginInstance();  // closes the instance
  PluginInstance(const PluginInstance&) = delete;
  PluginInstance& operator=(const PluginInstance&) = delete;

  const EffectRecord& record() const { return *record_; }
  std::intptr_t dispatch(std::int32_t opcode, std::int32_t index = 0, std::intptr_t value = 0,
                         void* pointer = nullptr, float opt = 0.0f);

  int parameterCount() const { return record_->parameterCount; }
  int programCount() const { return record_->programCount; }
  float parameter(int index) const;
  void setParameter(int index, float value);
  std::string parameterName(int index);
  std::string parameterText(int index);
  std::string parameterUnit(int index);
  std::string programName();
  // What the plug-in says of itself; empty texts, or 0, when it does not answer.
  std::string effectName() { return text(kEffectName, 0); }
  std::string vendor() { return text(kVendorString, 0); }
  std::string product() { return text(kProductString, 0); }
  std::intptr_t vendorVersion() { return dispatch(kVendorVersion); }
  std::intptr_t category() { return dispatch(kPlugCategory); }
  int program();
  void selectProgram(int program);

  void setSampleRate(float rate) { dispatch(kSampleRate, 0, 0, nullptr, rate); }
  void setBlockSize(int frames) { dispatch(kBlockSize, 0, frames); }
  void open() { dispatch(kOpen); }
  void resume() { dispatch(kSuspendResume, 0, 1); }

  // Two input and two output channels, in the replacing mode or accumulated into zeroed outputs
  // (also what a plug-in without the canReplace flag gets).
  void process(float* const inputs[2], float* const outputs[2], int frames, bool accumulate);

 private:
  std::string text(std::int32_t opcode, int index);
  EffectRecord* record_;
  // The channel arrays handed to the plug-in, kept so that processing allocates nothing once
  // the block size is reached.
  std::vector<float*> inputs_, outputs_;
  std::vector<float> scratch_;
};

// The display text of a parameter: its value text, trimmed, and its unit after a figure.
std::string displayText(PluginInstance& plugin, int index);

// Blanks removed from both ends.
std::string trimmed(const std::string& text);

// The four characters of an identifier, most significant first.
std::string fourCharacterText(std::int32_t id);

}  // namespace qr47
