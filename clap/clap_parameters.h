// The six parameters as CLAP hosts see them: ids 0 to 5 in parameter order, all automatable.
// Cutoff, Q Factor, Additional LP and 18dB Boost take the host values 0..1 themselves, so that
// automation drawn for the VST module means the same here; Filter Type (0 to 3) and Pole Number
// (0 or 1) are stepped lists whose steps stand for host values 0.25 apart and 0 or 1.
#pragma once

#include <cstdint>

#include "clap_api.h"

namespace qr47 {

bool clapParameterInfo(std::uint32_t index, clap::ParamInfo* info);

// The host value for a CLAP value: within the parameter's range, a stepped one cut to its whole
// step, narrowed to float as the VST module receives it. False for an unknown id or a NaN.
bool hostValueOf(std::uint32_t id, double clapValue, float* hostValue);

// The CLAP value of a host value: the step the filter uses for the lists.
double clapValueOf(std::uint32_t id, float hostValue);

}  // namespace qr47
