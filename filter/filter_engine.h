// The filter with its programs and a control surface that is safe from any thread: hosts set
// parameters, select and rename programs and read texts from their UI and automation threads
// while the audio thread processes.
//
// The control operations work on one FilterSettings under a lock that only control threads take.
// Each change publishes a copy of what the loop reads through a triple buffer; the processing
// call picks up the newest copy when it starts and never waits. A request to clear the sections
// travels as a counter that the processing call compares with the last one it saw. Used from one
// thread, every change takes effect at the next processing call, as if the loop read the settings
// afresh for every sample.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "filter_core.h"
#include "filter_settings.h"
#include "program_bank.h"
#include "tail_answer.h"
#include "triple_buffer.h"

namespace qr47 {

class FilterEngine {
 public:
  // Starts on the factory program with the sections clear.
  FilterEngine();

  // Control operations, safe from any thread.
  void setParameter(std::int32_t index, float value);
  float getParameter(std::int32_t index) const;
  // Numbers outside 0 to 15 are ignored.
  void setProgram(std::int32_t program);
  std::int32_t getProgram() const;
  // Renames the current program; a name longer than 23 characters is cut to 23.
  void setProgramName(const char* name);
  // The name a host shows for a program: "--- Default ---" for the factory program, the default
  // name with the program's number for an untouched one. False for numbers outside 0 to 15.
  bool getProgramName(std::int32_t program, char* name) const;
  void currentProgramName(char* name) const;
  ProgramRecord programRecord(std::int32_t program) const;
  // A consistent copy of the parameters and what they derive, for display.
  FilterSettings settings() const;
  void setSampleRate(float rate);
  // Both sections start again from silence at the next processing call.
  void clearSections();
  // How long the output rings on after the input falls silent, in samples at the current rate;
  // 0 when it is silent. Worked out once after each change, without the lock.
  std::int32_t tailLength() { return tail.length(); }

  // The audio thread.
  void processReplace(const float* const* inputs, float* const* outputs, std::int32_t sampleFrames);
  void processAdd(const float* const* inputs, float* const* outputs, std::int32_t sampleFrames);

 private:
  void apply(std::int32_t index, float value);
  void publish();
  const FilterSettings::Loop& latestSettings();

  mutable std::mutex controlLock;
  FilterSettings current;
  ProgramBank bank;
  std::int32_t currentProgram = kFactoryProgram;
  std::atomic<std::uint32_t> clearRequests{0};

  TripleBuffer<FilterSettings::Loop> published;
  TailAnswer tail;
  std::uint32_t clearsSeen = 0;
  FilterCore core;
};

}  // namespace qr47
