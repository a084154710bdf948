#include "saved_state.h"

#include <cstring>

namespace qr47 {
namespace {

constexpr std::uint8_t kMagic[] = {'Q', 'R', '4', '7'};
constexpr std::size_t kVersionAt = sizeof kMagic;
constexpr std::size_t kValuesAt = kVersionAt + sizeof(std::uint32_t);
constexpr std::size_t kBypassAt = kValuesAt + kParameterCount * sizeof(float);
constexpr std::uint32_t kFirstVersion = 1;
constexpr float kBypassOff = 0.0f;
constexpr float kBypassOn = 1.0f;
constexpr int kBitsPerByte = 8;
static_assert(kBypassAt == kFirstVersionBytes);
static_assert(kBypassAt + sizeof(float) == kSavedStateBytes);

void putWord(std::uint32_t word, std::uint8_t* out) {
  for (std::size_t i = 0; i < sizeof word; ++i) out[i] = (word >> (kBitsPerByte * i)) & 0xFF;
}

std::uint32_t wordAt(const std::uint8_t* in) {
  std::uint32_t word = 0;
  for (std::size_t i = 0; i < sizeof word; ++i) word |= std::uint32_t{in[i]} << (kBitsPerByte * i);
  return word;
}

void putFloat(float value, std::uint8_t* out) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  putWord(bits, out);
}

float floatAt(const std::uint8_t* in) {
  const std::uint32_t bits = wordAt(in);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

}  // namespace

SavedState saveState(const FilterState& state) {
  SavedState bytes{};
  std::memcpy(bytes.data(), kMagic, sizeof kMagic);
  putWord(kSavedStateVersion, bytes.data() + kVersionAt);
  for (std::size_t i = 0; i < state.values.size(); ++i) {
    putFloat(state.values[i], bytes.data() + kValuesAt + i * sizeof(float));
  }
  putFloat(state.bypassed ? kBypassOn : kBypassOff, bytes.data() + kBypassAt);
  return bytes;
}

bool loadState(const std::uint8_t* bytes, std::size_t size, FilterState* state) {
  if (size < kFirstVersionBytes || std::memcmp(bytes, kMagic, sizeof kMagic) != 0) return false;
  const std::uint32_t version = wordAt(bytes + kVersionAt);
  const bool first = version == kFirstVersion && size == kFirstVersionBytes;
  const bool second = version == kSavedStateVersion && size == kSavedStateBytes;
  if (!first && !second) return false;
  FilterState read{};
  for (std::size_t i = 0; i < read.values.size(); ++i) {
    read.values[i] = floatAt(bytes + kValuesAt + i * sizeof(float));
    if (!(read.values[i] >= 0.0f && read.values[i] <= 1.0f)) return false;
  }
  if (second) {
    const float bypass = floatAt(bytes + kBypassAt);
    if (bypass != kBypassOff && bypass != kBypassOn) return false;
    read.bypassed = bypass == kBypassOn;
  }
  *state = read;
  return true;
}

}  // namespace qr47
