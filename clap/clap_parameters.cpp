#include "clap_parameters.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "display_text.h"
#include "program_bank.h"

namespace qr47 {
namespace {

constexpr double kTypeSteps = 4.0;  // host values 0, 0.25, 0.5, 0.75
constexpr double kLastType = 3.0;

bool isList(std::uint32_t id) {
  return id == kFilterTypeParameter || id == kPoleNumber;
}

double largest(std::uint32_t id) {
  return id == kFilterTypeParameter ? kLastType : 1.0;
}

}  // namespace

bool clapParameterInfo(std::uint32_t index, clap::ParamInfo* info) {
  if (index >= static_cast<std::uint32_t>(kParameterCount)) return false;
  *info = clap::ParamInfo{};
  info->id = index;
  info->flags = clap::kParamIsAutomatable;
  if (isList(index)) info->flags |= clap::kParamIsStepped | clap::kParamIsEnum;
  std::snprintf(info->name, sizeof info->name, "%s", kParameterNames[index]);
  info->minValue = 0.0;
  info->maxValue = largest(index);
  info->defaultValue = clapValueOf(index, kFactoryValues[index]);
  return true;
}

bool hostValueOf(std::uint32_t id, double clapValue, float* hostValue) {
  if (id >= static_cast<std::uint32_t>(kParameterCount) || std::isnan(clapValue)) return false;
  double value = std::clamp(clapValue, 0.0, largest(id));
  if (isList(id)) value = std::trunc(value);
  if (id == kFilterTypeParameter) value /= kTypeSteps;
  *hostValue = static_cast<float>(value);
  return true;
}

double clapValueOf(std::uint32_t id, float hostValue) {
  switch (id) {
    case kFilterTypeParameter:
      return std::clamp(std::floor(hostValue * kTypeSteps), 0.0, kLastType);
    case kPoleNumber:
      return hostValue >= kFourPolesFrom ? 1.0 : 0.0;
    default:
      return hostValue;
  }
}

}  // namespace qr47
