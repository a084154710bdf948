// The editor as a plug-in adapter holds it: a connection to the X11 display made when the host
// asks for an editor, a child window of the host's window once the host hands one over, and the
// editor's view painted in it. It starts no thread and has no timer of its own: the adapter calls
// `handleEvents` when the connection's file descriptor is readable and `idle` from the host's
// timer (about 30 times a second), both on the host's main thread.
//
// Sizes are in physical pixels, as X11 and the hosts count them; the layout works in logical
// pixels, the physical ones divided by the scale (2 on a HiDPI screen).
#pragma once

#include <cstdint>
#include <memory>

#include "editor_size.h"
#include "parameter_access.h"

namespace qr47 {

class EditorView;
class X11Window;

// How often the adapters call `idle`, in milliseconds: one frame at 30 frames a second.
constexpr std::uint32_t kEditorFrameMs = 33;

class PluginEditor {
 public:
  // Connects to the display named by DISPLAY; null when there is none or it refuses. The window
  // will open at `size`.
  static std::unique_ptr<PluginEditor> create(ParameterAccess& access,
                                              const EditorSize& size = EditorSize{});
  ~PluginEditor();
  PluginEditor(const PluginEditor&) = delete;
  PluginEditor& operator=(const PluginEditor&) = delete;

  // The display connection's file descriptor, for the host's run loop.
  int fileDescriptor() const;

  // The scale keeps the logical size: the physical size follows it.
  void setScale(double scale);
  double scale() const { return current.scale(); }
  std::uint32_t width() const { return current.width(); }
  std::uint32_t height() const { return current.height(); }
  const EditorSize& size() const { return current; }
  // The nearest size within the limits at the current scale.
  void adjustSize(std::uint32_t* width, std::uint32_t* height) const {
    current.adjust(width, height);
  }
  // False, changing nothing, for a size outside the limits.
  bool setSize(std::uint32_t width, std::uint32_t height);

  // Makes the window inside the host's; false when it cannot (an unknown parent, a second call).
  bool attach(std::uintptr_t parentWindow);
  void setVisible(bool visible);
  // False before `attach`, and once the host has destroyed the window.
  bool attached() const;
  // The editor's own window, for hosts that ask for it (LV2's widget); 0 when there is none.
  std::uintptr_t windowId() const;

  // The connection is readable: handles what arrived, painting where it must.
  void handleEvents();
  // The host's timer: shows what the host changed since the last frame, then as handleEvents.
  void idle();

 private:
  PluginEditor(ParameterAccess& access, void* display, const EditorSize& size);

  void* display;  // the connection, an Xlib Display
  EditorSize current;
  std::unique_ptr<EditorView> view;
  std::unique_ptr<X11Window> window;
};

}  // namespace qr47
