// `qr47 demo`: test material, a cutoff sweep through each filter type, and a response plot.
#pragma once

#include <ostream>
#include <string>

#include "plugin_host.h"

namespace qr47 {

constexpr const char* kDefaultDemoFolder = "qr47-demo";

// Writes input.wav, one sweep per filter type and response.png into `folder`, and reports what
// it wrote on `out`. Throws std::runtime_error.
void runDemo(const PluginModule& module, const std::string& folder, std::ostream& out);

}  // namespace qr47
