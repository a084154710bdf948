#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <string>

#include "display_text.h"
#include "filter_effect.h"

namespace qr47 {
namespace {

constexpr int kGuardBytes = 64;

// Runs a text operation on a buffer filled with '#' and checks how far it wrote.
template <typename Operation>
std::string written(Operation operation, std::size_t mayWrite) {
  char buffer[kGuardBytes];
  std::memset(buffer, '#', sizeof buffer);
  operation(buffer);
  for (std::size_t i = mayWrite; i < sizeof buffer; ++i) {
    EXPECT_EQ(buffer[i], '#') << "byte " << i << " written";
  }
  EXPECT_NE(std::memchr(buffer, '\0', mayWrite), nullptr) << "no terminator";
  return std::string(buffer, strnlen(buffer, mayWrite));
}

std::string rounded(float value) {
  return written([&](char* t) { formatRounded(value, t); }, 40);
}

TEST(ParameterText, NamesAndUnits) {
  const char* names[] = {" Cutoff ",      " Q Factor ",      " Filter Type ",
                         " Pole Number ", " Additional LP ", " 18dB Boost "};
  const char* units[] = {"   Hz   ", "   %    ", "        ", " 2 or 4 ", "   %    ", "   dB   "};
  FilterEffect effect(nullptr);
  for (int i = 0; i < kParameterCount; ++i) {
    EXPECT_EQ(written([&](char* t) { effect.getParameterName(i, t); }, 16), names[i]);
    EXPECT_EQ(written([&](char* t) { effect.getParameterUnit(i, t); }, 9), units[i]);
  }
}

TEST(ParameterText, OutsideZeroToFiveLeavesTheBufferAlone) {
  FilterEffect effect(nullptr);
  for (std::int32_t index : {6, -1, 100, INT32_MIN}) {
    for (auto op : {&FilterEffect::getParameterName, &FilterEffect::getParameterUnit,
                    &FilterEffect::getParameterText}) {
      char buffer[] = "untouched";
      (effect.*op)(index, buffer);
      EXPECT_STREQ(buffer, "untouched");
    }
  }
}

TEST(ParameterText, FactoryProgramTexts) {
  FilterEffect effect(nullptr);
  const char* texts[] = {"20000", "70", "low pass", "2 poles", "Off", "0.000000"};
  for (int i = 0; i < kParameterCount; ++i) {
    EXPECT_EQ(written([&](char* t) { effect.getParameterText(i, t); }, 10), texts[i]) << i;
  }
}

TEST(ParameterText, ValueTextsFollowTheSettings) {
  struct Case {
    int index;
    float value;
    const char* text;
  };
  const Case cases[] = {
      {kCutoff, 0.0f, "270"},
      {kCutoff, std::nextafter(0.33333f, 0.0f), "1170"},
      {kCutoff, 0.33333f, "900"},
      {kCutoff, 0.5f, "2950"},
      {kCutoff, 0.66666f, "5000"},
      {kCutoff, 1.0f, "20000"},
      {kCutoff, 1.5f, "900"},
      {kQFactor, 0.7f, "70"},
      {kQFactor, 0.0f, "1"},
      {kQFactor, 0.125f, "13"},
      {kQFactor, 1.0f, "100"},
      {kFilterTypeParameter, 0.2499f, "low pass"},
      {kFilterTypeParameter, 0.25f, "high pass"},
      {kFilterTypeParameter, 0.5f, "band pass"},
      {kFilterTypeParameter, 0.75f, "notch"},
      {kFilterTypeParameter, 1.5f, "notch"},  // above 1.0 keeps the type
      {kPoleNumber, 0.49f, "2 poles"},
      {kPoleNumber, 0.5f, "4 poles"},
      {kAdditionalLp, 0.125f, "13"},
      {kAdditionalLp, 0.005f, "1"},  // 0.49999998 rounds to 0.5 in single precision
      {kAdditionalLp, 0.004f, ""},
      {kAdditionalLp, -0.3f, "30"},
      {kAdditionalLp, 0.0f, "Off"},
      {kAdditionalLp, -0.0f, "Off"},
      {kAdditionalLp, 1.0f, "100"},
      {kBoost, 0.0f, "  -oo   "},
      {kBoost, 0.0625f, "-6.02059"},
      {kBoost, 1.0f, "18.06180"},
  };
  FilterEffect effect(nullptr);
  for (const Case& c : cases) {
    effect.setParameter(c.index, c.value);
    EXPECT_EQ(written([&](char* t) { effect.getParameterText(c.index, t); }, 10), c.text)
        << c.index << " " << c.value;
  }
}

TEST(ParameterText, RoundedWholeNumbers) {
  struct Case {
    float value;
    const char* text;
  };
  const Case cases[] = {
      {0.0f, "0"},
      {-0.0f, "0"},
      {NAN, "0"},
      {0.49f, ""},
      {0.5f, "1"},
      {1.5f, "2"},
      {2.5f, "3"},
      {-2.5f, "3"},
      {99.5f, "100"},
      {19999.5f, "20000"},
      {1e-45f, ""},
      {16777216.0f, "16777216"},
      {1e17f, "99999998430674944"},
      {1e18f,
       "99999998430674944"
       "0"},  // digits after the 17th are zeros
      {FLT_MAX, "340282346638528860000000000000000000000"},
      {-FLT_MAX, "340282346638528860000000000000000000000"},
      {INFINITY, "oo"},
      {-INFINITY, "oo"},
  };
  for (const Case& c : cases) EXPECT_EQ(rounded(c.value), c.text) << c.value;
}

TEST(ParameterText, HugeValuesStayWithinTheirBuffers) {
  FilterEffect effect(nullptr);
  for (float value : {FLT_MAX, -FLT_MAX, 3e38f, -1e30f, 1e20f}) {
    for (int index : {kQFactor, kAdditionalLp}) {
      effect.setParameter(index, value);
      const std::string text = written([&](char* t) { effect.getParameterText(index, t); }, 40);
      EXPECT_LE(text.size(), 39u);
      EXPECT_FALSE(text.empty());
    }
    effect.setParameter(kBoost, value);
    written([&](char* t) { effect.getParameterText(kBoost, t); }, 9);
  }
}

}  // namespace
}  // namespace qr47
