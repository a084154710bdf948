// Floats by their bits, for comparing with literal bit patterns.
#pragma once

#include <cstdint>
#include <cstring>

namespace qr47 {

inline float fromBits(std::uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// The bits of a value rounded to float (values held widened are float values).
inline std::uint32_t bitsOf(double value) {
  const auto narrow = static_cast<float>(value);
  std::uint32_t bits;
  std::memcpy(&bits, &narrow, sizeof bits);
  return bits;
}

}  // namespace qr47
