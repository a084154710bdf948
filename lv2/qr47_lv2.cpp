// The filter as an LV2 plug-in: six control ports in the units the host shows, two audio inputs
// and two audio outputs, and the host's bypass switch (lv2:enabled) as a fade to the dry signal.
// Control values arrive with each run and are applied there.
#include <lv2/core/lv2.h>

#include <cstdint>
#include <new>

#include "port_filter.h"

namespace qr47 {
namespace {

constexpr char kUri[] = "urn:qr47:filter";

// Port numbers: the six controls in parameter order, then the audio, then the bypass switch,
// last so that saved sessions keep the numbers they had before it.
constexpr std::uint32_t kChannels = 2;
constexpr std::uint32_t kFirstInput = kParameterCount;
constexpr std::uint32_t kFirstOutput = kFirstInput + kChannels;
constexpr std::uint32_t kEnabled = kFirstOutput + kChannels;

struct Plugin {
  explicit Plugin(double rate) : filter(static_cast<float>(rate)) {}
  PortFilter filter;
  const float* controls[kParameterCount] = {};
  const float* enabled = nullptr;  // unconnected: never bypassed
  const float* inputs[kChannels] = {};
  float* outputs[kChannels] = {};
};

LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const*) {
  return new (std::nothrow) Plugin(rate);
}

void connectPort(LV2_Handle instance, std::uint32_t port, void* data) {
  auto* plugin = static_cast<Plugin*>(instance);
  if (port < kFirstInput) {
    plugin->controls[port] = static_cast<const float*>(data);
  } else if (port < kFirstOutput) {
    plugin->inputs[port - kFirstInput] = static_cast<const float*>(data);
  } else if (port < kEnabled) {
    plugin->outputs[port - kFirstOutput] = static_cast<float*>(data);
  } else if (port == kEnabled) {
    plugin->enabled = static_cast<const float*>(data);
  }
}

void activate(LV2_Handle instance) {
  static_cast<Plugin*>(instance)->filter.clearSections();
}

void run(LV2_Handle instance, std::uint32_t frames) {
  auto* plugin = static_cast<Plugin*>(instance);
  plugin->filter.process(plugin->controls, plugin->enabled, plugin->inputs, plugin->outputs,
                         static_cast<std::int32_t>(frames));
}

void cleanup(LV2_Handle instance) {
  delete static_cast<Plugin*>(instance);
}

const LV2_Descriptor kDescriptor = {kUri, instantiate, connectPort, activate,
                                    run,  nullptr,     cleanup,     nullptr};

}  // namespace
}  // namespace qr47

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(std::uint32_t index) {
  return index == 0 ? &qr47::kDescriptor : nullptr;
}
