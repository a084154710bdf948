// What the editor test hosts share: a top-level window of the host's own for the plug-in's editor
// to live in, as hosts give one, and a pointer moved by the X server's test extension, so that
// the editor receives the same events a person's mouse gives it. After each event the host's own
// loop step runs (its file-descriptor and timer callbacks into the plug-in) for a few frames.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <dirent.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "parameter_access.h"
#include "plugin_editor.h"

namespace editor_test {

// The checks of a test host: each failure printed, all of them counted for the exit status.
inline int failures = 0;
inline void check(bool ok, const std::string& what) {
  if (ok) return;
  ++failures;
  std::fprintf(stderr, "FAILED: %s\n", what.c_str());
}

// The descriptors this process holds: an editor opened and closed must leave none behind.
inline int openDescriptors() {
  int count = 0;
  if (DIR* dir = opendir("/proc/self/fd")) {
    while (readdir(dir)) ++count;
    closedir(dir);
  }
  return count;
}

struct Picture {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;
  bool operator==(const Picture& other) const {
    return width == other.width && height == other.height && pixels == other.pixels;
  }
  bool operator!=(const Picture& other) const { return !(*this == other); }
};

// The factory program's host values and the bypass off: what an editor shows before any change.
constexpr float kFactorySetting[qr47::kEditorValueCount] = {1.0f, 0.7f,   0.0f, 0.0f,
                                                            0.0f, 0.125f, 0.0f};

// A setting that stays as given, at a rate: what a reference editor paints, or a picture shows.
class FixedValues : public qr47::ParameterAccess {
 public:
  FixedValues(const float (&values)[qr47::kEditorValueCount], float rate) : rate(rate) {
    std::copy(std::begin(values), std::end(values), fixed);
  }
  float value(std::int32_t index) const override { return fixed[index]; }
  void beginChange(std::int32_t) override {}
  void setValue(std::int32_t, float) override {}
  void endChange(std::int32_t) override {}
  float sampleRate() const override { return rate; }

 private:
  float fixed[qr47::kEditorValueCount];
  float rate;
};

constexpr int kSettleSteps = 4;
constexpr auto kSettleStep = std::chrono::milliseconds(12);
constexpr int kDragSteps = 8;
constexpr unsigned kLeftButton = 1, kWheelUp = 4, kWheelDown = 5;

class EditorDriver {
 public:
  // The window's left edge at `left` on the screen, so that two can lie side by side.
  EditorDriver(int width, int height, std::function<void()> pump, int left = 0)
      : display(XOpenDisplay(nullptr)),
        left(left),
        width(width),
        height(height),
        pump(std::move(pump)) {
    if (!display) return;
    int event, error, major, minor;
    if (!XTestQueryExtension(display, &event, &error, &major, &minor)) return;
    const int screen = DefaultScreen(display);
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;  // placed where asked, with or without a window manager
    attributes.event_mask = StructureNotifyMask;
    attributes.background_pixel = BlackPixel(display, screen);  // seen where no editor is shown
    top = XCreateWindow(display, RootWindow(display, screen), left, 0, width, height, 0,
                        CopyFromParent, InputOutput, CopyFromParent,
                        CWOverrideRedirect | CWEventMask | CWBackPixel, &attributes);
    XMapRaised(display, top);
    XEvent mapped;
    XWindowEvent(display, top, StructureNotifyMask, &mapped);
    while (mapped.type != MapNotify) XWindowEvent(display, top, StructureNotifyMask, &mapped);
    XSync(display, False);
  }
  ~EditorDriver() {
    if (!display) return;
    if (top) XDestroyWindow(display, top);
    XCloseDisplay(display);
  }
  EditorDriver(const EditorDriver&) = delete;
  EditorDriver& operator=(const EditorDriver&) = delete;

  bool ok() const { return top != 0; }
  unsigned long window() const { return top; }

  // The host's loop for a few frames, so that what the server sent has been handled.
  void settle() {
    for (int i = 0; i < kSettleSteps; ++i) {
      XSync(display, False);
      std::this_thread::sleep_for(kSettleStep);
      pump();
    }
  }

  void moveTo(double x, double y) {
    XTestFakeMotionEvent(display, DefaultScreen(display), left + static_cast<int>(std::lround(x)),
                         static_cast<int>(std::lround(y)), 0);
    settle();
  }
  void button(unsigned which, bool down) {
    XTestFakeButtonEvent(display, which, down ? True : False, 0);
    settle();
  }
  void shift(bool down) {
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, XK_Shift_L), down ? True : False, 0);
    settle();
  }

  void click(double x, double y) {
    moveTo(x, y);
    button(kLeftButton, true);
    button(kLeftButton, false);
  }
  void doubleClick(double x, double y) {
    click(x, y);
    button(kLeftButton, true);
    button(kLeftButton, false);
  }
  void drag(double x0, double y0, double x1, double y1, bool fine = false) {
    moveTo(x0, y0);
    if (fine) shift(true);
    button(kLeftButton, true);
    for (int i = 1; i <= kDragSteps; ++i) {
      moveTo(x0 + (x1 - x0) * i / kDragSteps, y0 + (y1 - y0) * i / kDragSteps);
    }
    button(kLeftButton, false);
    if (fine) shift(false);
  }
  void wheel(double x, double y, int steps) {
    moveTo(x, y);
    for (int i = 0; i < std::abs(steps); ++i) {
      button(steps > 0 ? kWheelUp : kWheelDown, true);
      button(steps > 0 ? kWheelUp : kWheelDown, false);
    }
  }

  // What the window shows now, the plug-in's child window included.
  Picture picture() {
    settle();
    Picture picture;
    XImage* image = XGetImage(display, top, 0, 0, width, height, AllPlanes, ZPixmap);
    if (!image) return picture;
    picture.width = width;
    picture.height = height;
    picture.pixels.reserve(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        picture.pixels.push_back(static_cast<std::uint32_t>(XGetPixel(image, x, y)));
      }
    }
    XDestroyImage(image);
    return picture;
  }

 private:
  Display* display;
  Window top = 0;
  int left, width, height;
  std::function<void()> pump;
};

// Whether the window shows, pixel for pixel, what an editor of the test's own paints for the
// factory setting at `rate` and the window's size, opened beside it.
inline bool showsFactorySetting(EditorDriver& driver, int width, int height, float rate) {
  FixedValues factory(kFactorySetting, rate);
  const auto reference = qr47::PluginEditor::create(factory);
  if (!reference || !reference->setSize(width, height)) return false;
  EditorDriver beside(
      width, height, [&] { reference->idle(); }, width);
  return beside.ok() && reference->attach(beside.window()) && beside.picture() == driver.picture();
}

}  // namespace editor_test
