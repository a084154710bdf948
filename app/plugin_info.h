// What `qr47 info` shows: the record, every parameter with its texts, every program's name.
#pragma once

#include <ostream>
#include <string>

#include "plugin_host.h"

namespace qr47 {

// Reads every program's name by selecting it in turn, then selects the first program again.
void printInfo(PluginInstance& plugin, const std::string& path, std::ostream& out);
void printInfoJson(PluginInstance& plugin, const std::string& path, std::ostream& out);

}  // namespace qr47
