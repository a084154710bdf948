// Hands a value from one writer to one reader without either ever waiting: three slots, one the
// writer fills, one the reader uses, and one in between that the two swap with atomic exchanges.
// The reader always gets a whole value that was published, the newest one at the time it looks.
#pragma once

#include <atomic>
#include <cstdint>

namespace qr47 {

template <typename T>
class TripleBuffer {
 public:
  explicit TripleBuffer(const T& initial) : slots{initial, initial, initial} {}

  // Writer side (one writer at a time): fill the slot, then publish it.
  T& writeSlot() { return slots[back]; }
  void publish() { back = middle.exchange(back | kFresh, std::memory_order_acq_rel) & kIndexBits; }

  // Reader side: the newest published value.
  const T& read() {
    if (middle.load(std::memory_order_acquire) & kFresh) {
      front = middle.exchange(front, std::memory_order_acq_rel) & kIndexBits;
    }
    return slots[front];
  }

 private:
  static constexpr std::uint8_t kIndexBits = 3;
  static constexpr std::uint8_t kFresh = 4;  // the middle slot holds what the reader has not seen

  T slots[3];
  std::uint8_t back = 0;
  std::atomic<std::uint8_t> middle{1};
  std::uint8_t front = 2;
};

}  // namespace qr47
