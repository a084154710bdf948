#include "editor_layout.h"

#include <algorithm>
#include <cmath>

namespace qr47 {
namespace {

constexpr double kMargin = 10.0;
constexpr double kBarHeight = 40.0;
constexpr double kButtonHeight = 24.0;
constexpr double kTitleWidth = 72.0;
constexpr double kBypassWidth = 62.0;
constexpr double kGroupGap = 12.0;
constexpr double kWidestButton = 84.0;
constexpr double kPoleButtonShare = 0.8;   // a pole button beside a type button
constexpr double kAxisLabelWidth = 34.0;   // the dB labels left of the graph
constexpr double kAxisLabelHeight = 18.0;  // the Hz labels under it
constexpr double kGraphGap = 8.0;
constexpr double kKnobRowShare = 0.26;  // of the height
constexpr double kLowestKnobRow = 104.0;
constexpr double kHighestKnobRow = 170.0;
constexpr double kKnobNameHeight = 16.0;
constexpr double kKnobValueHeight = 20.0;
constexpr double kKnobPadding = 4.0;
constexpr double kBottomPadding = 6.0;
constexpr double kKnobWidthShare = 0.32;  // the largest radius, of a cell's width
constexpr double kLowestHz = 20.0;
constexpr double kHighestHz = 20000.0;
constexpr double kTopDb = 24.0;
constexpr double kHighestTopDb = 72.0;
constexpr double kTopStepDb = 12.0;
constexpr double kBottomDb = -60.0;

}  // namespace

EditorLayout layoutFor(double width, double height) {
  EditorLayout layout{};
  layout.bar = {0.0, 0.0, width, kBarHeight};
  const double buttonTop = (kBarHeight - kButtonHeight) / 2;
  layout.title = {kMargin, buttonTop, kTitleWidth, kButtonHeight};
  layout.bypass = {kMargin + kTitleWidth, buttonTop, kBypassWidth, kButtonHeight};

  // The two lists sit at the right of the bar, the poles last.
  const double room = width - 2 * kMargin - kTitleWidth - kBypassWidth - 2 * kGroupGap;
  const double typeWidth =
      std::min(kWidestButton, room / (kTypeCount + kPoleChoices * kPoleButtonShare));
  const double poleWidth = typeWidth * kPoleButtonShare;
  double x = width - kMargin - kPoleChoices * poleWidth;
  for (Rect& pole : layout.poles) {
    pole = {x, buttonTop, poleWidth, kButtonHeight};
    x += poleWidth;
  }
  x = layout.poles[0].x - kGroupGap - kTypeCount * typeWidth;
  for (Rect& type : layout.types) {
    type = {x, buttonTop, typeWidth, kButtonHeight};
    x += typeWidth;
  }

  const double knobRow = std::clamp(height * kKnobRowShare, kLowestKnobRow, kHighestKnobRow);
  const double graphTop = kBarHeight + kGraphGap;
  const double graphBottom = height - knobRow - kAxisLabelHeight;
  layout.graph = {kMargin + kAxisLabelWidth, graphTop, width - 2 * kMargin - kAxisLabelWidth,
                  graphBottom - graphTop};

  const double cellWidth = (width - 2 * kMargin) / kKnobCount;
  const double rowTop = height - knobRow;
  for (std::int32_t i = 0; i < kKnobCount; ++i) {
    layout.knobs[i] = {kMargin + i * cellWidth, rowTop, cellWidth, knobRow};
  }
  const double dialHeight =
      knobRow - kKnobNameHeight - kKnobValueHeight - 2 * kKnobPadding - kBottomPadding;
  layout.knobRadius = std::min(dialHeight / 2, cellWidth * kKnobWidthShare);
  return layout;
}

double GraphAxes::x(double f) const {
  return area.x + area.width * std::log(f / lowHz) / std::log(highHz / lowHz);
}

double GraphAxes::hz(double px) const {
  return lowHz * std::pow(highHz / lowHz, (px - area.x) / area.width);
}

double GraphAxes::y(double db) const {
  return area.y + area.height * (topDb - db) / (topDb - bottomDb);
}

GraphAxes axesFor(const Rect& graph, double sampleRate, double peakDb) {
  const double top = std::clamp(std::ceil(peakDb / kTopStepDb) * kTopStepDb, kTopDb, kHighestTopDb);
  return {graph, kLowestHz, std::min(kHighestHz, sampleRate / 2), top, kBottomDb};
}

Rect knobDial(const EditorLayout& layout, std::int32_t knob) {
  const Rect& cell = layout.knobs[knob];
  const double top = cell.y + kKnobNameHeight + kKnobPadding;
  const double dialHeight =
      cell.height - kKnobNameHeight - kKnobValueHeight - 2 * kKnobPadding - kBottomPadding;
  const double r = layout.knobRadius;
  return {cell.centreX() - r, top + dialHeight / 2 - r, 2 * r, 2 * r};
}

Rect knobName(const EditorLayout& layout, std::int32_t knob) {
  const Rect& cell = layout.knobs[knob];
  return {cell.x, cell.y, cell.width, kKnobNameHeight};
}

Rect knobValue(const EditorLayout& layout, std::int32_t knob) {
  const Rect& cell = layout.knobs[knob];
  return {cell.x, cell.y + cell.height - kKnobValueHeight - kBottomPadding, cell.width,
          kKnobValueHeight};
}

}  // namespace qr47
