// The six parameter values as a host saves them with a project (CLAP and VST 3 state): 32
// bytes, the characters "QR47", a version number, then the six host values in parameter order,
// all little-endian (the version a 32-bit unsigned integer, the values IEEE 754 single
// precision). Reading refuses anything else whole, so a failed load changes nothing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "program_bank.h"

namespace qr47 {

using ParameterValues = std::array<float, kParameterCount>;

constexpr std::uint32_t kSavedStateVersion = 1;
constexpr std::size_t kSavedStateBytes = 32;
using SavedState = std::array<std::uint8_t, kSavedStateBytes>;

SavedState saveState(const ParameterValues& values);

// False, with `values` untouched, unless the bytes are exactly a saved state of this version
// whose values are host values, 0 to 1.
bool loadState(const std::uint8_t* bytes, std::size_t size, ParameterValues* values);

}  // namespace qr47
