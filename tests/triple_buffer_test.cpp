// The hand-over between the control threads and the processing call, checked for what must hold
// however the two threads interleave: every value read is whole, none is older than one read
// before, and the last one published is the one read once the writer is done.
#include "triple_buffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <thread>

namespace qr47 {
namespace {

// Large enough that a slot written while it is being read shows as unequal words.
using Value = std::array<std::uint64_t, 64>;

Value valueOf(std::uint64_t n) {
  Value value;
  value.fill(n);
  return value;
}

TEST(TripleBuffer, TheReaderSeesWholeNewerValuesAndTheLastOne) {
  constexpr std::uint64_t kPublications = 200000;
  TripleBuffer<Value> buffer(valueOf(0));
  std::atomic<bool> writing{true};
  std::thread writer([&] {
    for (std::uint64_t n = 1; n <= kPublications; ++n) {
      buffer.writeSlot() = valueOf(n);
      buffer.publish();
    }
    writing = false;
  });
  std::uint64_t last = 0, torn = 0, older = 0, reads = 0;
  while (writing || reads < 1000) {
    const Value& value = buffer.read();
    const std::uint64_t n = value[0];
    if (std::any_of(value.begin(), value.end(), [n](std::uint64_t word) { return word != n; })) {
      ++torn;
    }
    if (n < last) ++older;
    last = std::max(last, n);
    ++reads;
  }
  writer.join();
  EXPECT_EQ(torn, 0u);
  EXPECT_EQ(older, 0u);
  EXPECT_EQ(buffer.read(), valueOf(kPublications));
  // Nothing new: the reader keeps its value.
  EXPECT_EQ(buffer.read(), valueOf(kPublications));
}

TEST(TripleBuffer, EachReadTakesTheNewestOfSeveralPublications) {
  TripleBuffer<int> buffer(0);
  EXPECT_EQ(buffer.read(), 0);
  for (int n = 1; n <= 3; ++n) {
    buffer.writeSlot() = n;
    buffer.publish();
  }
  EXPECT_EQ(buffer.read(), 3);
  buffer.writeSlot() = 4;
  buffer.publish();
  EXPECT_EQ(buffer.read(), 4);
  EXPECT_EQ(buffer.read(), 4);
}

}  // namespace
}  // namespace qr47
