// The clap.gui extension of one instance: the editor embedded in the X11 window the host hands
// over, doing its work in the host's timer and file-descriptor callbacks on the main thread. What
// the user changes there goes to the audio side through the filter's gesture mailbox, the host
// asked to flush it, and comes back to the host from there as its gestures.
#pragma once

#include <cstdint>
#include <memory>

#include "clap_api.h"
#include "parameter_access.h"
#include "plugin_editor.h"

namespace qr47 {

class ClapFilter;

class ClapEditor : public ParameterAccess {
 public:
  ClapEditor(const clap::Host* host, ClapFilter& filter) : host(host), filter(filter) {}
  ~ClapEditor() override { destroy(); }
  ClapEditor(const ClapEditor&) = delete;
  ClapEditor& operator=(const ClapEditor&) = delete;

  // clap.gui, on the main thread. X11 only, embedded only.
  static bool supports(const char* api, bool isFloating);
  // False unless the host runs timers and watches file descriptors for us and a display answers.
  bool create(const char* api, bool isFloating);
  bool setScale(double scale);
  bool size(std::uint32_t* width, std::uint32_t* height) const;
  bool resizeHints(clap::GuiResizeHints* hints) const;
  bool adjustSize(std::uint32_t* width, std::uint32_t* height) const;
  bool setSize(std::uint32_t width, std::uint32_t height);
  bool setParent(const clap::Window* window);
  bool setVisible(bool visible);
  void destroy();

  // The host's run loop.
  void onFd(int fd);
  void onTimer(std::uint32_t timerId);

  // What the editor reads and sends.
  float value(std::int32_t index) const override;
  void beginChange(std::int32_t index) override;
  void setValue(std::int32_t index, float value) override;
  void endChange(std::int32_t index) override;
  float sampleRate() const override;

 private:
  void requestFlush() const;

  const clap::Host* host;
  ClapFilter& filter;
  const clap::HostParams* hostParams = nullptr;
  const clap::HostTimerSupport* timers = nullptr;
  const clap::HostPosixFdSupport* fds = nullptr;
  std::unique_ptr<PluginEditor> editor;
  bool fdRegistered = false;
  bool timerRegistered = false;
  std::uint32_t timerId = clap::kInvalidId;
  bool changing[kEditorValueCount] = {};  // gestures begun and not ended, ended at destroy
};

}  // namespace qr47
