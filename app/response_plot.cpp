#include "response_plot.h"

#include <cairo-svg.h>
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "file_names.h"
#include "interrupts.h"
#include "output_target.h"

namespace qr47 {
namespace {

constexpr double kWidth = 1000.0;
constexpr double kHeight = 580.0;
constexpr double kLeft = 70.0, kRight = 30.0, kTop = 64.0, kBottom = 56.0;
constexpr double kDecibelStep = 10.0;
constexpr int kDecibelSteps = 10;  // the axis spans 100 dB
constexpr double kTitleSize = 13.0, kLabelSize = 12.0;
constexpr double kCurveWidth = 2.0;

struct Rgb {
  double r, g, b;
};
constexpr Rgb kCurveColours[] = {{0.10, 0.35, 0.75},
                                 {0.85, 0.33, 0.10},
                                 {0.15, 0.60, 0.25},
                                 {0.55, 0.20, 0.60},
                                 {0.35, 0.35, 0.35}};

struct Axes {
  double lowHz, highHz, topDb;

  double x(double hz) const {
    return kLeft + (std::log10(hz) - std::log10(lowHz)) / (std::log10(highHz) - std::log10(lowHz)) *
                       (kWidth - kLeft - kRight);
  }
  double y(double db) const {
    // Points beyond the window stay where they are: the plot's clip cuts the curve at its edge.
    const double bottomDb = topDb - kDecibelStep * kDecibelSteps;
    return kTop + (topDb - db) / (topDb - bottomDb) * (kHeight - kTop - kBottom);
  }
};

std::string hertzLabel(double hz) {
  char text[16];
  if (hz >= 1000.0) {
    std::snprintf(text, sizeof text, "%gk", hz / 1000.0);
  } else {
    std::snprintf(text, sizeof text, "%g", hz);
  }
  return text;
}

void text(cairo_t* cr, double x, double y, const std::string& words, double size, double alignX) {
  cairo_set_font_size(cr, size);
  cairo_text_extents_t extents;
  cairo_text_extents(cr, words.c_str(), &extents);
  cairo_move_to(cr, x - extents.width * alignX, y);
  cairo_show_text(cr, words.c_str());
}

void drawGrid(cairo_t* cr, const Axes& axes) {
  cairo_set_line_width(cr, 1.0);
  for (double decade = 10.0; decade <= axes.highHz; decade *= 10.0) {
    for (double step : {1.0, 2.0, 5.0}) {
      const double hz = decade * step;
      if (hz < axes.lowHz || hz > axes.highHz) continue;
      const double x = axes.x(hz);
      cairo_set_source_rgb(cr, step == 1.0 ? 0.75 : 0.88, step == 1.0 ? 0.75 : 0.88,
                           step == 1.0 ? 0.75 : 0.88);
      cairo_move_to(cr, x, kTop);
      cairo_line_to(cr, x, kHeight - kBottom);
      cairo_stroke(cr);
      cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
      text(cr, x, kHeight - kBottom + 16, hertzLabel(hz), kLabelSize, 0.5);
    }
  }
  for (int i = 0; i <= kDecibelSteps; ++i) {
    const double db = axes.topDb - i * kDecibelStep;
    const double y = axes.y(db);
    cairo_set_source_rgb(cr, db == 0.0 ? 0.6 : 0.85, db == 0.0 ? 0.6 : 0.85,
                         db == 0.0 ? 0.6 : 0.85);
    cairo_move_to(cr, kLeft, y);
    cairo_line_to(cr, kWidth - kRight, y);
    cairo_stroke(cr);
    cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
    text(cr, kLeft - 8, y + 4, std::to_string(static_cast<int>(db)), kLabelSize, 1.0);
  }
  cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
  text(cr, (kLeft + kWidth - kRight) / 2, kHeight - 14, "Frequency (Hz)", kLabelSize, 0.5);
  cairo_save(cr);
  cairo_translate(cr, 18, (kTop + kHeight - kBottom) / 2);
  cairo_rotate(cr, -M_PI / 2);
  text(cr, 0, 0, "Magnitude (dB)", kLabelSize, 0.5);
  cairo_restore(cr);
}

void drawCurves(cairo_t* cr, const Axes& axes, const std::vector<ResponseCurve>& curves) {
  cairo_rectangle(cr, kLeft, kTop, kWidth - kLeft - kRight, kHeight - kTop - kBottom);
  cairo_save(cr);
  cairo_clip(cr);
  cairo_set_line_width(cr, kCurveWidth);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  for (std::size_t c = 0; c < curves.size(); ++c) {
    const Rgb colour = kCurveColours[c % std::size(kCurveColours)];
    cairo_set_source_rgb(cr, colour.r, colour.g, colour.b);
    for (std::size_t i = 0; i < curves[c].hertz.size(); ++i) {
      const double x = axes.x(curves[c].hertz[i]);
      const double y = axes.y(curves[c].decibels[i]);
      i == 0 ? cairo_move_to(cr, x, y) : cairo_line_to(cr, x, y);
    }
    cairo_stroke(cr);
  }
  cairo_restore(cr);
  // The legend, top right inside the plot, its lines drawn as the curves are.
  cairo_set_line_width(cr, kCurveWidth);
  double y = kTop + 20;
  for (std::size_t c = 0; c < curves.size(); ++c) {
    if (curves[c].label.empty()) continue;
    const Rgb colour = kCurveColours[c % std::size(kCurveColours)];
    cairo_set_source_rgb(cr, colour.r, colour.g, colour.b);
    cairo_move_to(cr, kWidth - kRight - 140, y - 4);
    cairo_line_to(cr, kWidth - kRight - 115, y - 4);
    cairo_stroke(cr);
    cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
    text(cr, kWidth - kRight - 108, y, curves[c].label, kLabelSize, 0.0);
    y += 18;
  }
  // A response wholly below the window (silence, for one) is said, not left to look empty.
  const double bottomDb = axes.topDb - kDecibelStep * kDecibelSteps;
  for (const ResponseCurve& curve : curves) {
    if (*std::max_element(curve.decibels.begin(), curve.decibels.end()) >= bottomDb) continue;
    const std::string what = curve.label.empty() ? "the response" : curve.label;
    text(cr, (kLeft + kWidth - kRight) / 2, y + 20,
         what + " lies below " + std::to_string(static_cast<int>(bottomDb)) + " dB everywhere",
         kLabelSize, 0.5);
    y += 18;
  }
}

void draw(cairo_t* cr, const std::vector<ResponseCurve>& curves, const std::string& title,
          double nyquistHz) {
  double peak = 0.0;
  for (const ResponseCurve& curve : curves) {
    for (double db : curve.decibels) peak = std::max(peak, db);
  }
  const Axes axes{kLowestPlotHz, nyquistHz,
                  std::ceil(peak / kDecibelStep) * kDecibelStep + kDecibelStep};
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  drawGrid(cr, axes);
  drawCurves(cr, axes, curves);
  cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
  text(cr, kWidth / 2, 30, title, kTitleSize, 0.5);
}

cairo_status_t writeTo(void* file, const unsigned char* data, unsigned int length) {
  if (file == nullptr) return CAIRO_STATUS_WRITE_ERROR;
  return std::fwrite(data, 1, length, static_cast<FILE*>(file)) == length
             ? CAIRO_STATUS_SUCCESS
             : CAIRO_STATUS_WRITE_ERROR;
}

}  // namespace

OutputTarget planPicture(const std::string& path) {
  const std::string extension = extensionOf(path);
  if (extension != "png" && extension != "svg") {
    throw std::invalid_argument("cannot tell the picture format of " + path +
                                " (give a .png or .svg file)");
  }
  return planOutput(path);
}

void plotResponses(const std::vector<ResponseCurve>& curves, const std::string& title,
                   double nyquistHz, const std::string& path) {
  const std::string extension = extensionOf(path);
  const OutputTarget output = planPicture(path);
  const std::string temporary = output.replace ? temporaryPathFor(output.target) : "";
  setTemporaryFile(temporary);
  FILE* file = fdopen(openOutput(output, temporary), "wb");
  cairo_surface_t* surface =
      extension == "svg" ? cairo_svg_surface_create_for_stream(writeTo, file, kWidth, kHeight)
                         : cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(kWidth),
                                                      static_cast<int>(kHeight));
  cairo_t* cr = cairo_create(surface);
  draw(cr, curves, title, nyquistHz);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  cairo_status_t status = cairo_surface_status(surface);
  if (extension == "png" && status == CAIRO_STATUS_SUCCESS) {
    status = cairo_surface_write_to_png_stream(surface, writeTo, file);
  }
  cairo_surface_finish(surface);
  if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface);
  cairo_surface_destroy(surface);
  const bool closed = file != nullptr && std::fclose(file) == 0;
  if (status == CAIRO_STATUS_SUCCESS && !closed) status = CAIRO_STATUS_WRITE_ERROR;
  if (status != CAIRO_STATUS_SUCCESS ||
      (output.replace && std::rename(temporary.c_str(), output.target.c_str()) != 0)) {
    if (output.replace) std::remove(temporary.c_str());
    setTemporaryFile("");
    throw std::runtime_error("cannot write " + path + ": " + cairo_status_to_string(status));
  }
  setTemporaryFile("");
}

std::string responsesCsv(const std::vector<ResponseCurve>& curves) {
  std::string csv = "Hz";
  for (const ResponseCurve& curve : curves) csv += "," + (curve.label.empty() ? "dB" : curve.label);
  csv += "\n";
  char number[32];
  for (std::size_t i = 0; i < curves.front().hertz.size(); ++i) {
    std::snprintf(number, sizeof number, "%.3f", curves.front().hertz[i]);
    csv += number;
    for (const ResponseCurve& curve : curves) {
      std::snprintf(number, sizeof number, ",%.3f", curve.decibels[i]);
      csv += number;
    }
    csv += "\n";
  }
  return csv;
}

}  // namespace qr47
