#include "biquad_section.h"

#include <cmath>

namespace qr47 {

constexpr float kTwoPi = 6.2831855f;  // 2 pi rounded to float

void BiquadSection::computeCoefficients(float cutoffHz, float q, float sampleRate,
                                        FilterType type) {
  const float w0 = static_cast<float>(static_cast<double>(cutoffHz) * kTwoPi / sampleRate);
  const float cs = static_cast<float>(std::cos(static_cast<double>(w0)));
  const float sn = static_cast<float>(std::sin(static_cast<double>(w0)));
  const float alpha = static_cast<float>(sn / (2.0 * q));

  float nb0 = 1.0f, nb1 = 0.0f, nb2 = 0.0f;
  switch (type) {
    case kLowPass:
      nb1 = static_cast<float>(1.0 - cs);
      nb0 = nb2 = static_cast<float>(nb1 * 0.5);
      break;
    case kHighPass:
      nb1 = static_cast<float>(-(cs + 1.0));
      nb0 = nb2 = static_cast<float>(nb1 * -0.5);
      break;
    case kBandPass:
      nb0 = alpha;
      nb1 = 0.0f;
      nb2 = -alpha;
      break;
    case kNotch:
      nb0 = 1.0f;
      nb1 = static_cast<float>(cs * -2.0);
      nb2 = 1.0f;
      break;
  }
  const float a0 = static_cast<float>(alpha + 1.0);
  const float na1 = static_cast<float>(cs * -2.0);
  const float na2 = static_cast<float>(1.0 - alpha);

  // Multiplied by the rounded reciprocal of a0, not divided by a0.
  const float r = static_cast<float>(1.0 / a0);
  b0 = static_cast<float>(static_cast<double>(r) * nb0);
  b1 = static_cast<float>(static_cast<double>(r) * nb1);
  b2 = static_cast<float>(static_cast<double>(r) * nb2);
  a1 = static_cast<float>(static_cast<double>(r) * na1);
  a2 = static_cast<float>(static_cast<double>(r) * na2);
}

}  // namespace qr47
