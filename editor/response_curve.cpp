#include "response_curve.h"

#include <cmath>
#include <complex>

namespace qr47 {
namespace {

using Complex = std::complex<double>;

constexpr double kPi = 3.14159265358979323846;
constexpr double kDecibels = 20.0;

// A section at the point w = e^(-j omega) of the unit circle.
Complex sectionAt(const BiquadSection& s, Complex w) {
  return (s.b0 + (s.b1 + s.b2 * w) * w) / (1.0 + (s.a1 + s.a2 * w) * w);
}

// The two stages with their feedback, c the coefficient and k the feedback:
//   H = c^2 / ((1 - (1 - c) w) (1 - (1 - c + c k) w) + c^2 k w).
Complex lowpassAt(double c, double k, Complex w) {
  const double c2 = c * c;
  return c2 / ((1.0 - (1.0 - c) * w) * (1.0 - (1.0 - c + c * k) * w) + c2 * k * w);
}

}  // namespace

double responseDb(const FilterSettings::Loop& s, double hz) {
  const double omega = 2.0 * kPi * hz / s.sampleRate;
  const Complex w = std::polar(1.0, -omega);
  Complex h = sectionAt(s.first, w);
  if (s.fourPoles) h *= sectionAt(s.second, w);
  if (s.mixGain > 0.0f) {
    h += static_cast<double>(s.mixGain) * lowpassAt(s.lowpassCutoff, s.lowpass.feedback, w);
  }
  const double magnitude = std::abs(h) * std::fabs(static_cast<double>(s.outputGain));
  const double floor = std::pow(10.0, kFloorDb / kDecibels);
  return kDecibels * std::log10(magnitude > floor ? magnitude : floor);
}

FilterSettings settingsFor(const float* values, float sampleRate) {
  FilterSettings settings;
  settings.setSampleRate(sampleRate);
  for (std::int32_t index = 0; index < kParameterCount; ++index) {
    settings.setParameter(index, values[index]);
  }
  return settings;
}

}  // namespace qr47
