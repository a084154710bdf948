#include <gtest/gtest.h>

#include <stdexcept>

#include "audio_file.h"
#include "automation.h"
#include "parameter_names.h"

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
      {"type=lowpass", 2, 0.0f}, {"type=High Pass", 2, 0.25f}, {"type=band-pass", 2, 0.5f},
      {"type=NOTCH", 2, 0.75f},  {"type=0.6", 2, 0.6f},        {"poles=2", 3, 0.0f},
      {"poles=4", 3, 1.0f},      {"poles=0.7", 3, 0.7f},       {"cutoff=0.25", 0, 0.25f},
      {"1=-3e-2", 1, -0.03f},    {"boost=1", 5, 1.0f},         {"lp=.5", 4, 0.5f},
  };
  for (const Case& c : cases) {
    const Setting setting = parseSetting(table, c.setting);
    EXPECT_EQ(setting.index, c.index) << c.setting;
    EXPECT_EQ(setting.value, c.value) << c.setting;
  }
  for (const char* bad : {"cutoff", "cutoff=", "cutoff=abc", "cutoff=0.5x", "cutoff=nan",
                          "cutoff=inf", "cutoff=1e999", "cutoff=notch", "q=4 poles", "=0.5"}) {
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
}

TEST(Automation, MalformedListsAreRejected) {
  for (const char* bad :
       {"cutoff", "cutoff=", "cutoff=0", "cutoff=0:", "cutoff=x:0.5", "cutoff=-1:0.5",
        "cutoff=2:0.5,1:0.5", "cutoff=0:0.1,,1:0.2", "nothing=0:1", "cutoff=0:0.5;1:0.7"}) {
    EXPECT_THROW(parseAutomation(filterTable(), bad), std::invalid_argument) << bad;
  }
}

TEST(SampleFormats, NamesAreRecognised) {
  EXPECT_EQ(parseSampleFormat("16-bit"), SampleFormat::kPcm16);
  EXPECT_EQ(parseSampleFormat("24-bit"), SampleFormat::kPcm24);
  EXPECT_EQ(parseSampleFormat("Float"), SampleFormat::kFloat);
  EXPECT_EQ(parseSampleFormat("pcm16"), SampleFormat::kPcm16);
  EXPECT_THROW(parseSampleFormat("8-bit"), std::invalid_argument);
}

}  // namespace
}  // namespace qr47
