// A block of stereo noise, the same on every platform, and the buffers to process it into.
#pragma once

#include <cstdint>
#include <vector>

struct NoiseBlock {
  NoiseBlock(std::int32_t frames, unsigned seed)
      : in0(frames), in1(frames), out0(frames), out1(frames) {
    std::uint32_t state = seed;
    for (std::int32_t i = 0; i < frames; ++i) {
      state = state * 1664525u + 1013904223u;
      in0[i] = static_cast<float>(static_cast<std::int32_t>(state)) / 2147483648.0f;
      in1[i] = -in0[i] * 0.5f;
    }
  }
  NoiseBlock(const NoiseBlock&) = delete;
  NoiseBlock& operator=(const NoiseBlock&) = delete;

  // Both channels of the output, left then right.
  std::vector<float> output() const {
    std::vector<float> both = out0;
    both.insert(both.end(), out1.begin(), out1.end());
    return both;
  }

  std::vector<float> in0, in1, out0, out1;
  float* in[2] = {in0.data(), in1.data()};
  float* out[2] = {out0.data(), out1.data()};
};
