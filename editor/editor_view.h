// The editor itself, knowing no plug-in interface and no window system: what it shows of the
// plug-in's values and what the pointer, the wheel and the keys do to them. Coordinates are
// logical pixels; the window layer scales them and hands each event over with its time.
//
// A drag is one gesture for the host: it begins with the first movement that changes the value
// and ends with the release, so a click that moves nothing sends nothing. A click on a list's
// word, a click on the bypass switch, a wheel step, a key and a double click (back to the factory
// program's value) are each a gesture of one value.
#pragma once

#include <cairo.h>

#include <cstdint>

#include "editor_layout.h"
#include "filter_settings.h"
#include "parameter_access.h"

namespace qr47 {

// Modifiers of a pointer or key event.
constexpr unsigned kFineModifier = 1u;  // Shift or Control: fine steps

enum class EditorKey { kUp, kDown, kLeft, kRight, kOther };

class EditorView {
 public:
  explicit EditorView(ParameterAccess& access);

  void setSize(double width, double height);

  // Input, in logical pixels; times in milliseconds.
  void press(double x, double y, unsigned modifiers, std::uint64_t timeMs);
  void motion(double x, double y, unsigned modifiers);
  void release();
  void wheel(double x, double y, int steps, unsigned modifiers);
  // The arrows step what was touched last.
  void key(EditorKey key, unsigned modifiers);

  // Takes in what the host changed; true when the picture is out of date.
  bool update();
  bool needsPaint() const { return stale; }
  void paint(cairo_t* cr);

 private:
  enum class Target { kNone, kKnob, kHandle, kType, kPoles, kBypass };
  struct Hit {
    Target target;
    std::int32_t index;  // the knob, the word, or the pole choice
  };
  Hit hitAt(double x, double y) const;
  std::int32_t parameterOf(const Hit& hit) const;
  // One value as a gesture of its own.
  void sendOnce(std::int32_t parameter, float value);
  void sendDrag(std::int32_t parameter, float value);
  void step(std::int32_t parameter, int steps, unsigned modifiers);

  ParameterAccess& access;
  double width = 0.0, height = 0.0;
  EditorLayout layout{};

  // What the picture shows.
  float values[kEditorValueCount] = {};
  float rate = kStartingSampleRate;
  bool stale = true;

  // The drag under way, if any.
  Hit dragged{Target::kNone, 0};
  double startX = 0.0, startY = 0.0;
  bool fineDrag = false;
  float startValues[kEditorValueCount] = {};
  bool changing[kEditorValueCount] = {};
  // The last press, to tell a double click, and the control the keys move.
  Hit lastHit{Target::kNone, 0};
  std::uint64_t lastPressMs = 0;
  double lastPressX = 0.0, lastPressY = 0.0;
  std::int32_t focused = kCutoff;
};

}  // namespace qr47
