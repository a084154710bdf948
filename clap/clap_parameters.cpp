#include "clap_parameters.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "display_text.h"

namespace qr47 {
namespace {

bool isList(std::uint32_t id) {
  return id == kFilterTypeParameter || id == kPoleNumber;
}

double largest(std::uint32_t id) {
  return id == kFilterTypeParameter ? kLastFilterType : 1.0;
}

}  // namespace

bool isModulatable(std::uint32_t id) {
  return id == kCutoff || id == kQFactor || id == kAdditionalLp || id == kBoost;
}

bool clapParameterInfo(std::uint32_t index, clap::ParamInfo* info) {
  if (index >= kClapParameterCount) return false;
  *info = clap::ParamInfo{};
  info->id = index;
  info->flags = clap::kParamIsAutomatable;
  info->minValue = 0.0;
  if (index == kClapBypassId) {
    info->flags |= clap::kParamIsStepped | clap::kParamIsBypass;
    std::snprintf(info->name, sizeof info->name, "%s", kBypassName);
    info->maxValue = 1.0;
    return true;
  }
  if (isList(index)) info->flags |= clap::kParamIsStepped | clap::kParamIsEnum;
  if (isModulatable(index)) info->flags |= clap::kParamIsModulatable;
  std::snprintf(info->name, sizeof info->name, "%s", kParameterNames[index]);
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

bool clapValueText(std::uint32_t id, double clapValue, char* text, std::size_t capacity) {
  if (id == kClapBypassId) {
    if (std::isnan(clapValue)) return false;
    const char* word = bypassText(bypassOn(clapValue));
    return std::snprintf(text, capacity, "%s", word) < static_cast<int>(capacity);
  }
  float hostValue;
  return hostValueOf(id, clapValue, &hostValue) &&
         valueText(static_cast<std::int32_t>(id), hostValue, text, capacity);
}

bool clapValueOfText(std::uint32_t id, const char* text, double* clapValue) {
  if (!text) return false;
  if (id == kClapBypassId) {
    bool on;
    if (!readBypassText(text, &on)) return false;
    *clapValue = on ? 1.0 : 0.0;
    return true;
  }
  float hostValue;
  if (id >= static_cast<std::uint32_t>(kParameterCount) ||
      !parseValueText(static_cast<std::int32_t>(id), text, &hostValue)) {
    return false;
  }
  *clapValue = clapValueOf(id, hostValue);
  return true;
}

}  // namespace qr47
