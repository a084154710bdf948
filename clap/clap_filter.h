// One QR47 instance for a CLAP host. The host calls each operation on the thread the interface
// names for it: the main thread for set-up, parameters' questions and state; the audio thread for
// processing, reset and (while active) the parameters' flush, never at the same time as each
// other. Parameter events reach the filter on the audio thread itself, at their sample: values
// (the bypass switch among them) and the host's modulation of the four continuous parameters.
// The editor's changes reach it at the start of a block, and go on to the host as its gestures.
#pragma once

#include <cstdint>

#include "automated_filter.h"
#include "clap_api.h"
#include "gesture_mailbox.h"

namespace qr47 {

class ClapFilter {
 public:
  // Calls nothing of the host: the interface forbids it while the plug-in is being created.
  explicit ClapFilter(const clap::Host* host) : host(host) {}

  // Main thread.
  void init();
  void activate(double sampleRate);
  void deactivate();
  // Any of the seven ids; never with the modulation in it.
  bool value(std::uint32_t id, double* value) const;
  bool save(const clap::OutputStream* stream) const;
  bool load(const clap::InputStream* stream);

  // What the editor reads and sends, on the main thread.
  float shownValue(std::int32_t index) const;
  float sampleRate() const { return currentRate; }
  GestureMailbox& editorGestures() { return gestures; }

  // Main or audio thread.
  std::uint32_t tail() { return static_cast<std::uint32_t>(filter.tailLength()); }

  // Audio thread (or the main thread while inactive).
  void applyEvents(const clap::InputEvents* events, const clap::OutputEvents* out);
  clap::ProcessStatus process(const clap::Process& process);
  void reset();

 private:
  void deliverGestures(const clap::OutputEvents* out);
  void applyEvent(const clap::EventHeader& event);
  void setValue(std::uint32_t id, double clapValue);
  void run(const clap::Process& process, std::uint32_t start, std::uint32_t end);

  const clap::Host* host;
  const clap::HostParams* hostParams = nullptr;
  bool active = false;                      // the main thread's own
  float currentRate = kStartingSampleRate;  // the main thread's own
  GestureMailbox gestures;
  AutomatedFilter filter;
};

}  // namespace qr47
