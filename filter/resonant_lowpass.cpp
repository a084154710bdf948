#include "resonant_lowpass.h"

#include <cmath>

namespace qr47 {
namespace {

bool isFinite(const ResonantLowpass::State& state) {
  return std::isfinite(state.stage1) && std::isfinite(state.stage2);
}

}  // namespace

void ResonantLowpass::setFeedback(float cutoff, float q) {
  feedback = static_cast<float>(q / (1.0 - cutoff) + q);
}

void ResonantLowpass::clearNonFinite() {
  if (!isFinite(left)) left = State{};
  if (!isFinite(right)) right = State{};
}

}  // namespace qr47
