// The part of the CLAP plug-in interface (version 1.2) that QR47 uses, declared here from the
// interface's published layout: structures with their fields in order, function signatures, ids
// and constants. Every structure is plain C layout; sizes and key offsets are checked below for
// the 64-bit platforms the module ships for.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qr47::clap {

constexpr std::uint32_t kInterfaceMajor = 1;
constexpr std::uint32_t kInterfaceMinor = 2;
constexpr std::uint32_t kInterfaceRevision = 10;

constexpr std::size_t kNameSize = 256;
constexpr std::size_t kPathSize = 1024;
constexpr std::uint32_t kInvalidId = UINT32_MAX;

// Factory and extension ids.
constexpr char kPluginFactoryId[] = "clap.plugin-factory";
constexpr char kParamsId[] = "clap.params";
constexpr char kAudioPortsId[] = "clap.audio-ports";
constexpr char kStateId[] = "clap.state";
constexpr char kLatencyId[] = "clap.latency";
constexpr char kTailId[] = "clap.tail";
constexpr char kGuiId[] = "clap.gui";
constexpr char kTimerSupportId[] = "clap.timer-support";
constexpr char kPosixFdSupportId[] = "clap.posix-fd-support";
constexpr char kPortStereo[] = "stereo";

struct Version {
  std::uint32_t major;
  std::uint32_t minor;
  std::uint32_t revision;
};

struct Host {
  Version clapVersion;
  void* hostData;
  const char* name;
  const char* vendor;
  const char* url;
  const char* version;
  const void* (*getExtension)(const Host* host, const char* id);
  void (*requestRestart)(const Host* host);
  void (*requestProcess)(const Host* host);
  void (*requestCallback)(const Host* host);
};

// Events.
constexpr std::uint16_t kCoreEventSpace = 0;
constexpr std::uint16_t kEventParamValue = 5;
constexpr std::uint16_t kEventParamMod = 6;
constexpr std::uint16_t kEventParamGestureBegin = 7;
constexpr std::uint16_t kEventParamGestureEnd = 8;

struct EventHeader {
  std::uint32_t size;  // of the whole event
  std::uint32_t time;  // sample offset in the block
  std::uint16_t spaceId;
  std::uint16_t type;
  std::uint32_t flags;
};

struct EventParamValue {
  EventHeader header;
  std::uint32_t paramId;
  void* cookie;
  std::int32_t noteId;
  std::int16_t portIndex;
  std::int16_t channel;
  std::int16_t key;
  double value;
};

// An offset the host's modulators add to a parameter's value until they send another; the
// address fields as in EventParamValue, -1 for any.
struct EventParamMod {
  EventHeader header;
  std::uint32_t paramId;
  void* cookie;
  std::int32_t noteId;
  std::int16_t portIndex;
  std::int16_t channel;
  std::int16_t key;
  double amount;
};

// The start or end of a change the user makes in the plug-in's window.
struct EventParamGesture {
  EventHeader header;
  std::uint32_t paramId;
};

struct InputEvents {
  void* context;
  std::uint32_t (*size)(const InputEvents* list);
  const EventHeader* (*get)(const InputEvents* list, std::uint32_t index);
};

struct OutputEvents {
  void* context;
  bool (*tryPush)(const OutputEvents* list, const EventHeader* event);
};

// Processing.
struct AudioBuffer {
  float** data32;
  double** data64;
  std::uint32_t channelCount;
  std::uint32_t latency;
  std::uint64_t constantMask;
};

struct Process {
  std::int64_t steadyTime;
  std::uint32_t framesCount;
  const void* transport;
  const AudioBuffer* audioInputs;
  AudioBuffer* audioOutputs;
  std::uint32_t audioInputsCount;
  std::uint32_t audioOutputsCount;
  const InputEvents* inEvents;
  const OutputEvents* outEvents;
};

using ProcessStatus = std::int32_t;
constexpr ProcessStatus kProcessError = 0;
constexpr ProcessStatus kProcessContinue = 1;

// The plug-in and its factory.
struct PluginDescriptor {
  Version clapVersion;
  const char* id;
  const char* name;
  const char* vendor;
  const char* url;
  const char* manualUrl;
  const char* supportUrl;
  const char* version;
  const char* description;
  const char* const* features;  // ends with a null pointer
};

struct Plugin {
  const PluginDescriptor* descriptor;
  void* pluginData;
  bool (*init)(const Plugin* plugin);
  void (*destroy)(const Plugin* plugin);
  bool (*activate)(const Plugin* plugin, double sampleRate, std::uint32_t minFrames,
                   std::uint32_t maxFrames);
  void (*deactivate)(const Plugin* plugin);
  bool (*startProcessing)(const Plugin* plugin);
  void (*stopProcessing)(const Plugin* plugin);
  void (*reset)(const Plugin* plugin);
  ProcessStatus (*process)(const Plugin* plugin, const Process* process);
  const void* (*getExtension)(const Plugin* plugin, const char* id);
  void (*onMainThread)(const Plugin* plugin);
};

struct PluginFactory {
  std::uint32_t (*getPluginCount)(const PluginFactory* factory);
  const PluginDescriptor* (*getPluginDescriptor)(const PluginFactory* factory, std::uint32_t index);
  const Plugin* (*createPlugin)(const PluginFactory* factory, const Host* host,
                                const char* pluginId);
};

struct PluginEntry {
  Version clapVersion;
  bool (*init)(const char* pluginPath);
  void (*deinit)();
  const void* (*getFactory)(const char* factoryId);
};

// Parameters.
constexpr std::uint32_t kParamIsStepped = 1u << 0;
constexpr std::uint32_t kParamIsBypass = 1u << 4;  // 1 bypassed; stepped as well
constexpr std::uint32_t kParamIsAutomatable = 1u << 5;
constexpr std::uint32_t kParamIsModulatable = 1u << 10;
constexpr std::uint32_t kParamIsEnum = 1u << 16;
constexpr std::uint32_t kParamRescanValues = 1u << 0;

struct ParamInfo {
  std::uint32_t id;
  std::uint32_t flags;
  void* cookie;
  char name[kNameSize];
  char module[kPathSize];
  double minValue;
  double maxValue;
  double defaultValue;
};

struct PluginParams {
  std::uint32_t (*count)(const Plugin* plugin);
  bool (*getInfo)(const Plugin* plugin, std::uint32_t index, ParamInfo* info);
  bool (*getValue)(const Plugin* plugin, std::uint32_t id, double* value);
  bool (*valueToText)(const Plugin* plugin, std::uint32_t id, double value, char* text,
                      std::uint32_t capacity);
  bool (*textToValue)(const Plugin* plugin, std::uint32_t id, const char* text, double* value);
  void (*flush)(const Plugin* plugin, const InputEvents* in, const OutputEvents* out);
};

struct HostParams {
  void (*rescan)(const Host* host, std::uint32_t flags);
  void (*clear)(const Host* host, std::uint32_t id, std::uint32_t flags);
  void (*requestFlush)(const Host* host);
};

// Audio ports.
constexpr std::uint32_t kAudioPortIsMain = 1u << 0;

struct AudioPortInfo {
  std::uint32_t id;
  char name[kNameSize];
  std::uint32_t flags;
  std::uint32_t channelCount;
  const char* portType;
  std::uint32_t inPlacePair;
};

struct PluginAudioPorts {
  std::uint32_t (*count)(const Plugin* plugin, bool isInput);
  bool (*get)(const Plugin* plugin, std::uint32_t index, bool isInput, AudioPortInfo* info);
};

// State.
struct InputStream {
  void* context;
  std::int64_t (*read)(const InputStream* stream, void* buffer, std::uint64_t size);
};

struct OutputStream {
  void* context;
  std::int64_t (*write)(const OutputStream* stream, const void* buffer, std::uint64_t size);
};

struct PluginState {
  bool (*save)(const Plugin* plugin, const OutputStream* stream);
  bool (*load)(const Plugin* plugin, const InputStream* stream);
};

// Latency and tail, in samples; a tail of INT32_MAX or more is endless.
struct PluginLatency {
  std::uint32_t (*get)(const Plugin* plugin);
};

struct PluginTail {
  std::uint32_t (*get)(const Plugin* plugin);
};

// The plug-in's window, embedded in one the host hands over (X11 only here).
constexpr char kWindowApiX11[] = "x11";

struct Window {
  const char* api;
  union {
    unsigned long x11;  // an X11 window id
    void* ptr;          // the other window systems' handles
  };
};

struct GuiResizeHints {
  bool canResizeHorizontally;
  bool canResizeVertically;
  bool preserveAspectRatio;
  std::uint32_t aspectRatioWidth;
  std::uint32_t aspectRatioHeight;
};

// Sizes are physical pixels under X11.
struct PluginGui {
  bool (*isApiSupported)(const Plugin* plugin, const char* api, bool isFloating);
  bool (*getPreferredApi)(const Plugin* plugin, const char** api, bool* isFloating);
  bool (*create)(const Plugin* plugin, const char* api, bool isFloating);
  void (*destroy)(const Plugin* plugin);
  bool (*setScale)(const Plugin* plugin, double scale);
  bool (*getSize)(const Plugin* plugin, std::uint32_t* width, std::uint32_t* height);
  bool (*canResize)(const Plugin* plugin);
  bool (*getResizeHints)(const Plugin* plugin, GuiResizeHints* hints);
  bool (*adjustSize)(const Plugin* plugin, std::uint32_t* width, std::uint32_t* height);
  bool (*setSize)(const Plugin* plugin, std::uint32_t width, std::uint32_t height);
  bool (*setParent)(const Plugin* plugin, const Window* window);
  bool (*setTransient)(const Plugin* plugin, const Window* window);
  void (*suggestTitle)(const Plugin* plugin, const char* title);
  bool (*show)(const Plugin* plugin);
  bool (*hide)(const Plugin* plugin);
};

struct HostGui {
  void (*resizeHintsChanged)(const Host* host);
  bool (*requestResize)(const Host* host, std::uint32_t width, std::uint32_t height);
  bool (*requestShow)(const Host* host);
  bool (*requestHide)(const Host* host);
  void (*closed)(const Host* host, bool wasDestroyed);
};

// The host's run loop on the main thread: periodic timers and file descriptors to watch.
struct PluginTimerSupport {
  void (*onTimer)(const Plugin* plugin, std::uint32_t timerId);
};

struct HostTimerSupport {
  bool (*registerTimer)(const Host* host, std::uint32_t periodMs, std::uint32_t* timerId);
  bool (*unregisterTimer)(const Host* host, std::uint32_t timerId);
};

using PosixFdFlags = std::uint32_t;
constexpr PosixFdFlags kPosixFdRead = 1u << 0;
constexpr PosixFdFlags kPosixFdWrite = 1u << 1;
constexpr PosixFdFlags kPosixFdError = 1u << 2;

struct PluginPosixFdSupport {
  void (*onFd)(const Plugin* plugin, int fd, PosixFdFlags flags);
};

struct HostPosixFdSupport {
  bool (*registerFd)(const Host* host, int fd, PosixFdFlags flags);
  bool (*modifyFd)(const Host* host, int fd, PosixFdFlags flags);
  bool (*unregisterFd)(const Host* host, int fd);
};

#if UINTPTR_MAX == UINT64_MAX
static_assert(sizeof(Version) == 12);
static_assert(sizeof(Host) == 88 && offsetof(Host, getExtension) == 56);
static_assert(sizeof(EventHeader) == 16);
static_assert(sizeof(EventParamValue) == 56 && offsetof(EventParamValue, cookie) == 24 &&
              offsetof(EventParamValue, value) == 48);
static_assert(sizeof(EventParamMod) == 56 && offsetof(EventParamMod, noteId) == 32 &&
              offsetof(EventParamMod, key) == 40 && offsetof(EventParamMod, amount) == 48);
static_assert(sizeof(AudioBuffer) == 32 && offsetof(AudioBuffer, constantMask) == 24);
static_assert(sizeof(Process) == 64 && offsetof(Process, audioInputs) == 24 &&
              offsetof(Process, inEvents) == 48);
static_assert(sizeof(PluginDescriptor) == 88 && offsetof(PluginDescriptor, features) == 80);
static_assert(sizeof(Plugin) == 96 && offsetof(Plugin, process) == 72);
static_assert(sizeof(PluginFactory) == 24);
static_assert(sizeof(PluginEntry) == 40 && offsetof(PluginEntry, init) == 16);
static_assert(sizeof(ParamInfo) == 1320 && offsetof(ParamInfo, minValue) == 1296);
static_assert(sizeof(PluginParams) == 48);
static_assert(sizeof(AudioPortInfo) == 288 && offsetof(AudioPortInfo, portType) == 272);
static_assert(sizeof(InputStream) == 16 && sizeof(OutputStream) == 16);
static_assert(sizeof(EventParamGesture) == 20 && offsetof(EventParamGesture, paramId) == 16);
static_assert(sizeof(Window) == 16 && offsetof(Window, x11) == 8);
static_assert(sizeof(GuiResizeHints) == 12 && offsetof(GuiResizeHints, aspectRatioWidth) == 4);
static_assert(sizeof(PluginGui) == 120 && offsetof(PluginGui, setParent) == 80);
static_assert(sizeof(HostGui) == 40);
static_assert(sizeof(PluginTimerSupport) == 8 && sizeof(HostTimerSupport) == 16);
static_assert(sizeof(PluginPosixFdSupport) == 8 && sizeof(HostPosixFdSupport) == 24);
#endif

}  // namespace qr47::clap
