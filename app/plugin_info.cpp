#include "plugin_info.h"

#include <cstdio>
#include <iterator>
#include <nlohmann/json.hpp>
#include <vector>

#include "parameter_names.h"

namespace qr47 {
namespace {

struct FlagName {
  std::int32_t bit;
  const char* name;
};
constexpr FlagName kFlagNames[] = {{kHasClipIndicator, "hasClipIndicator"},
                                   {kHasMeter, "hasMeter"},
                                   {kCanMono, "canMono"},
                                   {kCanReplace, "canReplace"},
                                   {kProgramsAreBlocks, "programsAreBlocks"}};

std::vector<std::string> flagNames(std::int32_t flags) {
  std::vector<std::string> names;
  for (const FlagName& flag : kFlagNames) {
    if (flags & flag.bit) names.push_back(flag.name);
  }
  return names;
}

struct ParameterRow {
  std::string name, text, unit, setting;
  float value;
};

std::vector<ParameterRow> parameterRows(PluginInstance& plugin) {
  const ParameterTable table = parameterTableOf(plugin);
  std::vector<ParameterRow> rows;
  for (int i = 0; i < plugin.parameterCount(); ++i) {
    const float value = plugin.parameter(i);
    rows.push_back({trimmed(plugin.parameterName(i)), trimmed(plugin.parameterText(i)),
                    trimmed(plugin.parameterUnit(i)), settingFor(table, i, value), value});
  }
  return rows;
}

std::vector<std::string> programNames(PluginInstance& plugin) {
  std::vector<std::string> names;
  const int current = plugin.program();
  for (int p = 0; p < plugin.programCount(); ++p) {
    plugin.selectProgram(p);
    names.push_back(plugin.programName());
  }
  plugin.selectProgram(current);
  return names;
}

// The names of the interface's plug-in categories, by number.
constexpr const char* kCategoryNames[] = {"unknown",     "effect",  "instrument",  "analysis",
                                          "mastering",   "spatial", "room effect", "surround",
                                          "restoration", "offline", "shell",       "generator"};

std::string categoryName(std::intptr_t category) {
  if (category < 0 || category >= static_cast<std::intptr_t>(std::size(kCategoryNames))) {
    return "unknown";
  }
  return kCategoryNames[category];
}

std::string orNone(const std::string& text) {
  return text.empty() ? "-" : text;
}

std::string padded(const std::string& text, std::size_t width) {
  return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

}  // namespace

void printInfo(PluginInstance& plugin, const std::string& path, std::ostream& out) {
  const EffectRecord& record = plugin.record();
  std::string flags;
  for (const std::string& name : flagNames(record.flags))
    flags += (flags.empty() ? "" : " ") + name;
  out << "Plug-in      " << path << "\n"
      << "Name         " << orNone(plugin.effectName()) << "   vendor " << orNone(plugin.vendor())
      << "   product " << orNone(plugin.product()) << "\n"
      << "Category     " << categoryName(plugin.category()) << "   vendor version "
      << plugin.vendorVersion() << "\n"
      << "Identifier   '" << fourCharacterText(record.uniqueId) << "'   version " << record.version
      << "\n"
      << "Programs     " << record.programCount << "   parameters " << record.parameterCount
      << "   inputs " << record.inputCount << "   outputs " << record.outputCount << "\n"
      << "Flags        " << (flags.empty() ? "none" : flags) << "\n\n";

  const std::vector<ParameterRow> rows = parameterRows(plugin);
  std::size_t nameWidth = 9, textWidth = 4, unitWidth = 4;
  for (const ParameterRow& row : rows) {
    nameWidth = std::max(nameWidth, row.name.size());
    textWidth = std::max(textWidth, row.text.size());
    unitWidth = std::max(unitWidth, row.unit.size());
  }
  out << " #  " << padded("Parameter", nameWidth) << "  Value      " << padded("Text", textWidth)
      << "  " << padded("Unit", unitWidth) << "  --set\n";
  char value[32];
  for (std::size_t i = 0; i < rows.size(); ++i) {
    std::snprintf(value, sizeof value, "%.6g", rows[i].value);
    out << (i < 10 ? " " : "") << i << "  " << padded(rows[i].name, nameWidth) << "  "
        << padded(value, 9) << "  " << padded(rows[i].text, textWidth) << "  "
        << padded(rows[i].unit, unitWidth) << "  " << rows[i].setting << "\n";
  }

  out << "\n #  Program\n";
  const std::vector<std::string> programs = programNames(plugin);
  for (std::size_t p = 0; p < programs.size(); ++p) {
    out << (p < 10 ? " " : "") << p << "  " << programs[p] << "\n";
  }
}

void printInfoJson(PluginInstance& plugin, const std::string& path, std::ostream& out) {
  const EffectRecord& record = plugin.record();
  nlohmann::ordered_json json;
  json["path"] = path;
  json["name"] = plugin.effectName();
  json["vendor"] = plugin.vendor();
  json["product"] = plugin.product();
  json["category"] = categoryName(plugin.category());
  json["vendorVersion"] = plugin.vendorVersion();
  json["identifier"] = fourCharacterText(record.uniqueId);
  json["version"] = record.version;
  json["programs"] = record.programCount;
  json["parameters"] = record.parameterCount;
  json["inputs"] = record.inputCount;
  json["outputs"] = record.outputCount;
  json["flags"] = flagNames(record.flags);
  json["parameterList"] = nlohmann::ordered_json::array();
  int index = 0;
  for (const ParameterRow& row : parameterRows(plugin)) {
    json["parameterList"].push_back({{"index", index++},
                                     {"name", row.name},
                                     {"value", row.value},
                                     {"text", row.text},
                                     {"unit", row.unit},
                                     {"set", row.setting}});
  }
  json["programList"] = programNames(plugin);
  out << json.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
}

}  // namespace qr47
