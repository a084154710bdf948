#pragma once

#include <cstdint>

#include "filter_settings.h"

namespace qr47 {

// The number of samples after which the impulse response of these settings stays below -90 dB
// of full scale: at most 10 s at the settings' rate, and at least 1 (the interface's "no tail").
std::int32_t tailLength(const FilterSettings::Loop& settings);

}  // namespace qr47
