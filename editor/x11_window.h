// The editor's window on X11: a child of the host's window on the editor's own connection,
// painted with Cairo. It turns the pointer, wheel, key and size events that arrived into the
// view's calls, in logical pixels, and repaints when the view's picture is out of date or the
// server asks for it.
#pragma once

#include <X11/Xlib.h>
#include <cairo.h>

#include <cstdint>

#include "editor_view.h"

namespace qr47 {

class X11Window {
 public:
  // Null `window()` when the parent is no window of this display.
  X11Window(Display* display, Window parent, std::uint32_t width, std::uint32_t height);
  ~X11Window();
  X11Window(const X11Window&) = delete;
  X11Window& operator=(const X11Window&) = delete;

  // False once the host has destroyed the window (with its own, say).
  bool made() const { return window != 0; }
  Window id() const { return window; }
  void resize(std::uint32_t width, std::uint32_t height);
  void setVisible(bool visible);

  // Handles every event that arrived, then paints if the picture is out of date. The size the
  // window has now is in `width` and `height` on return, which the host may have changed.
  void handleEvents(EditorView& view, double scale);
  std::uint32_t width() const { return currentWidth; }
  std::uint32_t height() const { return currentHeight; }

 private:
  void handle(const XEvent& event, EditorView& view, double scale);
  void paint(EditorView& view, double scale);
  void releaseSurface();

  Display* display;
  Window window = 0;
  cairo_surface_t* surface = nullptr;  // the window's
  cairo_surface_t* picture = nullptr;  // in memory, the window's size
  std::uint32_t currentWidth, currentHeight;
  bool exposed = false;
};

}  // namespace qr47
