#include "plugin_main.h"

#include "effect_factory.h"

namespace qr47 {

// Asks the host for its version first: a host that answers 0 (or hands over no callback at all)
// gets no effect.
EffectRecord* pluginMain(HostCallback hostCallback) {
  if (hostCallback == nullptr) return nullptr;
  if (hostCallback(nullptr, kHostVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
  EffectBase* effect = createEffect(hostCallback);
  return effect != nullptr ? effect->getRecord() : nullptr;
}

}  // namespace qr47
