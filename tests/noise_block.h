// What the CLAP and VST 3 tests share: a block of stereo noise, the same on every platform, and
// the buffers to process it into; a saved state and states that every interface must refuse.
#pragma once

#include <algorithm>
#include <cstdint>
#include <utility>
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

// The state of the host values 0.5, 0.25, 0.75, 1, 0.5 and 0.1 with the bypass off: "QR47",
// version 2, the values and the bypass as little-endian floats.
inline const std::vector<std::uint8_t> kSavedState = {
    'Q',  'R',  '4',  '7',  2,    0,    0,    0,    0x00, 0x00, 0x00, 0x3F,
    0x00, 0x00, 0x80, 0x3E, 0x00, 0x00, 0x40, 0x3F, 0x00, 0x00, 0x80, 0x3F,
    0x00, 0x00, 0x00, 0x3F, 0xCD, 0xCC, 0xCC, 0x3D, 0x00, 0x00, 0x00, 0x00};
// The same values as the first version saved them, with no bypass: they load with it off.
inline const std::vector<std::uint8_t> kFirstVersionState = {
    'Q',  'R',  '4',  '7',  1,    0,    0,    0,    0x00, 0x00, 0x00, 0x3F, 0x00, 0x00, 0x80, 0x3E,
    0x00, 0x00, 0x40, 0x3F, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x3F, 0xCD, 0xCC, 0xCC, 0x3D};

// A good state made short or long (followed by other bytes), of another format or version (the
// first version's number on the second's length included), with Cutoff 2.0 or a huge value (outside
// the range), a NaN for Cutoff or for the bypass, a bypass of 0.5; no bytes, and noise.
inline std::vector<std::vector<std::uint8_t>> refusedStates(const std::vector<std::uint8_t>& good) {
  std::vector<std::vector<std::uint8_t>> states = {
      {}, {good.begin(), good.end() - 1}, good, std::vector<std::uint8_t>(36, 0xA5)};
  states[2].resize(64, 0);
  for (const auto& [at, byte] :
       {std::pair<int, int>{0, 'q'}, {4, 3}, {4, 1}, {11, 0x7F}, {11, 0x40}, {35, 0x3F}}) {
    states.push_back(good);
    states.back()[at] = static_cast<std::uint8_t>(byte);
  }
  constexpr std::uint8_t kQuietNan[] = {0x00, 0x00, 0xC0, 0x7F};
  for (int at : {8, 32}) {
    states.push_back(good);
    std::copy(std::begin(kQuietNan), std::end(kQuietNan), states.back().begin() + at);
  }
  return states;
}
