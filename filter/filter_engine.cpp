#include "filter_engine.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace qr47 {
namespace {

constexpr char kFactoryProgramName[] = "--- Default ---";
constexpr char kDefaultName[] = "Init";

bool isProgram(std::int32_t program) {
  return program >= 0 && program < kProgramCount;
}

void nameOf(const ProgramBank& bank, std::int32_t program, char* name) {
  if (program == kFactoryProgram) {
    std::strcpy(name, kFactoryProgramName);
  } else if (std::strcmp(bank[program].name, kDefaultName) == 0) {
    std::snprintf(name, kProgramNameBytes, "%s %d", kDefaultName, static_cast<int>(program));
  } else {
    std::strcpy(name, bank[program].name);
  }
}

}  // namespace

FilterEngine::FilterEngine() : published(FilterSettings::Loop{}), tail(FilterSettings::Loop{}) {
  setProgram(kFactoryProgram);
}

void FilterEngine::setParameter(std::int32_t index, float value) {
  const std::lock_guard<std::mutex> lock(controlLock);
  apply(index, value);
  publish();
}

float FilterEngine::getParameter(std::int32_t index) const {
  const std::lock_guard<std::mutex> lock(controlLock);
  return current.parameter(index);
}

// The factory program is restored from constants on every selection; the others apply what the
// host last set while they were current. Each value is written back into the program's record.
void FilterEngine::setProgram(std::int32_t program) {
  if (!isProgram(program)) return;
  const std::lock_guard<std::mutex> lock(controlLock);
  currentProgram = program;
  const ProgramRecord stored = bank[program];
  for (std::int32_t index = 0; index < kParameterCount; ++index) {
    apply(index, program == kFactoryProgram ? kFactoryValues[index] : stored.values[index]);
  }
  publish();
}

std::int32_t FilterEngine::getProgram() const {
  const std::lock_guard<std::mutex> lock(controlLock);
  return currentProgram;
}

void FilterEngine::setProgramName(const char* name) {
  const std::lock_guard<std::mutex> lock(controlLock);
  char* stored = bank[currentProgram].name;
  std::strncpy(stored, name, kProgramNameBytes - 1);
  stored[kProgramNameBytes - 1] = '\0';
}

bool FilterEngine::getProgramName(std::int32_t program, char* name) const {
  if (!isProgram(program)) return false;
  const std::lock_guard<std::mutex> lock(controlLock);
  nameOf(bank, program, name);
  return true;
}

void FilterEngine::currentProgramName(char* name) const {
  const std::lock_guard<std::mutex> lock(controlLock);
  nameOf(bank, currentProgram, name);
}

ProgramRecord FilterEngine::programRecord(std::int32_t program) const {
  const std::lock_guard<std::mutex> lock(controlLock);
  return isProgram(program) ? bank[program] : ProgramRecord{};
}

FilterSettings FilterEngine::settings() const {
  const std::lock_guard<std::mutex> lock(controlLock);
  return current;
}

void FilterEngine::setSampleRate(float rate) {
  const std::lock_guard<std::mutex> lock(controlLock);
  current.setSampleRate(rate);
  publish();
}

void FilterEngine::clearSections() {
  clearRequests.fetch_add(1, std::memory_order_release);
}

void FilterEngine::processReplace(const float* const* inputs, float* const* outputs,
                                  std::int32_t sampleFrames) {
  core.processReplace(latestSettings(), inputs, outputs, sampleFrames);
}

void FilterEngine::processAdd(const float* const* inputs, float* const* outputs,
                              std::int32_t sampleFrames) {
  core.processAdd(latestSettings(), inputs, outputs, sampleFrames);
}

// Under the control lock: the value goes into the current program's record, then into the
// settings. Values that are not finite and indexes outside 0 to 5 change nothing at all.
void FilterEngine::apply(std::int32_t index, float value) {
  if (!isParameterIndex(index) || !std::isfinite(value)) return;
  bank[currentProgram].values[index] = value;
  current.setParameter(index, value);
}

// Under the control lock, so that one writer fills the triple buffer at a time.
void FilterEngine::publish() {
  published.writeSlot() = current.loop();
  published.publish();
  tail.publish(current.loop());
}

const FilterSettings::Loop& FilterEngine::latestSettings() {
  const std::uint32_t requests = clearRequests.load(std::memory_order_acquire);
  if (requests != clearsSeen) {
    clearsSeen = requests;
    core.clearSections();
  }
  return published.read();
}

}  // namespace qr47
