// One QR47 instance for a VST 3 host: a single object that is the component, its audio
// processor and its edit controller at once. The host calls the processor's process and (often)
// setProcessing on its audio thread, everything else on its UI thread, the controller's calls
// among them while the processor runs.
//
// Parameter changes reach the filter inside process, at their samples, with no lock; the values
// they leave and a state set on the UI thread travel between the threads through the engine's
// AutomatedFilter. The controller keeps the values the host shows as its own, as the interface
// has it: the host sets them, and the component's state sets them; the editor's view, where the
// module has one (vst3_view.h), shows them and changes them through the host.
#pragma once

#include <atomic>
#include <cstdint>

#include "automated_filter.h"
#include "vst3_api.h"
#include "vst3_parameters.h"

namespace qr47 {

// The component and the controller each have a state of their own under the same names: these
// give each its own slot.
class ComponentSide : public vst3::IComponent {
 public:
  vst3::tresult setState(vst3::IBStream* state) final { return loadComponentState(state); }
  vst3::tresult getState(vst3::IBStream* state) final { return saveComponentState(state); }
  virtual vst3::tresult loadComponentState(vst3::IBStream* state) = 0;
  virtual vst3::tresult saveComponentState(vst3::IBStream* state) = 0;
};

class ControllerSide : public vst3::IEditController {
 public:
  vst3::tresult setState(vst3::IBStream* state) final { return loadControllerState(state); }
  vst3::tresult getState(vst3::IBStream* state) final { return saveControllerState(state); }
  virtual vst3::tresult loadControllerState(vst3::IBStream* state) = 0;
  virtual vst3::tresult saveControllerState(vst3::IBStream* state) = 0;
};

class Vst3Filter final : public ComponentSide,
                         public vst3::IAudioProcessor,
                         public vst3::IProcessContextRequirements,
                         public ControllerSide {
 public:
  Vst3Filter();

  // Every interface.
  vst3::tresult queryInterface(const vst3::TUID iid, void** object) override;
  std::uint32_t addRef() override;
  std::uint32_t release() override;

  // The component and the controller.
  vst3::tresult initialize(vst3::FUnknown* context) override;
  vst3::tresult terminate() override;

  // The component.
  vst3::tresult getControllerClassId(vst3::TUID classId) override;
  vst3::tresult setIoMode(std::int32_t mode) override;
  std::int32_t getBusCount(std::int32_t type, std::int32_t direction) override;
  vst3::tresult getBusInfo(std::int32_t type, std::int32_t direction, std::int32_t index,
                           vst3::BusInfo& bus) override;
  vst3::tresult getRoutingInfo(vst3::RoutingInfo& in, vst3::RoutingInfo& out) override;
  vst3::tresult activateBus(std::int32_t type, std::int32_t direction, std::int32_t index,
                            vst3::TBool state) override;
  vst3::tresult setActive(vst3::TBool state) override;
  vst3::tresult loadComponentState(vst3::IBStream* state) override;
  vst3::tresult saveComponentState(vst3::IBStream* state) override;

  // The processor.
  vst3::tresult setBusArrangements(vst3::SpeakerArrangement* inputs, std::int32_t inputCount,
                                   vst3::SpeakerArrangement* outputs,
                                   std::int32_t outputCount) override;
  vst3::tresult getBusArrangement(std::int32_t direction, std::int32_t index,
                                  vst3::SpeakerArrangement& arrangement) override;
  vst3::tresult canProcessSampleSize(std::int32_t symbolicSampleSize) override;
  std::uint32_t getLatencySamples() override { return 0; }
  vst3::tresult setupProcessing(vst3::ProcessSetup& setup) override;
  vst3::tresult setProcessing(vst3::TBool state) override;
  vst3::tresult process(vst3::ProcessData& data) override;
  std::uint32_t getTailSamples() override;
  // The filter needs nothing of the host's transport, tempo or time.
  std::uint32_t getProcessContextRequirements() override { return 0; }

  // The controller.
  vst3::tresult setComponentState(vst3::IBStream* state) override;
  // The controller keeps nothing beyond what the component's state holds.
  vst3::tresult loadControllerState(vst3::IBStream*) override { return vst3::kResultOk; }
  vst3::tresult saveControllerState(vst3::IBStream*) override { return vst3::kResultOk; }
  std::int32_t getParameterCount() override { return kVst3ParameterCount; }
  vst3::tresult getParameterInfo(std::int32_t index, vst3::ParameterInfo& info) override;
  vst3::tresult getParamStringByValue(vst3::ParamID id, vst3::ParamValue valueNormalized,
                                      vst3::String128 text) override;
  vst3::tresult getParamValueByString(vst3::ParamID id, vst3::TChar* text,
                                      vst3::ParamValue& valueNormalized) override;
  vst3::ParamValue normalizedParamToPlain(vst3::ParamID id,
                                          vst3::ParamValue valueNormalized) override;
  vst3::ParamValue plainParamToNormalized(vst3::ParamID id, vst3::ParamValue plain) override;
  vst3::ParamValue getParamNormalized(vst3::ParamID id) override;
  vst3::tresult setParamNormalized(vst3::ParamID id, vst3::ParamValue value) override;
  vst3::tresult setComponentHandler(vst3::IComponentHandler* handler) override;
  vst3::IPlugView* createView(vst3::FIDString name) override;

  // What the editor's view asks of the controller, on the UI thread: the host's handler (null
  // before the host sets one and after terminate) and the rate of the last setupProcessing.
  vst3::IComponentHandler* componentHandler() const { return handler; }
  float sampleRate() const { return rate.load(std::memory_order_relaxed); }

 private:
  ~Vst3Filter();
  void applyChanges(vst3::IParameterChanges* changes, const vst3::ProcessData& data,
                    std::int32_t frames);
  void apply(vst3::ParamID id, vst3::ParamValue normalized);
  void run(const vst3::ProcessData& data, std::int32_t start, std::int32_t end);
  // The controller shows these host values and this bypass.
  void show(const FilterState& state);

  std::atomic<std::uint32_t> references{1};
  std::atomic<bool> active{false};
  std::atomic<float> rate{kStartingSampleRate};
  AutomatedFilter filter;
  std::atomic<double> shown[kVst3ParameterCount];  // the controller's values, normalized
  vst3::IComponentHandler* handler = nullptr;      // the UI thread's
};

}  // namespace qr47
