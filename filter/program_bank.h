// The sixteen stored programs: six parameter values and a name each.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>

namespace qr47 {

constexpr std::int32_t kProgramCount = 16;
constexpr std::int32_t kParameterCount = 6;
constexpr std::int32_t kFactoryProgram = 0;

enum Parameter : std::int32_t {
  kCutoff = 0,
  kQFactor = 1,
  kFilterTypeParameter = 2,
  kPoleNumber = 3,
  kAdditionalLp = 4,
  kBoost = 5,
};

// Indexes outside 0 to 5, negative ones included, name no parameter.
inline bool isParameterIndex(std::int32_t index) {
  return static_cast<std::uint32_t>(index) < static_cast<std::uint32_t>(kParameterCount);
}

// Pole Number from this value up cascades the second section: four poles.
constexpr float kFourPolesFrom = 0.5f;

// The lists' steps as hosts that show lists count them: Filter Type 0 to 3 (low pass, high pass,
// band pass, notch), a quarter of the host value apart; Pole Number 0 (two poles) or 1 (four).
constexpr float kFilterTypeStep = 0.25f;
constexpr double kLastFilterType = 3.0;

// The step of Filter Type or Pole Number a host value stands for.
inline double listStep(std::int32_t index, float hostValue) {
  if (index == kPoleNumber) return hostValue >= kFourPolesFrom ? 1.0 : 0.0;
  const double step = std::floor(hostValue / kFilterTypeStep);
  return step < 0.0 ? 0.0 : step > kLastFilterType ? kLastFilterType : step;
}

// The host value of a step of Filter Type or Pole Number.
inline float hostValueOfStep(std::int32_t index, double step) {
  const auto value = static_cast<float>(step);
  return index == kFilterTypeParameter ? value * kFilterTypeStep : value;
}

// Cutoff, Q Factor, Filter Type, Pole Number, Additional LP, 18dB Boost: a two-pole low pass
// wide open, Q 0.7, no Additional LP, unity output.
constexpr std::array<float, kParameterCount> kFactoryValues{1.0f, 0.7f, 0.0f, 0.0f, 0.0f, 0.125f};

// A name is at most 23 characters and its terminator.
constexpr std::size_t kProgramNameBytes = 24;

struct ProgramRecord {
  std::array<float, kParameterCount> values = kFactoryValues;
  char name[kProgramNameBytes] = "Init";
};

using ProgramBank = std::array<ProgramRecord, kProgramCount>;

}  // namespace qr47
