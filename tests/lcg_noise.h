// The same noise on every platform and in the Python model: a 32-bit linear congruential
// generator, its state read as a signed number and scaled to [-1, 1).
#pragma once

#include <cstdint>

class LcgNoise {
 public:
  float next() {
    state = state * 1664525u + 1013904223u;
    return static_cast<float>(static_cast<std::int32_t>(state)) * (1.0f / 2147483648.0f);
  }

 private:
  std::uint32_t state = 47;
};
