// Processing speed of the filter, through the module's entry points exactly as a host calls them
// and on the classes directly, against reference kernels of the same arithmetic measured in the
// same run. Ends with a table of ratios to the kernels (medians when repeated).
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <ladspa.h>
#include <lv2/core/lv2.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "effect_record.h"
#include "filter_engine.h"
#include "reference_kernels.h"
#if defined(QR47_VST3_BUNDLE)
#include "vst3_host.h"
#endif
#if defined(QR47_CLAP_MODULE_PATH)
#include "clap_host.h"
#endif

namespace qr47 {
namespace {

using bench::KernelSettings;
using bench::KernelState;

struct Configuration {
  const char* name;
  float poles;
  float additionalLp;
};
constexpr Configuration kConfigurations[] = {
    {"2poles", 0.0f, 0.0f}, {"4poles", 1.0f, 0.0f}, {"4poles+LP", 1.0f, 0.5f}};
constexpr int kBlockSizes[] = {32, 512, 4096};
constexpr int kSilentBlocks = 86;  // about a second of silence after each loud block of 512

// Typical settings: a resonant low pass at 2950 Hz, unity output.
constexpr float kTypicalQ = 0.7f;
void configure(const Configuration& c, void (*set)(void*, std::int32_t, float), void* target) {
  const float values[] = {0.5f, kTypicalQ, 0.0f, c.poles, c.additionalLp, 0.125f};
  for (std::int32_t i = 0; i < kParameterCount; ++i) set(target, i, values[i]);
}

struct Buffers {
  std::vector<float> in0, in1, out0, out1, silence;
  float* inputs[2];
  float* outputs[2];
  float* silentInputs[2];

  explicit Buffers(int frames)
      : in0(frames), in1(frames), out0(frames), out1(frames), silence(frames, 0.0f) {
    std::mt19937 random(frames);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    for (int i = 0; i < frames; ++i) {
      in0[i] = noise(random);
      in1[i] = noise(random);
    }
    inputs[0] = in0.data();
    inputs[1] = in1.data();
    outputs[0] = out0.data();
    outputs[1] = out1.data();
    silentInputs[0] = silentInputs[1] = silence.data();
  }
};

void perFrame(benchmark::State& state, std::int64_t framesPerIteration) {
  state.counters["ns/frame"] = benchmark::Counter(
      static_cast<double>(framesPerIteration),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.SetItemsProcessed(state.iterations() * framesPerIteration);
}

// The built module, loaded once, with one instance per benchmark.
class Module {
 public:
  Module() {
    handle_ = dlopen(QR47_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    if (handle_) entry_ = reinterpret_cast<ModuleMain>(dlsym(handle_, "VSTPluginMain"));
  }
  EffectRecord* create() const { return entry_ ? entry_(host) : nullptr; }
  static void close(EffectRecord* r) { r->dispatchEntry(r, kClose, 0, 0, nullptr, 0.0f); }
  static void set(void* r, std::int32_t index, float value) {
    auto* record = static_cast<EffectRecord*>(r);
    record->setParameterEntry(record, index, value);
  }

 private:
  static std::intptr_t host(EffectRecord*, std::int32_t request, std::int32_t, std::intptr_t, void*,
                            float) {
    return request == kHostVersion ? 2400 : 0;
  }
  void* handle_ = nullptr;
  ModuleMain entry_ = nullptr;
};

const Module& module() {
  static const Module loaded;
  return loaded;
}

EffectRecord* preparedInstance(benchmark::State& state, const Configuration& c, int block) {
  EffectRecord* r = module().create();
  if (!r) {
    state.SkipWithError("cannot load " QR47_MODULE_PATH);
    return nullptr;
  }
  r->dispatchEntry(r, kSampleRate, 0, 0, nullptr, 44100.0f);
  r->dispatchEntry(r, kBlockSize, 0, block, nullptr, 0.0f);
  r->dispatchEntry(r, kSuspendResume, 0, 1, nullptr, 0.0f);
  configure(c, Module::set, r);
  return r;
}

void moduleProcessing(benchmark::State& state, Configuration c, int block, bool add) {
  EffectRecord* r = preparedInstance(state, c, block);
  if (!r) return;
  Buffers buffers(block);
  ProcessEntry process = add ? r->processAddEntry : r->processReplaceEntry;
  for (auto _ : state) {
    process(r, buffers.inputs, buffers.outputs, block);
    benchmark::ClobberMemory();
  }
  perFrame(state, block);
  Module::close(r);
}

// A loud block, then about a second of silence while the filters decay.
void moduleSilenceAfterSignal(benchmark::State& state, Configuration c) {
  constexpr int kBlock = 512;
  EffectRecord* r = preparedInstance(state, c, kBlock);
  if (!r) return;
  Buffers buffers(kBlock);
  for (auto _ : state) {
    r->processReplaceEntry(r, buffers.inputs, buffers.outputs, kBlock);
    for (int b = 0; b < kSilentBlocks; ++b) {
      r->processReplaceEntry(r, buffers.silentInputs, buffers.outputs, kBlock);
    }
    benchmark::ClobberMemory();
  }
  perFrame(state, kBlock * (kSilentBlocks + 1));
  Module::close(r);
}

void classProcessing(benchmark::State& state, Configuration c, int block, bool add) {
  FilterEngine effect;
  configure(
      c,
      [](void* e, std::int32_t i, float v) { static_cast<FilterEngine*>(e)->setParameter(i, v); },
      &effect);
  Buffers buffers(block);
  for (auto _ : state) {
    add ? effect.processAdd(buffers.inputs, buffers.outputs, block)
        : effect.processReplace(buffers.inputs, buffers.outputs, block);
    benchmark::ClobberMemory();
  }
  perFrame(state, block);
}

KernelSettings kernelSettings(const Configuration& c) {
  FilterSettings settings;
  configure(
      c,
      [](void* e, std::int32_t i, float v) { static_cast<FilterSettings*>(e)->setParameter(i, v); },
      &settings);
  const FilterSettings::Loop& loop = settings.loop();
  auto coefficients = [](const BiquadSection& s) {
    return bench::SectionCoefficients{static_cast<float>(s.b0), static_cast<float>(s.b1),
                                      static_cast<float>(s.b2), static_cast<float>(s.a1),
                                      static_cast<float>(s.a2)};
  };
  return {coefficients(loop.first), coefficients(loop.second), c.poles >= 0.5f,
          c.additionalLp,           loop.lowpassCutoff,        loop.lowpass.feedback,
          settings.outputFactor()};
}

template <bool kFourPoles, bool kLowpass>
void kernel(benchmark::State& state, Configuration c, int block) {
  const KernelSettings settings = kernelSettings(c);
  KernelState kernelState;
  Buffers buffers(block);
  for (auto _ : state) {
    bench::referenceKernel<kFourPoles, kLowpass>(settings, kernelState, buffers.in0.data(),
                                                 buffers.in1.data(), buffers.out0.data(),
                                                 buffers.out1.data(), block);
    benchmark::ClobberMemory();
  }
  perFrame(state, block);
}

void kernelFor(benchmark::State& state, Configuration c, int block) {
  if (c.additionalLp > 0.0f) return kernel<true, true>(state, c, block);
  if (c.poles >= 0.5f) return kernel<true, false>(state, c, block);
  kernel<false, false>(state, c, block);
}

void setParameter(benchmark::State& state, std::int32_t index) {
  EffectRecord* r = preparedInstance(state, kConfigurations[2], 512);
  if (!r) return;
  float value = 0.3f;
  for (auto _ : state) {
    r->setParameterEntry(r, index, value);
    value = value == 0.3f ? 0.6f : 0.3f;
  }
  Module::close(r);
}

// The host's tail question, asked again and again, or after each change of the Q Factor.
void tailSize(benchmark::State& state, Configuration c, bool afterChange) {
  EffectRecord* r = preparedInstance(state, c, 512);
  if (!r) return;
  float q = kTypicalQ;
  for (auto _ : state) {
    if (afterChange) {
      q = q == kTypicalQ ? kTypicalQ / 2.0f : kTypicalQ;
      r->setParameterEntry(r, 1, q);
    }
    benchmark::DoNotOptimize(r->dispatchEntry(r, kTailSize, 0, 0, nullptr, 0.0f));
  }
  Module::close(r);
}

// The longest ring: the Additional LP full, at the lowest cutoff and the highest Q.
void longestTail(benchmark::State& state) {
  EffectRecord* r = preparedInstance(state, kConfigurations[2], 512);
  if (!r) return;
  const float values[] = {0.0f, 1.0f, 0.0f, 1.0f, 1.0f, 0.125f};
  for (std::int32_t i = 0; i < kParameterCount; ++i) r->setParameterEntry(r, i, values[i]);
  for (auto _ : state) {
    benchmark::DoNotOptimize(r->dispatchEntry(r, kTailSize, 0, 0, nullptr, 0.0f));
  }
  state.counters["samples"] =
      static_cast<double>(r->dispatchEntry(r, kTailSize, 0, 0, nullptr, 0.0f));
  Module::close(r);
}

void selectProgram(benchmark::State& state) {
  EffectRecord* r = preparedInstance(state, kConfigurations[2], 512);
  if (!r) return;
  std::intptr_t program = 0;
  for (auto _ : state) {
    r->dispatchEntry(r, kSelectProgram, 0, program, nullptr, 0.0f);
    program = program == 0 ? 5 : 0;
  }
  Module::close(r);
}

// The LV2 and LADSPA modules, loaded as their hosts load them: controls 0 to 5 with the
// configuration's settings in the ports' units (2950 Hz is Cutoff 0.5), audio 6 to 9. Both
// interfaces' descriptors have the same operations.
template <typename Descriptor, typename Handle>
void portProcessing(benchmark::State& state, const Configuration& c, int block, const Descriptor* d,
                    Handle plugin) {
  Buffers buffers(block);
  float controls[] = {2950.0f, 70.0f, 0.0f, c.poles >= 0.5f ? 4.0f : 2.0f, c.additionalLp * 100.0f,
                      0.0f};
  for (int i = 0; i < kParameterCount; ++i) d->connect_port(plugin, i, &controls[i]);
  for (int channel = 0; channel < 2; ++channel) {
    d->connect_port(plugin, 6 + channel, buffers.inputs[channel]);
    d->connect_port(plugin, 8 + channel, buffers.outputs[channel]);
  }
  d->activate(plugin);
  for (auto _ : state) {
    d->run(plugin, block);
    benchmark::ClobberMemory();
  }
  perFrame(state, block);
  d->cleanup(plugin);
}

void lv2Processing(benchmark::State& state, Configuration c, int block) {
  void* handle = dlopen(QR47_LV2_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
  auto entry =
      handle ? reinterpret_cast<LV2_Descriptor_Function>(dlsym(handle, "lv2_descriptor")) : nullptr;
  if (!entry) return state.SkipWithError("cannot load " QR47_LV2_MODULE_PATH);
  const LV2_Descriptor* d = entry(0);
  const LV2_Feature* features[] = {nullptr};
  portProcessing(state, c, block, d, d->instantiate(d, 44100.0, "", features));
}

void ladspaProcessing(benchmark::State& state, Configuration c, int block) {
  void* handle = dlopen(QR47_LADSPA_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
  auto entry =
      handle ? reinterpret_cast<LADSPA_Descriptor_Function>(dlsym(handle, "ladspa_descriptor"))
             : nullptr;
  if (!entry) return state.SkipWithError("cannot load " QR47_LADSPA_MODULE_PATH);
  const LADSPA_Descriptor* d = entry(0);
  portProcessing(state, c, block, d, d->instantiate(d, 44100));
}

// The VST module with a change of Cutoff every 64 samples: its block split there, as the plug-ins
// of today's interfaces split theirs.
constexpr int kChangeEvery = 64;
constexpr float kChangedCutoffs[] = {0.45f, 0.55f};

void moduleChanges(benchmark::State& state, Configuration c) {
  constexpr int kBlock = 512;
  EffectRecord* r = preparedInstance(state, c, kBlock);
  if (!r) return;
  Buffers buffers(kBlock);
  for (auto _ : state) {
    for (int at = 0; at < kBlock; at += kChangeEvery) {
      Module::set(r, kCutoff, kChangedCutoffs[(at / kChangeEvery) % 2]);
      float* in[] = {buffers.inputs[0] + at, buffers.inputs[1] + at};
      float* out[] = {buffers.outputs[0] + at, buffers.outputs[1] + at};
      r->processReplaceEntry(r, in, out, kChangeEvery);
    }
    benchmark::ClobberMemory();
  }
  perFrame(state, kBlock);
  Module::close(r);
}

#if defined(QR47_VST3_BUNDLE)
// The VST 3 bundle, loaded as its hosts load it, with one instance per benchmark active at
// 44.1 kHz: no changes, the VST module's Cutoff changes as points of one queue, or bypassed once
// the fade is done.
enum class Vst3Events { kNone, kChanges, kBypassed };

vst3_test::IPluginFactory* vst3Factory() {
  static vst3_test::IPluginFactory* loaded = [] {
    const vst3_test::Module bundle = vst3_test::loadModule(QR47_VST3_BUNDLE);
    return bundle.getFactory ? bundle.getFactory() : nullptr;
  }();
  return loaded;
}

void vst3Processing(benchmark::State& state, Configuration c, Vst3Events events) {
  constexpr int kBlock = 512;
  constexpr vst3_test::ParamID kBypass = 6;
  if (!vst3Factory()) return state.SkipWithError("cannot load " QR47_VST3_BUNDLE);
  vst3_test::Instance plugin(vst3Factory(), vst3_test::kQr47Class);
  plugin.start(44100.0, kBlock);
  // The normalized values of these settings are their host values.
  vst3_test::Changes settings, changes;
  configure(
      c,
      [](void* s, std::int32_t i, float v) {
        static_cast<vst3_test::Changes*>(s)->add(0, static_cast<vst3_test::ParamID>(i), v);
      },
      &settings);
  if (events == Vst3Events::kBypassed) settings.add(0, kBypass, 1.0);
  for (int at = 0; events == Vst3Events::kChanges && at < kBlock; at += kChangeEvery) {
    changes.add(at, kCutoff, kChangedCutoffs[(at / kChangeEvery) % 2]);
  }
  Buffers buffers(kBlock);
  plugin.process(buffers.inputs, buffers.outputs, kBlock, &settings);  // 10 ms fade included
  for (auto _ : state) {
    plugin.process(buffers.inputs, buffers.outputs, kBlock, &changes);
    benchmark::ClobberMemory();
  }
  perFrame(state, kBlock);
}
#endif

#if defined(QR47_CLAP_MODULE_PATH)
// The CLAP module, loaded as its hosts load it, with one instance per benchmark active at
// 44.1 kHz: no events, the VST module's Cutoff changes as events of one list, or bypassed once
// the fade is done.
enum class ClapEvents { kNone, kChanges, kBypassed };

const clap::PluginEntry* clapEntry() {
  static const clap::PluginEntry* loaded = [] {
    const clap::PluginEntry* entry = clap_test::loadClapEntry(QR47_CLAP_MODULE_PATH);
    return entry && entry->init(QR47_CLAP_MODULE_PATH) ? entry : nullptr;
  }();
  return loaded;
}

void clapProcessing(benchmark::State& state, Configuration c, ClapEvents events) {
  constexpr int kBlock = 512;
  constexpr std::uint32_t kBypass = 6;
  if (!clapEntry()) return state.SkipWithError("cannot load " QR47_CLAP_MODULE_PATH);
  clap_test::TestHost host;
  clap_test::Instance plugin(clapEntry(), &host.host);
  plugin.plugin->activate(plugin.plugin, 44100.0, 1, kBlock);
  plugin.plugin->startProcessing(plugin.plugin);
  // The CLAP values of these settings are their host values, Pole Number's step included.
  clap_test::EventList settings, changes;
  configure(
      c,
      [](void* s, std::int32_t i, float v) {
        static_cast<clap_test::EventList*>(s)->add(0, static_cast<std::uint32_t>(i), v);
      },
      &settings);
  if (events == ClapEvents::kBypassed) settings.add(0, kBypass, 1.0);
  for (int at = 0; events == ClapEvents::kChanges && at < kBlock; at += kChangeEvery) {
    changes.add(static_cast<std::uint32_t>(at), kCutoff, kChangedCutoffs[(at / kChangeEvery) % 2]);
  }
  Buffers buffers(kBlock);
  plugin.process(buffers.inputs, buffers.outputs, kBlock, settings);  // 10 ms fade included
  for (auto _ : state) {
    plugin.process(buffers.inputs, buffers.outputs, kBlock, changes);
    benchmark::ClobberMemory();
  }
  perFrame(state, kBlock);
  plugin.plugin->stopProcessing(plugin.plugin);
  plugin.plugin->deactivate(plugin.plugin);
}
#endif

void createAndClose(benchmark::State& state) {
  for (auto _ : state) {
    EffectRecord* r = module().create();
    benchmark::DoNotOptimize(r);
    Module::close(r);
  }
}

// Collects the per-frame figures and prints each configuration's ratio to its kernel at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
      if (single || run.aggregate_name == "median") {
        const auto counter = run.counters.find("ns/frame");
        if (counter != run.counters.end()) nsPerFrame_[run.run_name.str()] = counter->second * 1e9;
      }
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\n%-34s %10s %10s %8s\n", "ns per stereo frame", "measured", "kernel", "ratio");
    for (const Configuration& c : kConfigurations) {
      for (int block : kBlockSizes) {
        const std::string suffix = std::string("/") + c.name + "/" + std::to_string(block);
        const double limit = nsPerFrame_["Kernel" + suffix];
        for (const char* kind : {"Module/Replace", "Module/Add", "Class/Replace", "Class/Add"}) {
          printRow(kind + suffix, limit);
        }
      }
      const double vst = nsPerFrame_[std::string("Module/Replace/") + c.name + "/512"];
      printRow(std::string("Module/SilenceAfterSignal/") + c.name + "/512", vst, "signal");
      printRow(std::string("Lv2/") + c.name + "/512", vst, "VST");
      printRow(std::string("Ladspa/") + c.name + "/512", vst, "VST");
      const double vstChanges = nsPerFrame_[std::string("Module/Changes/") + c.name + "/512"];
      printRow(std::string("Vst3/") + c.name + "/512", vst, "VST");
      printRow(std::string("Vst3/Changes/") + c.name + "/512", vstChanges, "VST");
      printRow(std::string("Vst3/Bypassed/") + c.name + "/512", vst, "VST");
      printRow(std::string("Clap/") + c.name + "/512", vst, "VST");
      printRow(std::string("Clap/Changes/") + c.name + "/512",
               nsPerFrame_[std::string("Module/Changes/") + c.name + "/512"], "VST");
      printRow(std::string("Clap/Bypassed/") + c.name + "/512", vst, "VST");
    }
  }

 private:
  void printRow(const std::string& name, double reference, const char* against = "kernel") {
    const auto found = nsPerFrame_.find(name);
    if (found == nsPerFrame_.end() || reference <= 0.0) return;
    std::printf("%-34s %10.3f %10.3f %7.2fx (to %s)\n", name.c_str(), found->second, reference,
                found->second / reference, against);
  }

  std::map<std::string, double> nsPerFrame_;
};

void registerAll() {
  for (const Configuration& c : kConfigurations) {
    for (int block : kBlockSizes) {
      const std::string suffix = std::string("/") + c.name + "/" + std::to_string(block);
      benchmark::RegisterBenchmark(("Kernel" + suffix).c_str(), kernelFor, c, block);
      benchmark::RegisterBenchmark(("Module/Replace" + suffix).c_str(), moduleProcessing, c, block,
                                   false);
      benchmark::RegisterBenchmark(("Module/Add" + suffix).c_str(), moduleProcessing, c, block,
                                   true);
      benchmark::RegisterBenchmark(("Class/Replace" + suffix).c_str(), classProcessing, c, block,
                                   false);
      benchmark::RegisterBenchmark(("Class/Add" + suffix).c_str(), classProcessing, c, block, true);
    }
    benchmark::RegisterBenchmark(
        (std::string("Module/SilenceAfterSignal/") + c.name + "/512").c_str(),
        moduleSilenceAfterSignal, c);
    benchmark::RegisterBenchmark((std::string("Module/TailSize/") + c.name).c_str(), tailSize, c,
                                 false);
    benchmark::RegisterBenchmark((std::string("Module/TailSizeAfterChange/") + c.name).c_str(),
                                 tailSize, c, true);
    benchmark::RegisterBenchmark((std::string("Lv2/") + c.name + "/512").c_str(), lv2Processing, c,
                                 512);
    benchmark::RegisterBenchmark((std::string("Ladspa/") + c.name + "/512").c_str(),
                                 ladspaProcessing, c, 512);
    benchmark::RegisterBenchmark((std::string("Module/Changes/") + c.name + "/512").c_str(),
                                 moduleChanges, c);
#if defined(QR47_VST3_BUNDLE)
    for (const auto& [kind, events] : {std::pair{"", Vst3Events::kNone},
                                       {"Changes/", Vst3Events::kChanges},
                                       {"Bypassed/", Vst3Events::kBypassed}}) {
      benchmark::RegisterBenchmark((std::string("Vst3/") + kind + c.name + "/512").c_str(),
                                   vst3Processing, c, events);
    }
#endif
#if defined(QR47_CLAP_MODULE_PATH)
    for (const auto& [kind, events] : {std::pair{"", ClapEvents::kNone},
                                       {"Changes/", ClapEvents::kChanges},
                                       {"Bypassed/", ClapEvents::kBypassed}}) {
      benchmark::RegisterBenchmark((std::string("Clap/") + kind + c.name + "/512").c_str(),
                                   clapProcessing, c, events);
    }
#endif
  }
  const char* names[] = {"Cutoff", "QFactor", "FilterType", "PoleNumber", "AdditionalLp", "Boost"};
  for (std::int32_t i = 0; i < kParameterCount; ++i) {
    benchmark::RegisterBenchmark((std::string("Module/SetParameter/") + names[i]).c_str(),
                                 setParameter, i);
  }
  benchmark::RegisterBenchmark("Module/TailSize/Longest", longestTail);
  benchmark::RegisterBenchmark("Module/SelectProgram", selectProgram);
  benchmark::RegisterBenchmark("Module/CreateAndClose", createAndClose);
}

}  // namespace
}  // namespace qr47

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  qr47::registerAll();
  qr47::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
}
