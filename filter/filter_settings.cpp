#include "filter_settings.h"

#include <algorithm>
#include <cmath>

#include "cutoff_curve.h"

namespace qr47 {
namespace {

constexpr float kLowestQ = 0.01f;
constexpr float kLowpassQScale = 0.99f;
constexpr float kTypeStep = 0.25f;   // width of each of the four Filter Type bands
constexpr double kBoostScale = 8.0;  // 18dB Boost 1.0 is a factor of 8

// The low-pass coefficient is the normalised cutoff at this rate and scales with the host's.
constexpr double kLowpassReferenceRate = 44100.0;

// Where the coefficients stay well-behaved whatever the parameter values. None of these limits
// is reached by values within 0 .. 1 at 44100 Hz, except the low-pass bound near the top of the
// Cutoff range: there the feedback q / (1 - c) + q grows without bound, and a change of Cutoff
// or Q while the filter rings throws out huge spikes.
constexpr float kLowestCoefficientHz = 270.0f;   // just below where Cutoff 0.0 lands
constexpr float kLowestCutoffPerRate = 1.0e-4f;  // below, the rounded cosine is 1: unstable
constexpr float kHighestCutoffPerRate = 0.49f;   // just below the Nyquist frequency
constexpr float kHighestQ = 1.0f;
constexpr float kLowestLowpassCutoff = 0.0f;
constexpr float kHighestLowpassCutoff = 0.99f;
constexpr float kLargestGain = 1000.0f;  // +60 dB, far beyond the 18 dB the range reaches

FilterType filterTypeFor(float value, FilterType current) {
  if (value < kTypeStep) return kLowPass;
  if (value < 2 * kTypeStep) return kHighPass;
  if (value < 3 * kTypeStep) return kBandPass;
  if (value <= 1.0f) return kNotch;
  return current;
}

float limitGain(float gain) {
  return std::clamp(gain, -kLargestGain, kLargestGain);
}

}  // namespace

void FilterSettings::setParameter(std::int32_t index, float value) {
  // Values that are not finite would poison every coefficient: they change nothing at all.
  if (!isParameterIndex(index) || !std::isfinite(value)) return;
  switch (index) {
    case kCutoff:
      cutoff = value;
      updateCutoff();
      updateFilters();
      break;
    case kQFactor:
      qFactor = value > kLowestQ ? value : kLowestQ;
      updateFilters();
      break;
    case kFilterTypeParameter:
      filterType = value;
      typeIndex = filterTypeFor(value, typeIndex);
      updateFilters();
      break;
    case kPoleNumber:
      poleNumber = value;
      loopSettings.fourPoles = fourPoles();
      if (fourPoles()) updateSection(loopSettings.second);
      break;
    case kAdditionalLp:
      additionalLp = value;
      loopSettings.mixGain = limitGain(value);
      if (value > 0.0f) updateFeedback();
      break;
    case kBoost:
      boost = value;
      boostFactor = static_cast<float>(value * kBoostScale);
      loopSettings.outputGain = limitGain(boostFactor);
      break;
  }
}

float FilterSettings::parameter(std::int32_t index) const {
  switch (index) {
    case kCutoff:
      return cutoff;
    case kQFactor:
      return qFactor;
    case kFilterTypeParameter:
      return filterType;
    case kPoleNumber:
      return poleNumber;
    case kAdditionalLp:
      return additionalLp;
    case kBoost:
      return boost;
    default:
      return 0.0f;
  }
}

void FilterSettings::setSampleRate(float rate) {
  if (!std::isfinite(rate) || rate <= 0.0f) return;
  filterSampleRate = rate;
  loopSettings.sampleRate = rate;
  updateLowpassCutoff();
  updateFilters();
}

float FilterSettings::mapCutoff(float low, float mid, float high, float value) {
  const double v = value;
  double r;
  if (value < kFirstThreshold) {
    r = (static_cast<double>(low) / kFirstThreshold) * (v + kLowestSegmentOffset);
  } else if (value < kSecondThreshold) {
    r = low + (static_cast<double>(mid) - low) * (v - kFirstThreshold) / kFirstThreshold;
  } else if (value <= 1.0f) {
    // The top segment is divided by the first threshold too, as the curve has always been.
    r = mid + (static_cast<double>(high) - mid) * (v - kSecondThreshold) / kFirstThreshold;
  } else {
    r = low;
  }
  return static_cast<float>(static_cast<float>(r) / static_cast<double>(high));
}

void FilterSettings::updateCutoff() {
  const float normalised = mapCutoff(kCutoffLowHz, kCutoffMidHz, kCutoffHighHz, cutoff);
  cutoffHz = static_cast<float>(static_cast<double>(normalised) * kCutoffHighHz);
  cutoffNormalised = normalised;
  updateLowpassCutoff();
}

void FilterSettings::updateLowpassCutoff() {
  const auto scaled = static_cast<float>(static_cast<double>(cutoffNormalised) *
                                         kLowpassReferenceRate / filterSampleRate);
  loopSettings.lowpassCutoff = std::clamp(scaled, kLowestLowpassCutoff, kHighestLowpassCutoff);
}

void FilterSettings::updateFilters() {
  updateSection(loopSettings.first);
  if (fourPoles()) updateSection(loopSettings.second);
  if (additionalLp != 0.0f) updateFeedback();
}

void FilterSettings::updateSection(BiquadSection& section) const {
  const float lowest = std::max(kLowestCoefficientHz, kLowestCutoffPerRate * filterSampleRate);
  const float hz = std::min(std::max(cutoffHz, lowest), kHighestCutoffPerRate * filterSampleRate);
  section.computeCoefficients(hz, std::min(qFactor, kHighestQ), filterSampleRate, typeIndex);
}

void FilterSettings::updateFeedback() {
  const float q = std::min(qFactor, kHighestQ);
  loopSettings.lowpass.setFeedback(loopSettings.lowpassCutoff,
                                   static_cast<float>(static_cast<double>(q) * kLowpassQScale));
}

}  // namespace qr47
