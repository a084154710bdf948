// The parameters as CLAP hosts see them: ids 0 to 5 in parameter order, all automatable, and the
// host's bypass switch as id 6. Cutoff, Q Factor, Additional LP and 18dB Boost take the host
// values 0..1 themselves, so that automation drawn for the VST module means the same here, and
// take the host's modulation on top; Filter Type (0 to 3) and Pole Number (0 or 1) are stepped
// lists whose steps stand for host values 0.25 apart and 0 or 1. Bypass is 0 (off) or 1 (on).
#pragma once

#include <cstddef>
#include <cstdint>

#include "clap_api.h"
#include "program_bank.h"

namespace qr47 {

constexpr std::uint32_t kClapBypassId = kParameterCount;
constexpr std::uint32_t kClapParameterCount = kClapBypassId + 1;

bool clapParameterInfo(std::uint32_t index, clap::ParamInfo* info);

// The host value for a CLAP value of one of the six: within the parameter's range, a stepped one
// cut to its whole step, narrowed to float as the VST module receives it. False for another id
// or a NaN.
bool hostValueOf(std::uint32_t id, double clapValue, float* hostValue);

// The CLAP value of a host value: the step the filter uses for the lists.
double clapValueOf(std::uint32_t id, float hostValue);

bool isModulatable(std::uint32_t id);

// The switch a bypass value stands for, from halfway up; false for a NaN.
inline bool bypassOn(double clapValue) {
  constexpr double kOnFrom = 0.5;
  return clapValue >= kOnFrom;
}

// Any parameter's text, "Off" or "On" for the bypass, and back.
bool clapValueText(std::uint32_t id, double clapValue, char* text, std::size_t capacity);
bool clapValueOfText(std::uint32_t id, const char* text, double* clapValue);

}  // namespace qr47
