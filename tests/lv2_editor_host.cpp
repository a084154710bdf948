// An LV2 host with a window of its own that opens the built qr47_ui.so in it, as hosts do: the
// window as ui:parent, a URID map, the scale and rate as options, ui:resize and ui:touch, and the
// UI's idle interface called as the host's loop step. It drives the real pointer over the editor
// and checks that each of the six control ports can be changed there, each change written in the
// port's unit and wrapped in touch; that a value the host sends is repainted; that scale 2 doubles
// the size the UI asks for; and that opening and closing it leaves no descriptor open. URIs are
// written as the interface publishes them, not taken from its header.
//
// Without DISPLAY only the refusal is checked.
#include <dirent.h>
#include <dlfcn.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "editor_driver.h"
#include "editor_layout.h"

namespace {

using editor_test::check;
using editor_test::failures;
using editor_test::openDescriptors;

constexpr unsigned kTimeLimitSeconds = 120;  // the whole run, X events included
constexpr char kPluginUri[] = "urn:qr47:filter";
constexpr char kUiUri[] = "urn:qr47:filter#editor";
constexpr char kParentUri[] = "http://lv2plug.in/ns/extensions/ui#parent";
constexpr char kResizeUri[] = "http://lv2plug.in/ns/extensions/ui#resize";
constexpr char kTouchUri[] = "http://lv2plug.in/ns/extensions/ui#touch";
constexpr char kIdleUri[] = "http://lv2plug.in/ns/extensions/ui#idleInterface";
constexpr char kScaleUri[] = "http://lv2plug.in/ns/extensions/ui#scaleFactor";
constexpr char kMapUri[] = "http://lv2plug.in/ns/ext/urid#map";
constexpr char kOptionsUri[] = "http://lv2plug.in/ns/ext/options#options";
constexpr char kRateUri[] = "http://lv2plug.in/ns/ext/parameters#sampleRate";
constexpr char kFloatUri[] = "http://lv2plug.in/ns/ext/atom#Float";
constexpr char kIntUri[] = "http://lv2plug.in/ns/ext/atom#Int";
constexpr char kDoubleUri[] = "http://lv2plug.in/ns/ext/atom#Double";
constexpr std::uint32_t kFloatProtocol = 0;
constexpr int kWidth = 640, kHeight = 400;  // the editor's size at scale 1
constexpr float kRate = 48000.0f;
constexpr int kOpenings = 100;
constexpr int kFramesToRepaint = 2;

// What the UI sent the host, in order: touches ('t' grabbed, 'r' released) and writes ('w').
struct Sent {
  char kind;
  std::uint32_t port, size, protocol;
  float value;
};

class UiHost {
 public:
  explicit UiHost(const LV2UI_Descriptor* descriptor) : descriptor(descriptor) {
    map = {this, [](void* self, const char* uri) { return static_cast<UiHost*>(self)->urid(uri); }};
    resize = {this, [](void* self, int width, int height) {
                static_cast<UiHost*>(self)->sizes.push_back({width, height});
                return 0;
              }};
    touch = {this, [](void* self, std::uint32_t port, bool grabbed) {
               static_cast<UiHost*>(self)->sent.push_back({grabbed ? 't' : 'r', port, 0, 0, 0.0f});
             }};
  }

  // Opens the UI in `parent`, offering the features named; null when the UI refuses.
  bool open(unsigned long parent, float scale, bool withParent = true,
            const char* pluginUri = kPluginUri, bool scaleAsInt = false) {
    // The scale in either number type hosts give it: a Double, or a whole one as an Int.
    scaleInt = static_cast<std::int32_t>(scale);
    scaleDouble = scale;
    const bool whole = scaleAsInt;
    const auto scaleSize = static_cast<std::uint32_t>(whole ? sizeof scaleInt : sizeof scaleDouble);
    const LV2_Options_Option options[] = {
        {LV2_OPTIONS_INSTANCE, 0, urid(kScaleUri), scaleSize, urid(whole ? kIntUri : kDoubleUri),
         whole ? static_cast<const void*>(&scaleInt) : &scaleDouble},
        {LV2_OPTIONS_INSTANCE, 0, urid(kRateUri), sizeof(float), urid(kFloatUri), &kRate},
        {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
    const LV2_Feature parentFeature{kParentUri, reinterpret_cast<void*>(parent)};
    const LV2_Feature mapFeature{kMapUri, &map};
    const LV2_Feature optionsFeature{kOptionsUri, const_cast<LV2_Options_Option*>(options)};
    const LV2_Feature resizeFeature{kResizeUri, &resize}, touchFeature{kTouchUri, &touch};
    std::vector<const LV2_Feature*> features = {&resizeFeature, &touchFeature};
    if (offerMap) features.push_back(&mapFeature);
    if (offerOptions) features.push_back(&optionsFeature);
    if (withParent) features.push_back(&parentFeature);
    features.push_back(nullptr);
    LV2UI_Widget widget = nullptr;
    ui = descriptor->instantiate(descriptor, pluginUri, "/nonexistent/qr47.lv2/", &write, this,
                                 &widget, features.data());
    const auto* idleInterface =
        static_cast<const LV2UI_Idle_Interface*>(descriptor->extension_data(kIdleUri));
    idle = idleInterface ? idleInterface->idle : nullptr;
    return ui != nullptr;
  }
  void close() {
    if (ui) descriptor->cleanup(ui);
    ui = nullptr;
  }
  ~UiHost() { close(); }
  UiHost(const UiHost&) = delete;
  UiHost& operator=(const UiHost&) = delete;

  // The host's loop step.
  void pump() {
    if (ui && idle) check(idle(ui) == 0, "idle asks to stay open");
  }
  void portEvent(std::uint32_t port, float value) {
    descriptor->port_event(ui, port, sizeof value, kFloatProtocol, &value);
  }

  struct Size {
    int width, height;
  };
  std::vector<Size> sizes;
  std::vector<Sent> sent;
  bool offerMap = true, offerOptions = true;
  int (*idle)(LV2UI_Handle) = nullptr;

 private:
  LV2_URID urid(const char* uri) {
    for (std::size_t i = 0; i < uris.size(); ++i) {
      if (uris[i] == uri) return static_cast<std::uint32_t>(i + 1);
    }
    uris.emplace_back(uri);
    return static_cast<std::uint32_t>(uris.size());
  }
  static void write(LV2UI_Controller self, std::uint32_t port, std::uint32_t size,
                    std::uint32_t protocol, const void* buffer) {
    float value = 0.0f;
    if (size == sizeof value) std::memcpy(&value, buffer, sizeof value);
    static_cast<UiHost*>(self)->sent.push_back({'w', port, size, protocol, value});
  }

  const LV2UI_Descriptor* descriptor;
  LV2UI_Handle ui = nullptr;
  std::int32_t scaleInt = 1;
  double scaleDouble = 1.0;
  std::vector<std::string> uris;
  LV2_URID_Map map{};
  LV2UI_Resize resize{};
  LV2UI_Touch touch{};
};

// One gesture on `port`: a touch, at least one float written there, a release; the last value
// within `tolerance` of `expected`, in the port's unit.
void checkOneGesture(const std::vector<Sent>& sent, std::uint32_t port, float expected,
                     float tolerance, const std::string& what) {
  std::string kinds;
  bool portsRight = true, floatsRight = true;
  float last = NAN;
  for (const Sent& s : sent) {
    kinds += s.kind;
    portsRight = portsRight && s.port == port;
    if (s.kind != 'w') continue;
    floatsRight = floatsRight && s.size == sizeof(float) && s.protocol == kFloatProtocol;
    last = s.value;
  }
  const bool shape = kinds.size() >= 3 && kinds.front() == 't' && kinds.back() == 'r' &&
                     kinds.find_first_not_of('w', 1) == kinds.size() - 1;
  check(shape && portsRight && floatsRight,
        what + ": one gesture on port " + std::to_string(port) + " (sent: \"" + kinds + "\")");
  check(std::fabs(last - expected) <= tolerance,
        what + ": wrote " + std::to_string(last) + ", expected " + std::to_string(expected));
}

// Without a display, or without a window to live in, or for another plug-in, the UI refuses.
void checkRefusals(const LV2UI_Descriptor* descriptor) {
  UiHost host(descriptor);
  check(!host.open(1, 1.0f, false), "no parent: refused");
  check(!host.open(1, 1.0f, true, "urn:another:plugin"), "another plug-in: refused");
  const std::string display = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
  unsetenv("DISPLAY");
  check(!host.open(1, 1.0f), "no display: refused");
  if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
  check(host.sent.empty() && host.sizes.empty(), "a refused UI sends nothing");
}

void checkEditor(const LV2UI_Descriptor* descriptor) {
  UiHost host(descriptor);
  editor_test::EditorDriver driver(kWidth, kHeight, [&] { host.pump(); });
  check(driver.ok(), "the host's window");
  if (!driver.ok()) return;
  check(host.open(driver.window(), 1.0f) && host.idle, "opens with an idle interface");
  check(host.sizes.size() == 1 && host.sizes[0].width == kWidth && host.sizes[0].height == kHeight,
        "asks for 640 x 400 through ui:resize");
  driver.settle();
  check(editor_test::showsFactorySetting(driver, kWidth, kHeight, kRate),
        "shows the factory setting at the rate the host gave, as the editor paints it");

  const qr47::EditorLayout at = qr47::layoutFor(kWidth, kHeight);
  const auto knob = [&](int k) { return at.knobs[k]; };
  const auto dragBy = [&](int k, double dy) {
    driver.drag(knob(k).centreX(), knob(k).centreY(), knob(k).centreX(), knob(k).centreY() + dy);
  };
  // A knob's whole range is 200 px: from the factory values (Cutoff 20000 Hz, Q 70 %, no
  // Additional LP, 0 dB), so many pixels give these port values.
  struct Step {
    const char* what;
    std::uint32_t port;
    float expected, tolerance;
    std::function<void()> act;
  };
  const Step steps[] = {
      {"Filter Type clicked to band pass", 2, 2.0f, 0.0f,
       [&] { driver.click(at.types[2].centreX(), at.types[2].centreY()); }},
      {"Pole Number clicked to 4 poles", 3, 4.0f, 0.0f,
       [&] { driver.click(at.poles[1].centreX(), at.poles[1].centreY()); }},
      {"Cutoff dragged down 60 px to 0.7", 0, 6500.3f, 1.0f, [&] { dragBy(0, 60); }},
      {"Q Factor dragged up 40 px", 1, 90.0f, 0.01f, [&] { dragBy(1, -40); }},
      {"Additional LP dragged up 100 px", 4, 50.0f, 0.01f, [&] { dragBy(2, -100); }},
      {"18dB Boost dragged up 50 px to 3 times unity", 5, 9.5424f, 0.001f, [&] { dragBy(3, -50); }},
      {"Cutoff double-clicked back to factory", 0, 20000.0f, 0.0f,
       [&] { driver.doubleClick(knob(0).centreX(), knob(0).centreY()); }},
      // The bypass is the enabled port (10) turned round.
      {"Bypass clicked on: enabled 0", 10, 0.0f, 0.0f,
       [&] { driver.click(at.bypass.centreX(), at.bypass.centreY()); }},
      {"Bypass clicked off: enabled 1", 10, 1.0f, 0.0f,
       [&] { driver.click(at.bypass.centreX(), at.bypass.centreY()); }},
  };
  for (const Step& step : steps) {
    host.sent.clear();
    step.act();
    driver.settle();
    checkOneGesture(host.sent, step.port, step.expected, step.tolerance, step.what);
  }

  // The host's value is repainted within a frame or two, and its return too.
  const editor_test::Picture before = driver.picture();
  host.portEvent(0, 1000.0f);
  for (int frame = 0; frame < kFramesToRepaint; ++frame) driver.settle();
  check(driver.picture() != before, "cutoff 1000 Hz from the host is repainted");
  host.portEvent(0, 20000.0f);
  for (int frame = 0; frame < kFramesToRepaint; ++frame) driver.settle();
  check(driver.picture() == before, "cutoff 20000 Hz from the host is repainted as before");
  host.portEvent(10, 0.0f);
  for (int frame = 0; frame < kFramesToRepaint; ++frame) driver.settle();
  check(driver.picture() != before, "the host's bypass is repainted");
  host.portEvent(10, 1.0f);
  for (int frame = 0; frame < kFramesToRepaint; ++frame) driver.settle();
  check(driver.picture() == before, "and its end");
  host.close();

  // At scale 2 it is twice the size, and the pointer's pixels count half: 100 px up takes the
  // boost from 0 dB to 3 times unity, as 50 px do at scale 1.
  {
    editor_test::EditorDriver twice(2 * kWidth, 2 * kHeight, [&] { host.pump(); });
    host.sizes.clear();
    check(twice.ok() && host.open(twice.window(), 2.0f) && host.sizes.size() == 1 &&
              host.sizes[0].width == 2 * kWidth && host.sizes[0].height == 2 * kHeight,
          "at scale 2 it asks for twice the size");
    twice.settle();
    const qr47::Rect boost = knob(3);
    host.sent.clear();
    twice.drag(2 * boost.centreX(), 2 * boost.centreY(), 2 * boost.centreX(),
               2 * boost.centreY() - 100);
    twice.settle();
    checkOneGesture(host.sent, 5, 9.5424f, 0.001f, "at scale 2, 18dB Boost dragged up 100 px");
    host.close();
    host.sizes.clear();
    check(host.open(twice.window(), 2.0f, true, kPluginUri, true) && host.sizes.size() == 1 &&
              host.sizes[0].width == 2 * kWidth,
          "a scale of 2 given as an Int");
    host.close();
    // Without the options, or without the map to read their keys, the scale is 1.
    for (bool withMap : {false, true}) {
      host.offerMap = withMap;
      host.offerOptions = !withMap;
      host.sizes.clear();
      check(host.open(twice.window(), 2.0f) && host.sizes.size() == 1 &&
                host.sizes[0].width == kWidth,
            withMap ? "no options: scale 1" : "options but no map: scale 1");
      host.close();
    }
    host.offerMap = host.offerOptions = true;
  }

  // Opened and closed many times, the UI leaves no descriptor behind.
  const int descriptors = openDescriptors();
  for (int i = 0; i < kOpenings; ++i) {
    host.open(driver.window(), 1.0f);
    host.pump();
    host.close();
  }
  check(openDescriptors() == descriptors,
        "100 openings leave no descriptor open: " + std::to_string(descriptors) + " before, " +
            std::to_string(openDescriptors()) + " after");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s qr47_ui.so\n", argv[0]);
    return 2;
  }
  alarm(kTimeLimitSeconds);  // its default action ends the process
  void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  const auto entry =
      library ? reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(library, "lv2ui_descriptor"))
              : nullptr;
  const LV2UI_Descriptor* descriptor = nullptr;
  for (std::uint32_t i = 0; entry && entry(i); ++i) {
    if (std::strcmp(entry(i)->URI, kUiUri) == 0) descriptor = entry(i);
  }
  if (!descriptor) {
    std::fprintf(stderr, "no UI <%s> in %s: %s\n", kUiUri, argv[1], library ? "" : dlerror());
    return 1;
  }
  checkRefusals(descriptor);
  const char* display = std::getenv("DISPLAY");
  if (display && display[0]) checkEditor(descriptor);
  dlclose(library);
  std::printf("%s: %d failed\n", display && display[0] ? "editor" : "no display", failures);
  return failures == 0 ? 0 : 1;
}
