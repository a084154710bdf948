// The filter for hosts that send parameter changes inside the processing call, each at its
// sample (CLAP, VST 3), and ask their other questions from another thread.
//
// The audio side applies the changes itself, between the pieces of a block split at their
// samples, with no lock; the values it leaves are mirrored in atomics for the other side's
// questions, and the tail they give is published for any thread. A state loaded on the other
// side travels to the audio side whole, through a triple buffer that the audio side reads before
// its next block. While nothing processes, the host's other thread is the audio side too.
//
// Beyond the six values: the host's bypass switch, which fades to the dry signal and back, and a
// modulation amount per value (CLAP's), which the filter adds to the value it runs at while the
// value itself, the one the host shows and saves, stays as set.
#pragma once

#include <atomic>
#include <cstdint>

#include "bypass_fade.h"
#include "filter_core.h"
#include "filter_settings.h"
#include "saved_state.h"
#include "tail_answer.h"
#include "triple_buffer.h"

namespace qr47 {

class AutomatedFilter {
 public:
  // The factory program at the starting rate, the sections clear, the bypass off.
  AutomatedFilter();

  // The audio side.
  void setSampleRate(float rate);
  // Indexes outside 0 to 5 and values that are not finite change nothing.
  void setValue(std::int32_t index, float value);
  // The filter runs at the value plus the amount, held to 0..1; an amount of 0 runs the value
  // itself. Amounts that are not finite change nothing.
  void setModulation(std::int32_t index, double amount);
  void clearModulation();
  void setBypass(bool bypassed);
  // An activation: the output starts where the bypass points, with nothing to fade from.
  void finishFade();
  // A state the other side loaded since the last call, if any, replaces the values and the
  // bypass.
  void takeLoadedState();
  void process(const float* const* inputs, float* const* outputs, std::int32_t sampleFrames);
  void clearSections() { core.clearSections(); }
  // Lets the tail question see the changes made since the last call.
  void publishChanges();

  // The other side, one thread at a time: hands the audio side a whole state.
  void load(const FilterState& state);

  // Any thread.
  float value(std::int32_t index) const { return shown[index].load(std::memory_order_relaxed); }
  bool bypassed() const { return shownBypass.load(std::memory_order_relaxed); }
  FilterState state() const;
  // 0 while the output is the dry input.
  std::int32_t tailLength() {
    return silentTail.load(std::memory_order_relaxed) ? 0 : tail.length();
  }

 private:
  struct LoadedState {
    std::uint32_t serial = 0;
    FilterState state{};
  };
  void apply(std::int32_t index);

  std::atomic<float> shown[kParameterCount];
  std::atomic<bool> shownBypass{false};
  std::atomic<bool> silentTail{false};
  TailAnswer tail{FilterSettings::Loop{}};

  TripleBuffer<LoadedState> loaded{LoadedState{}};
  std::uint32_t loadsPublished = 0;  // the other side's

  std::uint32_t loadsTaken = 0;
  bool changed = false;  // since the tail was last published
  float values[kParameterCount] = {};
  double modulation[kParameterCount] = {};
  FilterSettings settings;
  BypassFade fade;
  FilterCore core;
};

}  // namespace qr47
