#include "tail_answer.h"

#include "tail_length.h"

namespace qr47 {
namespace {

constexpr int kSequenceShift = 32;
constexpr std::uint64_t kLengthBits = 0xFFFFFFFFu;
// Reads that find the writer at work before the last answer known is given instead.
constexpr int kAttempts = 4;

}  // namespace

void TailAnswer::publish(const FilterSettings::Loop& s) {
  const double values[kCount] = {s.first.b0,      s.first.b1,         s.first.b2,
                                 s.first.a1,      s.first.a2,         s.fourPoles ? 1.0 : 0.0,
                                 s.lowpassCutoff, s.lowpass.feedback, s.mixGain,
                                 s.outputGain,    s.sampleRate};
  // A reader that sees any of these stores sees the odd number before them, and tries again.
  const std::uint32_t now = sequence.load(std::memory_order_relaxed);
  sequence.store(now + 1, std::memory_order_relaxed);
  for (int i = 0; i < kCount; ++i) inputs[i].store(values[i], std::memory_order_release);
  sequence.store(now + 2, std::memory_order_release);
}

std::int32_t TailAnswer::length() {
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const std::uint32_t before = sequence.load(std::memory_order_acquire);
    if (before & 1u) continue;
    const std::uint64_t known = answer.load(std::memory_order_acquire);
    if (known >> kSequenceShift == before) return static_cast<std::int32_t>(known & kLengthBits);
    double v[kCount];
    for (int i = 0; i < kCount; ++i) v[i] = inputs[i].load(std::memory_order_acquire);
    if (sequence.load(std::memory_order_relaxed) != before) continue;

    FilterSettings::Loop loop;
    loop.first.b0 = v[kB0], loop.first.b1 = v[kB1], loop.first.b2 = v[kB2];
    loop.first.a1 = v[kA1], loop.first.a2 = v[kA2];
    loop.second = loop.first;
    loop.fourPoles = v[kFourPoles] != 0.0;
    loop.lowpassCutoff = static_cast<float>(v[kCutoff]);
    loop.lowpass.feedback = static_cast<float>(v[kFeedback]);
    loop.mixGain = static_cast<float>(v[kMix]);
    loop.outputGain = static_cast<float>(v[kOutput]);
    loop.sampleRate = static_cast<float>(v[kRate]);
    const std::int32_t tail = tailLength(loop);
    answer.store(std::uint64_t{before} << kSequenceShift | static_cast<std::uint32_t>(tail),
                 std::memory_order_release);
    return tail;
  }
  return static_cast<std::int32_t>(answer.load(std::memory_order_acquire) & kLengthBits);
}

}  // namespace qr47
