#include "demo.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <random>
#include <stdexcept>
#include <vector>

#include "audio_file.h"
#include "render.h"
#include "response_plot.h"

namespace qr47 {
namespace {

constexpr int kDemoRate = 44100;
constexpr double kDemoSeconds = 6.0;
constexpr double kChordHz[] = {110.0, 138.59, 164.81, 220.0};  // A major, low
constexpr double kDetune = 1.003;                              // right channel, for width
constexpr double kNoiseLevel = 0.02;
constexpr double kPeakLevel = 0.5;  // -6 dBFS
constexpr const char* kSweep = "cutoff=0:0.05,3:1,6:0.05";
constexpr double kTailSeconds = 0.5;

struct DemoType {
  const char* word;  // the value word the command line takes
  const char* file;
};
constexpr DemoType kTypes[] = {{"lowpass", "lowpass.wav"},
                               {"highpass", "highpass.wav"},
                               {"bandpass", "bandpass.wav"},
                               {"notch", "notch.wav"}};

// A sawtooth chord with a little noise: plenty of harmonics for a filter to work on.
void writeTestMaterial(const std::string& path) {
  const auto frames = static_cast<int>(kDemoRate * kDemoSeconds);
  std::vector<float> left(frames), right(frames);
  std::mt19937 random(47);
  std::uniform_real_distribution<double> noise(-kNoiseLevel, kNoiseLevel);
  for (int i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / kDemoRate;
    double l = 0.0, r = 0.0;
    for (double hz : kChordHz) {
      l += 2.0 * (hz * t - std::floor(hz * t + 0.5));
      r += 2.0 * (hz * kDetune * t - std::floor(hz * kDetune * t + 0.5));
    }
    const double scale = kPeakLevel / std::size(kChordHz);
    left[i] = static_cast<float>(l * scale + noise(random));
    right[i] = static_cast<float>(r * scale + noise(random));
  }
  AudioWriter writer(path, kDemoRate, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_24, OutputFormat{});
  writer.write(left.data(), right.data(), frames);
  writer.commit();
}

void makeFolder(const std::string& folder) {
  if (mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
    throw std::runtime_error("cannot create folder " + folder + ": " + std::strerror(errno));
  }
}

}  // namespace

void runDemo(const PluginModule& module, const std::string& folder, std::ostream& out) {
  makeFolder(folder);
  const std::string input = folder + "/input.wav";
  writeTestMaterial(input);
  out << "wrote " << input << "  (sawtooth chord with noise, " << kDemoSeconds << " s)\n";

  const ParameterTable table = [&] {
    PluginInstance plugin(module);
    return parameterTableOf(plugin);
  }();
  std::vector<std::string> variants;
  for (const DemoType& type : kTypes) {
    RenderOptions options;
    options.settings = {parseSetting(table, std::string("type=") + type.word),
                        parseSetting(table, "q=0.9")};
    options.automations = {parseAutomation(table, kSweep)};
    options.tailSeconds = kTailSeconds;
    PluginInstance plugin(module);
    const std::string output = folder + "/" + type.file;
    const RenderSummary summary = render(plugin, input, output, options);
    out << "wrote " << output << "  (cutoff swept up and down; " << describe(summary) << ")\n";
    variants.push_back(std::string("type=") + type.word);
  }
  RenderOptions still;
  still.settings = {parseSetting(table, "cutoff=0.5")};
  const ResponsePlot plot = measureResponses(module, kDemoRate, still, table, variants);
  const std::string picture = folder + "/response.png";
  plotResponses(plot.curves, plot.title, kDemoRate / 2.0, picture);
  out << "wrote " << picture << "  (response of the four filter types)\n";
}

}  // namespace qr47
