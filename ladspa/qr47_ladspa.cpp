// The filter as a LADSPA plug-in: the same six controls as the LV2 plug-in, with LADSPA's hints,
// stereo in and out. Control values arrive with each run and are applied there.
#include <ladspa.h>

#include <cstdint>
#include <new>

#include "port_filter.h"

namespace qr47 {
namespace {

// Unique ID 4747 (the digits of the name); label "qr47".
constexpr unsigned long kUniqueId = 4747;

constexpr unsigned long kChannels = 2;
constexpr unsigned long kFirstInput = kParameterCount;
constexpr unsigned long kFirstOutput = kFirstInput + kChannels;
constexpr unsigned long kPortCount = kFirstOutput + kChannels;

constexpr int kControl = LADSPA_PORT_INPUT | LADSPA_PORT_CONTROL;
constexpr int kBounded = LADSPA_HINT_BOUNDED_BELOW | LADSPA_HINT_BOUNDED_ABOVE;

const LADSPA_PortDescriptor kPortKinds[kPortCount] = {kControl,
                                                      kControl,
                                                      kControl,
                                                      kControl,
                                                      kControl,
                                                      kControl,
                                                      LADSPA_PORT_INPUT | LADSPA_PORT_AUDIO,
                                                      LADSPA_PORT_INPUT | LADSPA_PORT_AUDIO,
                                                      LADSPA_PORT_OUTPUT | LADSPA_PORT_AUDIO,
                                                      LADSPA_PORT_OUTPUT | LADSPA_PORT_AUDIO};

const char* const kPortNames[kPortCount] = {
    "Cutoff (Hz)",
    "Q Factor (%)",
    "Filter Type (0 low pass, 1 high pass, 2 band pass, 3 notch)",
    "Pole Number (2 or 4)",
    "Additional LP (%, 0 is off)",
    "18dB Boost (dB)",
    "Input L",
    "Input R",
    "Output L",
    "Output R"};

// LADSPA has no default of 70 between 1 and 100: Q's default is the nearest it offers (75.25).
const LADSPA_PortRangeHint kHints[kPortCount] = {
    {kBounded | LADSPA_HINT_LOGARITHMIC | LADSPA_HINT_DEFAULT_MAXIMUM, kCutoffHzRange.minimum,
     kCutoffHzRange.maximum},
    {kBounded | LADSPA_HINT_DEFAULT_HIGH, kQPercentRange.minimum, kQPercentRange.maximum},
    {kBounded | LADSPA_HINT_INTEGER | LADSPA_HINT_DEFAULT_0, kTypeRange.minimum,
     kTypeRange.maximum},
    {kBounded | LADSPA_HINT_INTEGER | LADSPA_HINT_DEFAULT_MINIMUM, kPolesRange.minimum,
     kPolesRange.maximum},
    {kBounded | LADSPA_HINT_DEFAULT_0, kLpPercentRange.minimum, kLpPercentRange.maximum},
    {kBounded | LADSPA_HINT_DEFAULT_0, kBoostDbRange.minimum, kBoostDbRange.maximum},
    {0, 0.0f, 0.0f},
    {0, 0.0f, 0.0f},
    {0, 0.0f, 0.0f},
    {0, 0.0f, 0.0f}};

struct Plugin {
  explicit Plugin(unsigned long rate) : filter(static_cast<float>(rate)) {}
  PortFilter filter;
  const float* controls[kParameterCount] = {};
  const float* inputs[kChannels] = {};
  float* outputs[kChannels] = {};
};

LADSPA_Handle instantiate(const LADSPA_Descriptor*, unsigned long rate) {
  return new (std::nothrow) Plugin(rate);
}

void connectPort(LADSPA_Handle instance, unsigned long port, LADSPA_Data* data) {
  auto* plugin = static_cast<Plugin*>(instance);
  if (port < kFirstInput) {
    plugin->controls[port] = data;
  } else if (port < kFirstOutput) {
    plugin->inputs[port - kFirstInput] = data;
  } else if (port < kPortCount) {
    plugin->outputs[port - kFirstOutput] = data;
  }
}

void activate(LADSPA_Handle instance) {
  static_cast<Plugin*>(instance)->filter.clearSections();
}

void run(LADSPA_Handle instance, unsigned long frames) {
  auto* plugin = static_cast<Plugin*>(instance);
  plugin->filter.process(plugin->controls, nullptr, plugin->inputs, plugin->outputs,
                         static_cast<std::int32_t>(frames));
}

void cleanup(LADSPA_Handle instance) {
  delete static_cast<Plugin*>(instance);
}

const LADSPA_Descriptor kDescriptor = {kUniqueId,
                                       "qr47",
                                       LADSPA_PROPERTY_HARD_RT_CAPABLE,
                                       "QR47 stereo resonant multimode filter",
                                       "QR47 Project",
                                       "GPL-3.0-or-later",
                                       kPortCount,
                                       kPortKinds,
                                       kPortNames,
                                       kHints,
                                       nullptr,
                                       instantiate,
                                       connectPort,
                                       activate,
                                       run,
                                       nullptr,
                                       nullptr,
                                       nullptr,
                                       cleanup};

}  // namespace
}  // namespace qr47

extern "C" __attribute__((visibility("default"))) const LADSPA_Descriptor* ladspa_descriptor(
    unsigned long index) {
  return index == 0 ? &qr47::kDescriptor : nullptr;
}
