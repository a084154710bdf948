// An editor an effect may own; the host's editor commands are forwarded to it.
#pragma once

#include <cstdint>

namespace qr47 {

class EditorInterface {
 public:
  virtual ~EditorInterface() = default;
  virtual std::int32_t getEditorBounds(void* bounds) = 0;
  virtual std::int32_t openEditor(void* parentWindow) = 0;
  virtual void closeEditor() = 0;
  virtual void editorIdle() = 0;
};

}  // namespace qr47
