#include "bypass_fade.h"

#include <cmath>

namespace qr47 {

// A fade under way keeps its share of the way across a change of rate.
void BypassFade::setSampleRate(float rate) {
  if (!(rate > 0.0f) || !std::isfinite(rate)) return;
  const auto newLength =
      std::max<std::int32_t>(1, static_cast<std::int32_t>(std::lround(rate * kFadeSeconds)));
  position =
      static_cast<std::int32_t>(std::lround(static_cast<double>(position) * newLength / length));
  length = newLength;
}

void BypassFade::mix(float* const* outputs, std::int32_t frames) {
  for (std::int32_t i = 0; i < frames; ++i) {
    if (target && position < length) ++position;
    if (!target && position > 0) --position;
    if (position == 0) continue;
    for (int channel = 0; channel < kChannels; ++channel) {
      float& out = outputs[channel][i];
      const float in = dry[channel][i];
      if (position == length) {
        out = in;
      } else {
        const float gain = static_cast<float>(position) / static_cast<float>(length);
        out = out + (in - out) * gain;
      }
    }
  }
}

}  // namespace qr47
