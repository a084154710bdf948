// Float samples to the integers a PCM file holds: rounded to nearest, clipped at full scale,
// with triangular (TPDF) dither of one step either side when asked for.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qr47 {

// Bits of the integer samples the library's sample format holds: 8, 16, 24 or 32, else 0.
int pcmBits(int subtype);

class SampleConverter {
 public:
  SampleConverter(int bits, bool dither);

  // Full scale 1.0 is 2^(bits-1) steps; results are left-justified in 32 bits, the form the
  // library shifts down to the file's width exactly.
  void convert(const float* in, std::int32_t* out, std::size_t count);

 private:
  double uniform();  // in [0, 1)

  double scale_;
  double lowest_, highest_;
  double shift_;  // 2^(32 - bits): from steps to the top of a 32-bit word
  bool dither_;
  std::uint64_t state_;
};

}  // namespace qr47
