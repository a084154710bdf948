#include "parameter_names.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "display_text.h"
#include "plugin_host.h"
#include "port_filter.h"

namespace qr47 {
namespace {

constexpr std::int32_t kFilterId = fourCharacters('Q', 'R', '4', '7');
// Every parameter of this interface takes host values in 0 .. 1.
constexpr float kLowestValue = 0.0f;
constexpr float kHighestValue = 1.0f;

struct ShortName {
  const char* word;
  int index;
};

struct Word {
  const char* word;
  int index;
  float value;
};

// The filter's short parameter names, and the values its words stand for: the first value of
// each Filter Type band, and the Pole Number values either side of its threshold.
constexpr ShortName kShortNames[] = {{"cutoff", 0}, {"q", 1},  {"type", 2},
                                     {"poles", 3},  {"lp", 4}, {"boost", 5}};
constexpr Word kValueWords[] = {
    {"lowpass", 2, 0.0f}, {"highpass", 2, 0.25f}, {"bandpass", 2, 0.5f},
    {"notch", 2, 0.75f},  {"2", 3, 0.0f},         {"4", 3, 1.0f},
};

// The range of each of the filter's parameters in the unit it shows, as the LV2 plug-in has it.
struct UnitRange {
  PortRange range;
  const char* text;
  const char* unit;
};
const UnitRange kUnitRanges[] = {{kCutoffHzRange, "270 Hz to 20000 Hz", "Hz"},
                                 {kQPercentRange, "1 % to 100 %", "%"},
                                 {kTypeRange, "lowpass, highpass, bandpass or notch", ""},
                                 {kPolesRange, "2 or 4 poles", ""},
                                 {kLpPercentRange, "0 % (off) to 100 %", "%"},
                                 {kBoostDbRange, "-60 dB to +18.06 dB, or -inf", "dB"}};
constexpr std::size_t kTypedBytes = 64;
constexpr double kTwoPoles = 2.0;
constexpr double kFourPoles = 4.0;

// A value in the filter's unit, turned into its host value by the mapping the LV2 plug-in uses.
float hostValueInUnit(int index, double inUnit, const std::string& text, const std::string& name) {
  const UnitRange& unit = kUnitRanges[index];
  const bool silence = index == kBoost && inUnit == -HUGE_VAL;
  const bool poles = index != kPoleNumber || inUnit == kTwoPoles || inUnit == kFourPoles;
  if (!silence && !(inUnit >= unit.range.minimum && inUnit <= unit.range.maximum && poles)) {
    throw std::invalid_argument("'" + text + "' is outside " + name + "'s range of " + unit.text);
  }
  return hostValueFor(index, static_cast<float>(inUnit));
}

// Lower case, with blanks, hyphens and underscores dropped: "Low-Pass" and "low pass" agree.
std::string folded(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c != ' ' && c != '-' && c != '_') out += static_cast<char>(std::tolower(c));
  }
  return out;
}

}  // namespace

ParameterTable parameterTableOf(PluginInstance& plugin) {
  ParameterTable table;
  for (int i = 0; i < plugin.parameterCount(); ++i) table.names.push_back(plugin.parameterName(i));
  table.knowsFilterWords = plugin.record().uniqueId == kFilterId;
  return table;
}

double parseNumber(const std::string& text, const std::string& what) {
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(begin, &end);
  if (text.empty() || end != begin + text.size() || errno == ERANGE || !std::isfinite(value)) {
    throw std::invalid_argument("'" + text + "' is not a number (" + what + ")");
  }
  return value;
}

int parameterIndex(const ParameterTable& table, const std::string& name) {
  const int count = static_cast<int>(table.names.size());
  if (!name.empty() && std::all_of(name.begin(), name.end(), ::isdigit)) {
    const int index = name.size() < 6 ? std::atoi(name.c_str()) : count;
    if (index < count) return index;
    throw std::invalid_argument("no parameter " + name + ": the plug-in has " +
                                std::to_string(count) + " (0 to " + std::to_string(count - 1) +
                                ")");
  }
  const std::string key = folded(name);
  if (table.knowsFilterWords) {
    for (const ShortName& shortName : kShortNames) {
      if (key == shortName.word && shortName.index < count) return shortName.index;
    }
  }
  for (int i = 0; i < count; ++i) {
    if (!key.empty() && folded(table.names[i]) == key) return i;
  }
  throw std::invalid_argument("unknown parameter '" + name + "'");
}

float parameterValue(const ParameterTable& table, int index, const std::string& text) {
  const std::string name = trimmed(table.names[index]);
  if (table.knowsFilterWords) {
    const std::string key = folded(text);
    for (const Word& word : kValueWords) {
      if (word.index == index && key == word.word) return word.value;
    }
    TypedValue typed;
    if (readTypedValue(index, text.c_str(), &typed) && typed.named) {
      return hostValueInUnit(index, typed.inUnit, text, name);
    }
    // A bare number is a pole count where it is 2 or 4 (above), otherwise a host value: the
    // two never overlap, and 3 poles is no setting of this filter.
    if (index == kPoleNumber) {
      const double number = parseNumber(text, "value of " + name);
      if (!(number >= kLowestValue && number <= kHighestValue)) {
        throw std::invalid_argument(name + " is 2 or 4 poles, or a host value from 0 to 1, not '" +
                                    text + "'");
      }
    }
  }
  const auto value = static_cast<float>(parseNumber(text, "value of " + name));
  if (!(value >= kLowestValue && value <= kHighestValue)) {
    std::string hint;
    if (table.knowsFilterWords && index != kFilterTypeParameter && index != kPoleNumber) {
      hint = " (a bare number is a host value; in " + name + "'s unit, write " + trimmed(text) +
             kUnitRanges[index].unit + ")";
    }
    throw std::invalid_argument("'" + text + "' is outside " + name + "'s range of 0 to 1" + hint);
  }
  return value;
}

// The lists by their words; a number in its unit where it reads back as the same host value,
// else the host value itself.
std::string settingFor(const ParameterTable& table, int index, float value) {
  char typed[kTypedBytes];
  if (table.knowsFilterWords) {
    const std::string name = kShortNames[index].word;
    if (typedText(index, value, typed, sizeof typed)) {
      const bool list = index == kFilterTypeParameter || index == kPoleNumber;
      try {
        if (list || parameterValue(table, index, typed) == value) return name + "=" + typed;
      } catch (const std::invalid_argument&) {
      }
    }
    std::snprintf(typed, sizeof typed, "%.9g", value);
    return name + "=" + typed;
  }
  std::snprintf(typed, sizeof typed, "%d=%.9g", index, value);
  return typed;
}

Setting parseSetting(const ParameterTable& table, const std::string& assignment) {
  const auto equals = assignment.find('=');
  if (equals == std::string::npos) {
    throw std::invalid_argument("'" + assignment + "' is not PARAM=VALUE");
  }
  const int index = parameterIndex(table, assignment.substr(0, equals));
  return {index, parameterValue(table, index, assignment.substr(equals + 1))};
}

}  // namespace qr47
