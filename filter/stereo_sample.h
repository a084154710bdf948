// Both channels of a frame side by side in one SSE2 register, widened to double: the two channels
// go through the same arithmetic at once, and each lane is rounded exactly as a channel on its
// own would be (the packed instructions round every lane as the scalar ones do).
#pragma once

#include <emmintrin.h>

#include "flush_to_zero.h"

namespace qr47 {

// Lane 0 left, lane 1 right. The same vector as __m128d, without the aliasing attribute that
// templates would drop.
using StereoSample = double __attribute__((vector_size(2 * sizeof(double))));

inline StereoSample loadStereo(const float* left, const float* right) {
  return StereoSample(_mm_cvtps_pd(_mm_unpacklo_ps(_mm_load_ss(left), _mm_load_ss(right))));
}

inline void storeStereo(StereoSample value, float* left, float* right) {
  const __m128 narrow = _mm_cvtpd_ps(__m128d(value));
  _mm_store_ss(left, narrow);
  _mm_store_ss(right, _mm_shuffle_ps(narrow, narrow, 1));
}

// Each lane rounded to the nearest float, held widened.
inline StereoSample roundToFloat(StereoSample value) {
  return StereoSample(_mm_cvtps_pd(_mm_cvtpd_ps(__m128d(value))));
}

// Rounded to float, with zeros and subnormals made +0.0 as flushToZero does. The test is a
// branch, so that it stays off the recursion's chain of latencies; when both lanes are flushed
// the result is a fresh zero, which ends the chain, so that silence runs faster than signal.
inline StereoSample flushedFloat(StereoSample value) {
  constexpr int kExponentBits = 0x7F800000;
  constexpr int kBothLanes = 0x3;
  __m128 narrow = _mm_cvtpd_ps(__m128d(value));
  const __m128i exponent = _mm_and_si128(_mm_castps_si128(narrow), _mm_set1_epi32(kExponentBits));
  const __m128 tiny = _mm_castsi128_ps(_mm_cmpeq_epi32(exponent, _mm_setzero_si128()));
  const int tinyLanes = _mm_movemask_ps(tiny) & kBothLanes;
  if (tinyLanes == kBothLanes) return StereoSample{};
  if (tinyLanes != 0) narrow = _mm_andnot_ps(tiny, narrow);
  return StereoSample(_mm_cvtps_pd(narrow));
}
inline double flushedFloat(double value) {
  return flushToZero(static_cast<float>(value));
}

}  // namespace qr47
