// How the parameters read to a person: their names, each value as the display shows it with its
// unit ("2950 Hz", "70 %", "notch", "4 poles", "Off", "-6.02 dB"), and such a text read back into
// a host value. Hosts that show plain texts of their own (CLAP, VST 3) use these whole; the VST
// 2.x effect takes the numbers and words and formats its decibels on the host bridge.
#pragma once

#include <cstddef>
#include <cstdint>

#include "filter_settings.h"

namespace qr47 {

// The parameters' names in parameter order.
constexpr const char* kParameterNames[kParameterCount] = {
    "Cutoff", "Q Factor", "Filter Type", "Pole Number", "Additional LP", "18dB Boost",
};

// A whole number of the value's magnitude, halves rounded away from zero: "0" for zero and NaN,
// "oo" for infinities, an empty text for a magnitude below one half. At most 39 digits and the
// terminator.
void formatRounded(float value, char* text);

// What the display shows for parameter `index` of these settings without a unit: the cutoff in
// whole hertz, Q Factor and Additional LP in whole percent ("Off" at zero), the words of Filter
// Type and Pole Number. Not for the 18dB Boost, whose decibels each interface formats its own
// way. At most 39 characters and the terminator.
void displayNumber(const FilterSettings& settings, std::int32_t index, char* text);

// The text of parameter `index` at host value `value`, with its unit: the display's number or
// word, and the 18dB Boost in decibels with two decimals ("-inf dB" for silence). False when it
// does not fit `capacity` bytes or the index names no parameter.
bool valueText(std::int32_t index, float value, char* text, std::size_t capacity);

// A value as a person types it for parameter `index`: a number with or without the unit the
// display shows ("1000 Hz", "2.5kHz", "70 %", "+6 dB", "4 poles"), the 18dB Boost's "-inf", the
// Additional LP's "Off", the Filter Type's words with or without their blank (their step 0 to
// 3). `named` tells a unit or word from a bare number. Letters in any case, blanks around the
// number and the unit. False for anything else.
struct TypedValue {
  double inUnit;
  bool named;
};
bool readTypedValue(std::int32_t index, const char* text, TypedValue* typed);

// The host value a text of `valueText` stands for, or a bare number in the unit shown (the type's
// step 0 to 3; 2 or 4 poles). False for anything else.
bool parseValueText(std::int32_t index, const char* text, float* value);

// The host's bypass switch, where an interface hands it to the plug-in: its name and its two
// words, "Off" and "On".
constexpr char kBypassName[] = "Bypass";
const char* bypassText(bool on);
// "Off" or "On" in any case with blanks around, or the switch's steps "0" and "1"; false for
// anything else.
bool readBypassText(const char* text, bool* on);

// The value as a command line would type it, one word with its unit, the shortest that
// `parseValueText` reads back as the same host value where the unit allows: "2950Hz", "70%",
// "notch", "4", "off", "+6.0206dB", "-inf".
bool typedText(std::int32_t index, float value, char* text, std::size_t capacity);

}  // namespace qr47
