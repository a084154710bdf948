#include "plugin_editor.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <cmath>

#include "editor_view.h"
#include "x11_window.h"

namespace qr47 {
namespace {

Display* displayOf(void* display) {
  return static_cast<Display*>(display);
}

std::uint32_t physical(double logical, double scale) {
  return static_cast<std::uint32_t>(std::lround(logical * scale));
}

}  // namespace

std::unique_ptr<PluginEditor> PluginEditor::create(ParameterAccess& access) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return nullptr;
  return std::unique_ptr<PluginEditor>(new PluginEditor(access, display));
}

PluginEditor::PluginEditor(ParameterAccess& access, void* display)
    : display(display), view(std::make_unique<EditorView>(access)) {}

PluginEditor::~PluginEditor() {
  window.reset();
  XCloseDisplay(displayOf(display));
}

int PluginEditor::fileDescriptor() const {
  return ConnectionNumber(displayOf(display));
}

void PluginEditor::setScale(double scale) {
  scaleFactor = std::clamp(scale, kEditorMinScale, kEditorMaxScale);
  if (window) window->resize(width(), height());
}

std::uint32_t PluginEditor::width() const {
  return physical(logicalWidth, scaleFactor);
}

std::uint32_t PluginEditor::height() const {
  return physical(logicalHeight, scaleFactor);
}

void PluginEditor::adjustSize(std::uint32_t* width, std::uint32_t* height) const {
  *width = std::clamp(*width, physical(kEditorMinWidth, scaleFactor),
                      physical(kEditorMaxWidth, scaleFactor));
  *height = std::clamp(*height, physical(kEditorMinHeight, scaleFactor),
                       physical(kEditorMaxHeight, scaleFactor));
}

bool PluginEditor::setSize(std::uint32_t width, std::uint32_t height) {
  std::uint32_t w = width, h = height;
  adjustSize(&w, &h);
  if (w != width || h != height) return false;
  logicalWidth = width / scaleFactor;
  logicalHeight = height / scaleFactor;
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
  window->handleEvents(*view, scaleFactor);
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
  window->handleEvents(*view, scaleFactor);
  // The host may have resized the window itself.
  logicalWidth = window->width() / scaleFactor;
  logicalHeight = window->height() / scaleFactor;
}

void PluginEditor::idle() {
  view->update();
  handleEvents();
}

}  // namespace qr47
