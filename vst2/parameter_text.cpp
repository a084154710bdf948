// The names, units and value texts a host shows beside each parameter.
#include <cstring>

#include "display_text.h"
#include "filter_effect.h"

namespace qr47 {
namespace {

// Names and units as the host shows them, blanks included.
constexpr const char* kPaddedNames[kParameterCount] = {
    " Cutoff ", " Q Factor ", " Filter Type ", " Pole Number ", " Additional LP ", " 18dB Boost ",
};

constexpr const char* kPaddedUnits[kParameterCount] = {
    "   Hz   ", "   %    ", "        ", " 2 or 4 ", "   %    ", "   dB   ",
};

}  // namespace

void FilterEffect::getParameterName(std::int32_t index, char* text) {
  if (isParameterIndex(index)) std::strcpy(text, kPaddedNames[index]);
}

void FilterEffect::getParameterUnit(std::int32_t index, char* text) {
  if (isParameterIndex(index)) std::strcpy(text, kPaddedUnits[index]);
}

// The texts of one consistent set of values, whatever other threads set meanwhile. The 18dB
// Boost shows its decibels as the host bridge formats them.
void FilterEffect::getParameterText(std::int32_t index, char* text) {
  if (!isParameterIndex(index)) return;
  const FilterSettings settings = engine.settings();
  if (index == kBoost) {
    formatDecibels(settings.outputFactor(), text);
  } else {
    displayNumber(settings, index, text);
  }
}

}  // namespace qr47
