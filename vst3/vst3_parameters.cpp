#include "vst3_parameters.h"

#include <algorithm>
#include <cmath>

#include "display_text.h"
#include "program_bank.h"

namespace qr47 {
namespace {

constexpr const char* kUnits[kParameterCount] = {"Hz", "%", "", "", "%", "dB"};
constexpr std::int32_t kStringLength = 128;
constexpr char16_t kLastAscii = 0x7F;

// The list's last step: 3 for Filter Type, 1 for Pole Number and the bypass, 0 for the others.
std::int32_t lastStep(vst3::ParamID id) {
  return id == kFilterTypeParameter ? 3 : id == kPoleNumber || id == kBypassId ? 1 : 0;
}

// The step of a normalized value, as hosts count them: each of n + 1 steps takes an equal part.
double stepOf(vst3::ParamID id, double normalized) {
  const std::int32_t last = lastStep(id);
  return std::min<double>(last, std::floor(std::clamp(normalized, 0.0, 1.0) * (last + 1)));
}

}  // namespace

bool vst3ParameterInfo(std::int32_t index, vst3::ParameterInfo& info) {
  if (!isVst3Parameter(static_cast<vst3::ParamID>(index))) return false;
  info = vst3::ParameterInfo{};
  if (static_cast<vst3::ParamID>(index) == kBypassId) {
    info.id = kBypassId;
    toString128(kBypassName, info.title);
    toString128(kBypassName, info.shortTitle);
    info.stepCount = lastStep(kBypassId);
    info.flags = vst3::ParameterInfo::kCanAutomate | vst3::ParameterInfo::kIsBypass;
    return true;
  }
  info.id = static_cast<vst3::ParamID>(index);
  toString128(kParameterNames[index], info.title);
  toString128(kParameterNames[index], info.shortTitle);
  toString128(kUnits[index], info.units);
  info.stepCount = lastStep(info.id);
  info.defaultNormalizedValue = normalizedOf(info.id, kFactoryValues[index]);
  info.flags = vst3::ParameterInfo::kCanAutomate;
  if (info.stepCount > 0) info.flags |= vst3::ParameterInfo::kIsList;
  return true;
}

const char* bypassTextOf(double normalized) {
  return bypassText(stepOf(kBypassId, normalized) != 0.0);
}

bool normalizedOfBypassText(const char* text, double* normalized) {
  bool on;
  if (!readBypassText(text, &on)) return false;
  *normalized = on ? 1.0 : 0.0;
  return true;
}

float hostValueOfNormalized(vst3::ParamID id, double normalized) {
  if (lastStep(id) == 0) return static_cast<float>(std::clamp(normalized, 0.0, 1.0));
  return hostValueOfStep(static_cast<std::int32_t>(id), stepOf(id, normalized));
}

double normalizedOf(vst3::ParamID id, float hostValue) {
  const std::int32_t last = lastStep(id);
  if (last == 0) return hostValue;
  if (id == kBypassId) return stepOf(id, hostValue);
  return listStep(static_cast<std::int32_t>(id), hostValue) / last;
}

double plainOf(vst3::ParamID id, double normalized) {
  return lastStep(id) == 0 ? normalized : stepOf(id, normalized);
}

double normalizedOfPlain(vst3::ParamID id, double plain) {
  const std::int32_t last = lastStep(id);
  return last == 0 ? plain : std::clamp(plain, 0.0, static_cast<double>(last)) / last;
}

void toString128(const char* text, vst3::String128 out) {
  std::int32_t i = 0;
  for (; i < kStringLength - 1 && text[i] != '\0'; ++i)
    out[i] = static_cast<unsigned char>(text[i]);
  out[i] = 0;
}

bool toAscii(const vst3::TChar* text, char* out, std::size_t capacity) {
  for (std::size_t i = 0; i < capacity; ++i) {
    if (text[i] > kLastAscii) return false;
    out[i] = static_cast<char>(text[i]);
    if (text[i] == 0) return true;
  }
  return false;
}

}  // namespace qr47
