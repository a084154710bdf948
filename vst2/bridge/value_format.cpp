// The eight-character display texts of numbers. Digits are cut, never rounded.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "effect_base.h"

namespace qr47 {
namespace {

constexpr char kOverflowText[] = " Huge!  ";
constexpr char kMinusInfinityText[] = "  -oo   ";
constexpr char kNotANumberText[] = "  NaN   ";

constexpr double kLargestPositive = 99999999.0;
constexpr double kLargestNegative = 9999999.0;
constexpr int kCharacterBudget = 8;
constexpr double kDigitBase = 10.0;
constexpr double kDecibelFactor = 20.0;
constexpr double kMillisecondsPerSecond = 1000.0;
constexpr int kFirstHugeInteger = 100000000;
constexpr int kScratchBytes = 32;

char digitOf(double value) {
  return static_cast<char>('0' + static_cast<int>(std::fmod(value, kDigitBase)));
}

}  // namespace

void EffectBase::formatDecibels(float level, char* text) {
  if (!(level > 0.0f)) {
    std::strcpy(text, kMinusInfinityText);
    return;
  }
  const double decibels = kDecibelFactor * std::log10(static_cast<double>(level));
  formatFloat(static_cast<float>(decibels), text);
}

void EffectBase::formatHertz(float samples, char* text) {
  const double rate = getSampleRate();
  if (samples == 0.0f || std::isnan(samples)) {
    formatFloat(0.0f, text);
    return;
  }
  formatFloat(static_cast<float>(rate / static_cast<double>(samples)), text);
}

void EffectBase::formatMilliseconds(float samples, char* text) {
  const double milliseconds = static_cast<double>(samples) * kMillisecondsPerSecond;
  const double rate = getSampleRate();
  formatFloat(static_cast<float>(milliseconds / rate), text);
}

// Sign, integer digits, point and as many fraction digits as the eight characters leave. A value
// whose integer digits fill the budget on their own is written as a whole number without the
// point rather than losing its leading digit.
void EffectBase::formatFloat(float value, char* text) {
  double magnitude = value;
  if (std::isnan(magnitude)) {
    std::strcpy(text, kNotANumberText);
    return;
  }
  const bool negative = magnitude < 0.0;
  if (negative) magnitude = -magnitude;
  if (magnitude > (negative ? kLargestNegative : kLargestPositive)) {
    std::strcpy(text, kOverflowText);
    return;
  }

  // Integer digits, least significant first, filled from the end of the scratch text.
  char scratch[kScratchBytes];
  char* first = scratch + kScratchBytes;
  double integerPart = std::floor(magnitude);
  do {
    *--first = digitOf(integerPart);
    integerPart /= kDigitBase;
  } while (integerPart >= 1.0);
  if (negative) *--first = '-';

  const int used = static_cast<int>(scratch + kScratchBytes - first);
  char* out = text;
  std::memcpy(out, first, used);
  out += used;
  if (used < kCharacterBudget) {
    *out++ = '.';
    const int fractionDigits = kCharacterBudget - used - 1;
    double fraction = std::pow(kDigitBase, fractionDigits) * std::fmod(magnitude, 1.0);
    for (int i = fractionDigits - 1; i >= 0; --i) {
      out[i] = fraction > 0.0 ? digitOf(fraction) : '0';
      fraction /= kDigitBase;
    }
    out += fractionDigits;
  }
  *out = '\0';
}

void EffectBase::formatInteger(std::int32_t value, char* text) {
  if (value >= kFirstHugeInteger) {
    std::strcpy(text, kOverflowText);
    return;
  }
  char scratch[kScratchBytes];
  std::snprintf(scratch, sizeof scratch, "%7d", static_cast<int>(value));
  scratch[kCharacterBudget] = '\0';
  std::strcpy(text, scratch);
}

}  // namespace qr47
