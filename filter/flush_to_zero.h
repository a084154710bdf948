#pragma once

#include <cstdint>
#include <cstring>

namespace qr47 {

// A value whose exponent bits are all zero (a zero of either sign or a subnormal) becomes +0.0,
// so that silence decays to exact zeros instead of a long run of slow subnormal arithmetic.
inline float flushToZero(float value) {
  constexpr std::uint32_t kExponentBits = 0x7F800000u;
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return (bits & kExponentBits) == 0 ? 0.0f : value;
}

}  // namespace qr47
