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

// From host values back to port values, as the LV2 editor writes its ports.
TEST(PortFilter, HostValuesToPortValues) {
  struct Case {
    std::int32_t index;
    float host, port, tolerance;
  };
  const Case cases[] = {
      {kCutoff, 0.0f, 270.0f, 0.0f},
      {kCutoff, 1.0f, 20000.0f, 0.0f},
      {kCutoff, 0.2f, 810.0f, 0.05f},    // the lowest segment
      {kCutoff, 0.3f, 1080.0f, 0.05f},   // above 900 Hz on the lowest segment
      {kCutoff, 0.5f, 2950.0f, 0.1f},    // the middle one
      {kCutoff, 0.8f, 11000.4f, 0.05f},  // the top one
      {kQFactor, 0.7f, 70.0f, 0.0f},
      {kQFactor, 0.0f, 1.0f, 0.0f},       // the port's bottom
      {kAdditionalLp, 0.0f, 0.0f, 0.0f},  // "Off"
      {kAdditionalLp, 0.4f, 40.0f, 0.0f},
      {kFilterTypeParameter, 0.3f, 1.0f, 0.0f},
      {kFilterTypeParameter, 0.74f, 2.0f, 0.0f},
      {kFilterTypeParameter, 0.75f, 3.0f, 0.0f},
      {kFilterTypeParameter, 1.0f, 3.0f, 0.0f},
      {kPoleNumber, 0.49f, 2.0f, 0.0f},
      {kPoleNumber, 0.5f, 4.0f, 0.0f},
      {kBoost, 0.0f, -60.0f, 0.0f},  // silence
      {kBoost, 0.125f, 0.0f, 1e-6f},
      {kBoost, 0.0625f, -6.0206f, 1e-4f},
      {kBoost, 1.0f, 18.0618f, 1e-4f},
      {kQFactor, NAN, 70.0f, 0.0f},
      {6, 0.5f, 0.0f, 0.0f},
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(portValueFor(c.index, c.host), c.port, c.tolerance) << c.index << " " << c.host;
  }
}

// Each host value comes back through its port as nearly as a float port value can bring it: no
// neighbouring port value comes nearer. A Cutoff between 900 Hz and 1170 Hz on the lowest
// segment keeps its frequency instead, and a boost below -60 dB is silence.
TEST(PortFilter, HostValuesComeBackThroughTheirPorts) {
  constexpr int kSteps = 20000;
  FilterSettings settings;
  for (int step = 0; step <= kSteps; ++step) {
    const float host = static_cast<float>(step) / kSteps;
    for (std::int32_t index : {kCutoff, kQFactor, kAdditionalLp, kBoost}) {
      const float port = portValueFor(index, host);
      const float back = hostValueFor(index, port);
      const auto error = [&](float p) { return std::fabs(hostValueFor(index, p) - host); };
      if (index == kCutoff && host > 0.23334f && host < 0.33333f) {
        settings.setParameter(kCutoff, host);
        const float hz = settings.displayedCutoffHz();
        settings.setParameter(kCutoff, back);
        EXPECT_NEAR(settings.displayedCutoffHz(), hz, hz * 1e-5f) << host;
        EXPECT_GT(back, 0.33333f) << host;
      } else if (index == kBoost && host < 1.25e-4f) {
        EXPECT_EQ(back, 0.0f) << host;
      } else {
        EXPECT_LE(error(port), error(std::nextafter(port, -INFINITY))) << index << " " << host;
        EXPECT_LE(error(port), error(std::nextafter(port, INFINITY))) << index << " " << host;
      }
    }
  }
}

}  // namespace
}  // namespace qr47
