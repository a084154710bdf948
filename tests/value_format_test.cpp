#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "effect_base.h"

namespace qr47 {
namespace {

class FormatEffect : public EffectBase {
 public:
  FormatEffect() : EffectBase(nullptr, 1, 1) {}
  void processAdd(float**, float**, std::int32_t) override {}
};

// The host's room for a display text: eight characters and a terminator.
constexpr std::size_t kDisplayTextBytes = 9;

// Writes into a guarded buffer and checks that nothing past the nine display bytes changed.
template <typename Operation>
std::string formatted(Operation operation) {
  char buffer[64];
  std::memset(buffer, '#', sizeof buffer);
  operation(buffer);
  for (std::size_t i = kDisplayTextBytes; i < sizeof buffer; ++i) {
    EXPECT_EQ(buffer[i], '#') << "byte " << i << " written";
  }
  EXPECT_NE(std::memchr(buffer, '\0', kDisplayTextBytes), nullptr);
  return buffer;
}

struct FloatCase {
  float value;
  const char* text;
};

TEST(FormatFloat, FixedWidthDigitsAreCutNotRounded) {
  const float inf = std::numeric_limits<float>::infinity();
  const FloatCase cases[] = {
      {0.0f, "0.000000"},
      {-0.0f, "0.000000"},
      {1.0f, "1.000000"},
      {12.5f, "12.50000"},
      {1234.5678f, "1234.567"},
      {0.7f, "0.699999"},
      {3.14159265f, "3.141592"},
      {-3.25f, "-3.25000"},
      {-0.001f, "-0.00100"},
      {123456.7f, "123456.7"},
      {1234567.0f, "1234567."},
      {9999999.0f, "9999999."},
      {-999999.0f, "-999999."},
      {99.99f, "99.98999"},
      {100000000.0f, " Huge!  "},
      {-12345678.0f, " Huge!  "},
      {inf, " Huge!  "},
      {-inf, " Huge!  "},
      // Beyond what the eight characters hold with a point: the whole number, no point.
      {12345678.0f, "12345678"},
      {99999999.0f, " Huge!  "},
      {-1234567.0f, "-1234567"},
      {-9999999.0f, "-9999999"},
      {-10000000.0f, " Huge!  "},
      {1e-30f, "0.000000"},
      {std::nanf(""), "  NaN   "},
  };
  FormatEffect effect;
  for (const FloatCase& c : cases) {
    EXPECT_EQ(formatted([&](char* t) { effect.formatFloat(c.value, t); }), c.text) << c.value;
  }
}

TEST(FormatConversions, DecibelsHertzAndMilliseconds) {
  FormatEffect effect;
  auto decibels = [&](float v) { return formatted([&](char* t) { effect.formatDecibels(v, t); }); };
  auto hertz = [&](float v) { return formatted([&](char* t) { effect.formatHertz(v, t); }); };
  auto millis = [&](float v) {
    return formatted([&](char* t) { effect.formatMilliseconds(v, t); });
  };
  EXPECT_EQ(decibels(1.0f), "0.000000");
  EXPECT_EQ(decibels(0.5f), "-6.02059");
  EXPECT_EQ(decibels(2.0f), "6.020599");
  EXPECT_EQ(decibels(8.0f), "18.06180");
  EXPECT_EQ(decibels(0.001f), "-60.0000");
  EXPECT_EQ(decibels(0.0f), "  -oo   ");
  EXPECT_EQ(decibels(-1.0f), "  -oo   ");
  EXPECT_EQ(decibels(std::nanf("")), "  -oo   ");
  EXPECT_EQ(hertz(0.0f), "0.000000");
  EXPECT_EQ(hertz(std::nanf("")), "0.000000");
  EXPECT_EQ(hertz(1.0f), "44100.00");
  EXPECT_EQ(hertz(100.0f), "441.0000");
  EXPECT_EQ(hertz(44100.0f), "1.000000");
  EXPECT_EQ(hertz(0.00001f), " Huge!  ");
  EXPECT_EQ(millis(44100.0f), "1000.000");
  EXPECT_EQ(millis(441.0f), "10.00000");
  EXPECT_EQ(millis(1.0f), "0.022675");
  EXPECT_EQ(millis(0.0f), "0.000000");

  // The conversions read the rate the host set.
  effect.setSampleRate(48000.0f);
  EXPECT_EQ(hertz(1.0f), "48000.00");
  EXPECT_EQ(millis(48.0f), "1.000000");
  effect.setSampleRate(0.0f);
  EXPECT_EQ(millis(1.0f), " Huge!  ");
  EXPECT_EQ(millis(0.0f), "  NaN   ");
}

TEST(FormatInteger, SevenWideAndCutAfterEight) {
  struct Case {
    std::int32_t value;
    const char* text;
  };
  const Case cases[] = {
      {0, "      0"},          {-5, "     -5"},         {1234567, "1234567"},
      {99999999, "99999999"},  {-9999999, "-9999999"},  {-12345678, "-1234567"},
      {INT32_MIN, "-2147483"}, {100000000, " Huge!  "}, {INT32_MAX, " Huge!  "},
  };
  FormatEffect effect;
  for (const Case& c : cases) {
    EXPECT_EQ(formatted([&](char* t) { effect.formatInteger(c.value, t); }), c.text) << c.value;
  }
}

}  // namespace
}  // namespace qr47
