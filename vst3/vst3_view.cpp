#include "vst3_view.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "vst3_filter.h"
#include "vst3_parameters.h"

namespace qr47 {
namespace {

// The editor's indexes are the parameters' ids, its bypass the bypass parameter's.
static_assert(kBypassIndex == static_cast<std::int32_t>(kBypassId));

bool isEditable(std::int32_t index) {
  return index >= 0 && isVst3Parameter(static_cast<vst3::ParamID>(index));
}

// A host's rectangle may come upside down: it then stands for an empty one.
std::uint32_t extent(std::int32_t from, std::int32_t to) {
  return to > from ? static_cast<std::uint32_t>(to - from) : 0;
}

}  // namespace

Vst3View::Vst3View(Vst3Filter& filter) : controller(filter) {
  controller.addRef();
}

Vst3View::~Vst3View() {
  close();
  controller.release();
}

vst3::tresult Vst3View::queryInterface(const vst3::TUID iid, void** object) {
  if (!object) return vst3::kInvalidArgument;
  if (vst3::sameIid(iid, vst3::FUnknown::kIid) || vst3::sameIid(iid, vst3::IPlugView::kIid)) {
    *object = static_cast<vst3::IPlugView*>(this);
  } else if (vst3::sameIid(iid, vst3::IPlugViewContentScaleSupport::kIid)) {
    *object = static_cast<vst3::IPlugViewContentScaleSupport*>(this);
  } else if (vst3::sameIid(iid, vst3::Linux::IEventHandler::kIid)) {
    *object = static_cast<vst3::Linux::IEventHandler*>(this);
  } else if (vst3::sameIid(iid, vst3::Linux::ITimerHandler::kIid)) {
    *object = static_cast<vst3::Linux::ITimerHandler*>(this);
  } else {
    *object = nullptr;
    return vst3::kNoInterface;
  }
  addRef();
  return vst3::kResultOk;
}

std::uint32_t Vst3View::addRef() {
  return references.fetch_add(1, std::memory_order_relaxed) + 1;
}

std::uint32_t Vst3View::release() {
  const std::uint32_t left = references.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (left == 0) delete this;
  return left;
}

// The logical size stays: the physical one follows the scale, and an attached view asks the host
// for its new size.
vst3::tresult Vst3View::setContentScaleFactor(float factor) {
  if (!std::isfinite(factor) || factor <= 0.0f) return vst3::kInvalidArgument;
  if (!editor) {
    closedSize.setScale(factor);
    return vst3::kResultTrue;
  }
  editor->setScale(factor);
  if (frame) {
    vst3::ViewRect rect{0, 0, static_cast<std::int32_t>(editor->width()),
                        static_cast<std::int32_t>(editor->height())};
    frame->resizeView(this, &rect);
  }
  return vst3::kResultTrue;
}

vst3::tresult Vst3View::checkSizeConstraint(vst3::ViewRect* rect) {
  if (!rect) return vst3::kInvalidArgument;
  std::uint32_t w = extent(rect->left, rect->right);
  std::uint32_t h = extent(rect->top, rect->bottom);
  size().adjust(&w, &h);
  rect->right = rect->left + static_cast<std::int32_t>(w);
  rect->bottom = rect->top + static_cast<std::int32_t>(h);
  return vst3::kResultTrue;
}

vst3::tresult Vst3View::getSize(vst3::ViewRect* rect) {
  if (!rect) return vst3::kInvalidArgument;
  *rect = vst3::ViewRect{0, 0, static_cast<std::int32_t>(size().width()),
                         static_cast<std::int32_t>(size().height())};
  return vst3::kResultOk;
}

// A size beyond the limits is taken at the nearest one the editor allows.
vst3::tresult Vst3View::onSize(vst3::ViewRect* newSize) {
  if (!newSize) return vst3::kInvalidArgument;
  std::uint32_t w = extent(newSize->left, newSize->right);
  std::uint32_t h = extent(newSize->top, newSize->bottom);
  size().adjust(&w, &h);
  if (editor) return editor->setSize(w, h) ? vst3::kResultOk : vst3::kResultFalse;
  closedSize.set(w, h);
  return vst3::kResultOk;
}

vst3::tresult Vst3View::isPlatformTypeSupported(vst3::FIDString type) {
  return type && std::strcmp(type, vst3::kPlatformTypeX11EmbedWindowID) == 0 ? vst3::kResultTrue
                                                                             : vst3::kResultFalse;
}

vst3::tresult Vst3View::setFrame(vst3::IPlugFrame* newFrame) {
  frame = newFrame;
  return vst3::kResultOk;
}

bool Vst3View::open(void* parent) {
  editor = PluginEditor::create(*this, closedSize);
  if (!editor) return false;
  if (!editor->attach(reinterpret_cast<std::uintptr_t>(parent))) return false;
  if (runLoop->registerEventHandler(this, editor->fileDescriptor()) != vst3::kResultOk ||
      runLoop->registerTimer(this, kEditorFrameMs) != vst3::kResultOk) {
    return false;
  }
  editor->setVisible(true);
  return true;
}

// The handlers go first, so that no call reaches an editor that is gone; the size stays for the
// next attach.
void Vst3View::close() {
  if (runLoop) {
    runLoop->unregisterEventHandler(this);
    runLoop->unregisterTimer(this);
  }
  if (editor) {
    closedSize = editor->size();
    editor.reset();
  }
  if (runLoop) runLoop->release();
  runLoop = nullptr;
}

// The run loop comes from the frame; without one, or without a display, the view stays closed.
vst3::tresult Vst3View::attached(void* parent, vst3::FIDString type) {
  if (editor || !parent || isPlatformTypeSupported(type) != vst3::kResultTrue || !frame) {
    return vst3::kResultFalse;
  }
  void* loop = nullptr;
  if (frame->queryInterface(vst3::Linux::IRunLoop::kIid.data(), &loop) != vst3::kResultOk ||
      !loop) {
    return vst3::kResultFalse;
  }
  runLoop = static_cast<vst3::Linux::IRunLoop*>(loop);
  if (!open(parent)) {
    close();
    return vst3::kResultFalse;
  }
  return vst3::kResultOk;
}

vst3::tresult Vst3View::removed() {
  if (!editor) return vst3::kResultFalse;
  close();
  return vst3::kResultOk;
}

void Vst3View::onFDIsSet(int) {
  if (editor) editor->handleEvents();
}

void Vst3View::onTimer() {
  if (editor) editor->idle();
}

float Vst3View::value(std::int32_t index) const {
  if (!isEditable(index)) return 0.0f;
  const auto id = static_cast<vst3::ParamID>(index);
  return hostValueOfNormalized(id, controller.getParamNormalized(id));
}

void Vst3View::beginChange(std::int32_t index) {
  vst3::IComponentHandler* handler = controller.componentHandler();
  if (handler && isEditable(index)) handler->beginEdit(static_cast<vst3::ParamID>(index));
}

// The controller shows the value at once; the host hands it to the processor.
void Vst3View::setValue(std::int32_t index, float hostValue) {
  if (!isEditable(index) || !std::isfinite(hostValue)) return;
  const auto id = static_cast<vst3::ParamID>(index);
  const double normalized = std::clamp(normalizedOf(id, hostValue), 0.0, 1.0);
  controller.setParamNormalized(id, normalized);
  vst3::IComponentHandler* handler = controller.componentHandler();
  if (handler) handler->performEdit(id, normalized);
}

void Vst3View::endChange(std::int32_t index) {
  vst3::IComponentHandler* handler = controller.componentHandler();
  if (handler && isEditable(index)) handler->endEdit(static_cast<vst3::ParamID>(index));
}

float Vst3View::sampleRate() const {
  return controller.sampleRate();
}

}  // namespace qr47
