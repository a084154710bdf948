// Measures how the Additional LP path behaves near the top of the Cutoff range: for candidate
// bounds on the low-pass coefficient, the peak output under noise input while Cutoff and Q
// change as a host's automation would change them.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

#include "filter_settings.h"
#include "resonant_lowpass.h"

namespace {

using qr47::FilterSettings;
using qr47::ResonantLowpass;

constexpr int kSampleRate = 44100;
constexpr int kSeconds = 60;

struct Pattern {
  const char* name;
  float cutoffLow, cutoffHigh;  // range of Cutoff values
  int changeEvery;              // samples between parameter changes
};

// The peak output of the low-pass over a run of noise with parameter changes.
float peakOutput(float bound, const Pattern& pattern, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
  std::uniform_real_distribution<float> cutoffs(pattern.cutoffLow, pattern.cutoffHigh);
  std::uniform_real_distribution<float> qs(0.0f, 1.0f);
  ResonantLowpass lowpass;
  ResonantLowpass::State state{};
  float c = 0.0f;
  float peak = 0.0f;
  for (int i = 0; i < kSampleRate * kSeconds; ++i) {
    if (i % pattern.changeEvery == 0) {
      const float n = FilterSettings::mapCutoff(900.0f, 5000.0f, 20000.0f, cutoffs(random));
      c = std::min(n, bound);
      const float q = std::max(qs(random), 0.01f);
      lowpass.setFeedback(c, static_cast<float>(static_cast<double>(q) * 0.99f));
    }
    const float y = lowpass.process(state, noise(random), c);
    if (!std::isfinite(y)) return INFINITY;
    peak = std::max(peak, std::fabs(y));
  }
  return peak;
}

}  // namespace

int main() {
  const Pattern patterns[] = {
      {"top of range, change every 64", 0.95f, 1.0f, 64},
      {"top of range, change every 512", 0.95f, 1.0f, 512},
      {"whole range, change every 64", 0.0f, 1.0f, 64},
      {"whole range, change every 1024", 0.0f, 1.0f, 1024},
      {"top of range, change every sample", 0.95f, 1.0f, 1},
  };
  const float bounds[] = {0.9f, 0.95f, 0.97f, 0.98f, 0.985f, 0.99f, 0.995f, 0.999f, 1.0f, 1.1f};
  std::printf("peak |output| over %d s of noise in [-1, 1] at %d Hz, worst of 3 seeds\n", kSeconds,
              kSampleRate);
  std::printf("%-36s", "bound on the coefficient");
  for (float bound : bounds) std::printf(" %10g", bound);
  std::printf("\n");
  for (const Pattern& pattern : patterns) {
    std::printf("%-36s", pattern.name);
    for (float bound : bounds) {
      float worst = 0.0f;
      for (unsigned seed = 1; seed <= 3; ++seed) {
        worst = std::max(worst, peakOutput(bound, pattern, seed));
      }
      std::printf(" %10.4g", worst);
    }
    std::printf("\n");
  }
}
