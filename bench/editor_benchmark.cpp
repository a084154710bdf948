// What an open editor costs: a frame with nothing changed (the host's timer reading the six
// values), and a repaint after a change at the default size, into memory as into a window.
#include <benchmark/benchmark.h>
#include <cairo.h>

#include "editor_view.h"
#include "plugin_editor.h"

namespace {

class Values : public qr47::ParameterAccess {
 public:
  float values[qr47::kEditorValueCount] = {0.5f, 0.9f, 0.0f, 1.0f, 0.4f, 0.125f, 0.0f};
  float value(std::int32_t index) const override { return values[index]; }
  void beginChange(std::int32_t) override {}
  void setValue(std::int32_t, float) override {}
  void endChange(std::int32_t) override {}
  float sampleRate() const override { return 44100.0f; }
};

void IdleFrameWithNoChange(benchmark::State& state) {
  Values host;
  qr47::EditorView view(host);
  view.setSize(qr47::kEditorWidth, qr47::kEditorHeight);
  view.update();
  for (auto _ : state) benchmark::DoNotOptimize(view.update());
}
BENCHMARK(IdleFrameWithNoChange);

// A host change of Cutoff every frame, painted at scale 1 and 2.
void RepaintAfterAChange(benchmark::State& state) {
  const double scale = static_cast<double>(state.range(0));
  Values host;
  qr47::EditorView view(host);
  view.setSize(qr47::kEditorWidth, qr47::kEditorHeight);
  cairo_surface_t* surface =
      cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(qr47::kEditorWidth * scale),
                                 static_cast<int>(qr47::kEditorHeight * scale));
  float cutoff = 0.0f;
  for (auto _ : state) {
    cutoff = cutoff < 1.0f ? cutoff + 0.01f : 0.0f;
    host.values[qr47::kCutoff] = cutoff;
    view.update();
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, scale, scale);
    view.paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
  }
  cairo_surface_destroy(surface);
}
BENCHMARK(RepaintAfterAChange)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
