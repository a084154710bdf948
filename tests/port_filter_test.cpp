#include "port_filter.h"

#include <gtest/gtest.h>

#include <cmath>

namespace qr47 {
namespace {

// The mapping from port values (the units LV2 and LADSPA hosts show) to host values 0..1.
TEST(PortFilter, PortValuesToHostValues) {
  struct Case {
    std::int32_t index;
    float port, host;
  };
  const Case cases[] = {
      {kCutoff, 270.0f, 0.0f},
      {kCutoff, 20000.0f, 1.0f},
      {kCutoff, 10.0f, 0.0f},
      {kCutoff, 1e6f, 1.0f},
      {kCutoff, 900.0f, 0.33333f},
      {kCutoff, 5000.0f, 0.66666f},
      {kQFactor, 70.0f, 0.7f},
      {kQFactor, 100.0f, 1.0f},
      {kQFactor, 1.0f, 0.01f},
      {kQFactor, -5.0f, 0.01f},
      {kFilterTypeParameter, 0.0f, 0.0f},
      {kFilterTypeParameter, 1.0f, 0.25f},
      {kFilterTypeParameter, 2.0f, 0.5f},
      {kFilterTypeParameter, 3.0f, 0.75f},
      {kFilterTypeParameter, 2.6f, 0.75f},
      {kFilterTypeParameter, 9.0f, 0.75f},
      {kPoleNumber, 2.0f, 0.0f},
      {kPoleNumber, 3.0f, 0.0f},
      {kPoleNumber, 4.0f, 1.0f},
      {kAdditionalLp, 0.0f, 0.0f},
      {kAdditionalLp, 50.0f, 0.5f},
      {kAdditionalLp, 100.0f, 1.0f},
      {kBoost, 0.0f, 0.125f},
      {kBoost, -60.0f, 0.0f},
      {kBoost, -INFINITY, 0.0f},
      {kBoost, 18.0618f, 1.0f},
      {kBoost, 40.0f, 1.0f},
      {6, 1.0f, 0.0f},
      {kQFactor, NAN, 0.0f},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(hostValueFor(c.index, c.port), c.host) << c.index << " " << c.port;
  }
  EXPECT_NEAR(hostValueFor(kBoost, 6.0206f), 0.25f, 1e-6f);
}

// The cutoff port's frequency rises with the control and lands where it says, including across
// the host curve's drop from 1170 Hz back to 900 Hz.
TEST(PortFilter, CutoffInHzIsMonotonicAndFaithful) {
  FilterSettings settings;
  float previous = 0.0f;
  for (double hz = 270.0; hz <= 20000.0; hz *= 1.01) {
    settings.setParameter(kCutoff, hostValueFor(kCutoff, static_cast<float>(hz)));
    const float shown = settings.displayedCutoffHz();
    EXPECT_GE(shown, previous) << hz;
    EXPECT_NEAR(shown, hz, hz * 1e-4) << hz;
    previous = shown;
  }
}

}  // namespace
}  // namespace qr47
