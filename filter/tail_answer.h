// The tail length of the settings last published, worked out the first time it is asked for
// after a change and kept for every later question until the next change. Publishing stores a
// few numbers; a question that was answered before costs two atomic loads. Questions come from
// any thread and never wait for the writer: what it reads is checked against a sequence number
// the writer moves before and after writing.
#pragma once

#include <atomic>
#include <cstdint>

#include "filter_settings.h"

namespace qr47 {

class TailAnswer {
 public:
  explicit TailAnswer(const FilterSettings::Loop& settings) { publish(settings); }

  // One writer at a time.
  void publish(const FilterSettings::Loop& settings);

  // Any thread.
  std::int32_t length();

 private:
  // What the tail depends on: the first section's coefficients (the second is its twin), the
  // slope, the low-pass coefficient and feedback, the two gains and the rate.
  enum Input {
    kB0,
    kB1,
    kB2,
    kA1,
    kA2,
    kFourPoles,
    kCutoff,
    kFeedback,
    kMix,
    kOutput,
    kRate,
    kCount
  };

  std::atomic<std::uint32_t> sequence{0};  // odd while the writer writes
  std::atomic<double> inputs[kCount] = {};
  // The sequence number the answer belongs to, above the answer itself.
  std::atomic<std::uint64_t> answer{~std::uint64_t{0}};
};

}  // namespace qr47
