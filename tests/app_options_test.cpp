#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <utility>

#include "audio_file.h"
#include "automation.h"
#include "parameter_names.h"
#include "response.h"
#include "sample_conversion.h"

namespace qr47 {
namespace {

ParameterTable filterTable() {
  return {{" Cutoff ", " Q Factor ", " Filter Type ", " Pole Number ", " Additional LP ",
           " 18dB Boost "},
          true};
}

TEST(ParameterNames, IndexesShortNamesAndFullNames) {
  const ParameterTable table = filterTable();
  struct Case {
    const char* name;
    int index;
  };
  const Case cases[] = {{"0", 0},          {"5", 5},           {"cutoff", 0},        {"CUTOFF", 0},
                        {"q", 1},          {"Q", 1},           {"q factor", 1},      {"type", 2},
                        {"poles", 3},      {"lp", 4},          {"Additional-LP", 4}, {"boost", 5},
                        {"18dB Boost", 5}, {"filter_type", 2}, {"pole number", 3}};
  for (const Case& c : cases) EXPECT_EQ(parameterIndex(table, c.name), c.index) << c.name;
  for (const char* bad : {"6", "99999999999", "-1", "", "cut", "freq", "1.5"}) {
    EXPECT_THROW(parameterIndex(table, bad), std::invalid_argument) << bad;
  }
  // A module with the filter's id but fewer parameters has no parameter past its last.
  ParameterTable fewer = filterTable();
  fewer.names.pop_back();
  EXPECT_THROW(parameterIndex(fewer, "boost"), std::invalid_argument);
}

TEST(ParameterNames, ShortNamesBelongToTheFilterOnly) {
  ParameterTable other{{"Gain", "Mix"}, false};
  EXPECT_EQ(parameterIndex(other, "mix"), 1);
  EXPECT_THROW(parameterIndex(other, "cutoff"), std::invalid_argument);
  EXPECT_THROW(parameterValue(other, 0, "notch"), std::invalid_argument);
}

TEST(ParameterNames, ValuesWordsAndNumbers) {
  const ParameterTable table = filterTable();
  struct Case {
    const char* setting;
    int index;
    float value;
  };
  const Case cases[] = {
      {"type=lowpass", 2, 0.0f},
      {"type=High Pass", 2, 0.25f},
      {"type=band-pass", 2, 0.5f},
      {"type=NOTCH", 2, 0.75f},
      {"type=0.6", 2, 0.6f},
      {"poles=2", 3, 0.0f},
      {"poles=4", 3, 1.0f},
      {"3=2", 3, 0.0f},
      {"3=1", 3, 1.0f},  // host values and pole counts do not overlap: both are taken
      {"poles=0.7", 3, 0.7f},
      {"cutoff=0.25", 0, 0.25f},
      {"1=3e-2", 1, 0.03f},
      {"boost=1", 5, 1.0f},
      {"lp=.5", 4, 0.5f},
      {"q=0", 1, 0.0f},
      {"q=1.00000001", 1, 1.0f},  // 1 once a float, as the host value is
      // In the units the filter shows: the host values the LV2 plug-in's controls give.
      {"cutoff=20000Hz", 0, 1.0f},
      {"cutoff=20 kHz", 0, 1.0f},
      {"cutoff=270hz", 0, 0.0f},
      {"cutoff=900Hz", 0, 0.33333f},
      {"cutoff=5kHz", 0, 0.66666f},
      {"q=70%", 1, 0.7f},
      {"q=1 %", 1, 0.01f},
      {"lp=50%", 4, 0.5f},
      {"lp=off", 4, 0.0f},
      {"lp=OFF", 4, 0.0f},
      {"boost=+0dB", 5, 0.125f},
      {"boost=0 DB", 5, 0.125f},
      {"boost=-inf", 5, 0.0f},
      {"boost=-inf dB", 5, 0.0f},
      {"boost=+18.0618dB", 5, 1.0f},
      {"poles=4 poles", 3, 1.0f},
      {"type=band pass", 2, 0.5f},
  };
  for (const Case& c : cases) {
    const Setting setting = parseSetting(table, c.setting);
    EXPECT_EQ(setting.index, c.index) << c.setting;
    EXPECT_EQ(setting.value, c.value) << c.setting;
  }
  for (const char* bad :
       {"cutoff",       "cutoff=",          "cutoff=abc",   "cutoff=0.5x", "cutoff=nan",
        "cutoff=inf",   "cutoff=1e999",     "cutoff=notch", "q=4 poles",   "=0.5",
        "boost=1e30",   "q=1e40",           "cutoff=1000",  "cutoff=-0.1", "q=1.0000001",
        "poles=3",      "poles=1.5",        "poles=-1",     "type=1.5",    "cutoff=50Hz",
        "cutoff=25kHz", "cutoff=5 parsecs", "q=150%",       "q=0%",        "q=70 Hz",
        "lp=101%",      "boost=+30dB",      "boost=-70dB",  "boost=+inf",  "poles=3 poles",
        "cutoff=infHz"}) {
    EXPECT_THROW(parseSetting(table, bad), std::invalid_argument) << bad;
  }
}

TEST(Automation, ParsesAndInterpolatesLinearly) {
  const Automation ramp = parseAutomation(filterTable(), "cutoff=1:0.2,3:0.6,3:0.1,4:0.1");
  EXPECT_EQ(ramp.index, 0);
  struct Case {
    double seconds;
    float value;
  };
  const Case cases[] = {{0.0, 0.2f}, {1.0, 0.2f}, {2.0, 0.4f}, {2.5, 0.5f},
                        {3.0, 0.1f}, {3.5, 0.1f}, {10.0, 0.1f}};
  for (const Case& c : cases) EXPECT_FLOAT_EQ(ramp.valueAt(c.seconds), c.value) << c.seconds;

  const Automation single = parseAutomation(filterTable(), "type=0:notch");
  EXPECT_EQ(single.valueAt(0.0), 0.75f);
  EXPECT_EQ(single.valueAt(100.0), 0.75f);

  // Points in units become host values first; the ramp runs between those.
  const Automation percent = parseAutomation(filterTable(), "q=0:10%,2:50%");
  EXPECT_EQ(percent.valueAt(0.0), 0.1f);
  EXPECT_FLOAT_EQ(percent.valueAt(1.0), 0.3f);
  const Automation hertz = parseAutomation(filterTable(), "cutoff=0:270Hz,1:20kHz");
  EXPECT_FLOAT_EQ(hertz.valueAt(0.5), 0.5f) << "halfway in host value, not in hertz";
}

// What info shows to type back: the lists by their words, the others in their units where that
// reads back as the same host value, else the host value.
TEST(ParameterNames, SettingsToTypeBack) {
  const ParameterTable table = filterTable();
  struct Case {
    int index;
    float value;
    const char* setting;
  };
  const Case cases[] = {
      {0, 1.0f, "cutoff=20000Hz"},
      {1, 0.7f, "q=70%"},
      {1, 0.25f, "q=25%"},
      {2, 0.6f, "type=bandpass"},
      {2, 0.0f, "type=lowpass"},
      {3, 1.0f, "poles=4"},
      {4, 0.0f, "lp=off"},
      {4, 0.5f, "lp=50%"},
      {5, 0.125f, "boost=+0dB"},
      {5, 0.0f, "boost=-inf"},
      {5, 0.0001f, "boost=9.99999975e-05"},
      // Where the unit needs the most decimals to give the same host value back.
      {5, 0.7f, "boost=+14.9637604dB"},
      {1, 0.3333333f, "q=33.333331%"},
      {0, 0.3333333f, "cutoff=900.0407Hz"},
  };
  for (const Case& c : cases) EXPECT_EQ(settingFor(table, c.index, c.value), c.setting);
  for (float value : {0.5f, 0.37f, 0.123456f, 0.999f}) {
    for (int index : {0, 1, 4, 5}) {
      const Setting back = parseSetting(table, settingFor(table, index, value));
      EXPECT_EQ(back.value, value) << settingFor(table, index, value);
    }
  }
  EXPECT_EQ(settingFor({{"Gain"}, false}, 0, 0.5f), "0=0.5");
}

TEST(Automation, MalformedListsAreRejected) {
  for (const char* bad :
       {"cutoff", "cutoff=", "cutoff=0", "cutoff=0:", "cutoff=x:0.5", "cutoff=-1:0.5",
        "cutoff=2:0.5,1:0.5", "cutoff=0:0.1,,1:0.2", "nothing=0:1", "cutoff=0:0.5;1:0.7"}) {
    EXPECT_THROW(parseAutomation(filterTable(), bad), std::invalid_argument) << bad;
  }
}

// Steps of a 16-bit and a 24-bit file, left-justified in 32 bits: rounded to nearest (ties to
// even), full scale 1.0 being 2^15 or 2^23 steps, clipped at both ends.
TEST(SampleConverter, RoundsToNearestAndClips) {
  const float step16 = 1.0f / 32768;
  struct Case {
    int bits;
    float in;
    std::int32_t out;
  };
  const Case cases[] = {
      {16, 0.0f, 0},
      {16, 0.49f * step16, 0},
      {16, 0.51f * step16, 1 << 16},
      {16, 1.5f * step16, 2 << 16},
      {16, -1.5f * step16, -(2 << 16)},
      {16, -0.51f * step16, -(1 << 16)},
      {16, 0.5f, 16384 << 16},
      {16, 1.0f, 32767 << 16},
      {16, -1.0f, INT32_MIN},
      {16, 2.0f, 32767 << 16},
      {16, -7.0f, INT32_MIN},
      {16, std::nanf(""), 0},
      {24, 1.0f / 8388608 * 2.5f, 2 << 8},
      {24, -0.25f, -(2097152 << 8)},
      {24, 1.0f, 8388607 << 8},
      {8, -1.0f, INT32_MIN},
      {8, 0.75f, 96 << 24},
      {32, 0.5f, 1 << 30},
  };
  for (const Case& c : cases) {
    SampleConverter converter(c.bits, false);
    std::int32_t out = 12345;
    converter.convert(&c.in, &out, 1);
    EXPECT_EQ(out, c.out) << c.bits << " bits, " << c.in;
  }
  EXPECT_EQ(pcmBits(SF_FORMAT_WAV | SF_FORMAT_PCM_U8), 8);
  EXPECT_EQ(pcmBits(SF_FORMAT_FLAC | SF_FORMAT_PCM_16), 16);
  EXPECT_EQ(pcmBits(SF_FORMAT_WAV | SF_FORMAT_PCM_24), 24);
  EXPECT_EQ(pcmBits(SF_FORMAT_AIFF | SF_FORMAT_PCM_32), 32);
  EXPECT_EQ(pcmBits(SF_FORMAT_WAV | SF_FORMAT_FLOAT), 0);
}

TEST(Titles, NumbersAreTidied) {
  const std::pair<const char*, const char*> cases[] = {
      {"0.000000 dB", "0 dB"}, {"2950.000 Hz", "2950 Hz"}, {"12.50 %", "12.5 %"},
      {"-0.000", "0"},         {"2 poles", "2 poles"},     {"-oo dB", "-oo dB"},
      {"100", "100"},          {"-3.10 dB", "-3.1 dB"},    {"low pass", "low pass"}};
  for (const auto& [text, tidy] : cases) EXPECT_EQ(tidyNumbers(text), tidy) << text;
}

TEST(SampleFormats, NamesAreRecognised) {
  const std::pair<const char*, SampleFormat> cases[] = {
      {"16-bit", SampleFormat::kPcm16}, {"pcm16", SampleFormat::kPcm16},
      {"16", SampleFormat::kPcm16},     {"24-bit", SampleFormat::kPcm24},
      {"PCM 24", SampleFormat::kPcm24}, {"24", SampleFormat::kPcm24},
      {"Float", SampleFormat::kFloat},  {"32f", SampleFormat::kFloat},
      {"float32", SampleFormat::kFloat}};
  for (const auto& [name, format] : cases) EXPECT_EQ(parseSampleFormat(name), format) << name;
  for (const char* bad : {"8-bit", "32", "", "double"}) {
    EXPECT_THROW(parseSampleFormat(bad), std::invalid_argument) << bad;
  }
}

}  // namespace
}  // namespace qr47
