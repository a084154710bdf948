// One QR47 instance for a CLAP host. The host calls each operation on the thread the interface
// names for it: the main thread for set-up, parameters' questions and state; the audio thread for
// processing, reset and (while active) the parameters' flush, never at the same time as each
// other.
//
// Parameter events reach the filter on the audio thread itself, at their sample: the block is
// split there and the settings changed between the pieces, with no lock. The values they leave
// are mirrored for the main thread's questions. A state loaded on the main thread travels to the
// audio thread whole, through a triple buffer that the next processing call or flush reads.
#pragma once

#include <atomic>
#include <cstdint>

#include "clap_api.h"
#include "filter_core.h"
#include "filter_settings.h"
#include "saved_state.h"
#include "tail_answer.h"
#include "triple_buffer.h"

namespace qr47 {

class ClapFilter {
 public:
  // Calls nothing of the host: the interface forbids it while the plug-in is being created.
  explicit ClapFilter(const clap::Host* host);

  // Main thread.
  void init();
  void activate(double sampleRate);
  void deactivate() { active = false; }
  bool value(std::uint32_t id, double* value) const;
  bool save(const clap::OutputStream* stream) const;
  bool load(const clap::InputStream* stream);

  // Main or audio thread.
  std::uint32_t tail() { return static_cast<std::uint32_t>(tailAnswer.length()); }

  // Audio thread (or the main thread while inactive).
  void applyEvents(const clap::InputEvents* events);
  clap::ProcessStatus process(const clap::Process& process);
  void reset() { core.clearSections(); }

 private:
  struct LoadedState {
    std::uint32_t serial = 0;
    ParameterValues values{};
  };

  ParameterValues shownValues() const;
  void setValue(std::uint32_t id, float value);
  void applyEvent(const clap::EventHeader& event);
  void takeLoadedState();
  void publishChanges();
  void run(const clap::Process& process, std::uint32_t start, std::uint32_t end);

  const clap::Host* host;
  const clap::HostParams* hostParams = nullptr;
  bool active = false;  // the main thread's own

  // What the main thread reads: the values the audio thread applied last, and their tail.
  std::atomic<float> shown[kParameterCount];
  TailAnswer tailAnswer{FilterSettings::Loop{}};

  // States loaded on the main thread, on their way to the audio thread.
  TripleBuffer<LoadedState> loaded{LoadedState{}};
  std::uint32_t loadsPublished = 0;

  // The audio thread's own.
  std::uint32_t loadsTaken = 0;
  bool changed = false;  // since the tail was last published
  FilterSettings settings;
  FilterCore core;
};

}  // namespace qr47
