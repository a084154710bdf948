// The host's bypass switch as a crossfade between the filtered and the dry signal: 10 ms,
// linear, from the switch's sample on; a switch in the middle of a fade turns it back from where
// it has got to. The filter runs on underneath, so that switching back is as smooth.
//
// Each sample of a fade first steps the position one sample towards its end, then mixes with the
// gain g = position / length: out = wet + (dry - wet) * g, in float. At position 0 the output is
// the filter's untouched, at the full length the input's, bit for bit.
#pragma once

#include <algorithm>
#include <cstdint>

namespace qr47 {

class BypassFade {
 public:
  static constexpr float kFadeSeconds = 0.010f;
  // Blocks are mixed in pieces of at most this many frames, the dry signal kept aside.
  static constexpr std::int32_t kPieceFrames = 256;

  void setSampleRate(float rate);
  void set(bool bypassed) { target = bypassed; }
  // Where the switch points, at once: for a start, which has nothing to fade from.
  void finish() { position = target ? length : 0; }
  bool bypassed() const { return target; }
  // Neither fading nor bypassed: the output is the filter's.
  bool filtering() const { return position == 0 && !target; }
  bool fullyBypassed() const { return target && position == length; }

  // Runs `filter(inputs, outputs, frames)` over the block and fades its output with the input.
  // The input is kept aside first, so that the output may be the input's buffer.
  template <typename Filter>
  void process(const float* const* inputs, float* const* outputs, std::int32_t frames,
               Filter&& filter) {
    if (filtering()) {
      filter(inputs, outputs, frames);
      return;
    }
    for (std::int32_t done = 0; done < frames; done += kPieceFrames) {
      const std::int32_t count = std::min(kPieceFrames, frames - done);
      for (int channel = 0; channel < kChannels; ++channel) {
        std::copy(inputs[channel] + done, inputs[channel] + done + count, dry[channel]);
      }
      const float* pieceIn[kChannels] = {inputs[0] + done, inputs[1] + done};
      float* pieceOut[kChannels] = {outputs[0] + done, outputs[1] + done};
      filter(pieceIn, pieceOut, count);
      mix(pieceOut, count);
    }
  }

 private:
  static constexpr int kChannels = 2;
  void mix(float* const* outputs, std::int32_t frames);

  std::int32_t length = 441;  // samples, 10 ms at the starting rate
  std::int32_t position = 0;  // 0 filtered, `length` dry
  bool target = false;
  float dry[kChannels][kPieceFrames] = {};
};

}  // namespace qr47
