#include "response.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <stdexcept>

namespace qr47 {
namespace {

constexpr int kPointsPerOctave = 48;
constexpr double kSilenceDecibels = -200.0;  // shown for a bin with no energy at all

// An impulse response long enough to hold the lowest cutoff's ringing at any rate: about 1.5 s,
// a power of two.
int impulseLength(float sampleRate) {
  int length = 1 << 12;
  while (length < 1.5 * sampleRate) length <<= 1;
  return length;
}

struct FftwDeleter {
  void operator()(float* memory) const { fftwf_free(memory); }
  void operator()(fftwf_complex* memory) const { fftwf_free(memory); }
};

}  // namespace

ResponseCurve measureResponse(const PluginModule& module, float sampleRate,
                              const RenderOptions& options) {
  PluginInstance plugin(module);
  preparePlugin(plugin, sampleRate, options);
  const int length = impulseLength(sampleRate);
  std::unique_ptr<float, FftwDeleter> impulse(fftwf_alloc_real(length));
  std::unique_ptr<fftwf_complex, FftwDeleter> spectrum(fftwf_alloc_complex(length / 2 + 1));
  if (!impulse || !spectrum) throw std::runtime_error("out of memory for the response");

  std::vector<float> in0(length, 0.0f), in1(length, 0.0f), right(length);
  in0[0] = in1[0] = 1.0f;
  for (int start = 0; start < length; start += options.blockSize) {
    const int frames = std::min(options.blockSize, length - start);
    float* const inputs[2] = {in0.data() + start, in1.data() + start};
    float* const outputs[2] = {impulse.get() + start, right.data() + start};
    plugin.process(inputs, outputs, frames, options.accumulate);
  }

  fftwf_plan plan = fftwf_plan_dft_r2c_1d(length, impulse.get(), spectrum.get(), FFTW_ESTIMATE);
  fftwf_execute(plan);
  fftwf_destroy_plan(plan);

  ResponseCurve curve;
  const double nyquist = sampleRate / 2.0;
  const double step = std::pow(2.0, 1.0 / kPointsPerOctave);
  for (double hz = kLowestPlotHz; hz <= nyquist; hz *= step) {
    const auto bin = static_cast<long>(std::lround(hz * length / sampleRate));
    const double re = spectrum.get()[bin][0];
    const double im = spectrum.get()[bin][1];
    const double magnitude = std::sqrt(re * re + im * im);
    curve.hertz.push_back(hz);
    curve.decibels.push_back(magnitude > 0.0 ? 20.0 * std::log10(magnitude) : kSilenceDecibels);
  }
  return curve;
}

ResponsePlot measureResponses(const PluginModule& module, float sampleRate,
                              const RenderOptions& options, const ParameterTable& table,
                              const std::vector<std::string>& variants) {
  ResponsePlot plot;
  for (const std::string& variant : variants) {
    RenderOptions settings = options;
    int varied = -1;
    if (!variant.empty()) {
      settings.settings.push_back(parseSetting(table, variant));
      varied = settings.settings.back().index;
    }
    plot.curves.push_back(measureResponse(module, sampleRate, settings));
    PluginInstance plugin(module);
    preparePlugin(plugin, sampleRate, settings);
    if (varied >= 0) plot.curves.back().label = trimmed(plugin.parameterText(varied));
    if (plot.title.empty()) {
      plot.title =
          settingsTitle(plugin, varied) + "; at " + tidyNumbers(std::to_string(sampleRate)) + " Hz";
    }
  }
  return plot;
}

std::string tidyNumbers(const std::string& text) {
  std::string tidy;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = std::min(text.find(' ', at), text.size());
    std::string word = text.substr(at, end - at);
    const bool number = !word.empty() &&
                        word.find_first_not_of("+-.0123456789") == std::string::npos &&
                        word.find('.') != std::string::npos;
    if (number) {
      word.erase(word.find_last_not_of('0') + 1);
      if (word.back() == '.') word.pop_back();
      if (word == "-0" || word == "+0" || word.empty() || word == "-") word = "0";
    }
    tidy += word + (end < text.size() ? " " : "");
    at = end + 1;
  }
  return tidy;
}

std::string settingsTitle(PluginInstance& plugin, int skipIndex) {
  std::string title;
  for (int i = 0; i < plugin.parameterCount(); ++i) {
    if (i == skipIndex) continue;
    if (!title.empty()) title += ", ";
    title += trimmed(plugin.parameterName(i)) + " " + tidyNumbers(displayText(plugin, i));
  }
  return title;
}

}  // namespace qr47
