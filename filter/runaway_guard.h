#pragma once

#include <cmath>

namespace qr47 {

// The filters' recursive state never comes near this level for input within full scale: a
// resonant steady state peaks around 50 and parameter changes every few dozen samples stay
// below a few hundred. Past it, or not finite, the state has run away (a NaN in the input, or
// coefficients switched faster than the recursion can settle) and is cleared.
constexpr float kRunawayLevel = 1.0e4f;

inline bool hasRunAway(float state) {
  return !(std::fabs(state) <= kRunawayLevel);
}

}  // namespace qr47
