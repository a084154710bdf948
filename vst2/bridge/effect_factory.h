// The one concrete effect a module makes. The host bridge declares it; the effect defines it.
#pragma once

#include "effect_base.h"

namespace qr47 {

// A new effect, or null when its storage could not be had.
EffectBase* createEffect(HostCallback hostCallback);

}  // namespace qr47
