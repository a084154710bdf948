#include "editor_painting.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "display_text.h"
#include "response_curve.h"

namespace qr47 {
namespace {

struct Colour {
  double r, g, b;
};

constexpr Colour rgb(unsigned hex) {
  return {((hex >> 16) & 0xFF) / 255.0, ((hex >> 8) & 0xFF) / 255.0, (hex & 0xFF) / 255.0};
}

constexpr Colour kBackground = rgb(0x1A1C21);
constexpr Colour kBarColour = rgb(0x23262D);
constexpr Colour kGraphColour = rgb(0x121419);
constexpr Colour kGridColour = rgb(0x2A2E37);
constexpr Colour kUnityColour = rgb(0x454B57);
constexpr Colour kLabelColour = rgb(0x858D9B);
constexpr Colour kTextColour = rgb(0xDDE1E8);
constexpr Colour kAccent = rgb(0xF5A623);
constexpr Colour kButtonColour = rgb(0x2E323B);
constexpr Colour kButtonText = rgb(0xAAB1BD);
constexpr Colour kKnobTrack = rgb(0x3A3F4A);
constexpr Colour kKnobBody = rgb(0x2B2E36);

constexpr char kFont[] = "DejaVu Sans";
constexpr char kName[] = "QR47";
constexpr float kBypassFrom = 0.5f;
constexpr double kBypassedAlpha = 0.3;
constexpr double kTitleSize = 18.0;
constexpr double kButtonTextSize = 12.0;
constexpr double kLabelSize = 10.0;
constexpr double kUnitWidth = 28.0;
constexpr double kKnobNameSize = 11.0;
constexpr double kKnobValueSize = 12.0;
constexpr double kSmallestText = 6.0;
constexpr double kTextPadding = 4.0;
constexpr double kCornerRadius = 4.0;
constexpr double kCurveWidth = 2.0;
constexpr double kFillTopAlpha = 0.28;
constexpr double kFillBottomAlpha = 0.03;
constexpr double kHandleRadius = 7.0;
constexpr double kKnobArcWidth = 4.0;
constexpr double kPi = 3.14159265358979323846;
constexpr double kKnobStart = 0.75 * kPi;  // the dial's zero, down and to the left
constexpr double kKnobSweep = 1.5 * kPi;
constexpr double kGridHz[] = {20, 50, 100, 200, 500, 1000, 2000, 5000, 10000, 20000};
constexpr double kGridDbStep = 12.0;
constexpr std::size_t kTextBytes = 48;

void setColour(cairo_t* cr, const Colour& c, double alpha = 1.0) {
  cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

void roundedRect(cairo_t* cr, const Rect& r, double radius) {
  cairo_new_sub_path(cr);
  cairo_arc(cr, r.x + r.width - radius, r.y + radius, radius, -kPi / 2, 0);
  cairo_arc(cr, r.x + r.width - radius, r.y + r.height - radius, radius, 0, kPi / 2);
  cairo_arc(cr, r.x + radius, r.y + r.height - radius, radius, kPi / 2, kPi);
  cairo_arc(cr, r.x + radius, r.y + radius, radius, kPi, 1.5 * kPi);
  cairo_close_path(cr);
}

enum class Align { kLeft, kCentre, kRight };

// The text within `box`, vertically centred; smaller where it would not fit its width.
void drawText(cairo_t* cr, const char* text, const Rect& box, double size, Align align,
              const Colour& colour, bool bold = false) {
  cairo_select_font_face(cr, kFont, CAIRO_FONT_SLANT_NORMAL,
                         bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, size);
  cairo_text_extents_t extents;
  cairo_text_extents(cr, text, &extents);
  const double room = std::max(box.width - 2 * kTextPadding, 1.0);
  if (extents.x_advance > room) {
    cairo_set_font_size(cr, std::max(kSmallestText, size * room / extents.x_advance));
    cairo_text_extents(cr, text, &extents);
  }
  cairo_font_extents_t font;
  cairo_font_extents(cr, &font);
  double x = box.x + kTextPadding;
  if (align == Align::kCentre) x = box.centreX() - extents.x_advance / 2;
  if (align == Align::kRight) x = box.x + box.width - kTextPadding - extents.x_advance;
  const double y = box.centreY() + (font.ascent - font.descent) / 2;
  setColour(cr, colour);
  cairo_move_to(cr, x, y);
  cairo_show_text(cr, text);
}

void hzLabel(double hz, char* text) {
  if (hz >= 1000.0) {
    std::snprintf(text, kTextBytes, "%gk", hz / 1000.0);
  } else {
    std::snprintf(text, kTextBytes, "%g", hz);
  }
}

void paintGrid(cairo_t* cr, const GraphAxes& axes, double width) {
  const Rect& g = axes.area;
  cairo_set_line_width(cr, 1.0);
  char text[kTextBytes];
  double lastRight = -1.0;
  for (double hz : kGridHz) {
    if (hz > axes.highHz * (1.0 + 1e-9)) break;
    const double x = std::round(axes.x(hz)) + 0.5;
    setColour(cr, kGridColour);
    cairo_move_to(cr, x, g.y);
    cairo_line_to(cr, x, g.y + g.height);
    cairo_stroke(cr);
    hzLabel(hz, text);
    cairo_set_font_size(cr, kLabelSize);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text, &extents);
    const double labelWidth = extents.x_advance + 2 * kTextPadding;
    const double left = std::clamp(x - labelWidth / 2, 0.0, width - labelWidth);
    if (left < lastRight) continue;
    lastRight = left + labelWidth;
    drawText(cr, text, {left, g.y + g.height, labelWidth, kLabelSize + 2 * kTextPadding},
             kLabelSize, Align::kCentre, kLabelColour);
  }
  // The units, inside the graph's corners by their axes.
  const double unitHeight = kLabelSize + 2 * kTextPadding;
  drawText(cr, "dB", {g.x, g.y, kUnitWidth, unitHeight}, kLabelSize, Align::kLeft, kLabelColour);
  drawText(cr, "Hz",
           {g.x + g.width - kUnitWidth, g.y + g.height - unitHeight, kUnitWidth, unitHeight},
           kLabelSize, Align::kRight, kLabelColour);
  const double labelHeight = kLabelSize + kTextPadding;
  double lastBottom = -1.0;
  for (double db = axes.topDb; db >= axes.bottomDb; db -= kGridDbStep) {
    const double y = std::round(axes.y(db)) + 0.5;
    setColour(cr, db == 0.0 ? kUnityColour : kGridColour);
    cairo_move_to(cr, g.x, y);
    cairo_line_to(cr, g.x + g.width, y);
    cairo_stroke(cr);
    const double top = std::clamp(y - labelHeight / 2, g.y, g.y + g.height - labelHeight);
    if (top < lastBottom) continue;
    lastBottom = top + labelHeight;
    std::snprintf(text, sizeof text, db > 0.0 ? "+%g" : "%g", db);
    drawText(cr, text, {0.0, top, g.x, labelHeight}, kLabelSize, Align::kRight, kLabelColour);
  }
}

// One point a pixel column of the device, the context's scale included.
void paintCurve(cairo_t* cr, const GraphAxes& axes, const FilterSettings::Loop& loop) {
  const Rect& g = axes.area;
  double scale = 1.0, unused = 0.0;
  cairo_user_to_device_distance(cr, &scale, &unused);
  const int columns = static_cast<int>(std::ceil(g.width * scale));
  cairo_save(cr);
  cairo_rectangle(cr, g.x, g.y, g.width, g.height);
  cairo_clip(cr);
  // Levels far below the graph are drawn just below it, so the path stays near the picture.
  const double lowest = axes.bottomDb - kGridDbStep;
  for (int column = 0; column <= columns; ++column) {
    const double x = g.x + column / scale;
    const double db = std::max(responseDb(loop, axes.hz(x)), lowest);
    if (column == 0) {
      cairo_move_to(cr, x, axes.y(db));
    } else {
      cairo_line_to(cr, x, axes.y(db));
    }
  }
  cairo_path_t* curve = cairo_copy_path(cr);
  cairo_line_to(cr, g.x + g.width, g.y + g.height);
  cairo_line_to(cr, g.x, g.y + g.height);
  cairo_close_path(cr);
  cairo_pattern_t* fill = cairo_pattern_create_linear(0.0, g.y, 0.0, g.y + g.height);
  cairo_pattern_add_color_stop_rgba(fill, 0.0, kAccent.r, kAccent.g, kAccent.b, kFillTopAlpha);
  cairo_pattern_add_color_stop_rgba(fill, 1.0, kAccent.r, kAccent.g, kAccent.b, kFillBottomAlpha);
  cairo_set_source(cr, fill);
  cairo_fill(cr);
  cairo_pattern_destroy(fill);
  cairo_append_path(cr, curve);
  cairo_path_destroy(curve);
  setColour(cr, kAccent);
  cairo_set_line_width(cr, kCurveWidth);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_stroke(cr);
  cairo_restore(cr);
}

void paintButton(cairo_t* cr, const Rect& r, const char* text, bool selected) {
  const Rect inner{r.x + 1, r.y, r.width - 2, r.height};
  roundedRect(cr, inner, kCornerRadius);
  setColour(cr, selected ? kAccent : kButtonColour);
  cairo_fill(cr);
  drawText(cr, text, inner, kButtonTextSize, Align::kCentre, selected ? kBackground : kButtonText,
           selected);
}

void paintKnob(cairo_t* cr, const EditorLayout& layout, std::int32_t knob, float value,
               bool active) {
  const std::int32_t parameter = kKnobParameters[knob];
  drawText(cr, kParameterNames[parameter], knobName(layout, knob), kKnobNameSize, Align::kCentre,
           kLabelColour);
  const Rect dial = knobDial(layout, knob);
  const double cx = dial.centreX(), cy = dial.centreY(), r = dial.width / 2;
  const double share = std::clamp(static_cast<double>(value), 0.0, 1.0);
  const double angle = kKnobStart + kKnobSweep * share;
  setColour(cr, kKnobBody);
  cairo_arc(cr, cx, cy, r - kKnobArcWidth - 2, 0, 2 * kPi);
  cairo_fill(cr);
  cairo_set_line_width(cr, kKnobArcWidth);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  setColour(cr, kKnobTrack);
  cairo_arc(cr, cx, cy, r - kKnobArcWidth / 2, kKnobStart, kKnobStart + kKnobSweep);
  cairo_stroke(cr);
  setColour(cr, kAccent, active ? 1.0 : 0.85);
  cairo_arc(cr, cx, cy, r - kKnobArcWidth / 2, kKnobStart, angle);
  cairo_stroke(cr);
  const double inner = r - kKnobArcWidth - 2;
  setColour(cr, kTextColour);
  cairo_set_line_width(cr, 2.0);
  cairo_move_to(cr, cx + std::cos(angle) * inner * 0.35, cy + std::sin(angle) * inner * 0.35);
  cairo_line_to(cr, cx + std::cos(angle) * inner * 0.9, cy + std::sin(angle) * inner * 0.9);
  cairo_stroke(cr);
  char text[kTextBytes];
  if (!valueText(parameter, value, text, sizeof text)) text[0] = '\0';
  drawText(cr, text, knobValue(layout, knob), kKnobValueSize, Align::kCentre,
           active ? kAccent : kTextColour);
}

// The highest level of the response over the graph, one point a logical column.
GraphAxes axesShowing(const EditorLayout& layout, const FilterSettings::Loop& loop,
                      float sampleRate) {
  GraphAxes axes = axesFor(layout.graph, sampleRate);
  double peak = axes.bottomDb;
  for (double x = axes.area.x; x <= axes.area.x + axes.area.width; x += 1.0) {
    peak = std::max(peak, responseDb(loop, axes.hz(x)));
  }
  return axesFor(layout.graph, sampleRate, peak);
}

// Where the handle sits: at the cutoff, on the curve, held within the graph.
void paintHandle(cairo_t* cr, const GraphAxes& axes, const FilterSettings& settings, bool active) {
  const double hz =
      std::clamp(static_cast<double>(settings.displayedCutoffHz()), axes.lowHz, axes.highHz);
  const Rect& g = axes.area;
  const double x = axes.x(hz);
  const double y = std::clamp(axes.y(responseDb(settings.loop(), hz)), g.y, g.y + g.height);
  setColour(cr, active ? kAccent : kGraphColour);
  cairo_arc(cr, x, y, kHandleRadius, 0, 2 * kPi);
  cairo_fill_preserve(cr);
  setColour(cr, active ? kTextColour : kAccent);
  cairo_set_line_width(cr, 2.0);
  cairo_stroke(cr);
}

}  // namespace

void paintEditor(cairo_t* cr, const EditorLayout& layout, const float (&values)[kEditorValueCount],
                 float sampleRate, std::int32_t active) {
  setColour(cr, kBackground);
  cairo_paint(cr);
  const double width = layout.bar.width;

  setColour(cr, kBarColour);
  cairo_rectangle(cr, layout.bar.x, layout.bar.y, layout.bar.width, layout.bar.height);
  cairo_fill(cr);
  drawText(cr, kName, layout.title, kTitleSize, Align::kLeft, kTextColour, true);
  const bool bypassed = values[kBypassIndex] >= kBypassFrom;
  paintButton(cr, layout.bypass, kBypassName, bypassed);
  char text[kTextBytes];
  const double typeStep = listStep(kFilterTypeParameter, values[kFilterTypeParameter]);
  for (std::int32_t i = 0; i < kTypeCount; ++i) {
    valueText(kFilterTypeParameter, static_cast<float>(i * kFilterTypeStep), text, sizeof text);
    paintButton(cr, layout.types[i], text, typeStep == i);
  }
  const double poleStep = listStep(kPoleNumber, values[kPoleNumber]);
  for (std::int32_t i = 0; i < kPoleChoices; ++i) {
    valueText(kPoleNumber, static_cast<float>(i), text, sizeof text);
    paintButton(cr, layout.poles[i], text, poleStep == i);
  }

  const FilterSettings settings = settingsFor(values, sampleRate);
  const GraphAxes axes = axesShowing(layout, settings.loop(), sampleRate);
  const Rect& g = layout.graph;
  setColour(cr, kGraphColour);
  cairo_rectangle(cr, g.x, g.y, g.width, g.height);
  cairo_fill(cr);
  paintGrid(cr, axes, width);
  cairo_push_group(cr);
  paintCurve(cr, axes, settings.loop());
  paintHandle(cr, axes, settings, active == kCutoff || active == kQFactor);
  cairo_pop_group_to_source(cr);
  cairo_paint_with_alpha(cr, bypassed ? kBypassedAlpha : 1.0);
  if (bypassed) {
    const double unity = std::round(axes.y(0.0)) + 0.5;
    setColour(cr, kTextColour);
    cairo_set_line_width(cr, kCurveWidth);
    cairo_move_to(cr, g.x, unity);
    cairo_line_to(cr, g.x + g.width, unity);
    cairo_stroke(cr);
  }

  for (std::int32_t knob = 0; knob < kKnobCount; ++knob) {
    const std::int32_t parameter = kKnobParameters[knob];
    paintKnob(cr, layout, knob, values[parameter], active == parameter);
  }
}

}  // namespace qr47
