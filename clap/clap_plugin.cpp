#include "clap_plugin.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "clap_filter.h"
#if defined(QR47_EDITOR)
#include "clap_editor.h"
#endif
#include "clap_parameters.h"

namespace qr47 {
namespace {

constexpr std::uint32_t kPortId = 0;
constexpr std::uint32_t kStereoChannels = 2;
constexpr char kInputName[] = "Input";
constexpr char kOutputName[] = "Output";

struct Instance {
  Instance(const clap::PluginDescriptor* descriptor, const clap::Host* host);
  clap::Plugin plugin;
  ClapFilter filter;
#if defined(QR47_EDITOR)
  ClapEditor editor;  // destroyed before the filter it sends to
#endif
};

ClapFilter& filterOf(const clap::Plugin* plugin) {
  return static_cast<Instance*>(plugin->pluginData)->filter;
}

// The plug-in's own calls.

bool init(const clap::Plugin* plugin) {
  filterOf(plugin).init();
  return true;
}

void destroy(const clap::Plugin* plugin) {
  delete static_cast<Instance*>(plugin->pluginData);
}

bool activate(const clap::Plugin* plugin, double sampleRate, std::uint32_t, std::uint32_t) {
  if (!(sampleRate > 0.0)) return false;
  filterOf(plugin).activate(sampleRate);
  return true;
}

void deactivate(const clap::Plugin* plugin) {
  filterOf(plugin).deactivate();
}

bool startProcessing(const clap::Plugin*) {
  return true;
}

void stopProcessing(const clap::Plugin*) {}

void reset(const clap::Plugin* plugin) {
  filterOf(plugin).reset();
}

clap::ProcessStatus process(const clap::Plugin* plugin, const clap::Process* process) {
  return filterOf(plugin).process(*process);
}

void onMainThread(const clap::Plugin*) {}

// Parameters.

std::uint32_t parameterCount(const clap::Plugin*) {
  return kClapParameterCount;
}

bool parameterInfo(const clap::Plugin*, std::uint32_t index, clap::ParamInfo* info) {
  return clapParameterInfo(index, info);
}

bool parameterValue(const clap::Plugin* plugin, std::uint32_t id, double* value) {
  return filterOf(plugin).value(id, value);
}

bool valueToText(const clap::Plugin*, std::uint32_t id, double value, char* text,
                 std::uint32_t capacity) {
  return clapValueText(id, value, text, capacity);
}

bool textToValue(const clap::Plugin*, std::uint32_t id, const char* text, double* value) {
  return clapValueOfText(id, text, value);
}

void flush(const clap::Plugin* plugin, const clap::InputEvents* in, const clap::OutputEvents* out) {
  filterOf(plugin).applyEvents(in, out);
}

constexpr clap::PluginParams kParams = {parameterCount, parameterInfo, parameterValue,
                                        valueToText,    textToValue,   flush};

// One stereo port each way, each the other's partner for processing in place.

std::uint32_t portCount(const clap::Plugin*, bool) {
  return 1;
}

bool portInfo(const clap::Plugin*, std::uint32_t index, bool isInput, clap::AudioPortInfo* info) {
  if (index != 0) return false;
  *info = clap::AudioPortInfo{};
  info->id = kPortId;
  std::snprintf(info->name, sizeof info->name, "%s", isInput ? kInputName : kOutputName);
  info->flags = clap::kAudioPortIsMain;
  info->channelCount = kStereoChannels;
  info->portType = clap::kPortStereo;
  info->inPlacePair = kPortId;
  return true;
}

constexpr clap::PluginAudioPorts kAudioPorts = {portCount, portInfo};

bool saveState(const clap::Plugin* plugin, const clap::OutputStream* stream) {
  return filterOf(plugin).save(stream);
}

bool loadState(const clap::Plugin* plugin, const clap::InputStream* stream) {
  return filterOf(plugin).load(stream);
}

constexpr clap::PluginState kState = {saveState, loadState};

std::uint32_t latency(const clap::Plugin*) {
  return 0;
}

constexpr clap::PluginLatency kLatency = {latency};

std::uint32_t tail(const clap::Plugin* plugin) {
  return filterOf(plugin).tail();
}

constexpr clap::PluginTail kTail = {tail};

#if defined(QR47_EDITOR)
// The editor, and the host's run loop that drives it.

ClapEditor& editorOf(const clap::Plugin* plugin) {
  return static_cast<Instance*>(plugin->pluginData)->editor;
}

bool isApiSupported(const clap::Plugin*, const char* api, bool isFloating) {
  return ClapEditor::supports(api, isFloating);
}

bool preferredApi(const clap::Plugin*, const char** api, bool* isFloating) {
  *api = clap::kWindowApiX11;
  *isFloating = false;
  return true;
}

bool createEditor(const clap::Plugin* plugin, const char* api, bool isFloating) {
  return editorOf(plugin).create(api, isFloating);
}

void destroyEditor(const clap::Plugin* plugin) {
  editorOf(plugin).destroy();
}

bool setScale(const clap::Plugin* plugin, double scale) {
  return editorOf(plugin).setScale(scale);
}

bool editorSize(const clap::Plugin* plugin, std::uint32_t* width, std::uint32_t* height) {
  return editorOf(plugin).size(width, height);
}

bool canResize(const clap::Plugin*) {
  return true;
}

bool resizeHints(const clap::Plugin* plugin, clap::GuiResizeHints* hints) {
  return editorOf(plugin).resizeHints(hints);
}

bool adjustSize(const clap::Plugin* plugin, std::uint32_t* width, std::uint32_t* height) {
  return editorOf(plugin).adjustSize(width, height);
}

bool setSize(const clap::Plugin* plugin, std::uint32_t width, std::uint32_t height) {
  return editorOf(plugin).setSize(width, height);
}

bool setParent(const clap::Plugin* plugin, const clap::Window* window) {
  return editorOf(plugin).setParent(window);
}

// Embedded only: there is no window of our own to keep above another.
bool setTransient(const clap::Plugin*, const clap::Window*) {
  return false;
}

void suggestTitle(const clap::Plugin*, const char*) {}

bool show(const clap::Plugin* plugin) {
  return editorOf(plugin).setVisible(true);
}

bool hide(const clap::Plugin* plugin) {
  return editorOf(plugin).setVisible(false);
}

constexpr clap::PluginGui kGui = {isApiSupported, preferredApi, createEditor, destroyEditor,
                                  setScale,       editorSize,   canResize,    resizeHints,
                                  adjustSize,     setSize,      setParent,    setTransient,
                                  suggestTitle,   show,         hide};

void onTimer(const clap::Plugin* plugin, std::uint32_t timerId) {
  editorOf(plugin).onTimer(timerId);
}

constexpr clap::PluginTimerSupport kTimerSupport = {onTimer};

void onFd(const clap::Plugin* plugin, int fd, clap::PosixFdFlags) {
  editorOf(plugin).onFd(fd);
}

constexpr clap::PluginPosixFdSupport kPosixFdSupport = {onFd};
#endif

const void* extension(const clap::Plugin*, const char* id) {
  if (!id) return nullptr;
  if (std::strcmp(id, clap::kParamsId) == 0) return &kParams;
  if (std::strcmp(id, clap::kAudioPortsId) == 0) return &kAudioPorts;
  if (std::strcmp(id, clap::kStateId) == 0) return &kState;
  if (std::strcmp(id, clap::kLatencyId) == 0) return &kLatency;
  if (std::strcmp(id, clap::kTailId) == 0) return &kTail;
#if defined(QR47_EDITOR)
  if (std::strcmp(id, clap::kGuiId) == 0) return &kGui;
  if (std::strcmp(id, clap::kTimerSupportId) == 0) return &kTimerSupport;
  if (std::strcmp(id, clap::kPosixFdSupportId) == 0) return &kPosixFdSupport;
#endif
  return nullptr;
}

Instance::Instance(const clap::PluginDescriptor* descriptor, const clap::Host* host)
    : plugin{descriptor,      this,           init,  destroy, activate,  deactivate,
             startProcessing, stopProcessing, reset, process, extension, onMainThread},
      filter(host)
#if defined(QR47_EDITOR)
      ,
      editor(host, filter)
#endif
{
}

}  // namespace

const clap::Plugin* createClapPlugin(const clap::PluginDescriptor* descriptor,
                                     const clap::Host* host) {
  auto* instance = new (std::nothrow) Instance(descriptor, host);
  return instance ? &instance->plugin : nullptr;
}

}  // namespace qr47
