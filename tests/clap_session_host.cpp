// A CLAP host that drives the built qr47.clap through fixed sessions (random blocks, from empty
// to the largest announced, with parameter events, bypass switches and modulation at random
// offsets; resets; a flush while inactive and a new activation at another rate; separate buffers
// and in place, at 44.1 and 96 kHz) and drives the VST module through the same: its block split
// at each event's offset, the parameter set between the pieces to the value plus the amount, its
// output faded with the dry input where bypassed. Every sample must be the same, bit for bit. A
// reset and a deactivation end the modulation. The CLAP samples' bits go to a file, so that
// builds for other platforms can be compared.
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

#include "automation_session.h"
#include "clap_host.h"

namespace {

using namespace clap_test;
using session::Change;
using session::Kind;
using session::kMaxFrames;

constexpr std::uint16_t kCoreSpace = 0, kOtherSpace = 1, kGestureBegin = 7;
constexpr std::uint32_t kModulated[] = {0, 1, 4, 5};
constexpr std::uint32_t kUnmodulated[] = {2, 3, 6};  // Filter Type, Pole Number, Bypass
constexpr std::int16_t kSomeKey = 60;

std::uint16_t typeOf(const Change& c) {
  return c.kind == Kind::kModulation ? kParamMod : kParamValue;
}

class Session : public session::Blocks {
 public:
  Session(const PluginEntry* clapEntry, qr47::ModuleMain vstEntry, std::FILE* log)
      : Blocks(vstEntry, log, true), clap(clapEntry, &host.host) {}

 private:
  void start(double rate) override {
    clap.plugin->activate(clap.plugin, rate, 1, kMaxFrames);
    clap.plugin->startProcessing(clap.plugin);
    vst.start(rate);
  }
  void stop() override {
    clap.plugin->stopProcessing(clap.plugin);
    clap.plugin->deactivate(clap.plugin);
  }
  // Deactivated, a change and a modulation flushed on the main thread, then active again at
  // another rate: the amount flushed plays on.
  void restart(double rate) override {
    stop();
    vst.clearModulation();
    const std::vector<Change> changes = {
        session::randomEvent(random, 0, true),
        {0, kModulated[random.below(4)], 2.0 * random.unit() - 1.0, 0.0f, Kind::kModulation}};
    EventList flushed;
    for (const Change& c : changes) {
      flushed.add(0, c.id, c.value, kCoreSpace, typeOf(c));
      vst.set(c);
    }
    fade.apply(input, vstOutput, 0, changes);
    clap.params->flush(clap.plugin, flushed.input(), nullptr);
    start(rate);
  }
  void loadState(const std::vector<std::uint8_t>& bytes) override {
    MemoryStream stream;
    stream.bytes = bytes;
    stream.chunk = bytes.size();
    if (!clap.state->load(clap.plugin, &stream.input)) std::printf("a state was refused\n");
  }
  void interlude() override {
    clap.plugin->reset(clap.plugin);
    vst.dispatch(opcode::kSuspendResume, 0);
    vst.clearModulation();
  }

  // Modulation the plug-in must not hear: of a parameter that takes none, or aimed at one note,
  // port, channel or key.
  void addIgnoredModulation(std::uint32_t time) {
    const double amount = 2.0 * random.unit() - 1.0;
    Address to;
    switch (random.below(5)) {
      case 0:
        events.add(time, kUnmodulated[random.below(3)], amount, kCoreSpace, kParamMod);
        return;
      case 1:
        to.noteId = 0;
        break;
      case 2:
        to.port = 0;
        break;
      case 3:
        to.channel = 0;
        break;
      default:
        to.key = kSomeKey;
        break;
    }
    events.add(time, random.below(6), amount, kCoreSpace, kParamMod, to);
  }

  bool runBlock(bool inPlace) override {
    const std::vector<Change> changes = next();
    // The CLAP plug-in: one call with the events, some of them not its own.
    events.clear();
    for (const Change& c : changes) {
      const auto time = static_cast<std::uint32_t>(c.time);
      if (random.below(4) == 0) events.add(time, c.id, 0.5, kOtherSpace);
      if (random.below(4) == 0) addIgnoredModulation(time);
      events.add(time, c.id, c.value, kCoreSpace, typeOf(c));
      if (random.below(4) == 0) events.add(time, c.id, 0.0, kCoreSpace, kGestureBegin);
    }
    float* const* result = inPlace ? input : output;
    clap.process(input, result, static_cast<std::uint32_t>(frames), events);
    return loggedAndSame(result) && clap.outputConstantMask == 0;
  }

  TestHost host;
  Instance clap;
  EventList events;
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
  using session::Run;
  int differing = 0;
  for (const Run& run : {Run{44100.0, 96000.0, false}, Run{96000.0, 44100.0, true},
                         Run{44100.0, 48000.0, true}, Run{96000.0, 22050.0, false}}) {
    differing += Session(clapEntry, vstEntry, log).run(run);
  }
  clapEntry->deinit();
  std::fclose(log);
  return differing == 0 ? 0 : 1;
}
