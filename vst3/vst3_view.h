// The editor's view for VST 3 hosts on Linux: the editor embedded in the X11 window the host
// hands over, its display connection and frame timer served by the run loop the host's plug frame
// offers. Every call comes on the host's UI thread. Changes go to the controller and, as one
// gesture each, to the host's component handler.
//
// The view holds a reference on the controller: a host may release the view after its own last
// reference on the controller, or after terminate, and the controller must still be there.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "parameter_access.h"
#include "plugin_editor.h"
#include "vst3_api.h"

namespace qr47 {

class Vst3Filter;

class Vst3View final : public vst3::IPlugView,
                       public vst3::IPlugViewContentScaleSupport,
                       public vst3::Linux::IEventHandler,
                       public vst3::Linux::ITimerHandler,
                       private ParameterAccess {
 public:
  explicit Vst3View(Vst3Filter& controller);

  // Every interface.
  vst3::tresult queryInterface(const vst3::TUID iid, void** object) override;
  std::uint32_t addRef() override;
  std::uint32_t release() override;

  // Size and scale: the host may ask before it attaches the view.
  vst3::tresult setContentScaleFactor(float factor) override;
  vst3::tresult canResize() override { return vst3::kResultTrue; }
  vst3::tresult checkSizeConstraint(vst3::ViewRect* rect) override;
  vst3::tresult getSize(vst3::ViewRect* rect) override;
  vst3::tresult onSize(vst3::ViewRect* newSize) override;

  // The host's frame and window.
  vst3::tresult isPlatformTypeSupported(vst3::FIDString type) override;
  vst3::tresult setFrame(vst3::IPlugFrame* newFrame) override;
  vst3::tresult attached(void* parent, vst3::FIDString type) override;
  vst3::tresult removed() override;

  // The host's run loop, while attached.
  void onFDIsSet(int fd) override;
  void onTimer() override;

  // The editor takes the pointer and keys from its own window: nothing comes through the host.
  vst3::tresult onWheel(float) override { return vst3::kResultFalse; }
  vst3::tresult onKeyDown(vst3::TChar, std::int16_t, std::int16_t) override {
    return vst3::kResultFalse;
  }
  vst3::tresult onKeyUp(vst3::TChar, std::int16_t, std::int16_t) override {
    return vst3::kResultFalse;
  }
  vst3::tresult onFocus(vst3::TBool) override { return vst3::kResultOk; }

 private:
  ~Vst3View() override;

  // What the editor reads and changes.
  float value(std::int32_t index) const override;
  void beginChange(std::int32_t index) override;
  void setValue(std::int32_t index, float value) override;
  void endChange(std::int32_t index) override;
  float sampleRate() const override;

  // The open editor's size, or the one it will open at.
  const EditorSize& size() const { return editor ? editor->size() : closedSize; }
  bool open(void* parent);
  void close();

  std::atomic<std::uint32_t> references{1};
  Vst3Filter& controller;
  vst3::IPlugFrame* frame = nullptr;         // the host's, kept until it sets another
  vst3::Linux::IRunLoop* runLoop = nullptr;  // counted while attached
  EditorSize closedSize;                     // while no editor holds the size
  std::unique_ptr<PluginEditor> editor;
};

}  // namespace qr47
