#include "port_filter.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "cutoff_curve.h"

namespace qr47 {
namespace {

constexpr double kPercent = 100.0;
constexpr double kTypeStep = 0.25;
constexpr double kBoostScale = 8.0;
constexpr double kDecibelsPerDecade = 20.0;
constexpr double kTwoPoles = 2.0;
constexpr double kPolesPerStep = 2.0;

const PortRange kRanges[kParameterCount] = {kCutoffHzRange, kQPercentRange,  kTypeRange,
                                            kPolesRange,    kLpPercentRange, kBoostDbRange};

// The host value for a frequency. The curve of host values drops from 1170 Hz back to 900 Hz at
// 0.33333; below 900 Hz the lowest segment is used and from 900 Hz on the middle one, so that
// the frequency rises with the control.
float cutoffFor(double hz) {
  if (hz <= kCutoffHzRange.minimum) return 0.0f;
  if (hz >= kCutoffHzRange.maximum) return 1.0f;
  double value;
  if (hz < kCutoffLowHz) {
    value = hz * kFirstThreshold / kCutoffLowHz - kLowestSegmentOffset;
  } else if (hz < kCutoffMidHz) {
    value = kFirstThreshold + (hz - kCutoffLowHz) * kFirstThreshold / (kCutoffMidHz - kCutoffLowHz);
  } else {
    value =
        kSecondThreshold + (hz - kCutoffMidHz) * kFirstThreshold / (kCutoffHighHz - kCutoffMidHz);
  }
  return static_cast<float>(std::clamp(value, 0.0, 1.0));
}

// The frequency of a host value, each segment's line of `cutoffFor` solved for the frequency.
double hzFor(double value) {
  if (value < kFirstThreshold) {
    return (value + kLowestSegmentOffset) * kCutoffLowHz / kFirstThreshold;
  }
  if (value < kSecondThreshold) {
    return kCutoffLowHz +
           (value - kFirstThreshold) * (kCutoffMidHz - kCutoffLowHz) / kFirstThreshold;
  }
  return kCutoffMidHz +
         (value - kSecondThreshold) * (kCutoffHighHz - kCutoffMidHz) / kFirstThreshold;
}

double decibelsFor(double value) {
  if (value <= 0.0) return kBoostDbRange.minimum;
  return kDecibelsPerDecade * std::log10(value * kBoostScale);
}

}  // namespace

float hostValueFor(std::int32_t index, float portValue) {
  if (!isParameterIndex(index) || std::isnan(portValue)) return 0.0f;
  const PortRange& range = kRanges[index];
  const double v = std::clamp(portValue, range.minimum, range.maximum);
  switch (index) {
    case kCutoff:
      return cutoffFor(v);
    case kQFactor:
    case kAdditionalLp:
      return static_cast<float>(v / kPercent);
    case kFilterTypeParameter:
      return static_cast<float>(std::round(v) * kTypeStep);
    case kPoleNumber:
      return v > 3.0 ? 1.0f : 0.0f;
    default:  // the boost
      if (v <= kBoostDbRange.minimum) return 0.0f;
      return static_cast<float>(std::min(std::pow(10.0, v / 20.0) / kBoostScale, 1.0));
  }
}

float portValueFor(std::int32_t index, float hostValue) {
  if (!isParameterIndex(index)) return 0.0f;
  const PortRange& range = kRanges[index];
  if (std::isnan(hostValue)) return range.defaultValue;
  // The lines meet the ends a rounding off: 0 would be 270.0027 Hz.
  if (hostValueFor(index, range.minimum) == hostValue) return range.minimum;
  if (hostValueFor(index, range.maximum) == hostValue) return range.maximum;
  const double h = std::clamp(hostValue, 0.0f, 1.0f);
  double estimate;
  switch (index) {
    case kCutoff:
      estimate = hzFor(h);
      break;
    case kQFactor:
    case kAdditionalLp:
      estimate = h * kPercent;
      break;
    case kFilterTypeParameter:
      return static_cast<float>(listStep(index, hostValue));
    case kPoleNumber:
      return static_cast<float>(kTwoPoles + kPolesPerStep * listStep(index, hostValue));
    default:  // the boost
      estimate = decibelsFor(h);
      break;
  }
  return static_cast<float>(
      std::clamp(estimate, static_cast<double>(range.minimum), static_cast<double>(range.maximum)));
}

PortFilter::PortFilter(float sampleRate) {
  for (std::int32_t index = 0; index < kParameterCount; ++index) {
    settings.setParameter(index, kFactoryValues[index]);
    applied[index] = std::numeric_limits<float>::quiet_NaN();
  }
  settings.setSampleRate(sampleRate);
  fade.setSampleRate(sampleRate);
}

void PortFilter::process(const float* const controls[], const float* enabled,
                         const float* const* inputs, float* const* outputs,
                         std::int32_t sampleFrames) {
  fade.set(enabled && *enabled <= 0.0f);
  if (!started) fade.finish();
  started = true;
  for (std::int32_t index = 0; index < kParameterCount; ++index) {
    const float value = *controls[index];
    if (value == applied[index]) continue;
    applied[index] = value;
    settings.setParameter(index, hostValueFor(index, value));
  }
  fade.process(inputs, outputs, sampleFrames,
               [this](const float* const* in, float* const* out, std::int32_t frames) {
                 core.processReplace(settings.loop(), in, out, frames);
               });
}

}  // namespace qr47
