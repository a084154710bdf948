// A CLAP host that opens the built qr47.clap's editor in a window of its own, lending it its main
// loop (timers, watched descriptors) and flushing when asked. It moves the real pointer over the
// editor and checks that each parameter can be changed there, each change reaching the host as
// one gesture from flush or process; that the host's own changes are repainted; that hosts
// lacking a timer or a watched descriptor, and machines without a display, are refused; and that
// opening and closing leaves no descriptor open. Ids, types and sizes are the published ones.
// Without DISPLAY only the refusal and the processing are checked.
#include <dirent.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "clap_host.h"
#include "editor_driver.h"
#include "editor_layout.h"

namespace {

using editor_test::check;
using editor_test::failures;
using editor_test::openDescriptors;

using namespace clap_test;
using Clock = std::chrono::steady_clock;

constexpr unsigned kTimeLimitSeconds = 120;  // the whole run, X events included
constexpr double kRate = 48000.0;
constexpr std::uint32_t kTaller = 100;  // rows of the host's window below the editor's own
constexpr std::uint32_t kFrames = 64;
constexpr float kToneStep = 0.1f;  // radians a sample
constexpr int kOpenings = 100;
constexpr std::uint16_t kValueType = 5, kBeginType = 7, kEndType = 8;
constexpr std::uint32_t kValueSize = 56, kGestureSize = 20, kIdOffset = 16, kValueOffset = 48;
constexpr std::uint32_t kNoteIdOffset = 32, kWildcardBytes = 10;
constexpr std::uint32_t kFdRead = 1;
constexpr std::uint32_t kLongestFrameMs = 34;  // 30 frames a second
constexpr double kHiDpiScale = 2.0;
constexpr double kKnobTravel = 200.0;  // logical pixels for a knob's whole range
constexpr double kTolerance = 0.01;

// A host and one plug-in in it: the extensions the editor asks for, the main loop, and the
// events the plug-in sent (b, v, e for gesture begin, value, gesture end).
struct EditorHost {
  EditorHost(const PluginEntry* entry, bool offerTimers, bool offerFds)
      : offerTimers(offerTimers), offerFds(offerFds) {
    host.clapVersion = {1, 2, 0};
    host.hostData = this;
    host.name = host.vendor = host.url = host.version = "";
    host.getExtension = [](const Host* h, const char* id) -> const void* {
      EditorHost* self = of(h);
      if (std::strcmp(id, "clap.params") == 0) return &self->params;
      if (std::strcmp(id, "clap.gui") == 0) return &self->gui;
      if (std::strcmp(id, "clap.timer-support") == 0 && self->offerTimers) return &self->timer;
      if (std::strcmp(id, "clap.posix-fd-support") == 0 && self->offerFds) return &self->fd;
      return nullptr;
    };
    host.requestRestart = host.requestProcess = host.requestCallback = [](const Host*) {};
    params = {[](const Host*, std::uint32_t) {}, [](const Host*, std::uint32_t, std::uint32_t) {},
              [](const Host* h) { of(h)->flushRequested = true; }};
    gui = {[](const Host*) {}, [](const Host*, std::uint32_t, std::uint32_t) { return false; },
           [](const Host*) { return false; }, [](const Host*) { return false; },
           [](const Host*, bool) {}};
    timer.registerTimer = [](const Host* h, std::uint32_t period, std::uint32_t* id) {
      of(h)->periodMs = period;
      of(h)->timers[*id = of(h)->nextTimer++] = Clock::now();
      return true;
    };
    timer.unregisterTimer = [](const Host* h, std::uint32_t id) {
      return of(h)->timers.erase(id) == 1;
    };
    // Watched for reading only: all the editor needs.
    fd.registerFd = [](const Host* h, int fd, std::uint32_t flags) {
      return flags == kFdRead && of(h)->fds.insert(fd).second;
    };
    fd.modifyFd = [](const Host*, int, std::uint32_t) { return false; };
    fd.unregisterFd = [](const Host* h, int fd) { return of(h)->fds.erase(fd) == 1; };
    out = {
        this, [](const OutputEvents* list, const EventHeader* e) {
          const auto* bytes = reinterpret_cast<const char*>(e);
          std::uint32_t id;
          std::memcpy(&id, bytes + kIdOffset, sizeof id);
          auto* self = static_cast<EditorHost*>(list->context);
          const bool value = e->type == kValueType;
          self->sent += value ? 'v' : e->type == kBeginType ? 'b' : e->type == kEndType ? 'e' : '?';
          // At the block's first sample, where the editor's changes land; core events with no
          // flags, values for every note, port, channel and key (-1 each: ten bytes of 0xff).
          static const char kAllNotes[kWildcardBytes] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
          self->sentRight &=
              id == self->expectedId && e->time == 0 && e->spaceId == 0 && e->flags == 0 &&
              e->size == (value ? kValueSize : kGestureSize) &&
              (!value || std::memcmp(bytes + kNoteIdOffset, kAllNotes, kWildcardBytes) == 0);
          if (value) std::memcpy(&self->lastValue, bytes + kValueOffset, sizeof self->lastValue);
          return true;
        }};
    plugin = std::make_unique<Instance>(entry, &host);
    ui = static_cast<const PluginGui*>(plugin->plugin->getExtension(plugin->plugin, "clap.gui"));
    onTimer = static_cast<const PluginTimerSupport*>(
        plugin->plugin->getExtension(plugin->plugin, "clap.timer-support"));
    onFd = static_cast<const PluginPosixFdSupport*>(
        plugin->plugin->getExtension(plugin->plugin, "clap.posix-fd-support"));
  }
  ~EditorHost() {
    if (active) activate(false);
  }
  EditorHost(const EditorHost&) = delete;
  EditorHost& operator=(const EditorHost&) = delete;
  static EditorHost* of(const Host* h) { return static_cast<EditorHost*>(h->hostData); }

  bool create() { return ui && ui->create(plugin->plugin, "x11", false); }
  void activate(bool on) {
    if (on) plugin->plugin->activate(plugin->plugin, kRate, 1, kFrames);
    if (!on) plugin->plugin->deactivate(plugin->plugin);
    active = on;
  }
  // One block of silence with the host's events; the plug-in's go to `sent`.
  void process(const EventList& events) {
    float left[kFrames] = {}, right[kFrames] = {};
    float* channels[] = {left, right};
    const AudioBuffer inputs[] = {{channels, nullptr, 2, 0, 0}};
    AudioBuffer outputs[] = {{channels, nullptr, 2, 0, 0}};
    const Process p{-1, kFrames, nullptr, inputs, outputs, 1, 1, events.input(), &out};
    plugin->plugin->process(plugin->plugin, &p);
  }
  // The main loop's step: readable descriptors, due timers, then a block while active (the audio
  // thread's turn) or a flush when one was asked for.
  void pump() {
    for (const int watched : std::set<int>(fds)) {
      pollfd polled{watched, POLLIN, 0};
      if (poll(&polled, 1, 0) > 0) onFd->onFd(plugin->plugin, watched, kFdRead);
    }
    for (const auto& [id, due] : std::map<std::uint32_t, Clock::time_point>(timers)) {
      if (Clock::now() < due) continue;
      onTimer->onTimer(plugin->plugin, id);
      if (timers.count(id)) timers[id] = Clock::now() + std::chrono::milliseconds(periodMs);
    }
    const EventList none;
    if (active) process(none);
    if (!active && flushRequested) plugin->params->flush(plugin->plugin, none.input(), &out);
    flushRequested = false;
  }

  bool offerTimers, offerFds;
  Host host{};
  HostParams params{};
  HostGui gui{};
  HostTimerSupport timer{};
  HostPosixFdSupport fd{};
  OutputEvents out{};
  std::unique_ptr<Instance> plugin;
  const PluginGui* ui = nullptr;
  const PluginTimerSupport* onTimer = nullptr;
  const PluginPosixFdSupport* onFd = nullptr;

  std::map<std::uint32_t, Clock::time_point> timers;  // by id, when next due
  std::uint32_t nextTimer = 1, periodMs = 0;
  std::set<int> fds;
  bool active = false, flushRequested = false;
  std::string sent;
  std::uint32_t expectedId = 0;
  bool sentRight = true;
  double lastValue = -1.0;
};

// The editor is refused without a display, and the plug-in processes as one never asked.
void checkWithoutDisplay(const PluginEntry* entry) {
  const char* display = std::getenv("DISPLAY");
  const std::string saved = display ? display : "";
  unsetenv("DISPLAY");
  EditorHost asked(entry, true, true), never(entry, true, true);
  check(asked.ui && !asked.create() && asked.fds.empty() && asked.timers.empty(),
        "no display: create answers false");
  if (!saved.empty()) setenv("DISPLAY", saved.c_str(), 1);
  float input[kFrames], a[2][kFrames], b[2][kFrames];
  for (std::uint32_t i = 0; i < kFrames; ++i) input[i] = std::sin(kToneStep * i);
  float* in[] = {input, input};
  float* outA[] = {a[0], a[1]};
  float* outB[] = {b[0], b[1]};
  asked.activate(true);
  never.activate(true);
  const EventList none;
  check(asked.plugin->process(in, outA, kFrames, none) == kProcessContinue &&
            never.plugin->process(in, outB, kFrames, none) == kProcessContinue &&
            std::memcmp(a, b, sizeof a) == 0 && a[0][kFrames - 1] != 0.0f,
        "no display: processing as before");
}

void checkEditor(const PluginEntry* entry) {
  check(!EditorHost(entry, false, true).create(), "a host without timer-support is refused");
  check(!EditorHost(entry, true, false).create(), "a host without posix-fd-support is refused");
  EditorHost host(entry, true, true);
  const Plugin* plugin = host.plugin->plugin;
  const PluginGui* gui = host.ui;
  check(gui->isApiSupported(plugin, "x11", false) && !gui->isApiSupported(plugin, "x11", true) &&
            !gui->isApiSupported(plugin, "wayland", false) && !gui->create(plugin, "x11", true),
        "embedded X11 only");
  check(host.create(), "create");
  std::uint32_t width = 0, height = 0, width2 = 0, height2 = 0;
  const bool scaled = gui->setScale(plugin, kHiDpiScale) && gui->getSize(plugin, &width2, &height2);
  // The physical pixels the layout's logical ones are.
  check(scaled && gui->setScale(plugin, 1.0) && gui->getSize(plugin, &width, &height) &&
            width > 0 && width2 == kHiDpiScale * width && height2 == kHiDpiScale * height,
        "at scale 2 twice the size");
  GuiResizeHints hints{};
  std::uint32_t tinyW = 1, tinyH = 1, hugeW = 100000, hugeH = 100000;
  check(gui->canResize(plugin) && gui->getResizeHints(plugin, &hints) &&
            hints.canResizeHorizontally && hints.canResizeVertically &&
            !hints.preserveAspectRatio && gui->adjustSize(plugin, &tinyW, &tinyH) &&
            gui->adjustSize(plugin, &hugeW, &hugeH) && tinyW == 480 && tinyH == 300 &&
            hugeW == 1600 && hugeH == 1000,
        "resizable in any shape, from 480 x 300 to 1600 x 1000");

  // Taller than the editor, so that the editor can grow into it (two side by side, as the
  // reference below lies, take the screen's whole width).
  const std::uint32_t tall = height + kTaller;
  editor_test::EditorDriver driver(static_cast<int>(width), static_cast<int>(tall),
                                   [&] { host.pump(); });
  qr47::clap::Window parent{"x11", {}};
  parent.x11 = driver.window();
  check(driver.ok() && gui->setParent(plugin, &parent) && gui->show(plugin) &&
            host.fds.size() == 1 && host.timers.size() == 1 && host.periodMs <= kLongestFrameMs,
        "set_parent watches a descriptor for reading and starts a timer of a frame");
  if (!driver.ok()) return;
  const qr47::clap::Window elsewhere{"win32", {}};
  check(!gui->setParent(plugin, &parent) && !gui->setParent(plugin, &elsewhere) &&
            !gui->setParent(plugin, nullptr) && host.fds.size() == 1 && host.timers.size() == 1,
        "a second parent, one of another API, or none, is refused");
  // Once the host has activated at its rate, the editor shows the factory setting at that
  // rate, as the editor paints them, grown taller too.
  host.activate(true);
  host.activate(false);
  check(gui->setSize(plugin, width, tall) &&
            editor_test::showsFactorySetting(driver, static_cast<int>(width),
                                             static_cast<int>(tall), static_cast<float>(kRate)) &&
            gui->setSize(plugin, width, height),
        "shows the factory setting at the rate of the host's activation, grown taller");
  std::uint32_t resizedW = 0, resizedH = 0;
  check(gui->setSize(plugin, 800, 500) && gui->getSize(plugin, &resizedW, &resizedH) &&
            resizedW == 800 && resizedH == 500 && !gui->setSize(plugin, 400, 500) &&
            gui->setSize(plugin, width, height),
        "set_size takes a size within the limits and refuses one outside");

  // Each parameter by the pointer: the lists and Q while inactive (flush), the other knobs while
  // active (process). Knob drags start at the knob's centre, and the host hears them as they go
  // (a value for at least every other step of the pointer); values are in CLAP units.
  const qr47::EditorLayout at = qr47::layoutFor(width, height);
  constexpr std::size_t kDragValues = editor_test::kDragSteps / 2;
  const auto drag = [&](int k, double dy) {
    const qr47::Rect& knob = at.knobs[k];
    return [&driver, &knob, dy] {
      driver.drag(knob.centreX(), knob.centreY(), knob.centreX(), knob.centreY() + dy);
    };
  };
  const auto click = [&](const qr47::Rect& r) {
    return [&driver, &r] { driver.click(r.centreX(), r.centreY()); };
  };
  const struct {
    const char* what;
    std::uint32_t id;
    double expected;
    std::size_t leastValues;
    std::function<void()> act;
  } steps[] = {
      {"Filter Type clicked to band pass", 2, 2.0, 1, click(at.types[2])},
      {"Pole Number clicked to 4 poles", 3, 1.0, 1, click(at.poles[1])},
      {"Q Factor dragged up 40 px", 1, 0.7 + 40 / kKnobTravel, kDragValues, drag(1, -40)},
      {"Cutoff dragged down 60 px", 0, 1.0 - 60 / kKnobTravel, kDragValues, drag(0, 60)},
      {"Additional LP dragged up 100 px", 4, 100 / kKnobTravel, kDragValues, drag(2, -100)},
      {"18dB Boost dragged up 50 px", 5, 0.125 + 50 / kKnobTravel, kDragValues, drag(3, -50)},
      {"Cutoff double-clicked back to factory", 0, 1.0, 1,
       [&] { driver.doubleClick(at.knobs[0].centreX(), at.knobs[0].centreY()); }},
      {"Bypass clicked on", 6, 1.0, 1, click(at.bypass)},
  };
  for (const auto& step : steps) {
    if (step.id == 0 && !host.active) host.activate(true);
    host.sent.clear();
    host.expectedId = step.id;
    host.sentRight = true;
    step.act();
    driver.settle();
    const double now = host.plugin->value(step.id);
    const std::string& s = host.sent;
    check(s.size() >= 2 + step.leastValues && s.front() == 'b' && s.back() == 'e' &&
              s.find_first_not_of('v', 1) == s.size() - 1 && host.sentRight &&
              std::fabs(now - step.expected) < kTolerance && host.lastValue == now,
          std::string(step.what) + ": sent \"" + s + "\", value " + std::to_string(now));
  }

  // The host's changes are repainted within a frame or two: a value event, then a state load
  // that brings the picture back.
  MemoryStream state;
  state.chunk = SIZE_MAX;
  host.plugin->state->save(plugin, &state.output);
  const editor_test::Picture before = driver.picture();
  EventList notch;
  notch.add(0, 2, 3.0);
  host.process(notch);
  check(driver.picture() != before, "a value from the host is repainted");
  host.plugin->state->load(plugin, &state.input);
  check(driver.picture() == before, "a state load is repainted");
  check(gui->hide(plugin) && driver.picture() != before && gui->show(plugin) &&
            driver.picture() == before,
        "hidden and shown again");

  // A second instance with its editor open beside the first: each hears only its own pointer.
  {
    EditorHost other(entry, true, true);
    editor_test::EditorDriver beside(
        static_cast<int>(width), static_cast<int>(height),
        [&] {
          host.pump();
          other.pump();
        },
        static_cast<int>(width));
    qr47::clap::Window otherParent{"x11", {}};
    otherParent.x11 = beside.window();
    check(other.create() && other.ui->setParent(other.plugin->plugin, &otherParent),
          "a second instance's editor opens beside the first");
    host.sent.clear();
    other.expectedId = 1;
    const qr47::Rect& q = at.knobs[1];
    beside.drag(q.centreX(), q.centreY(), q.centreX(), q.centreY() - 40);
    beside.settle();
    const std::string& s = other.sent;
    check(s.size() >= 3 && s.front() == 'b' && s.back() == 'e' &&
              s.find_first_not_of('v', 1) == s.size() - 1 && other.sentRight && host.sent.empty() &&
              driver.picture() == before,
          "the second editor's drag reaches its own instance alone (sent \"" + other.sent + "\")");
    other.ui->destroy(other.plugin->plugin);
  }

  // Closed in the middle of a drag, the editor ends the gesture it began.
  const qr47::Rect& cutoff = at.knobs[0];
  host.sent.clear();
  host.expectedId = 0;
  driver.moveTo(cutoff.centreX(), cutoff.centreY());
  driver.button(editor_test::kLeftButton, true);
  driver.moveTo(cutoff.centreX(), cutoff.centreY() + 20);
  gui->destroy(plugin);
  host.pump();
  driver.button(editor_test::kLeftButton, false);
  check(host.sent.size() >= 3 && host.sent.front() == 'b' && host.sent.back() == 'e',
        "closed mid-drag, the gesture still ends (sent \"" + host.sent + "\")");
  host.activate(false);
  check(host.fds.empty() && host.timers.empty(), "destroy unregisters both");

  const int descriptors = openDescriptors();
  for (int i = 0; i < kOpenings; ++i) {
    check(host.create() && gui->setParent(plugin, &parent), "opened again");
    host.pump();
    gui->destroy(plugin);
  }
  check(openDescriptors() == descriptors && host.fds.empty() && host.timers.empty(),
        "opened and closed " + std::to_string(kOpenings) +
            " times: " + std::to_string(descriptors) + " descriptors before, " +
            std::to_string(openDescriptors()) + " after");
}

}  // namespace

int main(int argc, char** argv) {
  alarm(kTimeLimitSeconds);  // its default action ends the process
  const PluginEntry* entry = argc == 2 ? loadClapEntry(argv[1]) : nullptr;
  if (!entry || !entry->init(argv[1])) {
    std::fprintf(stderr, "usage: %s qr47.clap (a module that loads)\n", argv[0]);
    return 2;
  }
  checkWithoutDisplay(entry);
  const char* display = std::getenv("DISPLAY");
  if (display && display[0]) checkEditor(entry);
  entry->deinit();
  std::printf("%s: %d failed\n", display && display[0] ? "editor" : "no display", failures);
  return failures == 0 ? 0 : 1;
}
