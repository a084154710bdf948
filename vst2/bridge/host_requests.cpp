// The requests an effect sends to its host. Without a callback each answers a fixed fallback.
#include "effect_base.h"

namespace qr47 {

constexpr std::intptr_t kInputPin = 0;
constexpr std::intptr_t kOutputPin = 1;

std::intptr_t EffectBase::sendRequest(std::int32_t request, std::int32_t index, std::intptr_t value,
                                      float opt) {
  return hostCallback(&record, request, index, value, nullptr, opt);
}

void EffectBase::setParameterAndNotify(std::int32_t index, float value) {
  // The effect has changed before the host hears of it.
  setParameter(index, value);
  if (hostCallback) sendRequest(kParameterChanged, index, 0, value);
}

std::int32_t EffectBase::queryHostVersion() {
  if (!hostCallback) return 1;
  const auto version = static_cast<std::int32_t>(sendRequest(kHostVersion));
  return version == 0 ? 1 : version;
}

std::int32_t EffectBase::queryCurrentUniqueId() {
  return hostCallback ? static_cast<std::int32_t>(sendRequest(kCurrentUniqueId)) : 0;
}

std::int32_t EffectBase::requestHostIdle() {
  return hostCallback ? static_cast<std::int32_t>(sendRequest(kIdle)) : 0;
}

// The host answers 0 for a connected pin.
bool EffectBase::isInputConnected(std::int32_t input) {
  return hostCallback ? sendRequest(kPinConnected, input, kInputPin) == 0 : true;
}

bool EffectBase::isOutputConnected(std::int32_t output) {
  return hostCallback ? sendRequest(kPinConnected, output, kOutputPin) == 0 : true;
}

}  // namespace qr47
