// The filter for hosts that deliver control values in the processing call (LV2, LADSPA): the
// controls in the units such hosts show, mapped to the host values 0..1 of the parameters, and
// applied on the audio thread itself, without locks.
#pragma once

#include <cstdint>

#include "bypass_fade.h"
#include "filter_core.h"
#include "filter_settings.h"

namespace qr47 {

// The six controls, in parameter order, and their units and ranges.
struct PortRange {
  float minimum, maximum, defaultValue;
};
constexpr PortRange kCutoffHzRange{270.0f, 20000.0f, 20000.0f};  // the top is the factory Cutoff
constexpr PortRange kQPercentRange{1.0f, 100.0f, 70.0f};
constexpr PortRange kTypeRange{0.0f, 3.0f, 0.0f};  // low pass, high pass, band pass, notch
constexpr PortRange kPolesRange{2.0f, 4.0f, 2.0f};
constexpr PortRange kLpPercentRange{0.0f, 100.0f, 0.0f};    // 0 is off
constexpr PortRange kBoostDbRange{-60.0f, 18.0618f, 0.0f};  // the bottom is silence

// The host value (0..1) of parameter `index` for a control value in its port's unit. Values
// outside the port's range are taken at its ends; the ends of the cutoff range are host values
// 0 and 1 exactly, the Q and Additional LP percentages a hundredth of themselves, the type
// 0.25 per step, the poles 0 (two) or 1 (four), the boost 10^(dB/20)/8, 0 at the bottom.
float hostValueFor(std::int32_t index, float portValue);
// The inverse, for an editor that works in host values but writes ports: the port value whose
// host value comes nearest `hostValue` (most often exactly: a float port cannot say every float
// host value), the port's own ends for host values 0 and 1. Filter Type and Pole Number give the
// step the filter plays; a Cutoff from 0.23333 to 0.33333, which sounds from 900 Hz to 1170 Hz,
// gives that frequency, whose host value lies on the middle segment.
float portValueFor(std::int32_t index, float hostValue);

class PortFilter {
 public:
  // Starts on the factory settings at the host's rate.
  explicit PortFilter(float sampleRate);

  // The control values in parameter order; only those that changed since the last call are
  // applied, then the block is processed, replacing the output. `enabled` is the host's bypass
  // switch where it has one, a toggle (LV2's lv2:enabled: 0 or below fades to the dry signal,
  // anything above back), null where it has none. The first block after a start begins where
  // the switch points, with no fade.
  void process(const float* const controls[], const float* enabled, const float* const* inputs,
               float* const* outputs, std::int32_t sampleFrames);
  // Both sections start again from silence: a start.
  void clearSections() {
    core.clearSections();
    started = false;
  }

 private:
  FilterSettings settings;
  BypassFade fade;
  bool started = false;
  FilterCore core;
  float applied[kParameterCount];
};

}  // namespace qr47
