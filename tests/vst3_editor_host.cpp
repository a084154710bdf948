// A VST 3 host that opens QR47's editor as Linux hosts do: the view embedded in a window of the
// host's own, its file descriptor and timer served by the run loop the host's plug frame offers,
// and the real pointer moved over it. Each of the six parameters and the bypass must change under
// the pointer as one gesture for its id; a value the host sets, and its bypass, must be repainted;
// a content scale of 2 must double the size; opening and closing the view 100 times must leave no
// file descriptor open. Without a display, or without a run loop, the view must refuse to attach
// and the plug-in must process as before. Exits 0 when every check holds.
#include <dirent.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "editor_driver.h"
#include "editor_layout.h"
#include "noise_block.h"
#include "vst3_host.h"

namespace {

using editor_test::check;
using editor_test::failures;
using editor_test::openDescriptors;

using namespace vst3_test;
using Clock = std::chrono::steady_clock;

constexpr unsigned kTimeLimitSeconds = 90;
constexpr int kWidth = 640, kHeight = 400;  // the default size the editor is asked to open at
constexpr int kOpenings = 100;
constexpr std::int32_t kFrames = 512;
constexpr unsigned kSeed = 27;
constexpr double kRate = 48000.0;
constexpr ParamID kParameters = 7;  // the six and the bypass
constexpr char kX11[] = "X11EmbedWindowID";
constexpr char kEditor[] = "editor";

bool same(const TUID iid, const Uid& known) {
  return std::memcmp(iid, known.data(), known.size()) == 0;
}

// The plug frame and, when it offers one, the run loop behind it, driven by the host's loop step.
class Frame : public IPlugFrame, public Linux::IRunLoop {
 public:
  tresult queryInterface(const TUID iid, void** object) override {
    *object = nullptr;
    if (same(iid, FUnknown::kIid) || same(iid, IPlugFrame::kIid)) {
      *object = static_cast<IPlugFrame*>(this);
    } else if (offersRunLoop && same(iid, Linux::IRunLoop::kIid)) {
      *object = static_cast<Linux::IRunLoop*>(this);
    }
    if (!*object) return kNoInterface;
    ++references;
    return kResultOk;
  }
  std::uint32_t addRef() override { return ++references; }
  std::uint32_t release() override { return --references; }

  tresult resizeView(IPlugView* view, ViewRect* size) override {
    resized = *size;
    return view->onSize(size);
  }
  tresult registerEventHandler(Linux::IEventHandler* handler, int fd) override {
    handlers.push_back({handler, fd});
    return kResultOk;
  }
  tresult unregisterEventHandler(Linux::IEventHandler* handler) override {
    handlers.erase(std::remove_if(handlers.begin(), handlers.end(),
                                  [&](const auto& h) { return h.first == handler; }),
                   handlers.end());
    return kResultOk;
  }
  tresult registerTimer(Linux::ITimerHandler* handler, std::uint64_t ms) override {
    timers.push_back({handler, std::chrono::milliseconds(ms), Clock::now()});
    return kResultOk;
  }
  tresult unregisterTimer(Linux::ITimerHandler* handler) override {
    timers.erase(std::remove_if(timers.begin(), timers.end(),
                                [&](const Timer& t) { return t.handler == handler; }),
                 timers.end());
    return kResultOk;
  }

  // One step of the host's loop: readable descriptors, then the timers that are due.
  void pump() {
    for (const auto& [handler, fd] : std::vector(handlers)) {
      pollfd readable{fd, POLLIN, 0};
      if (poll(&readable, 1, 0) > 0) handler->onFDIsSet(fd);
    }
    for (Timer& t : timers) {
      if (Clock::now() < t.due) continue;
      t.due = Clock::now() + t.interval;
      t.handler->onTimer();
    }
  }

  struct Timer {
    Linux::ITimerHandler* handler;
    std::chrono::milliseconds interval;
    Clock::time_point due;
  };
  bool offersRunLoop = true;
  int references = 1;
  ViewRect resized{};
  std::vector<std::pair<Linux::IEventHandler*, int>> handlers;
  std::vector<Timer> timers;
};

struct Edit {
  char kind;  // 'b'egin, 'p'erform, 'e'nd
  ParamID id;
  ParamValue value;
};

class Handler : public HostObject<IComponentHandler> {
 public:
  tresult beginEdit(ParamID id) override { return note('b', id, 0.0); }
  tresult performEdit(ParamID id, ParamValue value) override { return note('p', id, value); }
  tresult endEdit(ParamID id) override { return note('e', id, 0.0); }
  tresult restartComponent(std::int32_t) override { return kResultOk; }
  tresult note(char kind, ParamID id, ParamValue value) {
    edits.push_back({kind, id, value});
    return kResultOk;
  }
  std::vector<Edit> edits;
};

// Begin, at least one value, end, all for the id; the last value, or NaN when it is not so.
double oneGesture(const std::vector<Edit>& edits, ParamID id) {
  if (edits.size() < 3 || edits.front().kind != 'b' || edits.back().kind != 'e') return NAN;
  for (const Edit& e : edits) {
    if (e.id != id || (&e != &edits.front() && &e != &edits.back() && e.kind != 'p')) return NAN;
  }
  return edits[edits.size() - 2].value;
}

std::uint32_t controllerReferences(IEditController* controller) {
  controller->addRef();
  return controller->release();
}

// One block of the same noise through a fresh instance and one whose view was opened, both at
// the values this controller shows: the view must change nothing of the processing.
void checkProcessing(IPluginFactory* factory, Instance& used) {
  Instance fresh(factory, kQr47Class);
  Changes changes;
  for (ParamID id = 0; id < kParameters; ++id) {
    changes.add(0, id, used.controller->getParamNormalized(id));
  }
  NoiseBlock a(kFrames, kSeed), b(kFrames, kSeed);
  used.start(kRate, kFrames);
  fresh.start(kRate, kFrames);
  check(used.process(a.in, a.out, kFrames, &changes) == kResultOk &&
            fresh.process(b.in, b.out, kFrames, &changes) == kResultOk &&
            a.output() == b.output() && a.out0 != a.in0,
        "a block processes as in an instance that never had a view");
}

// What the pointer does, where, and what the parameter must show afterwards: a value given as
// the interface publishes it, or a direction away from the value before.
struct Step {
  const char* what;
  ParamID id;
  char action;  // 'd'rag by dy, 'c'lick, double 'C'lick
  const qr47::Rect& where;
  double dy;
  double expected;  // NaN: a change of at least kLeast in the direction of -dy
};
constexpr double kLeast = 0.1;

void checkPointer(editor_test::EditorDriver& driver, Instance& plugin, Handler& handler) {
  const qr47::EditorLayout l = qr47::layoutFor(kWidth, kHeight);
  const Step steps[] = {
      {"Cutoff dragged down", 0, 'd', l.knobs[0], 60, NAN},
      {"Q Factor dragged up", 1, 'd', l.knobs[1], -40, NAN},
      {"Additional LP dragged up", 4, 'd', l.knobs[2], -60, NAN},
      {"18dB Boost dragged up", 5, 'd', l.knobs[3], -40, NAN},
      {"notch clicked", 2, 'c', l.types[3], 0, 1.0},
      {"high pass clicked", 2, 'c', l.types[1], 0, 1.0 / 3},
      {"4 poles clicked", 3, 'c', l.poles[1], 0, 1.0},
      {"2 poles clicked", 3, 'c', l.poles[0], 0, 0.0},
      {"bypass clicked on", 6, 'c', l.bypass, 0, 1.0},
      {"bypass clicked off", 6, 'c', l.bypass, 0, 0.0},
      {"Q Factor double clicked back to 70 %", 1, 'C', l.knobs[1], 0, 0.7},
  };
  for (const Step& s : steps) {
    handler.edits.clear();
    const double before = plugin.controller->getParamNormalized(s.id);
    const double x = s.where.centreX(), y = s.where.centreY();
    if (s.action == 'd') driver.drag(x, y, x, y + s.dy);
    if (s.action == 'c') driver.click(x, y);
    if (s.action == 'C') driver.doubleClick(x, y);
    const double sent = oneGesture(handler.edits, s.id);
    const double shown = plugin.controller->getParamNormalized(s.id);
    const bool moved = std::isnan(s.expected) ? (shown - before) * -s.dy >= kLeast * std::abs(s.dy)
                                              : std::abs(shown - s.expected) < 1e-6;
    check(sent == shown && moved, std::string(s.what) + ": one gesture, the controller at " +
                                      std::to_string(shown) + " (was " + std::to_string(before) +
                                      ")");
  }
}

// With DISPLAY unset, and with a frame that offers no run loop, attach is refused cleanly.
void checkRefusals(IEditController* controller, Frame& frame, unsigned long window) {
  const char* display = std::getenv("DISPLAY");
  const std::string saved = display ? display : "";
  unsetenv("DISPLAY");
  IPlugView* view = controller->createView(kEditor);
  check(view && controller->createView("other") == nullptr &&
            view->isPlatformTypeSupported(kX11) == kResultTrue &&
            view->isPlatformTypeSupported("HWND") == kResultFalse,
        "a view for \"editor\" only, embedding in X11 windows only");
  view->setFrame(&frame);
  check(view->attached(reinterpret_cast<void*>(window ? window : 1), kX11) == kResultFalse &&
            frame.handlers.empty() && frame.timers.empty() && frame.references == 1,
        "no display: attach refused, nothing registered");
  if (display) setenv("DISPLAY", saved.c_str(), 1);
  if (window) {
    frame.offersRunLoop = false;
    check(view->attached(reinterpret_cast<void*>(window), kX11) == kResultFalse,
          "no run loop: attach refused");
    frame.offersRunLoop = true;
  }
  // Not attached, the size still follows the scale: 640 x 400 logical pixels are 1280 x 800.
  void* object = nullptr;
  view->queryInterface(IPlugViewContentScaleSupport::kIid.data(), &object);
  auto* scaling = static_cast<IPlugViewContentScaleSupport*>(object);
  ViewRect size{};
  check(scaling && scaling->setContentScaleFactor(2.0f) == kResultTrue &&
            view->getSize(&size) == kResultOk && size.right == 1280 && size.bottom == 800,
        "before it is attached, scale 2 is 1280 x 800");
  if (scaling) scaling->release();
  view->setFrame(nullptr);
  view->release();
}

void checkScale(IPlugView* view, Frame& frame) {
  ViewRect one{}, two{}, tiny{0, 0, 1, 1}, huge{0, 0, 100000, 100000};
  view->getSize(&one);
  void* object = nullptr;
  view->queryInterface(IPlugViewContentScaleSupport::kIid.data(), &object);
  auto* scaling = static_cast<IPlugViewContentScaleSupport*>(object);
  check(scaling && scaling->setContentScaleFactor(2.0f) == kResultTrue, "scale 2 taken");
  view->getSize(&two);
  check(two.right == 2 * one.right && two.bottom == 2 * one.bottom &&
            frame.resized.right == two.right && frame.resized.bottom == two.bottom,
        "scale 2 doubles " + std::to_string(one.right) + " x " + std::to_string(one.bottom) +
            " and asks the frame for it");
  scaling->setContentScaleFactor(1.0f);
  scaling->release();
  check(view->canResize() == kResultTrue && view->checkSizeConstraint(&tiny) == kResultTrue &&
            view->checkSizeConstraint(&huge) == kResultTrue && tiny.right == 480 &&
            tiny.bottom == 300 && huge.right == 1600 && huge.bottom == 1000,
        "resizable, from 480 x 300 to 1600 x 1000");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s QR47.vst3\n", argv[0]);
    return 2;
  }
  alarm(kTimeLimitSeconds);
  const Module module = loadModule(argv[1]);
  if (!module.getFactory) return 2;
  IPluginFactory* factory = module.getFactory();
  Handler handler;
  Frame frame;
  {
    Instance plugin(factory, kQr47Class);
    plugin.controller->setComponentHandler(&handler);
    const std::uint32_t references = controllerReferences(plugin.controller);
    editor_test::EditorDriver driver(kWidth, kHeight, [&] { frame.pump(); });
    checkRefusals(plugin.controller, frame, driver.ok() ? driver.window() : 0);
    if (driver.ok()) {
      void* window = reinterpret_cast<void*>(driver.window());
      IPlugView* view = plugin.controller->createView(kEditor);
      bool answers = view->addRef() == 2 && view->release() == 1;
      for (const Uid& iid : {Linux::IEventHandler::kIid, Linux::ITimerHandler::kIid}) {
        void* handler = nullptr;
        answers = view->queryInterface(iid.data(), &handler) == kResultOk && handler && answers;
        if (handler) static_cast<FUnknown*>(handler)->release();
      }
      void* none = &frame;
      check(
          answers && view->queryInterface(IComponent::kIid.data(), &none) == kNoInterface && !none,
          "the view is the run loop's event and timer handler, and no component");
      view->setFrame(&frame);
      check(view->attached(window, kX11) == kResultOk && frame.handlers.size() == 1 &&
                frame.timers.size() == 1,
            "attached, its descriptor and timer registered");
      // Once the host has set its rate up, the view shows the factory setting at that rate,
      // as the editor paints them.
      plugin.start(kRate, kFrames);
      plugin.stop();
      check(editor_test::showsFactorySetting(driver, kWidth, kHeight, static_cast<float>(kRate)),
            "shows the factory setting at the rate the host set up");
      checkPointer(driver, plugin, handler);

      handler.edits.clear();
      const editor_test::Picture still = driver.picture();
      check(driver.picture() == still, "nothing repaints while nothing changes");
      plugin.controller->setParamNormalized(0, 0.2);
      check(driver.picture() != still && handler.edits.empty(), "a host change is repainted");
      const editor_test::Picture filtering = driver.picture();
      plugin.controller->setParamNormalized(6, 0.5);  // the switch's lower edge of on
      const editor_test::Picture bypassed = driver.picture();
      plugin.controller->setParamNormalized(6, 1.0);
      check(bypassed != filtering && driver.picture() == bypassed && handler.edits.empty(),
            "the host's bypass too, on from its lower edge");

      checkScale(view, frame);
      check(view->removed() == kResultOk && frame.handlers.empty() && frame.timers.empty() &&
                frame.references == 1,
            "removed: nothing left registered, the run loop released");
      view->setFrame(nullptr);
      view->release();

      // Each closing closes the connection: counted before the view is released.
      const int descriptors = openDescriptors();
      bool closed = true;
      for (int i = 0; i < kOpenings; ++i) {
        view = plugin.controller->createView(kEditor);
        view->setFrame(&frame);
        closed = view->attached(window, kX11) == kResultOk && openDescriptors() > descriptors &&
                 view->removed() == kResultOk && openDescriptors() == descriptors && closed;
        view->setFrame(nullptr);
        view->release();
      }
      check(closed && controllerReferences(plugin.controller) == references,
            std::to_string(kOpenings) + " openings: no descriptor left open, no view left");

      // A view the host keeps after its instance is gone: the handler was let go at terminate.
      IPlugView* orphan;
      const int handlerReferences = handler.references;
      {
        Instance other(factory, kQr47Class);
        other.controller->setComponentHandler(&handler);
        orphan = other.controller->createView(kEditor);
      }
      handler.edits.clear();
      orphan->setFrame(&frame);
      const qr47::Rect knob = qr47::layoutFor(kWidth, kHeight).knobs[0];
      check(orphan->attached(window, kX11) == kResultOk, "a view outliving its instance opens");
      driver.drag(knob.centreX(), knob.centreY(), knob.centreX(), knob.centreY() + kWidth / 10);
      check(orphan->removed() == kResultOk && handler.edits.empty() &&
                handler.references == handlerReferences,
            "and reaches no handler");
      orphan->setFrame(nullptr);
      orphan->release();
    } else {
      check(!std::getenv("DISPLAY"), "no display: the pointer's checks skipped");
    }
    check(controllerReferences(plugin.controller) == references, "the views let go of it");
    checkProcessing(factory, plugin);
  }
  if (module.exit) module.exit();
  return failures == 0 ? 0 : 1;
}
