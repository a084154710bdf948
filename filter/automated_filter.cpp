#include "automated_filter.h"

#include <algorithm>
#include <cmath>

namespace qr47 {

AutomatedFilter::AutomatedFilter() {
  for (std::int32_t index = 0; index < kParameterCount; ++index) {
    setValue(index, kFactoryValues[index]);
  }
  publishChanges();
}

void AutomatedFilter::setSampleRate(float rate) {
  settings.setSampleRate(rate);
  fade.setSampleRate(rate);
  changed = true;
}

void AutomatedFilter::setValue(std::int32_t index, float value) {
  if (!isParameterIndex(index) || !std::isfinite(value)) return;
  values[index] = value;
  shown[index].store(value, std::memory_order_relaxed);
  apply(index);
}

void AutomatedFilter::setModulation(std::int32_t index, double amount) {
  if (!isParameterIndex(index) || !std::isfinite(amount)) return;
  modulation[index] = amount;
  apply(index);
}

void AutomatedFilter::clearModulation() {
  for (std::int32_t index = 0; index < kParameterCount; ++index) setModulation(index, 0.0);
}

// What the filter runs at: the value, or the value plus its amount held to 0..1 and narrowed to
// float, as a host would set that sum.
void AutomatedFilter::apply(std::int32_t index) {
  const double amount = modulation[index];
  const float value =
      amount == 0.0
          ? values[index]
          : static_cast<float>(std::clamp(static_cast<double>(values[index]) + amount, 0.0, 1.0));
  settings.setParameter(index, value);
  changed = true;
}

// Switched back, the filter rings again at once.
void AutomatedFilter::setBypass(bool bypassed) {
  fade.set(bypassed);
  shownBypass.store(bypassed, std::memory_order_relaxed);
  if (!bypassed) silentTail.store(false, std::memory_order_relaxed);
}

void AutomatedFilter::finishFade() {
  fade.finish();
  silentTail.store(fade.fullyBypassed(), std::memory_order_relaxed);
}

void AutomatedFilter::takeLoadedState() {
  const LoadedState& latest = loaded.read();
  if (latest.serial == loadsTaken) return;
  loadsTaken = latest.serial;
  for (std::int32_t index = 0; index < kParameterCount; ++index) {
    setValue(index, latest.state.values[index]);
  }
  setBypass(latest.state.bypassed);
}

void AutomatedFilter::process(const float* const* inputs, float* const* outputs,
                              std::int32_t sampleFrames) {
  fade.process(inputs, outputs, sampleFrames,
               [this](const float* const* in, float* const* out, std::int32_t frames) {
                 core.processReplace(settings.loop(), in, out, frames);
               });
  silentTail.store(fade.fullyBypassed(), std::memory_order_relaxed);
}

void AutomatedFilter::publishChanges() {
  if (changed) tail.publish(settings.loop());
  changed = false;
}

void AutomatedFilter::load(const FilterState& state) {
  LoadedState& slot = loaded.writeSlot();
  slot.serial = ++loadsPublished;
  slot.state = state;
  loaded.publish();
  for (std::int32_t index = 0; index < kParameterCount; ++index) {
    shown[index].store(state.values[index], std::memory_order_relaxed);
  }
  shownBypass.store(state.bypassed, std::memory_order_relaxed);
}

FilterState AutomatedFilter::state() const {
  FilterState all{};
  for (std::int32_t index = 0; index < kParameterCount; ++index) all.values[index] = value(index);
  all.bypassed = bypassed();
  return all;
}

}  // namespace qr47
