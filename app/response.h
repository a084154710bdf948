// The magnitude response of a plug-in's current settings, measured as a host hears it: an impulse
// through a fresh instance, analysed with an FFT.
#pragma once

#include <string>
#include <vector>

#include "render.h"

namespace qr47 {

constexpr double kLowestPlotHz = 10.0;

struct ResponseCurve {
  std::string label;
  std::vector<double> hertz;     // from kLowestPlotHz to the Nyquist frequency, log-spaced
  std::vector<double> decibels;  // left channel
};

// Measures the response with `options` applied to a new instance of the module. The label is
// left empty.
ResponseCurve measureResponse(const PluginModule& module, float sampleRate,
                              const RenderOptions& options);

struct ResponsePlot {
  std::vector<ResponseCurve> curves;
  std::string title;
};

// One curve for each variant ("type=notch", "poles=4"; a single empty variant for the settings
// alone), labelled with the plug-in's text for the varied parameter. The title shows the other
// settings as the plug-in does.
ResponsePlot measureResponses(const PluginModule& module, float sampleRate,
                              const RenderOptions& options, const ParameterTable& table,
                              const std::vector<std::string>& variants);

// The settings as the plug-in shows them, "Cutoff 2950 Hz, Q Factor 70 %, ...", leaving out the
// parameter `skipIndex`, with numbers tidied.
std::string settingsTitle(PluginInstance& plugin, int skipIndex = -1);

// Words that are decimal numbers lose trailing zeros: "0.000000 dB" becomes "0 dB".
std::string tidyNumbers(const std::string& text);

}  // namespace qr47
