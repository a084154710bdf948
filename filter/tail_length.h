#pragma once

#include <cstdint>

#include "filter_settings.h"

namespace qr47 {

// The number of samples after which the impulse response of these settings stays below -90 dB
// of full scale, at most 10 s at the settings' rate; 0 when the output is silent. Worked out
// from the settings' poles without running the filter, in bounded time (a bound of the response
// by magnitudes, then the exact response looked at over at most 1024 samples where that bound
// ends): never shorter than the filter really rings, and seldom much longer.
std::int32_t tailLength(const FilterSettings::Loop& settings);

}  // namespace qr47
