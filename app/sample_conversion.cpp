#include "sample_conversion.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>

namespace qr47 {
namespace {

// A fixed seed: the same render gives the same file every time.
constexpr std::uint64_t kDitherSeed = 0x5172'3437'0000'0001ULL;
constexpr int kWordBits = 32;
constexpr double kRounder = 0x1.8p52;

}  // namespace

int pcmBits(int subtype) {
  switch (subtype & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
      return 8;
    case SF_FORMAT_PCM_16:
      return 16;
    case SF_FORMAT_PCM_24:
      return 24;
    case SF_FORMAT_PCM_32:
      return 32;
    default:
      return 0;
  }
}

SampleConverter::SampleConverter(int bits, bool dither)
    : scale_(std::ldexp(1.0, bits - 1)),
      lowest_(-scale_),
      highest_(scale_ - 1.0),
      shift_(std::ldexp(1.0, kWordBits - bits)),
      dither_(dither),
      state_(kDitherSeed) {}

double SampleConverter::uniform() {
  // xorshift64*: fast, and plenty for noise a step wide.
  state_ ^= state_ >> 12;
  state_ ^= state_ << 25;
  state_ ^= state_ >> 27;
  return static_cast<double>((state_ * 0x2545F4914F6CDD1DULL) >> 11) * 0x1.0p-53;
}

void SampleConverter::convert(const float* in, std::int32_t* out, std::size_t count) {
  // Clipped first (a NaN from a careless plug-in becomes silence), then rounded to nearest even
  // by the sum with a constant whose last bit is worth one: exact below 2^51. Two loops, the
  // limits held in locals, so that the one without dither becomes vector code.
  const double scale = scale_, lowest = lowest_, highest = highest_, shift = shift_;
  const auto step = [=](double value) {
    value = value > highest ? highest : value;
    value = value < lowest ? lowest : value;
    value = value == value ? value : 0.0;
    return static_cast<std::int32_t>(((value + kRounder) - kRounder) * shift);
  };
  if (dither_) {
    for (std::size_t i = 0; i < count; ++i) out[i] = step(in[i] * scale + (uniform() - uniform()));
  } else {
    for (std::size_t i = 0; i < count; ++i) out[i] = step(in[i] * scale);
  }
}

}  // namespace qr47
