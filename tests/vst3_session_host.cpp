// A VST 3 host that drives the built QR47.vst3 through fixed sessions (random blocks, from empty
// to the largest announced, with parameter changes and bypass switches at random samples; calls
// that carry only those; deactivation and activation at another rate; separate buffers and in
// place, at 44.1 and 96 kHz) and drives the VST 2.x module through the same: its block split at
// each change, the parameter set between the pieces, its output faded with the input where the
// bypass says. Every sample must be the same, bit for bit. The VST 3 samples' bits go to a file,
// so that builds for other platforms can be compared.
//
// With --probe it loads any maker's bundle instead, lists its classes, buses and parameters and
// runs each effect for a block: the host's side of the interface, tried on plug-ins built
// elsewhere.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "automation_session.h"
#include "vst3_host.h"

namespace {

using namespace vst3_test;
using session::Change;
using session::kMaxFrames;

// The normalized value of a change: a list's step over its last step, or the value itself (the
// bypass's 0 or 1 among them).
double normalized(const Change& c) {
  return c.id == 2 ? c.value / 3.0 : c.value;
}

class Session : public session::Blocks {
 public:
  Session(IPluginFactory* factory, qr47::ModuleMain vstEntry, std::FILE* log)
      : Blocks(vstEntry, log), plugin(factory, kQr47Class) {}

 private:
  void start(double rate) override {
    plugin.start(rate, kMaxFrames);
    vst.start(rate);
  }
  void stop() override { plugin.stop(); }
  // Inactive, then set up at another rate and active again: the sections start from silence.
  void restart(double rate) override {
    stop();
    start(rate);
  }

  // The component's state, and the controller's, as a host loads a project.
  void loadState(const std::vector<std::uint8_t>& bytes) override {
    for (bool controller : {false, true}) {
      MemoryStream stream;
      stream.data = bytes;
      stream.chunk = bytes.size();
      const tresult loaded = controller ? plugin.controller->setComponentState(&stream)
                                        : plugin.component->setState(&stream);
      if (loaded != kResultOk) std::printf("a state was refused\n");
    }
  }

  // A call with no audio, only changes.
  void interlude() override {
    Changes queues;
    std::vector<Change> changes;
    for (int i = 0; i < 2; ++i) {
      changes.push_back(session::randomEvent(random, 0, false));
      queues.add(0, changes.back().id, normalized(changes.back()));
      vst.set(changes.back());
    }
    fade.apply(nullptr, nullptr, 0, changes);
    plugin.process(nullptr, nullptr, 0, &queues);
  }

  bool runBlock(bool inPlace) override {
    const std::vector<Change> changes = next();
    Changes queues;
    for (const Change& c : changes) queues.add(c.time, c.id, normalized(c));
    queues.add(0, 1000, 0.5);  // a parameter that is not QR47's
    float* const* result = inPlace ? input : output;
    // Done is 0 on every platform, Windows' S_OK included.
    const bool processed = plugin.process(input, result, frames, &queues) == 0;
    return loggedAndSame(result) && processed && (frames == 0 || plugin.outputSilenceFlags == 0);
  }

  Instance plugin;
};

std::string ascii(const TChar* text) {
  std::string s;
  for (; *text; ++text) s += *text < 0x80 ? static_cast<char>(*text) : '?';
  return s;
}

// Any maker's bundle: its effects, their buses and parameters, and one block of each.
int probe(const char* bundle) {
  const Module module = loadModule(bundle);
  if (!module.getFactory) return 1;
  IPluginFactory* factory = module.getFactory();
  int failures = 0;
  for (std::int32_t n = 0; n < factory->countClasses(); ++n) {
    PClassInfo info{};
    factory->getClassInfo(n, &info);
    if (std::strcmp(info.category, kAudioEffectClass) != 0) continue;
    std::printf("\"%s\" (%s)\n", info.name, info.category);
    void* object = nullptr;
    if (factory->createInstance(info.cid, IComponent::kIid.data(), &object) != kResultOk) {
      std::printf("  cannot be created\n");
      ++failures;
      continue;
    }
    auto* component = static_cast<IComponent*>(object);
    component->initialize(nullptr);
    component->queryInterface(IAudioProcessor::kIid.data(), &object);
    auto* processor = static_cast<IAudioProcessor*>(object);
    IEditController* controller = nullptr;
    TUID controllerId;
    if (component->queryInterface(IEditController::kIid.data(), &object) == kResultOk) {
      controller = static_cast<IEditController*>(object);
    } else if (component->getControllerClassId(controllerId) == kResultOk &&
               factory->createInstance(controllerId, IEditController::kIid.data(), &object) ==
                   kResultOk) {
      controller = static_cast<IEditController*>(object);
      controller->initialize(nullptr);
    }
    std::int32_t channels[2] = {0, 0};
    for (std::int32_t direction : {kInput, kOutput}) {
      for (std::int32_t i = 0; i < component->getBusCount(kAudio, direction); ++i) {
        BusInfo bus{};
        component->getBusInfo(kAudio, direction, i, bus);
        std::printf("  %s bus %d \"%s\": %d channels\n", direction == kInput ? "input" : "output",
                    i, ascii(bus.name).c_str(), bus.channelCount);
        if (i == 0) channels[direction] = bus.channelCount;
      }
    }
    for (std::int32_t i = 0; controller && i < controller->getParameterCount(); ++i) {
      ParameterInfo p{};
      controller->getParameterInfo(i, p);
      String128 text{};
      controller->getParamStringByValue(p.id, p.defaultNormalizedValue, text);
      std::printf("  parameter %u \"%s\" in %s: default %g \"%s\"\n", p.id, ascii(p.title).c_str(),
                  ascii(p.units).c_str(), p.defaultNormalizedValue, ascii(text).c_str());
    }
    std::vector<std::vector<float>> buffers(channels[0] + channels[1], std::vector<float>(256));
    std::vector<float*> in, out;
    LcgNoise noise;
    for (std::int32_t c = 0; c < channels[0] + channels[1]; ++c) {
      if (c < channels[0]) {
        for (float& s : buffers[c]) s = noise.next() * 0.5f;
        in.push_back(buffers[c].data());
      } else {
        out.push_back(buffers[c].data());
      }
    }
    AudioBusBuffers input{channels[0], 0, in.data()};
    AudioBusBuffers output{channels[1], 0, out.data()};
    Changes none, written;
    ProcessData data{0,
                     kSample32,
                     256,
                     channels[0] ? 1 : 0,
                     channels[1] ? 1 : 0,
                     &input,
                     &output,
                     &none,
                     &written,
                     nullptr,
                     nullptr,
                     nullptr};
    ProcessSetup setup{0, kSample32, 256, 48000.0};
    processor->setupProcessing(setup);
    component->setActive(1);
    processor->setProcessing(1);
    const tresult result = processor->process(data);
    processor->setProcessing(0);
    component->setActive(0);
    bool finite = true;
    for (const auto& c : buffers) {
      for (float s : c) finite = finite && std::isfinite(s);
    }
    std::printf("  a block of noise: %s, output %s\n", result == kResultOk ? "processed" : "FAILED",
                finite ? "finite" : "NOT FINITE");
    failures += result != kResultOk || !finite;
    if (controller) {
      controller->terminate();
      controller->release();
    }
    processor->release();
    component->terminate();
    component->release();
  }
  factory->release();
  if (module.exit) module.exit();
  return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--probe") == 0) return probe(argv[2]);
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s VST3_BUNDLE VST_MODULE OUTPUT\n       %s --probe VST3_BUNDLE\n",
                 argv[0], argv[0]);
    return 2;
  }
  const Module module = loadModule(argv[1]);
  qr47::ModuleMain vstEntry = loadEntry(argv[2]);
  std::FILE* log = std::fopen(argv[3], "wb");
  if (!module.getFactory || !vstEntry || !log) {
    std::fprintf(stderr, "cannot load %s and %s, or write %s\n", argv[1], argv[2], argv[3]);
    return 1;
  }
  IPluginFactory* factory = module.getFactory();
  using session::Run;
  int differing = 0;
  for (const Run& run :
       {Run{44100.0, 96000.0, false}, Run{96000.0, 44100.0, true}, Run{48000.0, 22050.0, true}}) {
    differing += Session(factory, vstEntry, log).run(run);
  }
  factory->release();
  std::fclose(log);
  return differing == 0 && module.exit() ? 0 : 1;
}
