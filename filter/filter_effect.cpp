#include "filter_effect.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "effect_factory.h"

namespace qr47 {
namespace {

constexpr std::int32_t kInputCount = 2;
constexpr std::int32_t kOutputCount = 2;

// The cutoff curve, in Hz: three segments over the parameter range, bounded by these thresholds.
constexpr float kCutoffLowHz = 900.0f;
constexpr float kCutoffMidHz = 5000.0f;
constexpr float kCutoffHighHz = 20000.0f;
constexpr float kFirstThreshold = 0.33333f;
constexpr float kSecondThreshold = 0.66666f;
constexpr float kLowestSegmentOffset = 0.1f;

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

FilterEffect::FilterEffect(HostCallback hostCallback)
    : EffectBase(hostCallback, kProgramCount, kParameterCount) {
  filterSampleRate = getSampleRate();
  setInputCount(kInputCount);
  setOutputCount(kOutputCount);
  setUniqueId(kUniqueId);
  setCanMono(true);
  setCanReplace(true);
  FilterEffect::setProgram(kFactoryProgram);
  FilterEffect::suspend();
}

void FilterEffect::setParameter(std::int32_t index, float value) {
  // Values that are not finite would poison every coefficient: they change nothing at all.
  if (!isParameterIndex(index) || !std::isfinite(value)) return;
  bank[currentProgram].values[index] = value;
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
      if (fourPoles()) updateSection(section2);
      break;
    case kAdditionalLp:
      additionalLp = value;
      mixGain = limitGain(value);
      if (value > 0.0f) updateFeedback();
      break;
    case kBoost:
      boost = value;
      boostFactor = static_cast<float>(value * kBoostScale);
      outputGain = limitGain(boostFactor);
      break;
  }
}

float FilterEffect::getParameter(std::int32_t index) {
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

void FilterEffect::setProgram(std::int32_t program) {
  if (program < 0 || program >= programCount) return;
  currentProgram = program;
  // The factory program is restored from constants on every selection; the others apply what
  // the host last set while they were current.
  if (program == kFactoryProgram) {
    cutoff = kFactoryValues[kCutoff];
    qFactor = kFactoryValues[kQFactor];
    filterType = kFactoryValues[kFilterTypeParameter];
    poleNumber = kFactoryValues[kPoleNumber];
    additionalLp = kFactoryValues[kAdditionalLp];
    boost = kFactoryValues[kBoost];
    for (std::int32_t index = 0; index < kParameterCount; ++index) {
      setParameter(index, FilterEffect::getParameter(index));
    }
  } else {
    const ProgramRecord stored = bank[program];
    for (std::int32_t index = 0; index < kParameterCount; ++index) {
      setParameter(index, stored.values[index]);
    }
  }
}

float FilterEffect::mapCutoff(float low, float mid, float high, float value) {
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

void FilterEffect::updateCutoff() {
  const float normalised = mapCutoff(kCutoffLowHz, kCutoffMidHz, kCutoffHighHz, cutoff);
  cutoffHz = static_cast<float>(static_cast<double>(normalised) * kCutoffHighHz);
  cutoffNormalised = normalised;
  updateLowpassCutoff();
}

void FilterEffect::updateLowpassCutoff() {
  const auto scaled = static_cast<float>(static_cast<double>(cutoffNormalised) *
                                         kLowpassReferenceRate / filterSampleRate);
  lowpassCutoff = std::clamp(scaled, kLowestLowpassCutoff, kHighestLowpassCutoff);
}

void FilterEffect::updateFilters() {
  updateSection(section1);
  if (fourPoles()) updateSection(section2);
  if (additionalLp != 0.0f) updateFeedback();
}

void FilterEffect::updateSection(BiquadSection& section) {
  const float lowest = std::max(kLowestCoefficientHz, kLowestCutoffPerRate * filterSampleRate);
  const float hz = std::min(std::max(cutoffHz, lowest), kHighestCutoffPerRate * filterSampleRate);
  section.computeCoefficients(hz, std::min(qFactor, kHighestQ), filterSampleRate, typeIndex);
}

void FilterEffect::updateFeedback() {
  const float q = std::min(qFactor, kHighestQ);
  lowpass.setFeedback(lowpassCutoff, static_cast<float>(static_cast<double>(q) * kLowpassQScale));
}

bool FilterEffect::fourPoles() const {
  return poleNumber >= kFourPolesFrom;
}

bool FilterEffect::lowpassMixedIn() const {
  return mixGain > 0.0f;
}

void FilterEffect::setSampleRate(float rate) {
  EffectBase::setSampleRate(rate);
  if (!std::isfinite(rate) || rate <= 0.0f) return;
  filterSampleRate = rate;
  updateLowpassCutoff();
  updateFilters();
}

void FilterEffect::suspend() {
  section1.reset();
  section2.reset();
}

void FilterEffect::resume() {
  suspend();
}

// Both loops in one: the replacing mode stores each result, the accumulating mode adds it to what
// the output holds. Both input samples are read before either output is written, so a host that
// passes the same buffer as input and output still feeds the low-pass the dry signal. The
// histories and low-pass states belong to the loop alone and stay in registers over the block;
// the settings and coefficients are read afresh for every sample.
template <bool kAccumulate>
void FilterEffect::process(float** inputs, float** outputs, std::int32_t sampleFrames) {
  const float* in0 = inputs[0];
  const float* in1 = inputs[1];
  float* out0 = outputs[0];
  float* out1 = outputs[1];
  LoopState s{section1.left,  section1.right, section2.left,
              section2.right, lowpass.left,   lowpass.right};
  for (std::int32_t i = 0; i < sampleFrames; ++i) {
    const float dryLeft = in0[i];
    const float dryRight = in1[i];
    float l = section1.process(s.firstLeft, dryLeft);
    float r = section1.process(s.firstRight, dryRight);
    if (fourPoles()) {
      l = section2.process(s.secondLeft, l);
      r = section2.process(s.secondRight, r);
    }
    if (lowpassMixedIn()) {
      l = static_cast<float>(
          static_cast<double>(lowpass.process(s.lowLeft, dryLeft, lowpassCutoff)) * mixGain + l);
      r = static_cast<float>(
          static_cast<double>(lowpass.process(s.lowRight, dryRight, lowpassCutoff)) * mixGain + r);
    }
    if (kAccumulate) {
      out0[i] = static_cast<float>(static_cast<double>(l) * outputGain + out0[i]);
      out1[i] = static_cast<float>(static_cast<double>(r) * outputGain + out1[i]);
    } else {
      out0[i] = static_cast<float>(static_cast<double>(l) * outputGain);
      out1[i] = static_cast<float>(static_cast<double>(r) * outputGain);
    }
  }
  section1.left = s.firstLeft;
  section1.right = s.firstRight;
  section2.left = s.secondLeft;
  section2.right = s.secondRight;
  lowpass.left = s.lowLeft;
  lowpass.right = s.lowRight;
  clearRunawayState();
}

void FilterEffect::processAdd(float** inputs, float** outputs, std::int32_t sampleFrames) {
  process<true>(inputs, outputs, sampleFrames);
}

void FilterEffect::processReplace(float** inputs, float** outputs, std::int32_t sampleFrames) {
  process<false>(inputs, outputs, sampleFrames);
}

// A NaN or infinite input sample would otherwise stay in the recursion for good, and a host that
// changes settings every few samples can drive a recursion that is stable for each setting alone
// into growing without bound. Either is cleared at the end of the block it happened in.
void FilterEffect::clearRunawayState() {
  section1.clearRunaway();
  section2.clearRunaway();
  lowpass.clearRunaway();
}

EffectBase* createEffect(HostCallback hostCallback) {
  return new (std::nothrow) FilterEffect(hostCallback);
}

}  // namespace qr47
