// What the session hosts of the interfaces with changes at their samples (CLAP, VST 3) share: the
// same random numbers on every platform, random parameter changes with the VST host values they
// stand for, the VST module driven with them, its block split at each change, and the session's
// loop of blocks whose output is logged and compared with the VST module's bit for bit.
//
// Beyond the VST module's six parameters: the host's bypass switch (id 6), whose expected output
// is the VST module's crossfaded with the dry input as written out here, and (CLAP) modulation
// amounts, which the VST module hears as the value plus the amount, held to 0..1.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "lcg_noise.h"
#include "module_loader.h"

namespace session {

constexpr std::int32_t kMaxFrames = 1024;
constexpr int kBlocksPerSession = 700;

class Random {
 public:
  std::uint32_t below(std::uint32_t n) { return next() % n; }
  double unit() { return next() / 4294967296.0; }

 private:
  std::uint32_t next() {
    state = state * 1664525u + 1013904223u;
    return state >> 8 | state << 24;
  }
  std::uint32_t state = 4747;
};

// A change of parameter `id` at sample `time`: `value` is the step of a list (Filter Type 0 to 3,
// Pole Number 0 or 1) or the value itself, `vstValue` the VST host value it stands for, as the
// interfaces document them. A bypass switch has id 6 and value 0 or 1; a modulation's value is
// its amount.
enum class Kind { kValue, kModulation, kBypass };
constexpr std::uint32_t kBypassId = 6;

struct Change {
  std::int32_t time;
  std::uint32_t id;
  double value;
  float vstValue;
  Kind kind = Kind::kValue;
};

inline Change randomChange(Random& random, std::int32_t time) {
  constexpr float kTypeHostValues[] = {0.0f, 0.25f, 0.5f, 0.75f};
  const std::uint32_t id = random.below(6);
  if (id == 2) {
    const std::uint32_t step = random.below(4);
    return {time, id, static_cast<double>(step), kTypeHostValues[step]};
  }
  if (id == 3) {
    const std::uint32_t step = random.below(2);
    return {time, id, static_cast<double>(step), static_cast<float>(step)};
  }
  const double value = random.unit();
  return {time, id, value, static_cast<float>(value)};
}

// A value change most of the time; now and then a bypass switch, and where the interface has
// them, a modulation of Cutoff, Q Factor, Additional LP or 18dB Boost by -1 to 1 (0 a tenth of
// the time).
inline Change randomEvent(Random& random, std::int32_t time, bool modulates) {
  constexpr std::uint32_t kModulatable[] = {0, 1, 4, 5};
  switch (random.below(8)) {
    case 0:
      return {time, kBypassId, static_cast<double>(random.below(2)), 0.0f, Kind::kBypass};
    case 1:
    case 2:
      if (modulates) {
        const double amount = random.below(10) == 0 ? 0.0 : 2.0 * random.unit() - 1.0;
        return {time, kModulatable[random.below(4)], amount, 0.0f, Kind::kModulation};
      }
      break;
    default:
      break;
  }
  return randomChange(random, time);
}

// Up to four changes at random samples of a block, in time order.
inline std::vector<Change> randomChanges(Random& random, std::int32_t frames, bool modulates) {
  std::vector<Change> changes;
  const std::uint32_t count = random.below(5);
  for (std::uint32_t i = 0; i < count; ++i) {
    changes.push_back(randomEvent(
        random,
        frames ? static_cast<std::int32_t>(random.below(static_cast<std::uint32_t>(frames))) : 0,
        modulates));
  }
  std::stable_sort(changes.begin(), changes.end(),
                   [](const Change& a, const Change& b) { return a.time < b.time; });
  return changes;
}

// The bypass as the plug-ins document it: a fade of 10 ms at the rate, linear, from the switch's
// sample on. Each sample of a fade steps the position towards its end, then mixes
// wet + (dry - wet) * position / length in float; position 0 is the VST module's output, the full
// length the dry input. A change of rate keeps the share of the way.
class ExpectedFade {
 public:
  void setRate(double rate) {
    const long newLength = std::max(1L, std::lround(static_cast<float>(rate) * 0.010f));
    position = std::lround(static_cast<double>(position) * newLength / length);
    length = newLength;
  }
  void finish() { position = bypassed ? length : 0; }
  void apply(const float* const* dry, float* const* wet, std::int32_t frames,
             const std::vector<Change>& changes) {
    std::size_t next = 0;
    for (std::int32_t i = 0; i < frames; ++i) {
      for (; next < changes.size() && changes[next].time <= i; ++next) {
        if (changes[next].kind == Kind::kBypass) bypassed = changes[next].value != 0.0;
      }
      position += bypassed ? (position < length) : -(position > 0);
      for (int channel = 0; channel < 2 && position > 0; ++channel) {
        float& out = wet[channel][i];
        const float in = dry[channel][i];
        out = position == length
                  ? in
                  : out + (in - out) * (static_cast<float>(position) / static_cast<float>(length));
      }
    }
    for (; next < changes.size(); ++next) {
      if (changes[next].kind == Kind::kBypass) bypassed = changes[next].value != 0.0;
    }
  }

 private:
  long length = 441, position = 0;
  bool bypassed = false;
};

// A state as the plug-ins save it (version 2): "QR47", the version, six random host values and
// a random bypass, all little-endian; and the changes it stands for, at the start of the next
// block.
struct LoadedState {
  std::vector<std::uint8_t> bytes;
  std::vector<Change> changes;
};

inline LoadedState randomState(Random& random) {
  LoadedState state{{'Q', 'R', '4', '7', 2, 0, 0, 0}, {}};
  const auto put = [&state](float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 4; ++i) state.bytes.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
  };
  for (std::uint32_t id = 0; id < 6; ++id) {
    const auto value = static_cast<float>(random.unit());
    put(value);
    state.changes.push_back({0, id, value, value});
  }
  const double bypass = random.below(2);
  put(static_cast<float>(bypass));
  state.changes.push_back({0, kBypassId, bypass, 0.0f, Kind::kBypass});
  return state;
}

// Empty, one frame, the largest announced, or anything between.
inline std::int32_t blockLength(Random& random) {
  switch (random.below(8)) {
    case 0:
      return 0;
    case 1:
      return 1;
    case 2:
      return kMaxFrames;
    default:
      return 2 + static_cast<std::int32_t>(random.below(kMaxFrames - 2));
  }
}

struct Vst {
  explicit Vst(qr47::ModuleMain entry) : r(entry(answerHostVersion)) {}
  ~Vst() { dispatch(opcode::kClose); }
  Vst(const Vst&) = delete;
  Vst& operator=(const Vst&) = delete;
  std::intptr_t dispatch(std::int32_t op, std::intptr_t value = 0, float opt = 0.0f) {
    return r->dispatchEntry(r, op, 0, value, nullptr, opt);
  }
  void start(double rate) {
    dispatch(opcode::kSampleRate, 0, static_cast<float>(rate));
    dispatch(opcode::kBlockSize, kMaxFrames);
    dispatch(opcode::kSuspendResume, 1);
  }
  // A value or a modulation: the VST module hears their sum, held to 0..1. A bypass switch is
  // none of its business.
  void set(const Change& c) {
    if (c.kind == Kind::kBypass) return;
    if (c.kind == Kind::kValue) base[c.id] = c.vstValue;
    if (c.kind == Kind::kModulation) amount[c.id] = c.value;
    const float heard = amount[c.id] == 0.0
                            ? base[c.id]
                            : static_cast<float>(std::clamp(
                                  static_cast<double>(base[c.id]) + amount[c.id], 0.0, 1.0));
    r->setParameterEntry(r, static_cast<std::int32_t>(c.id), heard);
  }
  // What the host's reset or deactivation does to modulation in the plug-in.
  void clearModulation() {
    for (std::uint32_t id = 0; id < 6; ++id) {
      if (amount[id] != 0.0) set({0, id, 0.0, 0.0f, Kind::kModulation});
    }
  }
  // The block split at each change, the parameter set between the pieces.
  void process(float* const* in, float* const* out, std::int32_t frames,
               const std::vector<Change>& changes) {
    std::int32_t done = 0;
    for (const Change& c : changes) {
      if (c.time > done) run(in, out, done, c.time);
      done = std::max(done, c.time);
      set(c);
    }
    if (frames > done) run(in, out, done, frames);
  }

  qr47::EffectRecord* r;

 private:
  float base[6] = {1.0f, 0.7f, 0.0f, 0.0f, 0.0f, 0.125f};  // the factory program
  double amount[6] = {};

  void run(float* const* in, float* const* out, std::int32_t start, std::int32_t end) {
    float* i[] = {in[0] + start, in[1] + start};
    float* o[] = {out[0] + start, out[1] + start};
    r->processReplaceEntry(r, i, o, end - start);
  }
};

struct Run {
  double rate, secondRate;
  bool inPlace;
};

// A session's blocks: noise of random lengths with random changes, the VST module's output for
// each, and the plug-in's output logged and compared with it bit for bit.
class Blocks {
 public:
  Blocks(qr47::ModuleMain entry, std::FILE* file, bool modulates = false)
      : vst(entry), log(file), modulates(modulates) {}
  virtual ~Blocks() = default;

  // The plug-in started at one rate and halfway at another, with the host's interlude (a reset,
  // or changes alone) every 97 blocks; the number of blocks that differ, printed and returned.
  int run(const Run& run) {
    fade.setRate(run.rate);
    start(run.rate);
    int differing = 0;
    for (int block = 0; block < kBlocksPerSession; ++block) {
      if (block == kBlocksPerSession / 2) {
        fade.setRate(run.secondRate);
        restart(run.secondRate);
        fade.finish();  // an activation starts where the bypass points
      }
      if (block % 97 == 50) interlude();
      // A state loaded while processing, then automation: the state holds from the next block
      // on, once, and the changes after it apply as ever.
      if (block % 97 == 20) {
        LoadedState state = randomState(random);
        loadState(state.bytes);
        loaded = std::move(state.changes);
      }
      differing += !runBlock(run.inPlace);
    }
    stop();
    std::printf("%g Hz then %g Hz, %s: %d of %d blocks differ from the VST module\n", run.rate,
                run.secondRate, run.inPlace ? "in place" : "separate buffers", differing,
                kBlocksPerSession);
    return differing;
  }

 protected:
  virtual void start(double rate) = 0;
  virtual void stop() = 0;
  virtual void restart(double rate) = 0;
  virtual void interlude() = 0;
  virtual void loadState(const std::vector<std::uint8_t>& bytes) = 0;
  virtual bool runBlock(bool inPlace) = 0;

  // The next block's input and changes; the VST module's output for them in vstOut.
  std::vector<Change> next() {
    frames = blockLength(random);
    for (std::int32_t i = 0; i < frames; ++i) {
      in[0][i] = noise.next();
      in[1][i] = noise.next();
    }
    std::vector<Change> changes = randomChanges(random, frames, modulates);
    // What a state loaded since the last block stands for comes first, for the VST module.
    std::vector<Change> heard = std::move(loaded);
    loaded.clear();
    heard.insert(heard.end(), changes.begin(), changes.end());
    vst.process(input, vstOutput, frames, heard);
    fade.apply(input, vstOutput, frames, heard);
    return changes;
  }
  bool loggedAndSame(float* const* result) {
    std::fwrite(result[0], sizeof(float), frames, log);
    std::fwrite(result[1], sizeof(float), frames, log);
    return std::memcmp(result[0], vstOut[0].data(), frames * sizeof(float)) == 0 &&
           std::memcmp(result[1], vstOut[1].data(), frames * sizeof(float)) == 0;
  }

  Vst vst;
  ExpectedFade fade;
  std::vector<Change> loaded;
  std::FILE* log;
  bool modulates;
  Random random;
  LcgNoise noise;
  std::int32_t frames = 0;
  std::vector<float> in[2] = {std::vector<float>(kMaxFrames), std::vector<float>(kMaxFrames)};
  std::vector<float> out[2] = {in[0], in[0]}, vstOut[2] = {in[0], in[0]};
  float* input[2] = {in[0].data(), in[1].data()};
  float* output[2] = {out[0].data(), out[1].data()};
  float* vstOutput[2] = {vstOut[0].data(), vstOut[1].data()};
};

}  // namespace session
