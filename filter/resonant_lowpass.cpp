#include "resonant_lowpass.h"

namespace qr47 {

void ResonantLowpass::setFeedback(float cutoff, float q) {
  feedback = static_cast<float>(q / (1.0 - cutoff) + q);
}

}  // namespace qr47
