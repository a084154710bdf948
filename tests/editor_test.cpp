// The editor without a window: the response it draws against the filter's measured one, and what
// the pointer, the wheel and the keys send the host.
#include <fftw3.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "editor_layout.h"
#include "editor_view.h"
#include "filter_engine.h"
#include "lcg_noise.h"
#include "response_curve.h"

namespace {

using qr47::EditorView;

// The drawn curve equals an impulse run through the filter and measured by an FFT, within
// 0.05 dB wherever it lies above -60 dB, for settings of every kind at rates from 22.05 to
// 192 kHz. The impulse response is long enough for the longest ring at 192 kHz to die away.
// The level is judged before the 18dB Boost, a plain gain on both: further down, what the
// rounding of each sample to float leaks (near DC at high rates) shows in the measurement.
TEST(EditorResponse, EqualsTheMeasuredResponse) {
  constexpr int kLength = 1 << 18;
  constexpr double kLowestHz = 20.0, kHighestHz = 20000.0;
  constexpr double kFloorDb = -60.0, kToleranceDb = 0.05;
  const float rates[] = {22050.0f, 44100.0f, 48000.0f, 96000.0f, 192000.0f};
  std::vector<float> impulse(kLength, 0.0f), silence(kLength, 0.0f), output(kLength);
  impulse[0] = 1.0f;
  double* samples = fftw_alloc_real(kLength);
  fftw_complex* spectrum = fftw_alloc_complex(kLength / 2 + 1);
  fftw_plan plan = fftw_plan_dft_r2c_1d(kLength, samples, spectrum, FFTW_ESTIMATE);
  LcgNoise noise;
  const auto unit = [&noise] { return 0.5f + 0.5f * noise.next(); };
  int compared = 0;
  for (int setting = 0; setting < 60; ++setting) {
    const float rate = rates[setting % 5];
    // Every type with both slopes, the Additional LP on for half of them.
    float values[qr47::kParameterCount] = {unit(),
                                           unit(),
                                           0.25f * (setting % 4) + 0.1f,
                                           (setting / 4) % 2 ? 1.0f : 0.0f,
                                           setting % 3 ? unit() : 0.0f,
                                           0.02f + 0.98f * unit()};
    qr47::FilterEngine engine;
    engine.setSampleRate(rate);
    for (int i = 0; i < qr47::kParameterCount; ++i) engine.setParameter(i, values[i]);
    const float* inputs[] = {impulse.data(), silence.data()};
    float* outputs[] = {output.data(), output.data()};
    std::vector<float> right(kLength);
    outputs[1] = right.data();
    engine.processReplace(inputs, outputs, kLength);
    for (int n = 0; n < kLength; ++n) samples[n] = output[n];
    fftw_execute(plan);
    const qr47::FilterSettings settings = qr47::settingsFor(values, rate);
    const double top = std::min(kHighestHz, rate / 2.0);
    const double gainDb = 20.0 * std::log10(settings.loop().outputGain);
    for (int bin = 1; bin <= kLength / 2; ++bin) {
      const double hz = static_cast<double>(bin) * rate / kLength;
      if (hz < kLowestHz || hz > top) continue;
      const double drawn = qr47::responseDb(settings.loop(), hz);
      if (drawn - gainDb < kFloorDb) continue;
      const double measured = 10.0 * std::log10(spectrum[bin][0] * spectrum[bin][0] +
                                                spectrum[bin][1] * spectrum[bin][1]);
      ASSERT_NEAR(drawn, measured, kToleranceDb)
          << "setting " << setting << " at " << rate << " Hz, " << hz << " Hz";
      ++compared;
    }
  }
  fftw_destroy_plan(plan);
  fftw_free(spectrum);
  fftw_free(samples);
  EXPECT_GT(compared, 1000000);
}

// A host that notes every call the editor makes.
class RecordingAccess : public qr47::ParameterAccess {
 public:
  float values[qr47::kEditorValueCount] = {1.0f, 0.7f, 0.0f, 0.0f, 0.0f, 0.125f, 0.0f};
  std::string calls;

  float value(std::int32_t index) const override { return values[index]; }
  void beginChange(std::int32_t index) override { calls += "b" + std::to_string(index) + " "; }
  void setValue(std::int32_t index, float value) override {
    values[index] = value;
    calls += "s" + std::to_string(index) + " ";
  }
  void endChange(std::int32_t index) override { calls += "e" + std::to_string(index) + " "; }
  float sampleRate() const override { return 44100.0f; }
};

// What the editor paints in memory, pixel by pixel (the window gets a copy of it).
std::vector<std::uint32_t> painted(const float (&values)[qr47::kEditorValueCount], double scale) {
  RecordingAccess host;
  std::copy(std::begin(values), std::end(values), host.values);
  EditorView view(host);
  view.setSize(640.0, 400.0);
  view.update();
  const int width = static_cast<int>(640 * scale), height = static_cast<int>(400 * scale);
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  cairo_t* cr = cairo_create(surface);
  cairo_scale(cr, scale, scale);
  view.paint(cr);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  std::vector<std::uint32_t> pixels;
  const auto* data = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(surface));
  const int stride = cairo_image_surface_get_stride(surface) / 4;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) pixels.push_back(data[y * stride + x] & 0xFFFFFFu);
  }
  cairo_surface_destroy(surface);
  return pixels;
}

// The README's picture, which CI draws through a window on a display, is what the editor paints;
// at scale 2, a bypassed setting whose peak grows the level scale paints the picture it painted
// when it was looked at (its FNV-1a digest).
TEST(EditorPicture, IsWhatWasLookedAt) {
  cairo_surface_t* readme = cairo_image_surface_create_from_png(QR47_EDITOR_PICTURE);
  ASSERT_EQ(cairo_surface_status(readme), CAIRO_STATUS_SUCCESS);
  ASSERT_EQ(cairo_image_surface_get_width(readme), 640);
  const auto* data = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(readme));
  const int stride = cairo_image_surface_get_stride(readme) / 4;
  const std::vector<std::uint32_t> pixels =
      painted({0.5f, 0.9f, 0.0f, 1.0f, 0.4f, 0.125f, 0.0f}, 1.0);
  int differing = 0;
  for (int y = 0; y < 400; ++y) {
    for (int x = 0; x < 640; ++x) {
      differing += (data[y * stride + x] & 0xFFFFFFu) != pixels[y * 640 + x];
    }
  }
  cairo_surface_destroy(readme);
  EXPECT_EQ(differing, 0);
  std::uint64_t digest = 14695981039346656037ull;
  for (std::uint32_t pixel : painted({0.3f, 1.0f, 0.75f, 1.0f, 1.0f, 1.0f, 1.0f}, 2.0)) {
    digest = (digest ^ pixel) * 1099511628211ull;
  }
  EXPECT_EQ(digest, 5588719345885309613ull);
}

class EditorInput : public ::testing::Test {
 protected:
  static constexpr double kWidth = 640.0, kHeight = 400.0;
  void SetUp() override {
    view.setSize(kWidth, kHeight);
    view.update();
  }
  qr47::Rect knob(int i) const { return qr47::knobDial(layout, i); }

  RecordingAccess host;
  EditorView view{host};
  qr47::EditorLayout layout = qr47::layoutFor(kWidth, kHeight);
  std::uint64_t time = 1000;
};

// A drag is one gesture: begin at the first movement that changes the value, the values, end
// at the release. A click that moves nothing sends nothing.
TEST_F(EditorInput, ADragIsOneGestureAndAStillClickIsNone) {
  const qr47::Rect q = knob(1);
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 640, 400);
  cairo_t* cr = cairo_create(surface);
  view.paint(cr);
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  view.press(q.centreX(), q.centreY(), 0, time);
  view.motion(q.centreX(), q.centreY(), 0);
  view.release();
  EXPECT_EQ(host.calls, "");
  view.press(q.centreX(), q.centreY(), 0, time += 1000);
  view.motion(q.centreX(), q.centreY() - 20, 0);  // up a tenth of the travel
  view.motion(q.centreX(), q.centreY() - 40, 0);
  EXPECT_TRUE(view.needsPaint());  // the knob turns under the pointer
  view.release();
  EXPECT_EQ(host.calls, "b1 s1 s1 e1 ");
  EXPECT_FLOAT_EQ(host.values[1], 0.9f);
  // With Shift, a tenth as far; a value held at the end of the range.
  host.calls.clear();
  view.press(q.centreX(), q.centreY(), qr47::kFineModifier, time += 1000);
  view.motion(q.centreX(), q.centreY() + 100, qr47::kFineModifier);
  view.release();
  EXPECT_FLOAT_EQ(host.values[1], 0.85f);
  view.press(q.centreX(), q.centreY(), 0, time += 1000);
  view.motion(q.centreX(), q.centreY() - 1000, 0);
  view.release();
  EXPECT_EQ(host.values[1], 1.0f);
}

// Each list word, pole choice, wheel step, key and double click is a gesture of one value.
TEST_F(EditorInput, ClicksWheelKeysAndDoubleClicksEachSendOneValue) {
  view.press(layout.types[3].centreX(), layout.types[3].centreY(), 0, time);
  view.release();
  EXPECT_EQ(host.values[2], 0.75f);  // notch
  view.press(layout.poles[1].centreX(), layout.poles[1].centreY(), 0, time += 1000);
  EXPECT_EQ(host.values[3], 1.0f);  // four poles
  view.press(layout.bypass.centreX(), layout.bypass.centreY(), 0, time += 1000);
  view.press(layout.bypass.centreX(), layout.bypass.centreY(), 0, time += 1000);
  EXPECT_EQ(host.values[6], 0.0f);                                         // on and off again
  view.wheel(layout.types[0].centreX(), layout.types[0].centreY(), 1, 0);  // already the last
  view.wheel(layout.types[0].centreX(), layout.types[0].centreY(), -1, 0);
  EXPECT_EQ(host.values[2], 0.5f);  // band pass
  view.wheel(knob(3).centreX(), knob(3).centreY(), 2, 0);
  EXPECT_FLOAT_EQ(host.values[5], 0.145f);
  view.key(qr47::EditorKey::kDown, qr47::kFineModifier);  // the boost, touched last
  EXPECT_FLOAT_EQ(host.values[5], 0.144f);
  EXPECT_EQ(host.calls, "b2 s2 e2 b3 s3 e3 b6 s6 e6 b6 s6 e6 b2 s2 e2 b5 s5 e5 b5 s5 e5 ");
  host.calls.clear();
  // A double click within its time and place: back to the factory program's value.
  const qr47::Rect boost = knob(3);
  view.press(boost.centreX(), boost.centreY(), 0, time += 1000);
  view.release();
  view.press(boost.centreX() + 2, boost.centreY(), 0, time += 300);
  view.release();
  EXPECT_EQ(host.values[5], 0.125f);
  EXPECT_EQ(host.calls, "b5 s5 e5 ");
  // Too slow for a double click: nothing.
  view.wheel(boost.centreX(), boost.centreY(), 1, 0);
  host.calls.clear();
  view.press(boost.centreX(), boost.centreY(), 0, time += 1000);
  view.press(boost.centreX(), boost.centreY(), 0, time += 500);
  view.release();
  EXPECT_EQ(host.calls, "");
  // A single wheel step each way flips a switch.
  view.wheel(layout.poles[0].centreX(), layout.poles[0].centreY(), -1, 0);
  EXPECT_EQ(host.values[3], 0.0f);
  view.wheel(layout.poles[0].centreX(), layout.poles[0].centreY(), 1, 0);
  EXPECT_EQ(host.values[3], 1.0f);
}

// The handle follows the pointer's frequency sideways and moves Q up and down, as one gesture
// of both; a double click in the graph takes both back to the factory program.
TEST_F(EditorInput, TheHandleMovesCutoffAndQ) {
  host.values[0] = 0.5f;  // 2950 Hz
  view.update();
  const qr47::GraphAxes axes = qr47::axesFor(layout.graph, 44100.0);
  const double x = axes.x(2950.0613), y = layout.graph.centreY();
  view.press(x, y, 0, time);
  view.motion(axes.x(5000.0), y - layout.graph.height / 10, 0);
  view.release();
  EXPECT_EQ(host.calls, "b0 s0 b1 s1 e0 e1 ");
  EXPECT_NEAR(qr47::settingsFor(host.values, 44100.0f).displayedCutoffHz(), 5000.0f, 1.0f);
  EXPECT_FLOAT_EQ(host.values[1], 0.8f);
  // Shift pressed in the middle of a drag goes on from where the handle is, a tenth as far:
  // 30 px, then 100 px at a tenth, end 40 px from where the drag began.
  const double from = axes.x(5000.0);
  view.press(from, y, 0, time += 1000);
  view.motion(from + 30, y, 0);
  view.motion(from + 30, y, qr47::kFineModifier);
  view.motion(from + 130, y, qr47::kFineModifier);
  view.release();
  EXPECT_NEAR(qr47::settingsFor(host.values, 44100.0f).displayedCutoffHz(), axes.hz(from + 40),
              1.0f);
  host.calls.clear();
  view.press(x, y, 0, time += 1000);
  view.press(x, y, 0, time += 200);
  EXPECT_EQ(host.values[0], 1.0f);
  EXPECT_EQ(host.values[1], 0.7f);
}

// What the host changed shows at the next frame; a value under the editor's own drag stays the
// editor's until the release.
TEST_F(EditorInput, HostChangesShowButNotUnderADrag) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 640, 400);
  cairo_t* cr = cairo_create(surface);
  view.paint(cr);
  EXPECT_FALSE(view.update());
  host.values[4] = 0.5f;
  EXPECT_TRUE(view.update());
  view.paint(cr);
  const qr47::Rect q = knob(1);
  view.press(q.centreX(), q.centreY(), 0, time);
  view.motion(q.centreX(), q.centreY() - 20, 0);
  host.values[1] = 0.2f;  // the host's echo of an older value
  view.update();
  view.motion(q.centreX(), q.centreY() - 40, 0);
  EXPECT_FLOAT_EQ(host.values[1], 0.9f);
  view.release();
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
}

}  // namespace
