#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "filter_effect.h"

namespace qr47 {
namespace {

std::string nameOf(FilterEffect& effect) {
  char buffer[64];
  std::memset(buffer, '#', sizeof buffer);
  effect.getProgramName(buffer);
  for (std::size_t i = kProgramNameBytes; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], '#');
  return buffer;
}

void rename(FilterEffect& effect, std::string name) {
  effect.setProgramName(name.data());
}

TEST(ProgramNames, FactoryAndUntouchedPrograms) {
  FilterEffect effect(nullptr);
  EXPECT_EQ(nameOf(effect), "--- Default ---");
  for (int program = 1; program < kProgramCount; ++program) {
    effect.setProgram(program);
    EXPECT_EQ(nameOf(effect), "Init " + std::to_string(program));
  }
  effect.setProgram(0);
  rename(effect, "Mine");
  EXPECT_EQ(nameOf(effect), "--- Default ---");
  rename(effect, "Init");
  EXPECT_EQ(nameOf(effect), "--- Default ---");
}

TEST(ProgramNames, RenamesAreAnsweredAsStored) {
  struct Case {
    int program;
    std::string name, answer;
  };
  const Case cases[] = {
      {9, "Init", "Init 9"},
      {9, "init", "init"},
      {9, "Init ", "Init "},
      {3, "", ""},
      {12, "Twenty-three characters", "Twenty-three characters"},
      {12, "A name of twenty-four ch", "A name of twenty-four c"},
      {7, std::string(300, 'x'), std::string(23, 'x')},
  };
  FilterEffect effect(nullptr);
  for (const Case& c : cases) {
    effect.setProgram(c.program);
    rename(effect, c.name);
    EXPECT_EQ(nameOf(effect), c.answer) << c.name;
  }
  // Names stay with their programs through selections.
  effect.setProgram(3);
  effect.setProgram(9);
  EXPECT_EQ(nameOf(effect), "Init ");
  effect.setProgram(5);
  EXPECT_EQ(nameOf(effect), "Init 5");
}

}  // namespace
}  // namespace qr47
