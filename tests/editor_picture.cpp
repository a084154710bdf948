// Draws the README's picture of the editor: the editor opened in a window of its own on the
// display, as a host opens it, with a setting that shows what it is for (Q Factor 90 % and the
// Additional LP at 40 % on a four-pole low pass at 2950 Hz), and the window's pixels written as
// a PNG file.
#include <X11/Xlib.h>
#include <cairo.h>

#include <cstdio>
#include <cstring>

#include "editor_driver.h"

namespace {

constexpr float kValues[qr47::kEditorValueCount] = {0.5f, 0.9f, 0.0f, 1.0f, 0.4f, 0.125f, 0.0f};
constexpr float kRate = 44100.0f;

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s PICTURE.png\n", argv[0]);
    return 2;
  }
  editor_test::FixedValues values(kValues, kRate);
  auto editor = qr47::PluginEditor::create(values);
  if (!editor) {
    std::fprintf(stderr, "no display: set DISPLAY (Xvfb will do)\n");
    return 1;
  }
  const int width = static_cast<int>(editor->width()), height = static_cast<int>(editor->height());
  editor_test::EditorDriver driver(width, height, [&] { editor->idle(); });
  if (!driver.ok() || !editor->attach(driver.window())) {
    std::fprintf(stderr, "the editor's window could not be opened\n");
    return 1;
  }
  const editor_test::Picture picture = driver.picture();
  editor.reset();
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  auto* data = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(surface));
  const int stride = cairo_image_surface_get_stride(surface) / 4;
  for (int y = 0; y < height; ++y) {
    std::memcpy(data + y * stride, picture.pixels.data() + y * width, width * 4);
  }
  cairo_surface_mark_dirty(surface);
  const bool written = cairo_surface_write_to_png(surface, argv[1]) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(surface);
  return written ? 0 : 1;
}
