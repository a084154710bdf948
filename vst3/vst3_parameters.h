// The six parameters as VST 3 hosts see them: ids 0 to 5 in parameter order, all automatable.
// The normalized values of Cutoff, Q Factor, Additional LP and 18dB Boost are the VST host values
// themselves; Filter Type is a list of four steps and Pole Number one of two, whose normalized
// steps (0, 1/3, 2/3, 1 and 0, 1) stand for host values 0, 0.25, 0.5, 0.75 and 0, 1. The plain
// value of a list is its step, of the others the host value.
//
// After them, id 6: the host's bypass switch, a list of two steps, 0 off and 1 on, which is also
// its value for the filter.
#pragma once

#include <cstdint>

#include "program_bank.h"
#include "vst3_api.h"

namespace qr47 {

constexpr vst3::ParamID kBypassId = kParameterCount;
constexpr std::int32_t kVst3ParameterCount = kParameterCount + 1;

inline bool isVst3Parameter(vst3::ParamID id) {
  return id < static_cast<vst3::ParamID>(kVst3ParameterCount);
}

bool vst3ParameterInfo(std::int32_t index, vst3::ParameterInfo& info);

// The bypass's texts, "Off" and "On", and back as the display texts read them.
const char* bypassTextOf(double normalized);
bool normalizedOfBypassText(const char* text, double* normalized);

// For an id of 0 to 6: the host value of a normalized value, narrowed to float as the VST module
// receives it, and the normalized value of a host value.
float hostValueOfNormalized(vst3::ParamID id, double normalized);
double normalizedOf(vst3::ParamID id, float hostValue);
double plainOf(vst3::ParamID id, double normalized);
double normalizedOfPlain(vst3::ParamID id, double plain);

// Texts between the interface's UTF-16 and the engine's ASCII; false where a character is not
// ASCII or the text does not fit.
void toString128(const char* text, vst3::String128 out);
bool toAscii(const vst3::TChar* text, char* out, std::size_t capacity);

}  // namespace qr47
