// The editor's gestures on their way from the main thread to the side that processes, one
// mailbox per parameter and one for the bypass switch (index 6): how many gestures have begun and
// ended, and the latest value with its serial number. The main thread never waits and the audio
// side never allocates or waits: it reads what arrived at the start of a block. Nothing can
// overflow: values sent faster than the host flushes are coalesced to the latest, and gestures that
// begin and end between two deliveries reach the host as one.
#pragma once

#include <atomic>
#include <cstdint>

#include "program_bank.h"

namespace qr47 {

class GestureMailbox {
 public:
  static constexpr std::int32_t kSlotCount = kParameterCount + 1;

  // What the audio side hands the host for one parameter, in this order.
  struct Delivery {
    bool begin = false;
    bool hasValue = false;
    float value = 0.0f;
    bool end = false;
  };

  // Main thread: one gesture is begin, any number of values, end.
  void begin(std::int32_t index);
  void set(std::int32_t index, float value);
  void end(std::int32_t index);
  // The value sent last, while the audio side has not yet applied it.
  bool pending(std::int32_t index, float* value) const;

  // Audio side (or the main thread while nothing processes). Whether anything was sent since the
  // last call that answered true: one read on a block with nothing to deliver.
  bool arrived();
  Delivery take(std::int32_t index);
  // The value `take` gave is now the filter's: `pending` answers false from here on.
  void applied(std::int32_t index);

 private:
  struct Slot {
    std::atomic<std::uint32_t> begins{0};
    std::atomic<std::uint64_t> latest{0};  // serial in the upper half, the float's bits below
    std::atomic<std::uint32_t> ends{0};
    std::atomic<std::uint32_t> appliedSerial{0};
    // The main thread's.
    std::uint32_t sentSerial = 0;
    float sentValue = 0.0f;
    // The audio side's.
    std::uint32_t beginsTaken = 0;
    std::uint32_t serialTaken = 0;
    bool openForHost = false;
  };
  static_assert(std::atomic<std::uint64_t>::is_always_lock_free);

  static bool holds(std::int32_t index) {
    return static_cast<std::uint32_t>(index) < static_cast<std::uint32_t>(kSlotCount);
  }

  Slot slots[kSlotCount];
  std::atomic<std::uint32_t> sent{0};  // begins, values and ends, counted after each is written
  std::uint32_t sentSeen = 0;          // the audio side's
};

}  // namespace qr47
