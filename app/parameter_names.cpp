#include "parameter_names.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

#include "plugin_host.h"

namespace qr47 {
namespace {

constexpr std::int32_t kFilterId = fourCharacters('Q', 'R', '4', '7');
constexpr int kPolesIndex = 3;
// Every parameter of this interface takes host values in 0 .. 1.
constexpr float kLowestValue = 0.0f;
constexpr float kHighestValue = 1.0f;

struct Word {
  const char* word;
  int index;
  float value;
};

// The filter's short parameter names, and the values its words stand for: the first value of
// each Filter Type band, and the Pole Number values either side of its threshold.
constexpr Word kShortNames[] = {{"cutoff", 0, 0}, {"q", 1, 0},  {"type", 2, 0},
                                {"poles", 3, 0},  {"lp", 4, 0}, {"boost", 5, 0}};
constexpr Word kValueWords[] = {
    {"lowpass", 2, 0.0f}, {"highpass", 2, 0.25f}, {"bandpass", 2, 0.5f},
    {"notch", 2, 0.75f},  {"2", 3, 0.0f},         {"4", 3, 1.0f},
};

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
    for (const Word& word : kShortNames) {
      if (key == word.word && word.index < count) return word.index;
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
    // A pole count is a count: 3 poles is no setting of this filter, nor is a host value.
    if (index == kPolesIndex) throw std::invalid_argument(name + " is 2 or 4, not '" + text + "'");
  }
  const auto value = static_cast<float>(parseNumber(text, "value of " + name));
  if (!(value >= kLowestValue && value <= kHighestValue)) {
    throw std::invalid_argument("'" + text + "' is outside " + name + "'s range of 0 to 1");
  }
  return value;
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
