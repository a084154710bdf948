#include "x11_window.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <cairo-xlib.h>

namespace qr47 {
namespace {

constexpr long kEvents = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                         KeyPressMask | StructureNotifyMask;
constexpr unsigned kWheelUp = Button4;
constexpr unsigned kWheelDown = Button5;

// A bad parent makes the server answer with an error, which Xlib's default handler answers by
// ending the process. While the window is made, errors are noted instead.
bool failed = false;
int noteError(Display*, XErrorEvent*) {
  failed = true;
  return 0;
}

unsigned modifiersOf(unsigned state) {
  return (state & (ShiftMask | ControlMask)) != 0 ? kFineModifier : 0u;
}

EditorKey keyOf(KeySym symbol) {
  switch (symbol) {
    case XK_Up:
      return EditorKey::kUp;
    case XK_Down:
      return EditorKey::kDown;
    case XK_Left:
      return EditorKey::kLeft;
    case XK_Right:
      return EditorKey::kRight;
    default:
      return EditorKey::kOther;
  }
}

}  // namespace

X11Window::X11Window(Display* display, Window parent, std::uint32_t width, std::uint32_t height)
    : display(display), currentWidth(width), currentHeight(height) {
  XSync(display, False);
  failed = false;
  const auto previous = XSetErrorHandler(noteError);
  XWindowAttributes parentAttributes;
  if (XGetWindowAttributes(display, parent, &parentAttributes) != 0 && !failed) {
    XSetWindowAttributes attributes{};
    attributes.event_mask = kEvents;
    attributes.background_pixmap = None;
    window = XCreateWindow(display, parent, 0, 0, width, height, 0, CopyFromParent, InputOutput,
                           CopyFromParent, CWEventMask | CWBackPixmap, &attributes);
    XSync(display, False);
  }
  XSetErrorHandler(previous);
  if (failed || window == 0) {
    window = 0;
    return;
  }
  XWindowAttributes own;
  XGetWindowAttributes(display, window, &own);
  surface = cairo_xlib_surface_create(display, window, own.visual, static_cast<int>(width),
                                      static_cast<int>(height));
  XMapWindow(display, window);
  XFlush(display);
}

// A host may destroy its window, and ours with it, before it closes the editor: what is already
// gone is not an error then.
X11Window::~X11Window() {
  XSync(display, False);
  const auto previous = XSetErrorHandler(noteError);
  if (picture) cairo_surface_destroy(picture);
  releaseSurface();
  if (window) XDestroyWindow(display, window);
  XSync(display, False);
  XSetErrorHandler(previous);
}

// Cairo keeps what it knows of the connection until told it is finished with it.
void X11Window::releaseSurface() {
  if (!surface) return;
  cairo_device_t* device = cairo_device_reference(cairo_surface_get_device(surface));
  cairo_surface_destroy(surface);
  cairo_device_finish(device);
  cairo_device_destroy(device);
  surface = nullptr;
}

// Asked even for the size the window last reported: a resize asked before may still be on its way.
void X11Window::resize(std::uint32_t width, std::uint32_t height) {
  if (!window) return;
  XResizeWindow(display, window, width, height);
  XFlush(display);
}

void X11Window::setVisible(bool visible) {
  if (!window) return;
  if (visible) {
    XMapWindow(display, window);
  } else {
    XUnmapWindow(display, window);
  }
  XFlush(display);
}

void X11Window::handleEvents(EditorView& view, double scale) {
  if (!window) return;
  while (window && XPending(display) > 0) {
    XEvent event;
    XNextEvent(display, &event);
    // Only the newest of a run of movements matters.
    if (event.type == MotionNotify) {
      while (XCheckTypedWindowEvent(display, window, MotionNotify, &event)) {
      }
    }
    handle(event, view, scale);
  }
  if (!window) return;
  view.setSize(currentWidth / scale, currentHeight / scale);
  if (exposed || view.needsPaint()) paint(view, scale);
}

void X11Window::handle(const XEvent& event, EditorView& view, double scale) {
  switch (event.type) {
    case Expose:
      if (event.xexpose.count == 0) exposed = true;
      break;
    case DestroyNotify:
      if (event.xdestroywindow.window != window) break;
      releaseSurface();
      window = 0;
      break;
    case ConfigureNotify:
      if (event.xconfigure.window != window) break;
      currentWidth = static_cast<std::uint32_t>(event.xconfigure.width);
      currentHeight = static_cast<std::uint32_t>(event.xconfigure.height);
      cairo_xlib_surface_set_size(surface, event.xconfigure.width, event.xconfigure.height);
      exposed = true;
      break;
    case ButtonPress: {
      const XButtonEvent& b = event.xbutton;
      const double x = b.x / scale, y = b.y / scale;
      if (b.button == Button1) view.press(x, y, modifiersOf(b.state), b.time);
      if (b.button == kWheelUp) view.wheel(x, y, 1, modifiersOf(b.state));
      if (b.button == kWheelDown) view.wheel(x, y, -1, modifiersOf(b.state));
      break;
    }
    case MotionNotify:
      view.motion(event.xmotion.x / scale, event.xmotion.y / scale,
                  modifiersOf(event.xmotion.state));
      break;
    case ButtonRelease:
      if (event.xbutton.button == Button1) view.release();
      break;
    case KeyPress: {
      XKeyEvent key = event.xkey;
      view.key(keyOf(XLookupKeysym(&key, 0)), modifiersOf(key.state));
      break;
    }
    default:
      break;
  }
}

// Drawn in memory, then copied to the window whole: no flicker, and no text drawn through the
// server, whose glyph caches would outlive the connection.
void X11Window::paint(EditorView& view, double scale) {
  if (!picture || cairo_image_surface_get_width(picture) != static_cast<int>(currentWidth) ||
      cairo_image_surface_get_height(picture) != static_cast<int>(currentHeight)) {
    if (picture) cairo_surface_destroy(picture);
    picture = cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(currentWidth),
                                         static_cast<int>(currentHeight));
  }
  cairo_t* cr = cairo_create(picture);
  cairo_scale(cr, scale, scale);
  view.paint(cr);
  cairo_destroy(cr);
  cairo_surface_flush(picture);
  cr = cairo_create(surface);
  cairo_set_source_surface(cr, picture, 0, 0);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_paint(cr);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  XFlush(display);
  exposed = false;
}

}  // namespace qr47
