// The limit to measure the processing loops against: the same per-sample arithmetic (same
// operations, same order, same rounding) for both channels, with every coefficient and every
// state in a local variable and nothing else. The recurrence through the previous outputs sets
// its speed.
#pragma once

#include <cstdint>
#include <cstring>

namespace qr47::bench {

struct SectionCoefficients {
  float b0, b1, b2, a1, a2;
};

struct KernelSettings {
  SectionCoefficients first, second;
  bool fourPoles;
  float mix;       // Additional LP level; 0 leaves the low-pass out
  float cutoff;    // low-pass coefficient
  float feedback;  // low-pass feedback
  float gain;      // output factor
};

inline float flush(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return (bits & 0x7F800000u) == 0 ? 0.0f : value;
}

struct SectionState {
  float x1 = 0, x2 = 0, y1 = 0, y2 = 0;
};

inline float section(const SectionCoefficients& c, SectionState& s, float x) {
  const double sum = static_cast<double>(s.x2) * c.b2 + static_cast<double>(x) * c.b0 +
                     static_cast<double>(c.b1) * s.x1 - static_cast<double>(c.a1) * s.y1 -
                     static_cast<double>(s.y2) * c.a2;
  const float y = flush(static_cast<float>(sum));
  s.x2 = s.x1;
  s.x1 = x;
  s.y2 = s.y1;
  s.y1 = y;
  return y;
}

struct LowpassState {
  float stage1 = 0, stage2 = 0;
};

inline float lowpass(LowpassState& s, float x, float cutoff, float feedback) {
  const double stage1 = s.stage1;
  const double stage2 = s.stage2;
  s.stage1 =
      flush(static_cast<float>(((stage1 - stage2) * feedback + (x - stage1)) * cutoff + stage1));
  s.stage2 = flush(static_cast<float>((s.stage1 - stage2) * cutoff + stage2));
  return s.stage2;
}

struct KernelState {
  SectionState l1, r1, l2, r2;
  LowpassState lpL, lpR;
};

// One block in the replacing mode; the configuration is fixed for the call, as it is in practice.
template <bool kFourPoles, bool kLowpass>
void referenceKernel(const KernelSettings& settings, KernelState& state, const float* in0,
                     const float* in1, float* out0, float* out1, int frames) {
  const KernelSettings k = settings;
  SectionState l1 = state.l1, r1 = state.r1, l2 = state.l2, r2 = state.r2;
  LowpassState lpL = state.lpL, lpR = state.lpR;
  for (int i = 0; i < frames; ++i) {
    const float x0 = in0[i];
    const float x1 = in1[i];
    float l = section(k.first, l1, x0);
    float r = section(k.first, r1, x1);
    if (kFourPoles) {
      l = section(k.second, l2, l);
      r = section(k.second, r2, r);
    }
    if (kLowpass) {
      l = static_cast<float>(static_cast<double>(lowpass(lpL, x0, k.cutoff, k.feedback)) * k.mix +
                             l);
      r = static_cast<float>(static_cast<double>(lowpass(lpR, x1, k.cutoff, k.feedback)) * k.mix +
                             r);
    }
    out0[i] = static_cast<float>(static_cast<double>(l) * k.gain);
    out1[i] = static_cast<float>(static_cast<double>(r) * k.gain);
  }
  state = {l1, r1, l2, r2, lpL, lpR};
}

}  // namespace qr47::bench
