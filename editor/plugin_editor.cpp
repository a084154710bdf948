#include "plugin_editor.h"

#include <X11/Xlib.h>

#include "editor_view.h"
#include "x11_window.h"

namespace qr47 {
namespace {

Display* displayOf(void* display) {
  return static_cast<Display*>(display);
}

}  // namespace

std::unique_ptr<PluginEditor> PluginEditor::create(ParameterAccess& access,
                                                   const EditorSize& size) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return nullptr;
  return std::unique_ptr<PluginEditor>(new PluginEditor(access, display, size));
}

PluginEditor::PluginEditor(ParameterAccess& access, void* display, const EditorSize& size)
    : display(display), current(size), view(std::make_unique<EditorView>(access)) {}

PluginEditor::~PluginEditor() {
  window.reset();
  XCloseDisplay(displayOf(display));
}

int PluginEditor::fileDescriptor() const {
  return ConnectionNumber(displayOf(display));
}

void PluginEditor::setScale(double scale) {
  current.setScale(scale);
  if (window) window->resize(width(), height());
}

bool PluginEditor::setSize(std::uint32_t width, std::uint32_t height) {
  if (!current.set(width, height)) return false;
  if (window) window->resize(width, height);
  return true;
}

bool PluginEditor::attach(std::uintptr_t parentWindow) {
  if (window) return false;
  auto made = std::make_unique<X11Window>(displayOf(display), static_cast<Window>(parentWindow),
                                          width(), height());
  if (!made->made()) return false;
  window = std::move(made);
  view->update();
  window->handleEvents(*view, scale());
  return true;
}

bool PluginEditor::attached() const {
  return window && window->made();
}

std::uintptr_t PluginEditor::windowId() const {
  return attached() ? window->id() : 0;
}

void PluginEditor::setVisible(bool visible) {
  if (window) window->setVisible(visible);
}

void PluginEditor::handleEvents() {
  if (!window) return;
  window->handleEvents(*view, scale());
  // The host may have resized the window itself.
  current.follow(window->width(), window->height());
}

void PluginEditor::idle() {
  view->update();
  handleEvents();
}

}  // namespace qr47
