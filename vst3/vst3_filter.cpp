#include "vst3_filter.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "display_text.h"
#include "vst3_parameters.h"
#if defined(QR47_EDITOR)
#include "vst3_view.h"
#endif

namespace qr47 {
namespace {

constexpr std::int32_t kStereoChannels = 2;
constexpr char kInputName[] = "Input";
constexpr char kOutputName[] = "Output";
// Queues of more parameters than these in one block are more than a host sends for seven.
constexpr std::int32_t kMostQueues = 16;
constexpr std::size_t kLongestText = 128;
// The bypass's second step, on, from here.
constexpr vst3::ParamValue kBypassFrom = 0.5;

bool isMainAudioBus(std::int32_t type, std::int32_t direction, std::int32_t index) {
  return type == vst3::kAudio && (direction == vst3::kInput || direction == vst3::kOutput) &&
         index == 0;
}

// Reads to the end of the stream, one byte beyond a state at most, so that a longer stream is
// refused rather than taken in part.
bool readState(vst3::IBStream* stream, FilterState* state) {
  if (!stream) return false;
  std::uint8_t bytes[kSavedStateBytes + 1];
  std::int32_t done = 0;
  while (done < static_cast<std::int32_t>(sizeof bytes)) {
    std::int32_t read = 0;
    if (stream->read(bytes + done, static_cast<std::int32_t>(sizeof bytes) - done, &read) !=
            vst3::kResultOk ||
        read < 0) {
      return false;
    }
    if (read == 0) break;
    done += read;
  }
  return loadState(bytes, static_cast<std::size_t>(done), state);
}

// A point of a queue, in the order of its samples.
struct Cursor {
  vst3::IParamValueQueue* queue;
  vst3::ParamID id;
  std::int32_t next, count;
  std::int32_t offset = 0;  // the loaded point's
  vst3::ParamValue value = 0.0;

  bool load() {
    while (next < count) {
      if (queue->getPoint(next, offset, value) == vst3::kResultOk) return true;
      ++next;
    }
    return false;
  }
};

}  // namespace

Vst3Filter::Vst3Filter() {
  show(FilterState{kFactoryValues, false});
}

Vst3Filter::~Vst3Filter() {
  if (handler) handler->release();
}

vst3::tresult Vst3Filter::queryInterface(const vst3::TUID iid, void** object) {
  if (!object) return vst3::kInvalidArgument;
  if (vst3::sameIid(iid, vst3::FUnknown::kIid) || vst3::sameIid(iid, vst3::IPluginBase::kIid) ||
      vst3::sameIid(iid, vst3::IComponent::kIid)) {
    *object = static_cast<vst3::IComponent*>(this);
  } else if (vst3::sameIid(iid, vst3::IAudioProcessor::kIid)) {
    *object = static_cast<vst3::IAudioProcessor*>(this);
  } else if (vst3::sameIid(iid, vst3::IProcessContextRequirements::kIid)) {
    *object = static_cast<vst3::IProcessContextRequirements*>(this);
  } else if (vst3::sameIid(iid, vst3::IEditController::kIid)) {
    *object = static_cast<vst3::IEditController*>(this);
  } else {
    *object = nullptr;
    return vst3::kNoInterface;
  }
  addRef();
  return vst3::kResultOk;
}

std::uint32_t Vst3Filter::addRef() {
  return references.fetch_add(1, std::memory_order_relaxed) + 1;
}

std::uint32_t Vst3Filter::release() {
  const std::uint32_t left = references.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (left == 0) delete this;
  return left;
}

vst3::tresult Vst3Filter::initialize(vst3::FUnknown*) {
  return vst3::kResultOk;
}

vst3::tresult Vst3Filter::terminate() {
  setComponentHandler(nullptr);
  return vst3::kResultOk;
}

// The component is its own controller: hosts then ask it for the controller's interface.
vst3::tresult Vst3Filter::getControllerClassId(vst3::TUID) {
  return vst3::kNotImplemented;
}

vst3::tresult Vst3Filter::setIoMode(std::int32_t) {
  return vst3::kResultOk;
}

std::int32_t Vst3Filter::getBusCount(std::int32_t type, std::int32_t direction) {
  return isMainAudioBus(type, direction, 0) ? 1 : 0;
}

vst3::tresult Vst3Filter::getBusInfo(std::int32_t type, std::int32_t direction, std::int32_t index,
                                     vst3::BusInfo& bus) {
  if (!isMainAudioBus(type, direction, index)) return vst3::kInvalidArgument;
  bus = vst3::BusInfo{};
  bus.mediaType = vst3::kAudio;
  bus.direction = direction;
  bus.channelCount = kStereoChannels;
  toString128(direction == vst3::kInput ? kInputName : kOutputName, bus.name);
  bus.busType = vst3::kMain;
  bus.flags = vst3::kDefaultActive;
  return vst3::kResultOk;
}

vst3::tresult Vst3Filter::getRoutingInfo(vst3::RoutingInfo&, vst3::RoutingInfo&) {
  return vst3::kNotImplemented;
}

vst3::tresult Vst3Filter::activateBus(std::int32_t type, std::int32_t direction, std::int32_t index,
                                      vst3::TBool) {
  return isMainAudioBus(type, direction, index) ? vst3::kResultOk : vst3::kInvalidArgument;
}

// Nothing processes while the component is inactive: the UI thread is the audio side then. The
// sections start from silence, as after the VST module's resume.
vst3::tresult Vst3Filter::setActive(vst3::TBool state) {
  if (state) {
    filter.takeLoadedState();
    filter.clearSections();
    filter.finishFade();
    filter.publishChanges();
  }
  active.store(state != 0, std::memory_order_release);
  return vst3::kResultOk;
}

vst3::tresult Vst3Filter::loadComponentState(vst3::IBStream* state) {
  FilterState loaded;
  if (!readState(state, &loaded)) return vst3::kResultFalse;
  filter.load(loaded);
  if (!active.load(std::memory_order_acquire)) {
    filter.takeLoadedState();
    filter.publishChanges();
  }
  show(loaded);
  return vst3::kResultOk;
}

vst3::tresult Vst3Filter::saveComponentState(vst3::IBStream* state) {
  if (!state) return vst3::kInvalidArgument;
  SavedState bytes = saveState(filter.state());
  std::int32_t done = 0;
  while (done < static_cast<std::int32_t>(bytes.size())) {
    std::int32_t written = 0;
    if (state->write(bytes.data() + done, static_cast<std::int32_t>(bytes.size()) - done,
                     &written) != vst3::kResultOk ||
        written <= 0) {
      return vst3::kResultFalse;
    }
    done += written;
  }
  return vst3::kResultOk;
}

// One stereo bus each way and nothing else: any other arrangement is refused and stereo kept.
vst3::tresult Vst3Filter::setBusArrangements(vst3::SpeakerArrangement* inputs,
                                             std::int32_t inputCount,
                                             vst3::SpeakerArrangement* outputs,
                                             std::int32_t outputCount) {
  const bool stereo = inputCount == 1 && outputCount == 1 && inputs && outputs &&
                      inputs[0] == vst3::kStereo && outputs[0] == vst3::kStereo;
  return stereo ? vst3::kResultTrue : vst3::kResultFalse;
}

vst3::tresult Vst3Filter::getBusArrangement(std::int32_t direction, std::int32_t index,
                                            vst3::SpeakerArrangement& arrangement) {
  if (!isMainAudioBus(vst3::kAudio, direction, index)) return vst3::kInvalidArgument;
  arrangement = vst3::kStereo;
  return vst3::kResultOk;
}

vst3::tresult Vst3Filter::canProcessSampleSize(std::int32_t symbolicSampleSize) {
  return symbolicSampleSize == vst3::kSample32 ? vst3::kResultTrue : vst3::kResultFalse;
}

// The host calls this while the component is inactive.
vst3::tresult Vst3Filter::setupProcessing(vst3::ProcessSetup& setup) {
  if (setup.symbolicSampleSize != vst3::kSample32 || !(setup.sampleRate > 0.0)) {
    return vst3::kResultFalse;
  }
  filter.setSampleRate(static_cast<float>(setup.sampleRate));
  rate.store(static_cast<float>(setup.sampleRate), std::memory_order_relaxed);
  filter.publishChanges();
  return vst3::kResultOk;
}

vst3::tresult Vst3Filter::setProcessing(vst3::TBool) {
  return vst3::kResultOk;
}

// A call with no audio still takes its changes.
vst3::tresult Vst3Filter::process(vst3::ProcessData& data) {
  filter.takeLoadedState();
  const bool stereo = data.numSamples > 0 && data.numInputs > 0 && data.numOutputs > 0 &&
                      data.symbolicSampleSize == vst3::kSample32 && data.inputs && data.outputs &&
                      data.inputs[0].numChannels >= kStereoChannels &&
                      data.outputs[0].numChannels >= kStereoChannels &&
                      data.inputs[0].channelBuffers32 && data.outputs[0].channelBuffers32;
  applyChanges(data.inputParameterChanges, data, stereo ? data.numSamples : 0);
  filter.publishChanges();
  if (stereo) data.outputs[0].silenceFlags = 0;
  return data.numSamples > 0 && !stereo ? vst3::kResultFalse : vst3::kResultOk;
}

// Each change takes effect at its sample: the block is run up to it, the value set, and the rest
// run after. Points come in time order within a queue; the queues are merged by their samples.
void Vst3Filter::applyChanges(vst3::IParameterChanges* changes, const vst3::ProcessData& data,
                              std::int32_t frames) {
  Cursor cursors[kMostQueues];
  std::int32_t cursorCount = 0;
  const std::int32_t queueCount = changes ? changes->getParameterCount() : 0;
  for (std::int32_t i = 0; i < queueCount && cursorCount < kMostQueues; ++i) {
    vst3::IParamValueQueue* queue = changes->getParameterData(i);
    if (!queue || !isVst3Parameter(queue->getParameterId())) continue;
    Cursor cursor{queue, queue->getParameterId(), 0, queue->getPointCount()};
    if (cursor.load()) cursors[cursorCount++] = cursor;
  }
  std::int32_t done = 0;
  while (cursorCount > 0) {
    Cursor* earliest = &cursors[0];
    for (std::int32_t i = 1; i < cursorCount; ++i) {
      if (cursors[i].offset < earliest->offset) earliest = &cursors[i];
    }
    const std::int32_t at = std::clamp(earliest->offset, done, frames);
    if (at > done) {
      run(data, done, at);
      done = at;
    }
    apply(earliest->id, earliest->value);
    ++earliest->next;
    if (!earliest->load()) *earliest = cursors[--cursorCount];
  }
  if (frames > done) run(data, done, frames);
}

void Vst3Filter::apply(vst3::ParamID id, vst3::ParamValue normalized) {
  if (id == kBypassId) {
    filter.setBypass(normalized >= kBypassFrom);
  } else {
    filter.setValue(static_cast<std::int32_t>(id), hostValueOfNormalized(id, normalized));
  }
}

void Vst3Filter::show(const FilterState& state) {
  for (std::int32_t index = 0; index < kParameterCount; ++index) {
    shown[index].store(normalizedOf(static_cast<vst3::ParamID>(index), state.values[index]),
                       std::memory_order_relaxed);
  }
  shown[kBypassId].store(state.bypassed ? 1.0 : 0.0, std::memory_order_relaxed);
}

void Vst3Filter::run(const vst3::ProcessData& data, std::int32_t start, std::int32_t end) {
  float* const* in = data.inputs[0].channelBuffers32;
  float* const* out = data.outputs[0].channelBuffers32;
  const float* inputs[] = {in[0] + start, in[1] + start};
  float* outputs[] = {out[0] + start, out[1] + start};
  filter.process(inputs, outputs, end - start);
}

std::uint32_t Vst3Filter::getTailSamples() {
  return static_cast<std::uint32_t>(filter.tailLength());
}

// The controller.

vst3::tresult Vst3Filter::setComponentState(vst3::IBStream* state) {
  FilterState loaded;
  if (!readState(state, &loaded)) return vst3::kResultFalse;
  show(loaded);
  return vst3::kResultOk;
}

vst3::tresult Vst3Filter::getParameterInfo(std::int32_t index, vst3::ParameterInfo& info) {
  return vst3ParameterInfo(index, info) ? vst3::kResultOk : vst3::kInvalidArgument;
}

vst3::tresult Vst3Filter::getParamStringByValue(vst3::ParamID id, vst3::ParamValue valueNormalized,
                                                vst3::String128 text) {
  if (id == kBypassId) {
    toString128(bypassTextOf(valueNormalized), text);
    return vst3::kResultOk;
  }
  char ascii[kLongestText];
  if (!isVst3Parameter(id) ||
      !valueText(static_cast<std::int32_t>(id), hostValueOfNormalized(id, valueNormalized), ascii,
                 sizeof ascii)) {
    return vst3::kInvalidArgument;
  }
  toString128(ascii, text);
  return vst3::kResultOk;
}

vst3::tresult Vst3Filter::getParamValueByString(vst3::ParamID id, vst3::TChar* text,
                                                vst3::ParamValue& valueNormalized) {
  char ascii[kLongestText];
  if (!isVst3Parameter(id) || !text || !toAscii(text, ascii, sizeof ascii)) {
    return vst3::kResultFalse;
  }
  if (id == kBypassId) {
    return normalizedOfBypassText(ascii, &valueNormalized) ? vst3::kResultOk : vst3::kResultFalse;
  }
  float hostValue;
  if (!parseValueText(static_cast<std::int32_t>(id), ascii, &hostValue)) return vst3::kResultFalse;
  valueNormalized = normalizedOf(id, hostValue);
  return vst3::kResultOk;
}

vst3::ParamValue Vst3Filter::normalizedParamToPlain(vst3::ParamID id,
                                                    vst3::ParamValue valueNormalized) {
  return isVst3Parameter(id) ? plainOf(id, valueNormalized) : 0.0;
}

vst3::ParamValue Vst3Filter::plainParamToNormalized(vst3::ParamID id, vst3::ParamValue plain) {
  return isVst3Parameter(id) ? normalizedOfPlain(id, plain) : 0.0;
}

vst3::ParamValue Vst3Filter::getParamNormalized(vst3::ParamID id) {
  return isVst3Parameter(id) ? shown[id].load(std::memory_order_relaxed) : 0.0;
}

vst3::tresult Vst3Filter::setParamNormalized(vst3::ParamID id, vst3::ParamValue value) {
  if (!isVst3Parameter(id) || !(value >= 0.0 && value <= 1.0)) return vst3::kInvalidArgument;
  shown[id].store(value, std::memory_order_relaxed);
  return vst3::kResultOk;
}

vst3::tresult Vst3Filter::setComponentHandler(vst3::IComponentHandler* newHandler) {
  if (newHandler == handler) return vst3::kResultOk;
  if (newHandler) newHandler->addRef();
  if (handler) handler->release();
  handler = newHandler;
  return vst3::kResultOk;
}

// The editor where the module is built with it; otherwise hosts show their own controls.
vst3::IPlugView* Vst3Filter::createView(vst3::FIDString name) {
#if defined(QR47_EDITOR)
  if (name && std::strcmp(name, vst3::kEditorViewType) == 0) {
    return new (std::nothrow) Vst3View(*this);
  }
#else
  (void)name;
#endif
  return nullptr;
}

}  // namespace qr47
