// What the CLAP test hosts share: the module's entry found as a host finds it, a host that offers
// the params extension and notes every call the plug-in makes of it off the main thread, event
// lists, and streams that move a few bytes at a time. Ids and flags are written here as the
// interface publishes them, not taken from the plug-in's own declarations.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "clap_api.h"
#include "module_loader.h"

namespace clap_test {

using namespace qr47::clap;

constexpr char kQr47Id[] = "org.qr47.filter";
constexpr std::uint16_t kParamValue = 5, kParamMod = 6;

inline const PluginEntry* loadClapEntry(const char* path) {
  return static_cast<const PluginEntry*>(loadSymbol(path, "clap_entry"));
}

class TestHost {
 public:
  TestHost() {
    host.clapVersion = {1, 2, 0};
    host.hostData = this;
    host.name = "QR47 test host";
    host.vendor = host.url = "";
    host.version = "1";
    host.getExtension = [](const Host* h, const char* id) -> const void* {
      self(h)->noteThread();
      return std::strcmp(id, "clap.params") == 0 ? &self(h)->params : nullptr;
    };
    host.requestRestart = host.requestProcess =
        host.requestCallback = [](const Host* h) { self(h)->noteThread(); };
    params.rescan = [](const Host* h, std::uint32_t flags) {
      self(h)->noteThread();
      if (flags == 1) ++self(h)->valueRescans;  // values only
    };
    params.clear = [](const Host* h, std::uint32_t, std::uint32_t) { self(h)->noteThread(); };
    params.requestFlush = [](const Host* h) { self(h)->noteThread(); };
  }
  TestHost(const TestHost&) = delete;
  TestHost& operator=(const TestHost&) = delete;

  Host host{};
  std::atomic<int> valueRescans{0};
  std::atomic<int> callsOffMainThread{0};

 private:
  static TestHost* self(const Host* h) { return static_cast<TestHost*>(h->hostData); }
  void noteThread() {
    if (std::this_thread::get_id() != mainThread) ++callsOffMainThread;
  }
  HostParams params{};
  std::thread::id mainThread = std::this_thread::get_id();
};

// Which notes an event is for: -1 is any.
struct Address {
  std::int32_t noteId = -1;
  std::int16_t port = -1, channel = -1, key = -1;
};

// Events in time order; each slot big enough for a parameter value, whatever it holds.
class EventList {
 public:
  EventList() {
    list.context = this;
    list.size = [](const InputEvents* l) {
      return static_cast<std::uint32_t>(static_cast<EventList*>(l->context)->events.size());
    };
    // A plug-in that asks past the end is at fault: no host need answer it.
    list.get = [](const InputEvents* l, std::uint32_t index) -> const EventHeader* {
      auto& events = static_cast<EventList*>(l->context)->events;
      if (index >= events.size()) std::abort();
      return &events[index].header;
    };
  }
  EventList(const EventList&) = delete;
  EventList& operator=(const EventList&) = delete;

  // A parameter value of the core event space (type 5), a modulation (type 6, laid out as a value
  // with the amount in its place), or an event of another space or type; for any note, port,
  // channel and key unless the address names one.
  void add(std::uint32_t time, std::uint32_t id, double value, std::uint16_t space = 0,
           std::uint16_t type = kParamValue, Address to = {}) {
    EventParamValue e{};
    e.header = {static_cast<std::uint32_t>(sizeof e), time, space, type, 0};
    e.paramId = id;
    e.noteId = to.noteId;
    e.portIndex = to.port;
    e.channel = to.channel;
    e.key = to.key;
    e.value = value;
    events.push_back(e);
  }
  void clear() { events.clear(); }
  const InputEvents* input() const { return &list; }

 private:
  std::vector<EventParamValue> events;
  InputEvents list{};
};

// A stream over bytes in memory that moves at most `chunk` bytes a call, and can fail.
struct MemoryStream {
  MemoryStream() = default;
  MemoryStream(const MemoryStream&) = delete;
  MemoryStream& operator=(const MemoryStream&) = delete;

  std::vector<std::uint8_t> bytes;
  std::size_t position = 0;
  std::size_t chunk = 1;
  bool fail = false;
  InputStream input{this, [](const InputStream* s, void* buffer, std::uint64_t size) {
                      auto* m = static_cast<MemoryStream*>(s->context);
                      if (m->fail) return std::int64_t{-1};
                      std::size_t n = m->bytes.size() - m->position;
                      n = std::min<std::size_t>({n, m->chunk, static_cast<std::size_t>(size)});
                      if (n > 0) std::memcpy(buffer, m->bytes.data() + m->position, n);
                      m->position += n;
                      return static_cast<std::int64_t>(n);
                    }};
  OutputStream output{this, [](const OutputStream* s, const void* buffer, std::uint64_t size) {
                        auto* m = static_cast<MemoryStream*>(s->context);
                        if (m->fail) return std::int64_t{-1};
                        const std::size_t n = std::min<std::size_t>(m->chunk, size);
                        const auto* b = static_cast<const std::uint8_t*>(buffer);
                        m->bytes.insert(m->bytes.end(), b, b + n);
                        return static_cast<std::int64_t>(n);
                      }};
};

// One plug-in instance with the extensions a host looks up.
struct Instance {
  Instance(const PluginEntry* entry, const Host* host, const char* id = kQr47Id) {
    auto* factory = static_cast<const PluginFactory*>(entry->getFactory("clap.plugin-factory"));
    plugin = factory->createPlugin(factory, host, id);
    plugin->init(plugin);
    params = static_cast<const PluginParams*>(plugin->getExtension(plugin, "clap.params"));
    ports = static_cast<const PluginAudioPorts*>(plugin->getExtension(plugin, "clap.audio-ports"));
    state = static_cast<const PluginState*>(plugin->getExtension(plugin, "clap.state"));
    tail = static_cast<const PluginTail*>(plugin->getExtension(plugin, "clap.tail"));
    latency = static_cast<const PluginLatency*>(plugin->getExtension(plugin, "clap.latency"));
  }
  ~Instance() { plugin->destroy(plugin); }
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  // One block, stereo in and out (the same arrays for processing in place).
  ProcessStatus process(float* const* in, float* const* out, std::uint32_t frames,
                        const EventList& events) {
    // Each port is followed by an empty one that the counts leave out: never to be read.
    const AudioBuffer inputs[2] = {{const_cast<float**>(in), nullptr, 2, 0, 0}, {}};
    AudioBuffer outputs[2] = {{const_cast<float**>(out), nullptr, 2, 0, ~std::uint64_t{0}}, {}};
    Process p{-1, frames, nullptr, inputs, outputs, 1, 1, events.input(), nullptr};
    const ProcessStatus status = plugin->process(plugin, &p);
    outputConstantMask = outputs[0].constantMask;
    return status;
  }
  double value(std::uint32_t id) const {
    double v = -1.0;
    params->getValue(plugin, id, &v);
    return v;
  }

  const Plugin* plugin = nullptr;
  const PluginParams* params = nullptr;
  const PluginAudioPorts* ports = nullptr;
  const PluginState* state = nullptr;
  const PluginTail* tail = nullptr;
  const PluginLatency* latency = nullptr;
  std::uint64_t outputConstantMask = 0;  // as the last block left it: no channel is constant
};

}  // namespace clap_test
