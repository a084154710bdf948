// The tail length, known without running the filter, against the filter run on an impulse until
// its states can no longer reach -90 dB: never shorter, and not much longer.
#include "tail_length.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <random>

#include "filter_core.h"

namespace qr47 {
namespace {

constexpr double kSilence = 3.1622776601683795e-5;  // -90 dB

// The samples up to and including the last one at or above -90 dB, the filter run on an impulse
// until every state is a thousand times too small to bring the output back there.
std::int64_t measuredTail(const FilterSettings::Loop& loop, std::int64_t longest) {
  constexpr std::int32_t kBlock = 256;
  FilterCore core;
  float input[kBlock] = {1.0f};
  float left[kBlock], right[kBlock];
  const float* inputs[] = {input, input};
  float* outputs[] = {left, right};
  std::int64_t tail = 0;
  const double reach = (9.0 + std::fabs(loop.mixGain)) * std::fabs(loop.outputGain) * 1000.0;
  for (std::int64_t start = 0; start < longest; start += kBlock) {
    core.processReplace(loop, inputs, outputs, kBlock);
    input[0] = 0.0f;
    for (std::int32_t i = 0; i < kBlock; ++i) {
      if (std::fabs(left[i]) >= kSilence) tail = start + i + 1;
    }
    if (core.stateLevel() * reach < kSilence) return tail;
  }
  return longest;
}

FilterSettings settingsOf(const std::array<float, kParameterCount>& values, float rate) {
  FilterSettings settings;
  for (std::int32_t i = 0; i < kParameterCount; ++i) settings.setParameter(i, values[i]);
  settings.setSampleRate(rate);
  return settings;
}

// The factory program, a resonant four-pole setting and the Additional LP full; settings where
// parts of the output cancel for a while, which no bound by magnitudes alone sees (the sections'
// slow high-pass tail against the low-pass, two slowly turning pairs, a slowly turning pair at a
// tiny boost, a four-pole band pass with the low-pass at a tiny boost); and settings where the
// roundings decide: a slow pole the signal barely reaches but the first samples' roundings do
// (high and band pass at low Q), a pole pair close to meeting, and four-pole cascades of those.
TEST(TailLength, TheFilterRunOnAnImpulseAsItHasBeenMeasured) {
  struct Case {
    float rate;
    std::array<float, kParameterCount> values;
    std::int64_t tail;
  };
  const Case cases[] = {
      {44100.0f, {1.0f, 0.7f, 0.0f, 0.0f, 0.0f, 0.125f}, 46},
      {44100.0f, {0.1f, 1.0f, 0.0f, 1.0f, 0.0f, 0.125f}, 251},
      {44100.0f, {0.3f, 0.9f, 0.0f, 0.0f, 1.0f, 1.0f}, 1616},
      {44100.0f, {0.0541602f, 0.152597f, 0.25f, 0.0f, 0.228661f, 0.955304f}, 303},
      {192000.0f, {0.128309f, 0.608859f, 0.0f, 0.0f, 0.0335677f, 0.0968283f}, 295},
      {192000.0f, {0.140531f, 0.50993f, 0.25f, 0.0f, 0.0f, 0.00172001f}, 72},
      {96000.0f, {0.143465f, 0.500355f, 0.5f, 1.0f, 0.0696057f, 0.00375012f}, 213},
      {192000.0f, {0.326672912f, 0.0692812502f, 0.25f, 0.0f, 0.0f, 0.801082492f}, 364},
      {192000.0f, {0.149917081f, 0.00390457432f, 0.75f, 0.0f, 0.85872066f, 0.450175256f}, 14607},
      {96000.0f, {0.0632145479f, 0.146768302f, 0.25f, 0.0f, 0.0f, 0.522748172f}, 597},
      {192000.0f, {0.139651969f, 0.267560482f, 0.25f, 0.0f, 0.0f, 0.411116779f}, 664},
      {192000.0f, {0.439133853f, 0.0570102148f, 0.25f, 0.0f, 0.0f, 0.842173517f}, 258},
      {22050.0f, {0.815577984f, 0.0196154695f, 0.75f, 0.0f, 0.0f, 0.938919663f}, 4607},
      {192000.0f, {0.0673711f, 0.525132f, 0.25f, 1.0f, 0.0f, 0.099327f}, 473},
      {96000.0f, {0.0202503f, 0.0232734f, 0.25f, 1.0f, 0.0f, 0.336038f}, 15},
      {22050.0f, {0.0386447f, 0.00639929f, 0.5f, 1.0f, 0.0f, 0.0423292f}, 1477},
      // A section with a pole at exactly 0, which its coefficients round to.
      {44100.0f, {0.741f, 0.464f, 0.0f, 0.0f, 0.0f, 0.125f}, 12},
      {44100.0f, {0.741f, 0.464f, 0.75f, 1.0f, 0.0f, 0.125f}, 16},
  };
  for (const Case& c : cases) {
    const FilterSettings settings = settingsOf(c.values, c.rate);
    EXPECT_EQ(measuredTail(settings.loop(), 441000), c.tail) << c.rate << " Hz, " << c.values[0];
    EXPECT_GE(tailLength(settings.loop()), c.tail) << c.rate << " Hz, Cutoff " << c.values[0];
    EXPECT_LE(tailLength(settings.loop()), 1.25 * c.tail + 64) << c.rate << " Hz, " << c.values[0];
  }
  // Two poles that meet exactly, 0.75 twice, with b0 1/16: the response (n + 1) 0.75^n / 16, and
  // in a row (n + 1)(n + 2)(n + 3) / 6 0.75^n / 256, below -90 dB from samples 40 and 53.
  for (const auto& [fourPoles, tail] : {std::pair{false, 40}, std::pair{true, 53}}) {
    FilterSettings::Loop loop = settingsOf({1.0f, 0.7f, 0.0f, 0.0f, 0.0f, 0.125f}, 44100.0f).loop();
    loop.first.a1 = -1.5, loop.first.a2 = 0.5625, loop.first.b0 = 0.0625;
    loop.first.b1 = loop.first.b2 = 0.0;
    loop.second = loop.first;
    loop.fourPoles = fourPoles;
    EXPECT_EQ(measuredTail(loop, 441000), tail);
    EXPECT_GE(tailLength(loop), tail);
    EXPECT_LE(tailLength(loop), 1.25 * tail + 64);
  }
}

// A random setting: any Cutoff and Q, a type, the poles, the Additional LP off half the time and
// the boost off one time in ten.
struct RandomSettings {
  std::mt19937 random{47};
  std::uniform_real_distribution<float> unit{0.0f, 1.0f};
  std::array<float, kParameterCount> next() {
    return {unit(random),
            unit(random),
            std::floor(unit(random) * 4.0f) * 0.25f,
            unit(random) < 0.5f ? 0.0f : 1.0f,
            unit(random) < 0.5f ? 0.0f : unit(random),
            unit(random) < 0.1f ? 0.0f : unit(random)};
  }
};

// FNV-1a, a step of it.
std::uint64_t digestWith(std::uint64_t digest, std::int64_t value) {
  return (digest ^ static_cast<std::uint64_t>(value)) * 1099511628211ull;
}
constexpr std::uint64_t kEmptyDigest = 14695981039346656037ull;

// Over random settings at five rates: never shorter than the filter rings, and within a
// quarter and 64 samples of it but for about one setting in ten thousand, where the roundings
// alone could keep the output ringing. The answers themselves, for these and for many more
// settings, are what hosts were given when they were checked so (their digest): a change to any
// of them is one to look at again.
TEST(TailLength, NeverShorterAndSeldomAQuarterLongerOverManySettingsAndRates) {
  const float rates[] = {22050.0f, 44100.0f, 48000.0f, 96000.0f, 192000.0f};
  RandomSettings random;
  int longer = 0, tried = 0;
  std::uint64_t digest = kEmptyDigest;
  for (float rate : rates) {
    for (int n = 0; n < 600; ++n) {
      const std::array<float, kParameterCount> values = random.next();
      const FilterSettings settings = settingsOf(values, rate);
      const std::int64_t measured =
          measuredTail(settings.loop(), static_cast<std::int64_t>(10.0 * rate));
      const std::int64_t bound = tailLength(settings.loop());
      ++tried;
      digest = digestWith(digest, bound);
      ASSERT_GE(bound, measured) << rate << " Hz, " << values[0] << " " << values[1] << " "
                                 << values[2] << " " << values[3] << " " << values[4] << " "
                                 << values[5];
      longer += bound > 1.25 * measured + 64;
      if (values[5] == 0.0f) {
        EXPECT_EQ(bound, 0) << "silence has no tail";
      }
    }
  }
  EXPECT_LE(longer * 1000, tried) << longer << " of " << tried << " more than a quarter longer";
  for (int n = 0; n < 100000; ++n) {
    digest = digestWith(digest, tailLength(settingsOf(random.next(), rates[n % 5]).loop()));
  }
  EXPECT_EQ(digest, 346198130704327530ull);
}

}  // namespace
}  // namespace qr47
