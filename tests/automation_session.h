// What the session hosts of the interfaces with changes at their samples (CLAP, VST 3) share: the
// same random numbers on every platform, random parameter changes with the VST host values they
// stand for, the VST module driven with them, its block split at each change, and the session's
// loop of blocks whose output is logged and compared with the VST module's bit for bit.
#pragma once

#include <algorithm>
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
// interfaces document them.
struct Change {
  std::int32_t time;
  std::uint32_t id;
  double value;
  float vstValue;
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

// Up to four changes at random samples of a block, in time order.
inline std::vector<Change> randomChanges(Random& random, std::int32_t frames) {
  std::vector<Change> changes;
  const std::uint32_t count = random.below(5);
  for (std::uint32_t i = 0; i < count; ++i) {
    changes.push_back(randomChange(
        random,
        frames ? static_cast<std::int32_t>(random.below(static_cast<std::uint32_t>(frames))) : 0));
  }
  std::stable_sort(changes.begin(), changes.end(),
                   [](const Change& a, const Change& b) { return a.time < b.time; });
  return changes;
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
  void set(const Change& c) {
    r->setParameterEntry(r, static_cast<std::int32_t>(c.id), c.vstValue);
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
  Blocks(qr47::ModuleMain entry, std::FILE* file) : vst(entry), log(file) {}
  virtual ~Blocks() = default;

  // The plug-in started at one rate and halfway at another, with the host's interlude (a reset,
  // or changes alone) every 97 blocks; the number of blocks that differ, printed and returned.
  int run(const Run& run) {
    start(run.rate);
    int differing = 0;
    for (int block = 0; block < kBlocksPerSession; ++block) {
      if (block == kBlocksPerSession / 2) restart(run.secondRate);
      if (block % 97 == 50) interlude();
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
  virtual bool runBlock(bool inPlace) = 0;

  // The next block's input and changes; the VST module's output for them in vstOut.
  std::vector<Change> next() {
    frames = blockLength(random);
    for (std::int32_t i = 0; i < frames; ++i) {
      in[0][i] = noise.next();
      in[1][i] = noise.next();
    }
    std::vector<Change> changes = randomChanges(random, frames);
    vst.process(input, vstOutput, frames, changes);
    return changes;
  }
  bool loggedAndSame(float* const* result) {
    std::fwrite(result[0], sizeof(float), frames, log);
    std::fwrite(result[1], sizeof(float), frames, log);
    return std::memcmp(result[0], vstOut[0].data(), frames * sizeof(float)) == 0 &&
           std::memcmp(result[1], vstOut[1].data(), frames * sizeof(float)) == 0;
  }

  Vst vst;
  std::FILE* log;
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
