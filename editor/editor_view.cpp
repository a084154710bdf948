#include "editor_view.h"

#include <algorithm>
#include <cmath>

#include "editor_painting.h"
#include "port_filter.h"
#include "response_curve.h"

namespace qr47 {
namespace {

constexpr double kKnobTravel = 200.0;  // logical pixels for a knob's whole range
constexpr double kFineShare = 0.1;     // of the pointer's movement, or of a step, with Shift
constexpr float kWheelStep = 0.01f;    // of a knob's range
constexpr std::uint64_t kDoubleClickMs = 400;
constexpr double kDoubleClickSlop = 4.0;  // logical pixels the second press may stray
constexpr float kPolesStep = 1.0f;
constexpr float kSwitchOn = 1.0f;  // four poles, or bypassed
constexpr float kSwitchFrom = 0.5f;

bool fine(unsigned modifiers) {
  return (modifiers & kFineModifier) != 0;
}

float clampedValue(double value) {
  return static_cast<float>(std::clamp(value, 0.0, 1.0));
}

}  // namespace

EditorView::EditorView(ParameterAccess& access) : access(access) {}

void EditorView::setSize(double newWidth, double newHeight) {
  if (newWidth == width && newHeight == height) return;
  width = newWidth;
  height = newHeight;
  layout = layoutFor(width, height);
  stale = true;
}

EditorView::Hit EditorView::hitAt(double x, double y) const {
  if (layout.bypass.contains(x, y)) return {Target::kBypass, 0};
  for (std::int32_t i = 0; i < kTypeCount; ++i) {
    if (layout.types[i].contains(x, y)) return {Target::kType, i};
  }
  for (std::int32_t i = 0; i < kPoleChoices; ++i) {
    if (layout.poles[i].contains(x, y)) return {Target::kPoles, i};
  }
  for (std::int32_t i = 0; i < kKnobCount; ++i) {
    if (layout.knobs[i].contains(x, y)) return {Target::kKnob, i};
  }
  if (layout.graph.contains(x, y)) return {Target::kHandle, 0};
  return {Target::kNone, 0};
}

std::int32_t EditorView::parameterOf(const Hit& hit) const {
  switch (hit.target) {
    case Target::kKnob:
      return kKnobParameters[hit.index];
    case Target::kType:
      return kFilterTypeParameter;
    case Target::kPoles:
      return kPoleNumber;
    case Target::kBypass:
      return kBypassIndex;
    default:
      return kCutoff;
  }
}

void EditorView::press(double x, double y, unsigned modifiers, std::uint64_t timeMs) {
  release();
  const Hit hit = hitAt(x, y);
  const bool twice = hit.target != Target::kNone && hit.target == lastHit.target &&
                     hit.index == lastHit.index && timeMs - lastPressMs <= kDoubleClickMs &&
                     std::fabs(x - lastPressX) <= kDoubleClickSlop &&
                     std::fabs(y - lastPressY) <= kDoubleClickSlop;
  lastHit = hit;
  lastPressMs = timeMs;
  lastPressX = x;
  lastPressY = y;
  if (hit.target == Target::kNone) return;
  focused = parameterOf(hit);
  switch (hit.target) {
    case Target::kType:
      sendOnce(kFilterTypeParameter, static_cast<float>(hit.index * kFilterTypeStep));
      return;
    case Target::kPoles:
      sendOnce(kPoleNumber, static_cast<float>(hit.index * kPolesStep));
      return;
    case Target::kBypass:
      sendOnce(kBypassIndex, values[kBypassIndex] >= kSwitchFrom ? 0.0f : kSwitchOn);
      return;
    default:
      break;
  }
  if (twice) {
    // A double click takes what it points at back to the factory program's values.
    if (hit.target == Target::kHandle) sendOnce(kQFactor, kFactoryValues[kQFactor]);
    sendOnce(focused, kFactoryValues[focused]);
    lastHit = {Target::kNone, 0};
    return;
  }
  dragged = hit;
  startX = x;
  startY = y;
  fineDrag = fine(modifiers);
  std::copy(std::begin(values), std::end(values), std::begin(startValues));
}

void EditorView::motion(double x, double y, unsigned modifiers) {
  if (dragged.target == Target::kNone) return;
  // Switching to fine steps and back starts afresh from here, so the value never jumps.
  if (fine(modifiers) != fineDrag) {
    fineDrag = fine(modifiers);
    startX = x;
    startY = y;
    std::copy(std::begin(values), std::end(values), std::begin(startValues));
  }
  const double share = fineDrag ? kFineShare : 1.0;
  if (dragged.target == Target::kKnob) {
    const std::int32_t parameter = kKnobParameters[dragged.index];
    sendDrag(parameter, clampedValue(startValues[parameter] + (startY - y) / kKnobTravel * share));
    return;
  }
  // The handle: sideways the cutoff follows the pointer's frequency, up and down the Q.
  const GraphAxes axes = axesFor(layout.graph, rate);
  const double startHz = settingsFor(startValues, rate).displayedCutoffHz();
  const double hz = axes.hz(axes.x(startHz) + (x - startX) * share);
  sendDrag(kCutoff, hostValueFor(kCutoff, static_cast<float>(hz)));
  sendDrag(kQFactor,
           clampedValue(startValues[kQFactor] + (startY - y) / layout.graph.height * share));
}

void EditorView::release() {
  for (std::int32_t parameter = 0; parameter < kEditorValueCount; ++parameter) {
    if (!changing[parameter]) continue;
    changing[parameter] = false;
    access.endChange(parameter);
  }
  dragged = {Target::kNone, 0};
}

void EditorView::wheel(double x, double y, int steps, unsigned modifiers) {
  const Hit hit = hitAt(x, y);
  if (hit.target == Target::kNone || dragged.target != Target::kNone) return;
  focused = hit.target == Target::kHandle ? kQFactor : parameterOf(hit);
  step(focused, steps, modifiers);
}

void EditorView::key(EditorKey key, unsigned modifiers) {
  if (dragged.target != Target::kNone) return;
  switch (key) {
    case EditorKey::kUp:
    case EditorKey::kRight:
      step(focused, 1, modifiers);
      break;
    case EditorKey::kDown:
    case EditorKey::kLeft:
      step(focused, -1, modifiers);
      break;
    default:
      break;
  }
}

// The lists move a whole step at a time and stop at their ends.
void EditorView::step(std::int32_t parameter, int steps, unsigned modifiers) {
  if (parameter == kFilterTypeParameter) {
    const double next = std::clamp(listStep(parameter, values[parameter]) + steps, 0.0,
                                   static_cast<double>(kTypeCount - 1));
    sendOnce(parameter, static_cast<float>(next * kFilterTypeStep));
  } else if (parameter == kPoleNumber || parameter == kBypassIndex) {
    sendOnce(parameter, steps > 0 ? kSwitchOn : 0.0f);
  } else {
    const double size = kWheelStep * (fine(modifiers) ? kFineShare : 1.0);
    sendOnce(parameter, clampedValue(values[parameter] + steps * size));
  }
}

void EditorView::sendOnce(std::int32_t parameter, float value) {
  if (value == values[parameter]) return;
  access.beginChange(parameter);
  access.setValue(parameter, value);
  access.endChange(parameter);
  values[parameter] = value;
  stale = true;
}

void EditorView::sendDrag(std::int32_t parameter, float value) {
  if (value == values[parameter]) return;
  if (!changing[parameter]) {
    changing[parameter] = true;
    access.beginChange(parameter);
  }
  access.setValue(parameter, value);
  values[parameter] = value;
  stale = true;
}

// A value under the editor's own drag stays the editor's until the release.
bool EditorView::update() {
  for (std::int32_t parameter = 0; parameter < kEditorValueCount; ++parameter) {
    if (changing[parameter]) continue;
    const float value = access.value(parameter);
    if (value != values[parameter]) {
      values[parameter] = value;
      stale = true;
    }
  }
  const float hostRate = access.sampleRate() > 0.0f ? access.sampleRate() : kStartingSampleRate;
  if (hostRate != rate) {
    rate = hostRate;
    stale = true;
  }
  return stale;
}

void EditorView::paint(cairo_t* cr) {
  const std::int32_t active = dragged.target == Target::kNone ? -1 : focused;
  paintEditor(cr, layout, values, rate, active);
  stale = false;
}

}  // namespace qr47
