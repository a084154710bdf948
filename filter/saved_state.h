// The parameter values as a host saves them with a project (CLAP and VST 3 state): the
// characters "QR47", a version number, then the host values in parameter order, all
// little-endian (the version a 32-bit unsigned integer, the values IEEE 754 single precision).
// Version 2 (36 bytes) ends with the host's bypass switch, 0 or 1; version 1 (32 bytes, the six
// values alone) still loads, with the bypass off. Reading refuses anything else whole, so a
// failed load changes nothing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "program_bank.h"

namespace qr47 {

using ParameterValues = std::array<float, kParameterCount>;

// What a state holds.
struct FilterState {
  ParameterValues values;
  bool bypassed;
};

constexpr std::uint32_t kSavedStateVersion = 2;
constexpr std::size_t kSavedStateBytes = 36;
constexpr std::size_t kFirstVersionBytes = 32;
using SavedState = std::array<std::uint8_t, kSavedStateBytes>;

SavedState saveState(const FilterState& state);

// False, with `state` untouched, unless the bytes are exactly a saved state of either version
// whose values are host values, 0 to 1, and whose bypass is 0 or 1.
bool loadState(const std::uint8_t* bytes, std::size_t size, FilterState* state);

}  // namespace qr47
