#include "sample_conversion.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>

namespace qr47 {
namespace {

// A fixed seed: the same render gives the same file every time.
constexpr std::uint64_t kDitherSeed = 0x5172'3437'0000'0001ULL;
constexpr int kWordBits = 32;

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
      shift_(kWordBits - bits),
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
  for (std::size_t i = 0; i < count; ++i) {
    double value = in[i] * scale_;
    if (dither_) value += uniform() - uniform();
    if (std::isnan(value)) value = 0.0;  // from a careless plug-in; silence, not undefined
    const double step = std::clamp(std::nearbyint(value), lowest_, highest_);
    out[i] =
        static_cast<std::int32_t>(static_cast<std::int64_t>(step) * (std::int64_t{1} << shift_));
  }
}

}  // namespace qr47
