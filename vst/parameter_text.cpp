// The names, units and value texts a host shows beside each parameter.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "filter_effect.h"

namespace qr47 {
namespace {

constexpr const char* kParameterNames[kParameterCount] = {
    " Cutoff ", " Q Factor ", " Filter Type ", " Pole Number ", " Additional LP ", " 18dB Boost ",
};

constexpr const char* kParameterUnits[kParameterCount] = {
    "   Hz   ", "   %    ", "        ", " 2 or 4 ", "   %    ", "   dB   ",
};

constexpr const char* kFilterTypeWords[] = {"low pass", "high pass", "band pass", "notch"};
constexpr char kTwoPolesWord[] = "2 poles";
constexpr char kFourPolesWord[] = "4 poles";
constexpr char kOffWord[] = "Off";
constexpr char kZeroText[] = "0";
constexpr char kInfinityText[] = "oo";  // as in the decibel text for no level, "-oo"

constexpr float kPercent = 100.0f;

// The whole number keeps 17 significant digits; any digit after those is written as 0.
constexpr int kSignificantDigits = 17;

// The percentage a fraction shows, rounded to float before it is rounded to a whole number.
float percentOf(float fraction) {
  return static_cast<float>(static_cast<double>(fraction) * kPercent);
}

}  // namespace

void FilterEffect::getParameterName(std::int32_t index, char* text) {
  if (isParameterIndex(index)) std::strcpy(text, kParameterNames[index]);
}

void FilterEffect::getParameterUnit(std::int32_t index, char* text) {
  if (isParameterIndex(index)) std::strcpy(text, kParameterUnits[index]);
}

// The texts of one consistent set of values, whatever other threads set meanwhile.
void FilterEffect::getParameterText(std::int32_t index, char* text) {
  const FilterSettings settings = engine.settings();
  switch (index) {
    case kCutoff:
      formatRounded(settings.displayedCutoffHz(), text);
      break;
    case kQFactor:
      formatRounded(percentOf(settings.parameter(kQFactor)), text);
      break;
    case kFilterTypeParameter:
      std::strcpy(text, kFilterTypeWords[settings.filterTypeIndex() - kLowPass]);
      break;
    case kPoleNumber:
      std::strcpy(text, settings.fourPoles() ? kFourPolesWord : kTwoPolesWord);
      break;
    case kAdditionalLp: {
      const float level = settings.parameter(kAdditionalLp);
      if (level == 0.0f) {
        std::strcpy(text, kOffWord);
      } else {
        formatRounded(percentOf(level), text);
      }
      break;
    }
    case kBoost:
      formatDecibels(settings.outputFactor(), text);
      break;
    default:
      break;
  }
}

// At most 39 digits (the largest float) and the terminator.
void FilterEffect::formatRounded(float value, char* text) {
  const double magnitude = std::fabs(static_cast<double>(value));
  if (magnitude == 0.0 || std::isnan(magnitude)) {
    std::strcpy(text, kZeroText);
    return;
  }
  if (std::isinf(magnitude)) {
    std::strcpy(text, kInfinityText);
    return;
  }
  const double whole = std::round(magnitude);  // halves away from zero
  if (whole == 0.0) {
    text[0] = '\0';
    return;
  }
  // "d.dddddddddddddddde+XX": the leading digits, then the power of ten.
  char scientific[32];
  std::snprintf(scientific, sizeof scientific, "%.*e", kSignificantDigits - 1, whole);
  const int digitCount = std::atoi(std::strchr(scientific, 'e') + 1) + 1;
  char* out = text;
  for (int i = 0; i < digitCount; ++i) {
    if (i >= kSignificantDigits) {
      *out++ = '0';
    } else {
      *out++ = scientific[i == 0 ? 0 : i + 1];  // skip the point after the first digit
    }
  }
  *out = '\0';
}

}  // namespace qr47
