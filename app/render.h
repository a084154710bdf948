// Renders an audio file through a plug-in instance, block by block, as a host plays a track.
#pragma once

#include <string>
#include <vector>

#include "audio_file.h"
#include "automation.h"
#include "parameter_names.h"
#include "plugin_host.h"

namespace qr47 {

constexpr int kDefaultRenderBlock = 512;
constexpr int kLargestBlock = 1 << 16;

struct RenderOptions {
  int blockSize = kDefaultRenderBlock;
  bool accumulate = false;
  int program = -1;  // none selected
  std::vector<Setting> settings;
  std::vector<Automation> automations;
  double tailSeconds = 0.0;
  OutputFormat output;
  bool showProgress = false;
};

struct RenderSummary {
  long long frames = 0;
  long long inputFrames = 0;     // read from the input
  long long promisedFrames = 0;  // what the input's header promised
  int sampleRate = 0;
  float peakIn = 0.0f;
  float peakOut = 0.0f;
  long long clipped = 0;  // output samples beyond full scale
  bool clips = true;      // whether the output clips them (integer samples) or keeps them
  double wallSeconds = 0.0;
};

// What a host does before playback: sample rate, block size, open, the program and settings
// asked for, resume. Throws std::invalid_argument for a program the plug-in does not have.
void preparePlugin(PluginInstance& plugin, float sampleRate, const RenderOptions& options);

// Throws std::runtime_error, or std::invalid_argument for what it cannot do (before any work);
// leaves no output file on failure. The output of a mono input is mono: the left channel.
RenderSummary render(PluginInstance& plugin, const std::string& inputPath,
                     const std::string& outputPath, const RenderOptions& options);

// "441000 frames (10.00 s at 44100 Hz), peak in -3.01 dBFS, peak out -0.52 dBFS, 95.3x real time"
std::string describe(const RenderSummary& summary);

}  // namespace qr47
