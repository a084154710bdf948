#include "render.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "chunk_queue.h"

namespace qr47 {
namespace {

// Frames moved through the threads at a time (rounded to whole blocks), and chunks in flight:
// enough for reading, processing and writing to overlap, few enough to stay in the caches.
constexpr int kChunkFrames = 1 << 14;
constexpr std::size_t kChunkCount = 4;

// How far the reading and writing threads stand back from the plug-in's: on a shared core they
// have time to spare and it has none. Counted from the niceness the tool was started with.
constexpr int kHelperNiceness = 10;
constexpr int kNicest = 19;

void standBack() {
  const auto thread = static_cast<id_t>(gettid());
  errno = 0;
  const int niceness = getpriority(PRIO_PROCESS, thread);
  if (errno == 0) {
    setpriority(PRIO_PROCESS, thread, std::min(niceness + kHelperNiceness, kNicest));
  }
}

// Two channels of input and output for a run of whole blocks.
struct Chunk {
  std::vector<float> in0, in1, out0, out1;
  int frames = 0;
  long long start = 0;  // the first frame's place in the stream
};

// Peak and clipped count, four samples at a time in vector registers. The magnitude is the
// sample with its sign bit cleared; "larger ? magnitude : peak" is the processor's own maximum,
// which keeps the peak when the sample is a NaN, so NaNs count as nothing.
constexpr std::int32_t kMagnitudeBits = 0x7FFFFFFF;
constexpr float kFullScale = 1.0f;
constexpr int kLanes = 4;
using Lanes = std::int32_t __attribute__((vector_size(kLanes * sizeof(std::int32_t))));
using Floats = float __attribute__((vector_size(kLanes * sizeof(float))));

struct Levels {
  float peak = 0.0f;
  long long clipped = 0;  // magnitudes beyond full scale

  void measure(const float* samples, int count) {
    Floats peaks = {};
    Lanes beyond = {};
    int i = 0;
    for (; i + kLanes <= count; i += kLanes) {
      Lanes bits;
      std::memcpy(&bits, samples + i, sizeof bits);
      const auto magnitude = reinterpret_cast<Floats>(bits & kMagnitudeBits);
      peaks = magnitude > peaks ? magnitude : peaks;
      beyond -= magnitude > kFullScale;  // comparisons give all ones or zero
    }
    for (int lane = 0; lane < kLanes; ++lane) add(peaks[lane], beyond[lane]);
    for (; i < count; ++i) {
      const float magnitude = std::fabs(samples[i]);
      add(magnitude, magnitude > kFullScale ? 1 : 0);
    }
  }
  void add(float magnitude, std::int32_t beyond) {
    peak = magnitude > peak ? magnitude : peak;
    clipped += beyond;
  }
};

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

  // Chunks hold whole blocks, so the plug-in's blocks fall where a block-by-block render's do.
  const int block = options.blockSize;
  const int chunkFrames = block * std::max(1, kChunkFrames / block);
  std::vector<Chunk> chunks(kChunkCount);
  for (Chunk& chunk : chunks) {
    for (auto* channel : {&chunk.in0, &chunk.in1, &chunk.out0, &chunk.out1}) {
      channel->assign(chunkFrames, 0.0f);
    }
  }
  ChunkQueue<Chunk> empty(kChunkCount), read(kChunkCount), processed(kChunkCount);
  for (Chunk& chunk : chunks) empty.push(&chunk);

  const int rate = reader.sampleRate();
  const auto tailFrames = static_cast<long long>(std::llround(options.tailSeconds * rate));
  const long long totalFrames = reader.frames() + tailFrames;
  RenderSummary summary;
  summary.sampleRate = rate;
  std::exception_ptr failure;
  std::mutex failureMutex;
  const auto fail = [&] {
    {
      std::lock_guard<std::mutex> lock(failureMutex);
      if (!failure) failure = std::current_exception();
    }
    for (auto* queue : {&empty, &read, &processed}) queue->stop();
  };
  const auto start = std::chrono::steady_clock::now();

  // Each thread measures the levels of what it moves, where the data is still in the cache.
  Levels levelsIn, levelsOut;

  // Reading and decoding: the input, then the silence of the tail, in full chunks to the end.
  std::thread reading([&] {
    standBack();
    try {
      long long position = 0, tailLeft = tailFrames;
      while (Chunk* chunk = empty.pop()) {
        int frames = 0;
        while (frames < chunkFrames) {
          const int got = reader.read(chunk->in0.data() + frames, chunk->in1.data() + frames,
                                      chunkFrames - frames);
          if (got == 0) break;
          frames += got;
        }
        summary.inputFrames += frames;
        levelsIn.measure(chunk->in0.data(), frames);
        if (reader.channels() == 2) levelsIn.measure(chunk->in1.data(), frames);
        const auto silent = static_cast<int>(std::min<long long>(chunkFrames - frames, tailLeft));
        std::fill_n(chunk->in0.begin() + frames, silent, 0.0f);
        std::fill_n(chunk->in1.begin() + frames, silent, 0.0f);
        tailLeft -= silent;
        chunk->frames = frames + silent;
        chunk->start = position;
        position += chunk->frames;
        if (chunk->frames > 0) read.push(chunk);
        if (chunk->frames < chunkFrames) break;
      }
      read.close();
    } catch (...) {
      fail();
    }
  });

  // Encoding and writing, with the output's peak and clipped count.
  std::thread writing([&] {
    standBack();
    try {
      int lastPercent = -1;
      while (Chunk* chunk = processed.pop()) {
        const int frames = chunk->frames;
        levelsOut.measure(chunk->out0.data(), frames);
        if (writer.channels() == 2) levelsOut.measure(chunk->out1.data(), frames);
        writer.write(chunk->out0.data(), chunk->out1.data(), frames);
        summary.frames += frames;
        empty.push(chunk);
        if (options.showProgress && totalFrames > 0) {
          const auto percent = static_cast<int>(summary.frames * 100 / totalFrames);
          if (percent != lastPercent) showProgress(summary.frames, totalFrames);
          lastPercent = percent;
        }
      }
    } catch (...) {
      fail();
    }
  });

  // The plug-in, on this thread, one block at a time in order, automation set at each block.
  try {
    while (Chunk* chunk = read.pop()) {
      for (int offset = 0; offset < chunk->frames; offset += block) {
        const int frames = std::min(block, chunk->frames - offset);
        const double now = static_cast<double>(chunk->start + offset) / rate;
        for (const Automation& automation : options.automations) {
          plugin.setParameter(automation.index, automation.valueAt(now));
        }
        float* const inputs[2] = {chunk->in0.data() + offset, chunk->in1.data() + offset};
        float* const outputs[2] = {chunk->out0.data() + offset, chunk->out1.data() + offset};
        plugin.process(inputs, outputs, frames, options.accumulate);
      }
      processed.push(chunk);
    }
    processed.close();
  } catch (...) {
    fail();
  }
  reading.join();
  writing.join();
  if (failure) std::rethrow_exception(failure);

  writer.commit();
  summary.peakIn = levelsIn.peak;
  summary.peakOut = levelsOut.peak;
  summary.clipped = levelsOut.clipped;
  summary.clips = writer.clips();
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
  if (summary.clipped > 0) {
    line += ", " + std::to_string(summary.clipped) +
            (summary.clips ? " clipped samples" : " samples over full scale");
  }
  if (summary.wallSeconds > 0.0) {
    std::snprintf(text, sizeof text, ", %.1fx real time", seconds / summary.wallSeconds);
    line += text;
  }
  return line;
}

}  // namespace qr47
