// The editor as an LV2 UI: an X11 window inside the one the host hands over (ui:parent), in a
// binary of its own so that the plug-in's binary never loads X11 or Cairo. It talks to the
// plug-in only through the six control ports and the bypass switch (port "enabled"): their values
// arrive as port events in the units the ports show, and the editor's changes leave through the
// host's write function, each gesture wrapped in ui:touch where the host offers it. All its work
// happens in the host's idle calls.
#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/parameters/parameters.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "plugin_editor.h"
#include "port_filter.h"

namespace qr47 {
namespace {

constexpr char kPluginUri[] = "urn:qr47:filter";
constexpr char kUiUri[] = "urn:qr47:filter#editor";
constexpr std::uint32_t kFloatProtocol = 0;  // a port event or write of one float
// The plug-in's lv2:enabled port (qr47.ttl), after the six controls and the four audio ports.
constexpr std::uint32_t kEnabledPort = 10;
constexpr float kEnabledOn = 1.0f;
constexpr float kEnabledOff = 0.0f;
constexpr float kBypassed = 1.0f;
constexpr float kNotBypassed = 0.0f;
constexpr float kBypassedFrom = 0.5f;  // the editor's bypass value, read as a switch

// What the host offers beyond the plug-in's ports, found among the features and options.
struct HostFeatures {
  std::uintptr_t parent = 0;
  bool hasParent = false;
  const LV2UI_Resize* resize = nullptr;
  const LV2UI_Touch* touch = nullptr;
  double scale = kEditorMinScale;
  float sampleRate = kStartingSampleRate;
};

// An option's number, whichever of the atom number types the host chose.
bool numberOf(const LV2_Options_Option& option, const LV2_URID_Map& map, double* number) {
  if (!option.value) return false;
  if (option.type == map.map(map.handle, LV2_ATOM__Float) && option.size == sizeof(float)) {
    *number = *static_cast<const float*>(option.value);
  } else if (option.type == map.map(map.handle, LV2_ATOM__Double) &&
             option.size == sizeof(double)) {
    *number = *static_cast<const double*>(option.value);
  } else if (option.type == map.map(map.handle, LV2_ATOM__Int) &&
             option.size == sizeof(std::int32_t)) {
    *number = *static_cast<const std::int32_t*>(option.value);
  } else {
    return false;
  }
  return true;
}

void readOptions(const LV2_Options_Option* options, const LV2_URID_Map& map, HostFeatures* host) {
  const LV2_URID scaleKey = map.map(map.handle, LV2_UI__scaleFactor);
  const LV2_URID rateKey = map.map(map.handle, LV2_PARAMETERS__sampleRate);
  for (const LV2_Options_Option* option = options; option->key != 0; ++option) {
    double number = 0.0;
    if (!numberOf(*option, map, &number) || !(number > 0.0)) continue;
    if (option->key == scaleKey) host->scale = number;
    if (option->key == rateKey) host->sampleRate = static_cast<float>(number);
  }
}

HostFeatures featuresOf(const LV2_Feature* const* features) {
  HostFeatures host;
  const LV2_URID_Map* map = nullptr;
  const LV2_Options_Option* options = nullptr;
  for (const LV2_Feature* const* feature = features; feature && *feature; ++feature) {
    const char* uri = (*feature)->URI;
    void* data = (*feature)->data;
    if (std::strcmp(uri, LV2_UI__parent) == 0) {
      host.parent = reinterpret_cast<std::uintptr_t>(data);
      host.hasParent = true;
    } else if (std::strcmp(uri, LV2_UI__resize) == 0) {
      host.resize = static_cast<const LV2UI_Resize*>(data);
    } else if (std::strcmp(uri, LV2_UI__touch) == 0) {
      host.touch = static_cast<const LV2UI_Touch*>(data);
    } else if (std::strcmp(uri, LV2_URID__map) == 0) {
      map = static_cast<const LV2_URID_Map*>(data);
    } else if (std::strcmp(uri, LV2_OPTIONS__options) == 0) {
      options = static_cast<const LV2_Options_Option*>(data);
    }
  }
  // The options' keys are URIDs: without the map they cannot be read.
  if (map && options) readOptions(options, *map, &host);
  return host;
}

// The ports as the editor sees them: host values read from the port events, and the editor's
// changes written to the ports in their units. The editor's bypass (1 bypassed) is the enabled
// port turned round (0 bypassed).
class PortAccess : public ParameterAccess {
 public:
  PortAccess(LV2UI_Write_Function write, LV2UI_Controller controller, const HostFeatures& host)
      : write(write), controller(controller), touch(host.touch), rate(host.sampleRate) {
    for (std::int32_t index = 0; index < kParameterCount; ++index) {
      values[index] = kFactoryValues[index];
    }
    values[kBypassIndex] = bypassFor(kEnabledOn);
  }

  void portEvent(std::uint32_t port, float portValue) {
    if (port < kParameterCount) {
      values[port] = hostValueFor(static_cast<std::int32_t>(port), portValue);
    } else if (port == kEnabledPort) {
      values[kBypassIndex] = bypassFor(portValue);
    }  // the audio ports have no events
  }

  float value(std::int32_t index) const override { return known(index) ? values[index] : 0.0f; }
  void beginChange(std::int32_t index) override { grab(index, true); }
  void setValue(std::int32_t index, float value) override {
    if (!known(index)) return;
    const float portValue = index == kBypassIndex
                                ? (value >= kBypassedFrom ? kEnabledOff : kEnabledOn)
                                : portValueFor(index, value);
    // Hosts need not echo what a UI writes to an input port: show what the port now holds.
    values[index] = index == kBypassIndex ? bypassFor(portValue) : hostValueFor(index, portValue);
    write(controller, portOf(index), sizeof portValue, kFloatProtocol, &portValue);
  }
  void endChange(std::int32_t index) override { grab(index, false); }
  float sampleRate() const override { return rate; }

 private:
  static bool known(std::int32_t index) { return isParameterIndex(index) || index == kBypassIndex; }
  static std::uint32_t portOf(std::int32_t index) {
    return index == kBypassIndex ? kEnabledPort : static_cast<std::uint32_t>(index);
  }
  // As the plug-in plays it, a toggle: 0 and below is bypassed, anything else is not.
  static float bypassFor(float enabled) {
    return enabled <= kEnabledOff ? kBypassed : kNotBypassed;
  }
  void grab(std::int32_t index, bool grabbed) {
    if (touch && known(index)) touch->touch(touch->handle, portOf(index), grabbed);
  }

  LV2UI_Write_Function write;
  LV2UI_Controller controller;
  const LV2UI_Touch* touch;
  float rate;
  float values[kEditorValueCount];
};

// One open editor: the ports' values and the window showing them.
struct EditorUi {
  EditorUi(LV2UI_Write_Function write, LV2UI_Controller controller, const HostFeatures& host)
      : access(write, controller, host) {}
  PortAccess access;
  std::unique_ptr<PluginEditor> editor;  // after `access`, which it holds, so destroyed first
};

LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char* pluginUri, const char*,
                         LV2UI_Write_Function write, LV2UI_Controller controller,
                         LV2UI_Widget* widget, const LV2_Feature* const* features) {
  if (!pluginUri || std::strcmp(pluginUri, kPluginUri) != 0 || !write) return nullptr;
  const HostFeatures host = featuresOf(features);
  if (!host.hasParent) return nullptr;
  auto ui = std::unique_ptr<EditorUi>(new (std::nothrow) EditorUi(write, controller, host));
  if (!ui) return nullptr;
  ui->editor = PluginEditor::create(ui->access);  // null without a display
  if (!ui->editor) return nullptr;
  ui->editor->setScale(host.scale);
  if (!ui->editor->attach(host.parent)) return nullptr;
  if (host.resize) {
    host.resize->ui_resize(host.resize->handle, static_cast<int>(ui->editor->width()),
                           static_cast<int>(ui->editor->height()));
  }
  // The editor's own window, which hosts resize with theirs.
  if (widget) *widget = reinterpret_cast<LV2UI_Widget>(ui->editor->windowId());
  return ui.release();
}

void cleanup(LV2UI_Handle handle) {
  delete static_cast<EditorUi*>(handle);
}

void portEvent(LV2UI_Handle handle, std::uint32_t port, std::uint32_t size, std::uint32_t format,
               const void* buffer) {
  if (format != kFloatProtocol || size != sizeof(float) || !buffer) return;
  static_cast<EditorUi*>(handle)->access.portEvent(port, *static_cast<const float*>(buffer));
}

// The host's idle call: what changed is shown, what the pointer did is sent. Non-zero asks the
// host to close the UI, once the editor has no window.
int idle(LV2UI_Handle handle) {
  PluginEditor& editor = *static_cast<EditorUi*>(handle)->editor;
  editor.idle();
  return editor.attached() ? 0 : 1;
}

const LV2UI_Idle_Interface kIdleInterface = {idle};

const void* extensionData(const char* uri) {
  if (uri && std::strcmp(uri, LV2_UI__idleInterface) == 0) return &kIdleInterface;
  return nullptr;
}

const LV2UI_Descriptor kDescriptor = {kUiUri, instantiate, cleanup, portEvent, extensionData};

}  // namespace
}  // namespace qr47

LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(std::uint32_t index) {
  return index == 0 ? &qr47::kDescriptor : nullptr;
}
