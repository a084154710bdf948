#include "saved_state.h"

#include <cstring>

namespace qr47 {
namespace {

constexpr std::uint8_t kMagic[] = {'Q', 'R', '4', '7'};
constexpr std::size_t kVersionAt = sizeof kMagic;
constexpr std::size_t kValuesAt = kVersionAt + sizeof(std::uint32_t);
constexpr int kBitsPerByte = 8;
static_assert(kValuesAt + kParameterCount * sizeof(float) == kSavedStateBytes);

void putWord(std::uint32_t word, std::uint8_t* out) {
  for (std::size_t i = 0; i < sizeof word; ++i) out[i] = (word >> (kBitsPerByte * i)) & 0xFF;
}

std::uint32_t wordAt(const std::uint8_t* in) {
  std::uint32_t word = 0;
  for (std::size_t i = 0; i < sizeof word; ++i) word |= std::uint32_t{in[i]} << (kBitsPerByte * i);
  return word;
}

}  // namespace

SavedState saveState(const ParameterValues& values) {
  SavedState state{};
  std::memcpy(state.data(), kMagic, sizeof kMagic);
  putWord(kSavedStateVersion, state.data() + kVersionAt);
  for (std::size_t i = 0; i < values.size(); ++i) {
    std::uint32_t bits;
    std::memcpy(&bits, &values[i], sizeof bits);
    putWord(bits, state.data() + kValuesAt + i * sizeof bits);
  }
  return state;
}

bool loadState(const std::uint8_t* bytes, std::size_t size, ParameterValues* values) {
  if (size != kSavedStateBytes || std::memcmp(bytes, kMagic, sizeof kMagic) != 0 ||
      wordAt(bytes + kVersionAt) != kSavedStateVersion) {
    return false;
  }
  ParameterValues read;
  for (std::size_t i = 0; i < read.size(); ++i) {
    const std::uint32_t bits = wordAt(bytes + kValuesAt + i * sizeof bits);
    std::memcpy(&read[i], &bits, sizeof bits);
    if (!(read[i] >= 0.0f && read[i] <= 1.0f)) return false;
  }
  *values = read;
  return true;
}

}  // namespace qr47
