// How a user names parameters and values on the command line: by index or by name, and for this
// filter by short names and words ("cutoff", "q", "type=notch", "poles=4").
#pragma once

#include <string>
#include <vector>

namespace qr47 {

class PluginInstance;

struct ParameterTable {
  std::vector<std::string> names;  // the plug-in's own parameter names
  bool knowsFilterWords = false;   // the plug-in is this filter, so its short names apply
};

ParameterTable parameterTableOf(PluginInstance& plugin);

// An index 0 .. count-1, or a name: case does not matter. Throws std::invalid_argument.
int parameterIndex(const ParameterTable& table, const std::string& name);

// A host value 0 .. 1, or for this filter a value in its unit ("1000Hz", "2.5 kHz", "70%",
// "+6dB", "-inf", "off"), a type word or a pole count, within the parameter's range. Throws
// std::invalid_argument.
float parameterValue(const ParameterTable& table, int index, const std::string& text);

struct Setting {
  int index;
  float value;
};

// "PARAM=VALUE" as --set takes it back: for this filter its short name and the value in its unit
// ("cutoff=2950Hz", "type=notch"), for any other plug-in the index and the host value.
std::string settingFor(const ParameterTable& table, int index, float value);

// "PARAM=VALUE". Throws std::invalid_argument.
Setting parseSetting(const ParameterTable& table, const std::string& assignment);

// A number that must be finite and make up the whole text. Throws std::invalid_argument.
double parseNumber(const std::string& text, const std::string& what);

}  // namespace qr47
