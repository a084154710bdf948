#include "automated_filter.h"

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
  changed = true;
}

void AutomatedFilter::setValue(std::int32_t index, float value) {
  if (!isParameterIndex(index) || !std::isfinite(value)) return;
  settings.setParameter(index, value);
  shown[index].store(value, std::memory_order_relaxed);
  changed = true;
}

void AutomatedFilter::takeLoadedState() {
  const LoadedState& state = loaded.read();
  if (state.serial == loadsTaken) return;
  loadsTaken = state.serial;
  for (std::int32_t index = 0; index < kParameterCount; ++index) {
    setValue(index, state.values[index]);
  }
}

void AutomatedFilter::publishChanges() {
  if (changed) tail.publish(settings.loop());
  changed = false;
}

void AutomatedFilter::load(const ParameterValues& values) {
  LoadedState& state = loaded.writeSlot();
  state.serial = ++loadsPublished;
  state.values = values;
  loaded.publish();
  for (std::int32_t index = 0; index < kParameterCount; ++index) {
    shown[index].store(values[index], std::memory_order_relaxed);
  }
}

ParameterValues AutomatedFilter::values() const {
  ParameterValues all;
  for (std::int32_t index = 0; index < kParameterCount; ++index) all[index] = value(index);
  return all;
}

}  // namespace qr47
