// Draws magnitude responses on a log frequency axis, as PNG or SVG by the file's extension.
#pragma once

#include <string>
#include <vector>

#include "response.h"

namespace qr47 {

// Throws std::runtime_error for an unknown extension or a file that cannot be written; leaves
// no partial file behind.
void plotResponses(const std::vector<ResponseCurve>& curves, const std::string& title,
                   double nyquistHz, const std::string& path);

// "Hz,<label>,<label>..." and a row for each frequency.
std::string responsesCsv(const std::vector<ResponseCurve>& curves);

}  // namespace qr47
