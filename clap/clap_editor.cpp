#include "clap_editor.h"

#include <cstring>

#include "clap_filter.h"
#include "clap_parameters.h"

namespace qr47 {
namespace {

static_assert(kBypassIndex == static_cast<std::int32_t>(kClapBypassId) &&
              kEditorValueCount == GestureMailbox::kSlotCount);

bool isEditorIndex(std::int32_t index) {
  return index >= 0 && index < kEditorValueCount;
}

template <typename Extension>
const Extension* hostExtension(const clap::Host* host, const char* id) {
  return static_cast<const Extension*>(host->getExtension(host, id));
}

}  // namespace

bool ClapEditor::supports(const char* api, bool isFloating) {
  return !isFloating && api && std::strcmp(api, clap::kWindowApiX11) == 0;
}

bool ClapEditor::create(const char* api, bool isFloating) {
  if (editor || !supports(api, isFloating)) return false;
  hostParams = hostExtension<clap::HostParams>(host, clap::kParamsId);
  timers = hostExtension<clap::HostTimerSupport>(host, clap::kTimerSupportId);
  fds = hostExtension<clap::HostPosixFdSupport>(host, clap::kPosixFdSupportId);
  if (!timers || !timers->registerTimer || !timers->unregisterTimer || !fds || !fds->registerFd ||
      !fds->unregisterFd) {
    return false;
  }
  editor = PluginEditor::create(*this);
  return editor != nullptr;
}

bool ClapEditor::setScale(double scale) {
  if (!editor || !(scale > 0.0)) return false;
  editor->setScale(scale);
  return true;
}

bool ClapEditor::size(std::uint32_t* width, std::uint32_t* height) const {
  if (!editor) return false;
  *width = editor->width();
  *height = editor->height();
  return true;
}

// Any shape within the limits: the layout follows it.
bool ClapEditor::resizeHints(clap::GuiResizeHints* hints) const {
  if (!editor) return false;
  *hints = {true, true, false, kEditorWidth, kEditorHeight};
  return true;
}

bool ClapEditor::adjustSize(std::uint32_t* width, std::uint32_t* height) const {
  if (!editor) return false;
  editor->adjustSize(width, height);
  return true;
}

bool ClapEditor::setSize(std::uint32_t width, std::uint32_t height) {
  return editor && editor->setSize(width, height);
}

// The connection is watched and the frames start only once there is a window to paint.
bool ClapEditor::setParent(const clap::Window* window) {
  if (!editor || !window || !supports(window->api, false) || editor->attached() ||
      !editor->attach(window->x11)) {
    return false;
  }
  fdRegistered = fds->registerFd(host, editor->fileDescriptor(), clap::kPosixFdRead);
  timerRegistered = timers->registerTimer(host, kEditorFrameMs, &timerId);
  return fdRegistered && timerRegistered;
}

bool ClapEditor::setVisible(bool visible) {
  if (!editor) return false;
  editor->setVisible(visible);
  return true;
}

// The host hears the end of a gesture the window's closing cut short.
void ClapEditor::destroy() {
  if (!editor) return;
  for (std::int32_t index = 0; index < kEditorValueCount; ++index) {
    if (changing[index]) endChange(index);
  }
  if (fdRegistered) fds->unregisterFd(host, editor->fileDescriptor());
  if (timerRegistered) timers->unregisterTimer(host, timerId);
  fdRegistered = timerRegistered = false;
  timerId = clap::kInvalidId;
  editor.reset();
}

void ClapEditor::onFd(int fd) {
  if (editor && fdRegistered && fd == editor->fileDescriptor()) editor->handleEvents();
}

void ClapEditor::onTimer(std::uint32_t id) {
  if (editor && timerRegistered && id == timerId) editor->idle();
}

float ClapEditor::value(std::int32_t index) const {
  float sent;
  if (filter.editorGestures().pending(index, &sent)) return sent;
  return filter.shownValue(index);
}

void ClapEditor::beginChange(std::int32_t index) {
  if (!isEditorIndex(index) || changing[index]) return;
  changing[index] = true;
  filter.editorGestures().begin(index);
  requestFlush();
}

void ClapEditor::setValue(std::int32_t index, float value) {
  filter.editorGestures().set(index, value);
  requestFlush();
}

void ClapEditor::endChange(std::int32_t index) {
  if (!isEditorIndex(index) || !changing[index]) return;
  changing[index] = false;
  filter.editorGestures().end(index);
  requestFlush();
}

float ClapEditor::sampleRate() const {
  return filter.sampleRate();
}

void ClapEditor::requestFlush() const {
  if (hostParams && hostParams->requestFlush) hostParams->requestFlush(host);
}

}  // namespace qr47
