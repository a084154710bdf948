// The names a host lists for the sixteen programs.
#include <cstdio>
#include <cstring>

#include "filter_effect.h"

namespace qr47 {
namespace {

constexpr char kFactoryProgramName[] = "--- Default ---";
constexpr char kDefaultName[] = "Init";

}  // namespace

// A name longer than the record holds is cut to its first 23 characters.
void FilterEffect::setProgramName(char* name) {
  char* stored = bank[currentProgram].name;
  std::strncpy(stored, name, kProgramNameBytes - 1);
  stored[kProgramNameBytes - 1] = '\0';
}

// The factory program always answers its own name; a program that still has the default name
// answers it with its number.
void FilterEffect::getProgramName(char* name) {
  std::strcpy(bank[kFactoryProgram].name, kFactoryProgramName);
  const char* stored = bank[currentProgram].name;
  if (std::strcmp(stored, kDefaultName) == 0) {
    std::snprintf(name, kProgramNameBytes, "%s %d", kDefaultName, static_cast<int>(currentProgram));
  } else {
    std::strcpy(name, stored);
  }
}

}  // namespace qr47
