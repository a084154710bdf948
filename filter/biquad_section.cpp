#include "biquad_section.h"

#include <cmath>

namespace qr47 {

constexpr float kTwoPi = 6.2831855f;  // 2 pi rounded to float

// Every value is rounded to float where it is formed and held widened, so that the next formula
// works on exactly that float. Products by powers of two are exact in float.
void BiquadSection::computeCoefficients(float cutoffHz, float q, float sampleRate,
                                        FilterType type) {
  const auto w0 = static_cast<float>(static_cast<double>(cutoffHz) * kTwoPi / sampleRate);
  const auto cs = static_cast<float>(std::cos(static_cast<double>(w0)));
  const auto sn = static_cast<float>(std::sin(static_cast<double>(w0)));
  const auto alpha = static_cast<float>(sn / (2.0 * q));

  double nb0 = 1.0, nb1 = 0.0, nb2 = 0.0;
  switch (type) {
    case kLowPass:
      nb1 = static_cast<float>(1.0 - cs);
      nb0 = nb2 = nb1 * 0.5;
      break;
    case kHighPass:
      nb1 = static_cast<float>(-(cs + 1.0));
      nb0 = nb2 = nb1 * -0.5;
      break;
    case kBandPass:
      nb0 = alpha;
      nb2 = -alpha;
      break;
    case kNotch:
      nb1 = cs * -2.0f;
      nb2 = 1.0;
      break;
  }
  const auto a0 = static_cast<float>(alpha + 1.0);
  const double na1 = cs * -2.0f;
  const double na2 = static_cast<float>(1.0 - alpha);

  // Multiplied by the rounded reciprocal of a0, not divided by a0.
  const auto r = static_cast<float>(1.0 / a0);
  b0 = static_cast<float>(r * nb0);
  b1 = static_cast<float>(r * nb1);
  b2 = static_cast<float>(r * nb2);
  a1 = static_cast<float>(r * na1);
  a2 = static_cast<float>(r * na2);
}

}  // namespace qr47
