#include "gesture_mailbox.h"

#include <cstring>

namespace qr47 {
namespace {

constexpr int kSerialShift = 32;
constexpr std::uint64_t kValueBits = 0xffffffffu;

std::uint64_t pack(std::uint32_t serial, float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return (std::uint64_t{serial} << kSerialShift) | bits;
}

float valueOf(std::uint64_t packed) {
  const auto bits = static_cast<std::uint32_t>(packed & kValueBits);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

}  // namespace

// The main thread writes begins, then values, then ends; the audio side reads them in the
// opposite order, so that an end it sees has its values and a value it sees has its begin.

void GestureMailbox::begin(std::int32_t index) {
  if (!holds(index)) return;
  slots[index].begins.fetch_add(1, std::memory_order_release);
  sent.fetch_add(1, std::memory_order_release);
}

void GestureMailbox::set(std::int32_t index, float value) {
  if (!holds(index)) return;
  Slot& slot = slots[index];
  slot.sentValue = value;
  slot.latest.store(pack(++slot.sentSerial, value), std::memory_order_release);
  sent.fetch_add(1, std::memory_order_release);
}

void GestureMailbox::end(std::int32_t index) {
  if (!holds(index)) return;
  slots[index].ends.fetch_add(1, std::memory_order_release);
  sent.fetch_add(1, std::memory_order_release);
}

bool GestureMailbox::pending(std::int32_t index, float* value) const {
  if (!holds(index)) return false;
  const Slot& slot = slots[index];
  if (slot.appliedSerial.load(std::memory_order_acquire) == slot.sentSerial) return false;
  *value = slot.sentValue;
  return true;
}

// A slot written after the count was read is counted after it, so it is seen next time at the
// latest.
bool GestureMailbox::arrived() {
  const std::uint32_t now = sent.load(std::memory_order_acquire);
  if (now == sentSeen) return false;
  sentSeen = now;
  return true;
}

// The host hears one begin for any number of gestures begun since the last delivery, and the
// end only once every gesture begun has ended.
GestureMailbox::Delivery GestureMailbox::take(std::int32_t index) {
  Slot& slot = slots[index];
  const std::uint32_t ends = slot.ends.load(std::memory_order_acquire);
  const std::uint64_t latest = slot.latest.load(std::memory_order_acquire);
  const std::uint32_t begins = slot.begins.load(std::memory_order_acquire);
  Delivery delivery;
  if (begins != slot.beginsTaken) {
    delivery.begin = !slot.openForHost;
    slot.openForHost = true;
    slot.beginsTaken = begins;
  }
  const auto serial = static_cast<std::uint32_t>(latest >> kSerialShift);
  if (serial != slot.serialTaken) {
    delivery.hasValue = true;
    delivery.value = valueOf(latest);
    slot.serialTaken = serial;
  }
  if (slot.openForHost && ends == begins) {
    delivery.end = true;
    slot.openForHost = false;
  }
  return delivery;
}

void GestureMailbox::applied(std::int32_t index) {
  Slot& slot = slots[index];
  slot.appliedSerial.store(slot.serialTaken, std::memory_order_release);
}

}  // namespace qr47
