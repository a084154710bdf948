#include "display_text.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "port_filter.h"

namespace qr47 {
namespace {

constexpr const char* kFilterTypeWords[] = {"low pass", "high pass", "band pass", "notch"};
// The same words as one word each, as a command line takes them.
constexpr const char* kJoinedTypeWords[] = {"lowpass", "highpass", "bandpass", "notch"};
constexpr const char* kPoleWords[] = {"2 poles", "4 poles"};
constexpr char kOffWord[] = "Off";
constexpr const char* kBypassWords[] = {kOffWord, "On"};
constexpr const char* kBypassSteps[] = {"0", "1"};
constexpr char kZeroText[] = "0";
constexpr char kInfinityText[] = "oo";  // as in the decibel text for no level, "-oo"

constexpr float kPercent = 100.0f;
constexpr double kDecibelFactor = 20.0;
constexpr double kBoostScale = 8.0;  // 18dB Boost 1.0 is a factor of 8
constexpr double kHundredths = 100.0;
constexpr int kDecibelDecimals = 2;
constexpr double kHertzPerKilohertz = 1000.0;
constexpr float kTypeStep = 0.25f;
constexpr double kLastType = 3.0;
constexpr double kTwoPoles = 2.0;
constexpr double kFourPoles = 4.0;

// The whole number keeps 17 significant digits; any digit after those is written as 0.
constexpr int kSignificantDigits = 17;
// The decimals a typed value is tried with, until it reads back as the value it stands for.
constexpr int kMostDecimals = 8;
// Room for the longest number the display shows and its terminator.
constexpr std::size_t kNumberBytes = 40;

// The percentage a fraction shows, rounded to float before it is rounded to a whole number.
float percentOf(float fraction) {
  return static_cast<float>(static_cast<double>(fraction) * kPercent);
}

// Decibels to the hundredth, without a sign on zero; the length written, as snprintf counts it.
int formatDecibels(float factor, char* text, std::size_t capacity) {
  if (!(factor > 0.0f)) return std::snprintf(text, capacity, "-inf dB");
  double decibels = kDecibelFactor * std::log10(static_cast<double>(factor));
  decibels = std::round(decibels * kHundredths) / kHundredths + 0.0;
  char number[kNumberBytes];
  const auto end = std::to_chars(number, number + sizeof number - 1, decibels,
                                 std::chars_format::fixed, kDecibelDecimals);
  return std::snprintf(text, capacity, "%.*s dB", static_cast<int>(end.ptr - number), number);
}

bool sameLetters(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Index of the word in the list that the text is, or -1.
template <std::size_t kCount>
int wordIndex(std::string_view text, const char* const (&words)[kCount]) {
  for (std::size_t i = 0; i < kCount; ++i) {
    if (sameLetters(text, words[i])) return static_cast<int>(i);
  }
  return -1;
}

// A number, with or without a sign, and what follows it with the blanks trimmed. Reads the same
// in every locale.
bool splitNumber(std::string_view text, double* number, std::string_view* unit) {
  const bool plus = !text.empty() && text.front() == '+';
  if (plus) text.remove_prefix(1);
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *number);
  if (error != std::errc() || (plus && (*number < 0.0 || text.front() == '-'))) return false;
  *unit = trimmed(text.substr(static_cast<std::size_t>(end - text.data())));
  return !std::isnan(*number);
}

float boostFor(double decibels) {
  if (decibels == -HUGE_VAL) return 0.0f;
  return static_cast<float>(std::min(std::pow(10.0, decibels / kDecibelFactor) / kBoostScale, 1.0));
}

}  // namespace

void formatRounded(float value, char* text) {
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

void displayNumber(const FilterSettings& settings, std::int32_t index, char* text) {
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
      std::strcpy(text, kPoleWords[settings.fourPoles() ? 1 : 0]);
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
    default:
      break;
  }
}

bool valueText(std::int32_t index, float value, char* text, std::size_t capacity) {
  if (!isParameterIndex(index) || capacity == 0) return false;
  FilterSettings settings;
  settings.setParameter(index, value);
  char number[kNumberBytes];
  displayNumber(settings, index, number);
  // A fraction of a percent too small to show a digit shows as 0.
  if (number[0] == '\0') std::strcpy(number, kZeroText);
  int length;
  switch (index) {
    case kCutoff:
      length = std::snprintf(text, capacity, "%s Hz", number);
      break;
    case kQFactor:
      length = std::snprintf(text, capacity, "%s %%", number);
      break;
    case kAdditionalLp:
      // A level too small for a whole percent is not off: it shows as much of it as reads back
      // as not off.
      if (std::strcmp(number, kZeroText) == 0) {
        std::snprintf(number, sizeof number, "%.1g", percentOf(settings.parameter(index)));
      }
      length = std::snprintf(text, capacity, std::strcmp(number, kOffWord) == 0 ? "%s" : "%s %%",
                             number);
      break;
    case kBoost:
      length = formatDecibels(settings.outputFactor(), text, capacity);
      break;
    default:
      length = std::snprintf(text, capacity, "%s", number);
      break;
  }
  return length >= 0 && static_cast<std::size_t>(length) < capacity;
}

const char* bypassText(bool on) {
  return kBypassWords[on ? 1 : 0];
}

bool readBypassText(const char* text, bool* on) {
  if (text == nullptr) return false;
  const std::string_view word = trimmed(text);
  for (const bool step : {false, true}) {
    if (sameLetters(word, kBypassWords[step ? 1 : 0]) || word == kBypassSteps[step ? 1 : 0]) {
      *on = step;
      return true;
    }
  }
  return false;
}

bool readTypedValue(std::int32_t index, const char* text, TypedValue* typed) {
  if (!isParameterIndex(index) || text == nullptr) return false;
  const std::string_view whole = trimmed(text);
  const auto named = [&](double inUnit) {
    *typed = {inUnit, true};
    return true;
  };
  if (index == kFilterTypeParameter) {
    const int word = wordIndex(whole, kFilterTypeWords);
    if (word >= 0) return named(word);
    const int joined = wordIndex(whole, kJoinedTypeWords);
    if (joined >= 0) return named(joined);
  }
  if (index == kPoleNumber) {
    const int word = wordIndex(whole, kPoleWords);
    if (word >= 0) return named(word == 0 ? kTwoPoles : kFourPoles);
  }
  if (index == kAdditionalLp && sameLetters(whole, kOffWord)) return named(0.0);
  double number;
  std::string_view unit;
  if (!splitNumber(whole, &number, &unit)) return false;
  if (unit.empty()) {
    // The boost's silence names its unit by itself.
    *typed = {number, index == kBoost && number == -HUGE_VAL};
    return true;
  }
  switch (index) {
    case kCutoff:
      if (sameLetters(unit, "kHz")) return named(number * kHertzPerKilohertz);
      return sameLetters(unit, "Hz") && named(number);
    case kQFactor:
    case kAdditionalLp:
      return unit == "%" && named(number);
    case kPoleNumber:
      return sameLetters(unit, "poles") && named(number);
    case kBoost:
      return sameLetters(unit, "dB") && named(number);
    default:
      return false;
  }
}

// A bare number is in the unit shown, as in the display.
bool parseValueText(std::int32_t index, const char* text, float* value) {
  TypedValue typed;
  if (!readTypedValue(index, text, &typed)) return false;
  const double v = typed.inUnit;
  switch (index) {
    case kCutoff:
    case kQFactor:
    case kAdditionalLp:
      if (!std::isfinite(v)) return false;
      *value = hostValueFor(index, static_cast<float>(v));
      return true;
    case kFilterTypeParameter:
      if (v != std::floor(v) || v < 0.0 || v > kLastType) return false;
      *value = static_cast<float>(v) * kTypeStep;
      return true;
    case kPoleNumber:
      if (v != kTwoPoles && v != kFourPoles) return false;
      *value = v == kFourPoles ? 1.0f : 0.0f;
      return true;
    default:  // the boost
      *value = boostFor(v);
      return true;
  }
}

// The shortest number in the unit that reads back as the same host value, with its unit.
bool typedText(std::int32_t index, float value, char* text, std::size_t capacity) {
  if (!isParameterIndex(index) || capacity == 0 || !std::isfinite(value)) return false;
  FilterSettings settings;
  settings.setParameter(index, value);
  const char* word = nullptr;
  double inUnit = 0.0;
  const char* unit = "";
  switch (index) {
    case kCutoff:
      inUnit = settings.displayedCutoffHz(), unit = "Hz";
      break;
    case kQFactor:
      inUnit = static_cast<double>(value) * kPercent, unit = "%";
      break;
    case kFilterTypeParameter:
      word = kJoinedTypeWords[settings.filterTypeIndex() - kLowPass];
      break;
    case kPoleNumber:
      word = settings.fourPoles() ? "4" : "2";
      break;
    case kAdditionalLp:
      if (value == 0.0f) word = "off";
      inUnit = static_cast<double>(value) * kPercent, unit = "%";
      break;
    default:
      if (!(settings.outputFactor() > 0.0f)) word = "-inf";
      inUnit = kDecibelFactor * std::log10(static_cast<double>(value) * kBoostScale), unit = "dB";
      break;
  }
  int length = word ? std::snprintf(text, capacity, "%s", word) : -1;
  for (int decimals = 0; !word && decimals <= kMostDecimals; ++decimals) {
    length = std::snprintf(text, capacity, index == kBoost ? "%+.*f%s" : "%.*f%s", decimals, inUnit,
                           unit);
    float back;
    if (length > 0 && parseValueText(index, text, &back) && back == value) break;
  }
  return length >= 0 && static_cast<std::size_t>(length) < capacity;
}

}  // namespace qr47
