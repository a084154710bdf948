// A CLAP host that drives the built qr47.clap through fixed sessions (random blocks, from empty
// to the largest announced, with parameter events at random offsets; resets; a flush while
// inactive and a new activation at another rate; separate buffers and in place, at 44.1 and
// 96 kHz) and drives the VST module through the same: its block split at each event's offset,
// the parameter set between the pieces. Every sample must be the same, bit for bit. The CLAP
// samples' bits go to a file, so that builds for other platforms can be compared.
//
// With --probe it loads any maker's CLAP module instead, lists its plug-ins, ports and
// parameters and runs each plug-in for a block: the host's side of the interface, tried on
// plug-ins built elsewhere.
#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "clap_host.h"
#include "lcg_noise.h"
#include "module_loader.h"

namespace {

using namespace clap_test;

constexpr std::uint32_t kMaxFrames = 1024;
constexpr int kBlocksPerSession = 700;

// The same numbers on every platform.
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

// The VST host values the lists' steps stand for, as the CLAP parameters document them.
constexpr float kTypeHostValues[] = {0.0f, 0.25f, 0.5f, 0.75f};
constexpr float kPoleHostValues[] = {0.0f, 1.0f};

struct Change {
  std::uint32_t time, id;
  double clapValue;
  float vstValue;
};

Change randomChange(Random& random, std::uint32_t time) {
  const std::uint32_t id = random.below(6);
  if (id == 2) {
    const std::uint32_t step = random.below(4);
    return {time, id, static_cast<double>(step), kTypeHostValues[step]};
  }
  if (id == 3) {
    const std::uint32_t step = random.below(2);
    return {time, id, static_cast<double>(step), kPoleHostValues[step]};
  }
  const double value = random.unit();
  return {time, id, value, static_cast<float>(value)};
}

struct Vst {
  explicit Vst(qr47::ModuleMain entry) : r(entry(answerHostVersion)) {}
  ~Vst() { dispatch(opcode::kClose); }
  std::intptr_t dispatch(std::int32_t op, std::intptr_t value = 0, float opt = 0.0f) {
    return r->dispatchEntry(r, op, 0, value, nullptr, opt);
  }
  void start(double rate) {
    dispatch(opcode::kSampleRate, 0, static_cast<float>(rate));
    dispatch(opcode::kBlockSize, kMaxFrames);
    dispatch(opcode::kSuspendResume, 1);
  }
  qr47::EffectRecord* r;
};

class Session {
 public:
  Session(const PluginEntry* clapEntry, qr47::ModuleMain vstEntry, std::FILE* log)
      : clap(clapEntry, &host.host), vst(vstEntry), log(log) {}

  // Returns the number of blocks whose output differed.
  int run(double rate, double secondRate, bool inPlace) {
    clap.plugin->activate(clap.plugin, rate, 1, kMaxFrames);
    clap.plugin->startProcessing(clap.plugin);
    vst.start(rate);
    int differing = 0;
    for (int block = 0; block < kBlocksPerSession; ++block) {
      if (block == kBlocksPerSession / 2) reactivate(secondRate);
      if (block % 97 == 50) {
        clap.plugin->reset(clap.plugin);
        vst.dispatch(opcode::kSuspendResume, 0);
      }
      differing += !runBlock(inPlace);
    }
    clap.plugin->stopProcessing(clap.plugin);
    clap.plugin->deactivate(clap.plugin);
    return differing;
  }

 private:
  // Deactivated, two changes flushed on the main thread, then active again at another rate.
  void reactivate(double rate) {
    clap.plugin->stopProcessing(clap.plugin);
    clap.plugin->deactivate(clap.plugin);
    EventList flushed;
    for (int i = 0; i < 2; ++i) {
      const Change c = randomChange(random, 0);
      flushed.add(0, c.id, c.clapValue);
      vst.r->setParameterEntry(vst.r, static_cast<std::int32_t>(c.id), c.vstValue);
    }
    clap.params->flush(clap.plugin, flushed.input(), nullptr);
    clap.plugin->activate(clap.plugin, rate, 1, kMaxFrames);
    clap.plugin->startProcessing(clap.plugin);
    vst.start(rate);
  }

  std::uint32_t blockLength() {
    switch (random.below(8)) {
      case 0:
        return 0;
      case 1:
        return 1;
      case 2:
        return kMaxFrames;
      default:
        return 2 + random.below(kMaxFrames - 2);
    }
  }

  bool runBlock(bool inPlace) {
    const std::uint32_t frames = blockLength();
    for (std::uint32_t i = 0; i < frames; ++i) {
      in[0][i] = noise.next();
      in[1][i] = noise.next();
    }
    std::vector<Change> changes;
    const std::uint32_t count = random.below(5);
    for (std::uint32_t i = 0; i < count; ++i) {
      changes.push_back(randomChange(random, frames ? random.below(frames) : 0));
    }
    std::sort(changes.begin(), changes.end(),
              [](const Change& a, const Change& b) { return a.time < b.time; });

    // The VST module: the block split at each change.
    float* vstIn[] = {in[0].data(), in[1].data()};
    std::uint32_t done = 0;
    for (const Change& c : changes) {
      float* i[] = {in[0].data() + done, in[1].data() + done};
      float* o[] = {vstOut[0].data() + done, vstOut[1].data() + done};
      if (c.time > done) vst.r->processReplaceEntry(vst.r, i, o, c.time - done);
      done = c.time;
      vst.r->setParameterEntry(vst.r, static_cast<std::int32_t>(c.id), c.vstValue);
    }
    float* i[] = {vstIn[0] + done, vstIn[1] + done};
    float* o[] = {vstOut[0].data() + done, vstOut[1].data() + done};
    if (frames > done) vst.r->processReplaceEntry(vst.r, i, o, frames - done);

    // The CLAP plug-in: one call with the events, some of them not its own.
    events.clear();
    for (const Change& c : changes) {
      if (random.below(4) == 0) events.add(c.time, c.id, 0.5, 1);  // another event space
      events.add(c.time, c.id, c.clapValue);
      if (random.below(4) == 0) events.add(c.time, c.id, 0.0, 0, 7);  // a gesture's start
    }
    float* clapIn[] = {in[0].data(), in[1].data()};
    float* clapOut[] = {out[0].data(), out[1].data()};
    clap.process(clapIn, inPlace ? clapIn : clapOut, frames, events);
    float* const* result = inPlace ? clapIn : clapOut;
    std::fwrite(result[0], sizeof(float), frames, log);
    std::fwrite(result[1], sizeof(float), frames, log);
    return clap.outputConstantMask == 0 &&
           std::memcmp(result[0], vstOut[0].data(), frames * sizeof(float)) == 0 &&
           std::memcmp(result[1], vstOut[1].data(), frames * sizeof(float)) == 0;
  }

  TestHost host;
  Instance clap;
  Vst vst;
  std::FILE* log;
  Random random;
  LcgNoise noise;
  EventList events;
  std::vector<float> in[2] = {std::vector<float>(kMaxFrames), std::vector<float>(kMaxFrames)};
  std::vector<float> out[2] = {in[0], in[0]};
  std::vector<float> vstOut[2] = {in[0], in[0]};
};

// Any maker's module: its plug-ins, their ports and parameters, and one block of each.
int probe(const char* path) {
  const PluginEntry* entry = loadClapEntry(path);
  if (!entry || !entry->init(path)) return 1;
  auto* factory = static_cast<const PluginFactory*>(entry->getFactory("clap.plugin-factory"));
  TestHost host;
  int failures = 0;
  for (std::uint32_t n = 0; n < factory->getPluginCount(factory); ++n) {
    const PluginDescriptor* d = factory->getPluginDescriptor(factory, n);
    std::printf("%s \"%s\" by \"%s\", version %s\n", d->id, d->name, d->vendor, d->version);
    Instance plugin(entry, &host.host, d->id);
    // Buffers of 256 frames for every channel of every port, inputs filled with noise.
    std::vector<std::vector<float>> channels;
    std::vector<std::vector<float*>> pointers[2];
    std::vector<AudioBuffer> buffers[2];
    LcgNoise noise;
    for (bool input : {true, false}) {
      const std::uint32_t count = plugin.ports ? plugin.ports->count(plugin.plugin, input) : 0;
      for (std::uint32_t i = 0; i < count; ++i) {
        AudioPortInfo info{};
        plugin.ports->get(plugin.plugin, i, input, &info);
        std::printf("  %s port %u \"%s\": %u channels\n", input ? "input" : "output", info.id,
                    info.name, info.channelCount);
        pointers[input].emplace_back(info.channelCount);
        for (float*& channel : pointers[input].back()) {
          channels.emplace_back(256);
          for (float& sample : channels.back()) sample = input ? noise.next() * 0.5f : 0.0f;
          channel = channels.back().data();
        }
      }
    }
    for (bool input : {true, false}) {
      for (auto& port : pointers[input]) {
        buffers[input].push_back(
            AudioBuffer{port.data(), nullptr, static_cast<std::uint32_t>(port.size()), 0, 0});
      }
    }
    for (std::uint32_t i = 0; plugin.params && i < plugin.params->count(plugin.plugin); ++i) {
      ParamInfo info{};
      plugin.params->getInfo(plugin.plugin, i, &info);
      char text[256] = "";
      plugin.params->valueToText(plugin.plugin, info.id, info.defaultValue, text, sizeof text);
      std::printf("  parameter %u \"%s\": %g to %g, default %g \"%s\"\n", info.id, info.name,
                  info.minValue, info.maxValue, info.defaultValue, text);
    }
    EventList none;
    Process p{0,
              256,
              nullptr,
              buffers[1].data(),
              buffers[0].data(),
              static_cast<std::uint32_t>(buffers[1].size()),
              static_cast<std::uint32_t>(buffers[0].size()),
              none.input(),
              nullptr};
    plugin.plugin->activate(plugin.plugin, 48000.0, 1, 256);
    plugin.plugin->startProcessing(plugin.plugin);
    const ProcessStatus status = plugin.plugin->process(plugin.plugin, &p);
    plugin.plugin->stopProcessing(plugin.plugin);
    plugin.plugin->deactivate(plugin.plugin);
    bool finite = true;
    for (const auto& c : channels) {
      for (float sample : c) finite = finite && std::isfinite(sample);
    }
    std::printf("  a block of noise: status %d, output %s\n", status,
                finite ? "finite" : "NOT FINITE");
    failures += status == 0 || !finite;
  }
  entry->deinit();
  return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--probe") == 0) return probe(argv[2]);
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s CLAP_MODULE VST_MODULE OUTPUT\n       %s --probe CLAP_MODULE\n",
                 argv[0], argv[0]);
    return 2;
  }
  const PluginEntry* clapEntry = loadClapEntry(argv[1]);
  qr47::ModuleMain vstEntry = loadEntry(argv[2]);
  std::FILE* log = std::fopen(argv[3], "wb");
  if (!clapEntry || !vstEntry || !log || !clapEntry->init(argv[1])) {
    std::fprintf(stderr, "cannot load %s and %s, or write %s\n", argv[1], argv[2], argv[3]);
    return 1;
  }
  struct Run {
    double rate, secondRate;
    bool inPlace;
  };
  int differing = 0;
  for (const Run& run : {Run{44100.0, 96000.0, false}, Run{96000.0, 44100.0, true},
                         Run{44100.0, 48000.0, true}, Run{96000.0, 22050.0, false}}) {
    Session session(clapEntry, vstEntry, log);
    const int blocks = session.run(run.rate, run.secondRate, run.inPlace);
    std::printf("%g Hz then %g Hz, %s: %d of %d blocks differ from the VST module\n", run.rate,
                run.secondRate, run.inPlace ? "in place" : "separate buffers", blocks,
                kBlocksPerSession);
    differing += blocks;
  }
  clapEntry->deinit();
  std::fclose(log);
  return differing == 0 ? 0 : 1;
}
