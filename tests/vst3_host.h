// What the VST 3 test hosts share: the module loaded as hosts load it (the bundle's library, its
// entry called), a memory stream that moves a few bytes a call, parameter changes with points at
// offsets, and an instance with the interfaces a host asks for. Host objects live on the stack
// and count nothing; the plug-in's own counts are what the tests check.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "vst3_api.h"

namespace vst3_test {

using namespace qr47::vst3;

using GetFactory = IPluginFactory* (*)();

struct Module {
  GetFactory getFactory = nullptr;
  bool (*exit)() = nullptr;
};

// The library inside a bundle, as a host finds it for this platform.
inline std::string libraryOf(const std::string& bundle) {
#if defined(_WIN32)
  const std::string name = bundle.substr(bundle.find_last_of("/\\") + 1);
  return bundle + "/Contents/x86_64-win/" + name;
#else
  std::string name = bundle.substr(bundle.find_last_of('/') + 1);
  name = name.substr(0, name.rfind(".vst3"));
  return bundle + "/Contents/x86_64-linux/" + name + ".so";
#endif
}

inline Module loadModule(const std::string& bundle) {
  Module module;
#if defined(_WIN32)
  HMODULE library = LoadLibraryA(libraryOf(bundle).c_str());
  if (!library) return module;
  const auto symbol = [&](const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(library, name));
  };
  auto entry = reinterpret_cast<bool (*)()>(symbol("InitDll"));
  module.exit = reinterpret_cast<bool (*)()>(symbol("ExitDll"));
  module.getFactory = reinterpret_cast<GetFactory>(symbol("GetPluginFactory"));
  if (entry && !entry()) module.getFactory = nullptr;
#else
  void* library = dlopen(libraryOf(bundle).c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) return module;
  auto entry = reinterpret_cast<bool (*)(void*)>(dlsym(library, "ModuleEntry"));
  module.exit = reinterpret_cast<bool (*)()>(dlsym(library, "ModuleExit"));
  module.getFactory = reinterpret_cast<GetFactory>(dlsym(library, "GetPluginFactory"));
  if (entry && !entry(library)) module.getFactory = nullptr;
#endif
  return module;
}

// Host objects are not counted: they outlive every plug-in that holds them.
template <typename Interface>
class HostObject : public Interface {
 public:
  tresult queryInterface(const TUID iid, void** object) override {
    if (std::memcmp(iid, FUnknown::kIid.data(), 16) == 0 ||
        std::memcmp(iid, Interface::kIid.data(), 16) == 0) {
      *object = this;
      return kResultOk;
    }
    *object = nullptr;
    return kNoInterface;
  }
  std::uint32_t addRef() override { return ++references; }
  std::uint32_t release() override { return --references; }
  int references = 1;
};

class MemoryStream : public HostObject<IBStream> {
 public:
  tresult read(void* buffer, std::int32_t bytes, std::int32_t* bytesRead) override {
    if (fail) return kResultFalse;
    const auto n = static_cast<std::int32_t>(
        std::min<std::size_t>({data.size() - position, chunk, static_cast<std::size_t>(bytes)}));
    if (n > 0) std::memcpy(buffer, data.data() + position, n);
    position += n;
    if (bytesRead) *bytesRead = n;
    return kResultOk;
  }
  tresult write(void* buffer, std::int32_t bytes, std::int32_t* bytesWritten) override {
    if (fail) return kResultFalse;
    const auto n = static_cast<std::int32_t>(std::min<std::size_t>(chunk, bytes));
    const auto* b = static_cast<const std::uint8_t*>(buffer);
    data.insert(data.end(), b, b + n);
    if (bytesWritten) *bytesWritten = n;
    return kResultOk;
  }
  tresult seek(std::int64_t, std::int32_t, std::int64_t*) override { return kNotImplemented; }
  tresult tell(std::int64_t* at) override {
    *at = static_cast<std::int64_t>(position);
    return kResultOk;
  }

  std::vector<std::uint8_t> data;
  std::size_t position = 0;
  std::size_t chunk = 1;
  bool fail = false;
};

class Queue : public HostObject<IParamValueQueue> {
 public:
  explicit Queue(ParamID queueId) : id(queueId) {}
  ParamID getParameterId() override { return id; }
  std::int32_t getPointCount() override { return static_cast<std::int32_t>(points.size()); }
  tresult getPoint(std::int32_t index, std::int32_t& offset, ParamValue& value) override {
    if (index < 0 || index >= getPointCount()) return kInvalidArgument;
    offset = points[index].first;
    value = points[index].second;
    return kResultOk;
  }
  tresult addPoint(std::int32_t offset, ParamValue value, std::int32_t& index) override {
    index = getPointCount();
    points.emplace_back(offset, value);
    return kResultOk;
  }

  ParamID id;
  std::vector<std::pair<std::int32_t, ParamValue>> points;
};

class Changes : public HostObject<IParameterChanges> {
 public:
  std::int32_t getParameterCount() override { return static_cast<std::int32_t>(queues.size()); }
  IParamValueQueue* getParameterData(std::int32_t index) override {
    return index >= 0 && index < getParameterCount() ? &queues[index] : nullptr;
  }
  IParamValueQueue* addParameterData(const ParamID& id, std::int32_t& index) override {
    for (index = 0; index < getParameterCount(); ++index) {
      if (queues[index].id == id) return &queues[index];
    }
    queues.emplace_back(id);
    return &queues.back();
  }
  // A point at an offset, in the queue of its parameter (points of a queue in time order).
  void add(std::int32_t offset, ParamID id, ParamValue value) {
    std::int32_t index;
    addParameterData(id, index)->addPoint(offset, value, index);
  }

  std::vector<Queue> queues;
};

// One instance as a host holds it: the component, and its processor and controller queried.
struct Instance {
  explicit Instance(IPluginFactory* factory, const Uid& cid) {
    void* object = nullptr;
    if (factory->createInstance(cid.data(), IComponent::kIid.data(), &object) != kResultOk) return;
    component = static_cast<IComponent*>(object);
    component->initialize(nullptr);
    component->queryInterface(IAudioProcessor::kIid.data(), &object);
    processor = static_cast<IAudioProcessor*>(object);
    component->queryInterface(IEditController::kIid.data(), &object);
    controller = static_cast<IEditController*>(object);
  }
  ~Instance() {
    if (!component) return;
    component->terminate();
    controller->release();
    processor->release();
    component->release();
  }
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  void start(double rate, std::int32_t maxFrames) {
    SpeakerArrangement stereo[] = {kStereo};
    processor->setBusArrangements(stereo, 1, stereo, 1);
    ProcessSetup setup{0, kSample32, maxFrames, rate};
    processor->setupProcessing(setup);
    component->setActive(1);
    processor->setProcessing(1);
  }
  void stop() {
    processor->setProcessing(0);
    component->setActive(0);
  }
  tresult process(float* const* in, float* const* out, std::int32_t frames, Changes* changes) {
    AudioBusBuffers input{2, 0, const_cast<float**>(in)};
    AudioBusBuffers output{2, ~std::uint64_t{0}, const_cast<float**>(out)};
    Changes written;  // the plug-in's own changes: QR47 makes none
    ProcessData data{0,       kSample32, frames,   1,       1,       &input,
                     &output, changes,   &written, nullptr, nullptr, nullptr};
    const tresult result = processor->process(data);
    outputSilenceFlags = output.silenceFlags;
    return result;
  }

  IComponent* component = nullptr;
  IAudioProcessor* processor = nullptr;
  IEditController* controller = nullptr;
  std::uint64_t outputSilenceFlags = 0;
};

// The class id of QR47's effect, as its documentation gives it.
inline const Uid kQr47Class = uid(0x51523437, 0x46696C74, 0x65725633, 0x2D515234);

}  // namespace vst3_test
