#include "clap_parameters.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "display_text.h"
#include "program_bank.h"

namespace qr47 {
namespace {

bool isList(std::uint32_t id) {
  return id == kFilterTypeParameter || id == kPoleNumber;
}

double largest(std::uint32_t id) {
  return id == kFilterTypeParameter ? kLastFilterType : 1.0;
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
  const double value = std::clamp(clapValue, 0.0, largest(id));
  const auto index = static_cast<std::int32_t>(id);
  *hostValue = isList(id) ? hostValueOfStep(index, std::trunc(value)) : static_cast<float>(value);
  return true;
}

double clapValueOf(std::uint32_t id, float hostValue) {
  return isList(id) ? listStep(static_cast<std::int32_t>(id), hostValue) : hostValue;
}

}  // namespace qr47
