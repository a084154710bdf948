#include "plugin_host.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <stdexcept>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace qr47 {
namespace {

// Room for what any plug-in writes into a text, however careless about the sizes it was given.
constexpr std::size_t kTextBytes = 256;

// This host answers the version request and nothing else.
std::intptr_t hostCallback(EffectRecord*, std::int32_t request, std::int32_t, std::intptr_t, void*,
                           float) {
  return request == kHostVersion ? kHostVersionAnswer : 0;
}

void* openLibrary(const std::string& path) {
#if defined(_WIN32)
  return reinterpret_cast<void*>(LoadLibraryA(path.c_str()));
#else
  return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
}

std::string libraryError() {
#if defined(_WIN32)
  return "error " + std::to_string(GetLastError());
#else
  const char* error = dlerror();
  return error ? error : "unknown error";
#endif
}

void* findSymbol(void* handle, const char* name) {
#if defined(_WIN32)
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
#else
  return dlsym(handle, name);
#endif
}

void closeLibrary(void* handle) {
#if defined(_WIN32)
  FreeLibrary(static_cast<HMODULE>(handle));
#else
  dlclose(handle);
#endif
}

}  // namespace

PluginModule::PluginModule(const std::string& path) : path_(path) {
  handle_ = openLibrary(path);
  if (handle_ == nullptr) {
    throw std::runtime_error("cannot load plug-in module " + path + ": " + libraryError());
  }
  void* entry = findSymbol(handle_, "VSTPluginMain");
  if (entry == nullptr) entry = findSymbol(handle_, "main");
  if (entry == nullptr) {
    closeLibrary(handle_);
    throw std::runtime_error(path + " is not a plug-in module: it has no VSTPluginMain or main");
  }
  entry_ = reinterpret_cast<ModuleMain>(entry);
}

PluginModule::~PluginModule() {
  closeLibrary(handle_);
}

PluginInstance::PluginInstance(const PluginModule& module) : record_(module.entry()(hostCallback)) {
  if (record_ == nullptr) {
    throw std::runtime_error(module.path() + " made no plug-in instance (its main returned null)");
  }
  if (record_->signature != kRecordSignature) {
    // An unknown record cannot be closed safely; it is left alone.
    record_ = nullptr;
    throw std::runtime_error(module.path() +
                             " is not a plug-in of this interface (wrong signature)");
  }
  if (record_->outputCount < 2) {
    const int outputs = record_->outputCount;
    dispatch(kClose);
    record_ = nullptr;
    throw std::runtime_error(module.path() + " has " + std::to_string(outputs) +
                             " output(s); qr47 needs a stereo plug-in");
  }
}

PluginInstance::~PluginInstance() {
  if (record_ != nullptr) dispatch(kClose);
}

std::intptr_t PluginInstance::dispatch(std::int32_t opcode, std::int32_t index, std::intptr_t value,
                                       void* pointer, float opt) {
  return record_->dispatchEntry(record_, opcode, index, value, pointer, opt);
}

float PluginInstance::parameter(int index) const {
  return record_->getParameterEntry(record_, index);
}

void PluginInstance::setParameter(int index, float value) {
  record_->setParameterEntry(record_, index, value);
}

std::string PluginInstance::text(std::int32_t opcode, int index) {
  char buffer[kTextBytes] = {};
  dispatch(opcode, index, 0, buffer);
  buffer[kTextBytes - 1] = '\0';
  return buffer;
}

std::string PluginInstance::parameterName(int index) {
  return text(kParameterName, index);
}
std::string PluginInstance::parameterText(int index) {
  return text(kParameterText, index);
}
std::string PluginInstance::parameterUnit(int index) {
  return text(kParameterUnit, index);
}
std::string PluginInstance::programName() {
  return text(kProgramName, 0);
}
int PluginInstance::program() {
  return static_cast<int>(dispatch(kCurrentProgram));
}
void PluginInstance::selectProgram(int program) {
  dispatch(kSelectProgram, 0, program);
}

void PluginInstance::process(float* const inputs[2], float* const outputs[2], int frames,
                             bool accumulate) {
  // Plug-ins with more channels than two get silent extra inputs and scratch extra outputs.
  const int inputCount = std::max(record_->inputCount, 2);
  const int outputCount = std::max(record_->outputCount, 2);
  const auto length = static_cast<std::size_t>(frames);
  if (inputCount > 2 || outputCount > 2) scratch_.assign(length * (inputCount + outputCount), 0.0f);
  inputs_.resize(inputCount);
  outputs_.resize(outputCount);
  for (int c = 0; c < inputCount; ++c) {
    inputs_[c] = c < 2 ? inputs[c] : scratch_.data() + length * c;
  }
  for (int c = 0; c < outputCount; ++c) {
    outputs_[c] = c < 2 ? outputs[c] : scratch_.data() + length * (inputCount + c);
  }
  const bool canReplace = (record_->flags & kCanReplace) != 0;
  if (accumulate || !canReplace) {
    for (int c = 0; c < 2; ++c) std::fill(outputs[c], outputs[c] + frames, 0.0f);
    record_->processAddEntry(record_, inputs_.data(), outputs_.data(), frames);
  } else {
    record_->processReplaceEntry(record_, inputs_.data(), outputs_.data(), frames);
  }
}

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string displayText(PluginInstance& plugin, int index) {
  const std::string value = trimmed(plugin.parameterText(index));
  const std::string unit = trimmed(plugin.parameterUnit(index));
  // A unit belongs after a figure ("2950 Hz", "-oo dB"), not after words ("2 poles", "Off").
  const bool figure = !value.empty() && value.find(' ') == std::string::npos &&
                      (std::isdigit(static_cast<unsigned char>(value[0])) || value[0] == '-' ||
                       value[0] == '+' || value[0] == '.');
  return figure && !unit.empty() ? value + " " + unit : value;
}

std::string fourCharacterText(std::int32_t id) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const char c = static_cast<char>((static_cast<std::uint32_t>(id) >> shift) & 0xFF);
    text += (c >= 32 && c < 127) ? c : '?';
  }
  return text;
}

}  // namespace qr47
