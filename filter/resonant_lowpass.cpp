#include "resonant_lowpass.h"

#include "runaway_guard.h"

namespace qr47 {
namespace {

bool channelHasRunAway(const ResonantLowpass::State& state) {
  return hasRunAway(state.stage1) || hasRunAway(state.stage2);
}

}  // namespace

void ResonantLowpass::setFeedback(float cutoff, float q) {
  feedback = static_cast<float>(q / (1.0 - cutoff) + q);
}

void ResonantLowpass::clearRunaway() {
  if (channelHasRunAway(left)) left = State{};
  if (channelHasRunAway(right)) right = State{};
}

}  // namespace qr47
