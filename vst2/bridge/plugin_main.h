// What the module's exported main does: a new effect for the host, or null.
#pragma once

#include "effect_record.h"

namespace qr47 {

EffectRecord* pluginMain(HostCallback hostCallback);

}  // namespace qr47
