// Where everything sits in the editor, in logical pixels, for a given logical size: a top bar
// with the name, the bypass switch and the two lists (Filter Type's four words, Pole Number's
// two), the response
// graph with its handle, and a row of four knobs (Cutoff, Q Factor, Additional LP, 18dB Boost)
// below it. Painting and the pointer both work from this one layout.
#pragma once

#include <cstdint>

namespace qr47 {

struct Rect {
  double x, y, width, height;
  bool contains(double px, double py) const {
    return px >= x && px < x + width && py >= y && py < y + height;
  }
  double centreX() const { return x + width / 2; }
  double centreY() const { return y + height / 2; }
};

constexpr std::int32_t kKnobCount = 4;
constexpr std::int32_t kTypeCount = 4;
constexpr std::int32_t kPoleChoices = 2;

struct EditorLayout {
  Rect bar;                  // the top bar
  Rect title;                // "QR47"
  Rect bypass;               // the host's bypass switch
  Rect types[kTypeCount];    // low pass, high pass, band pass, notch
  Rect poles[kPoleChoices];  // 2 poles, 4 poles
  Rect graph;                // the plot area, inside its labels
  Rect knobs[kKnobCount];    // each knob's cell: its name above, its value below
  double knobRadius;
};

// The graph's scales: frequency on a logarithmic axis from 20 Hz to 20 kHz (or the Nyquist
// frequency, if lower), level in decibels on a linear one from -60 dB to +24 dB, or higher in
// steps of 12 dB where the response peaks higher (boost and resonance together reach +50 dB).
struct GraphAxes {
  Rect area;
  double lowHz, highHz;
  double topDb, bottomDb;

  double x(double hz) const;
  double hz(double x) const;
  double y(double db) const;
};
GraphAxes axesFor(const Rect& graph, double sampleRate, double peakDb = 0.0);

// The parameter each knob moves, left to right.
constexpr std::int32_t kKnobParameters[kKnobCount] = {0, 1, 4, 5};

EditorLayout layoutFor(double width, double height);

// A knob's cell in three parts: its name above, the dial, its value text below.
Rect knobName(const EditorLayout& layout, std::int32_t knob);
Rect knobDial(const EditorLayout& layout, std::int32_t knob);
Rect knobValue(const EditorLayout& layout, std::int32_t knob);

}  // namespace qr47
