// Draws magnitude responses on a log frequency axis, as PNG or SVG by the file's extension.
#pragma once

#include <string>
#include <vector>

#include "output_target.h"
#include "response.h"

namespace qr47 {

// Checks a picture's name and where it goes. Throws std::invalid_argument.
OutputTarget planPicture(const std::string& path);

// Throws std::invalid_argument for an unknown extension or a place that cannot be written,
// std::runtime_error when writing fails; leaves no partial file behind.
void plotResponses(const std::vector<ResponseCurve>& curves, const std::string& title,
                   double nyquistHz, const std::string& path);

// "Hz,<label>,<label>..." and a row for each frequency.
std::string responsesCsv(const std::vector<ResponseCurve>& curves);

}  // namespace qr47
