// The magnitude response of a set of filter settings in closed form, from the coefficients the
// processing loop runs with: the first section, the second one where four poles cascade them,
// the resonant low-pass mixed in by its gain, all times the output gain. What the editor draws,
// one point a pixel column, without running the filter.
#pragma once

#include "filter_settings.h"

namespace qr47 {

// The response's level at `hz` in decibels; very low levels (a notch's centre, silence) are
// held at `kFloorDb`.
constexpr double kFloorDb = -200.0;
double responseDb(const FilterSettings::Loop& settings, double hz);

// The settings the host's six values (in parameter order) give at a rate.
FilterSettings settingsFor(const float* values, float sampleRate);

}  // namespace qr47
