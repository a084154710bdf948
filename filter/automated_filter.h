// The filter for hosts that send parameter changes inside the processing call, each at its
// sample (CLAP, VST 3), and ask their other questions from another thread.
//
// The audio side applies the changes itself, between the pieces of a block split at their
// samples, with no lock; the values it leaves are mirrored in atomics for the other side's
// questions, and the tail they give is published for any thread. A state loaded on the other
// side travels to the audio side whole, through a triple buffer that the audio side reads before
// its next block. While nothing processes, the host's other thread is the audio side too.
#pragma once

#include <atomic>
#include <cstdint>

#include "filter_core.h"
#include "filter_settings.h"
#include "saved_state.h"
#include "tail_answer.h"
#include "triple_buffer.h"

namespace qr47 {

class AutomatedFilter {
 public:
  // The factory program at the starting rate, the sections clear.
  AutomatedFilter();

  // The audio side.
  void setSampleRate(float rate);
  // Indexes outside 0 to 5 and values that are not finite change nothing.
  void setValue(std::int32_t index, float value);
  // A state the other side loaded since the last call, if any, replaces all six values.
  void takeLoadedState();
  void process(const float* const* inputs, float* const* outputs, std::int32_t sampleFrames) {
    core.processReplace(settings.loop(), inputs, outputs, sampleFrames);
  }
  void clearSections() { core.clearSections(); }
  // Lets the tail question see the changes made since the last call.
  void publishChanges();

  // The other side, one thread at a time: hands the audio side a whole state.
  void load(const ParameterValues& values);

  // Any thread.
  float value(std::int32_t index) const { return shown[index].load(std::memory_order_relaxed); }
  ParameterValues values() const;
  std::int32_t tailLength() { return tail.length(); }

 private:
  struct LoadedState {
    std::uint32_t serial = 0;
    ParameterValues values{};
  };

  std::atomic<float> shown[kParameterCount];
  TailAnswer tail{FilterSettings::Loop{}};

  TripleBuffer<LoadedState> loaded{LoadedState{}};
  std::uint32_t loadsPublished = 0;  // the other side's

  std::uint32_t loadsTaken = 0;
  bool changed = false;  // since the tail was last published
  FilterSettings settings;
  FilterCore core;
};

}  // namespace qr47
