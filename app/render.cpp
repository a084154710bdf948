#include "render.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace qr47 {
namespace {

float peakOf(const float* samples, int count, float peak) {
  for (int i = 0; i < count; ++i) peak = std::max(peak, std::fabs(samples[i]));
  return peak;
}

long long clippedIn(const float* samples, int count) {
  long long clipped = 0;
  for (int i = 0; i < count; ++i) clipped += std::fabs(samples[i]) > 1.0f ? 1 : 0;
  return clipped;
}

std::string decibelsFullScale(float peak) {
  if (!(peak > 0.0f)) return "-inf dBFS";
  char text[32];
  std::snprintf(text, sizeof text, "%.2f dBFS", 20.0 * std::log10(peak));
  return text;
}

void showProgress(long long done, long long total) {
  if (total <= 0) return;
  std::fprintf(stderr, "\rrendering %3lld%%", done * 100 / total);
  std::fflush(stderr);
}

}  // namespace

void preparePlugin(PluginInstance& plugin, float sampleRate, const RenderOptions& options) {
  if (options.blockSize < 1 || options.blockSize > kLargestBlock) {
    throw std::invalid_argument("block size " + std::to_string(options.blockSize) +
                                " is outside 1 to " + std::to_string(kLargestBlock));
  }
  if (options.program >= plugin.programCount()) {
    throw std::invalid_argument("no program " + std::to_string(options.program) +
                                ": the plug-in has " + std::to_string(plugin.programCount()) +
                                " (0 to " + std::to_string(plugin.programCount() - 1) + ")");
  }
  plugin.setSampleRate(sampleRate);
  plugin.setBlockSize(options.blockSize);
  plugin.open();
  if (options.program >= 0) plugin.selectProgram(options.program);
  for (const Setting& setting : options.settings) plugin.setParameter(setting.index, setting.value);
  plugin.resume();
}

RenderSummary render(PluginInstance& plugin, const std::string& inputPath,
                     const std::string& outputPath, const RenderOptions& options) {
  AudioReader reader(inputPath);
  preparePlugin(plugin, static_cast<float>(reader.sampleRate()), options);
  AudioWriter writer(outputPath, reader.sampleRate(), reader.channels(), reader.format(),
                     options.output);

  const int block = options.blockSize;
  std::vector<float> in0(block), in1(block), out0(block), out1(block);
  float* const inputs[2] = {in0.data(), in1.data()};
  float* const outputs[2] = {out0.data(), out1.data()};
  const auto tailFrames =
      static_cast<long long>(std::llround(options.tailSeconds * reader.sampleRate()));
  const long long totalFrames = reader.frames() + tailFrames;
  long long tailLeft = tailFrames;

  RenderSummary summary;
  summary.sampleRate = reader.sampleRate();
  const auto start = std::chrono::steady_clock::now();
  int lastPercent = -1;
  for (;;) {
    // After the input ends, silence lets the filter ring out for the tail asked for; blocks stay
    // full-sized across the join, as a host's would.
    int frames = reader.read(in0.data(), in1.data(), block);
    summary.inputFrames += frames;
    const auto silent = static_cast<int>(std::min<long long>(block - frames, tailLeft));
    std::fill(in0.begin() + frames, in0.begin() + frames + silent, 0.0f);
    std::fill(in1.begin() + frames, in1.begin() + frames + silent, 0.0f);
    tailLeft -= silent;
    frames += silent;
    if (frames == 0) break;
    const double now = static_cast<double>(summary.frames) / reader.sampleRate();
    for (const Automation& automation : options.automations) {
      plugin.setParameter(automation.index, automation.valueAt(now));
    }
    plugin.process(inputs, outputs, frames, options.accumulate);
    writer.write(out0.data(), out1.data(), frames);

    summary.peakIn = peakOf(in1.data(), frames, peakOf(in0.data(), frames, summary.peakIn));
    summary.peakOut = peakOf(out1.data(), frames, peakOf(out0.data(), frames, summary.peakOut));
    summary.clipped += clippedIn(out0.data(), frames) + clippedIn(out1.data(), frames);
    summary.frames += frames;
    if (options.showProgress && totalFrames > 0) {
      const auto percent = static_cast<int>(summary.frames * 100 / totalFrames);
      if (percent != lastPercent) showProgress(summary.frames, totalFrames);
      lastPercent = percent;
    }
  }
  writer.commit();
  summary.promisedFrames = std::max(reader.promisedFrames(), reader.frames());
  if (options.showProgress) std::fprintf(stderr, "\r");
  summary.wallSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return summary;
}

std::string describe(const RenderSummary& summary) {
  const double seconds = static_cast<double>(summary.frames) / std::max(summary.sampleRate, 1);
  char text[256];
  std::snprintf(text, sizeof text, "%lld frames (%.2f s at %d Hz), peak in %s, peak out %s",
                summary.frames, seconds, summary.sampleRate,
                decibelsFullScale(summary.peakIn).c_str(),
                decibelsFullScale(summary.peakOut).c_str());
  std::string line = text;
  if (summary.clipped > 0) line += ", " + std::to_string(summary.clipped) + " clipped samples";
  if (summary.wallSeconds > 0.0) {
    std::snprintf(text, sizeof text, ", %.1fx real time", seconds / summary.wallSeconds);
    line += text;
  }
  return line;
}

}  // namespace qr47
