// What the editor needs of a plug-in, and all it knows of one: the six values as host values
// (0..1, in parameter order) and the bypass, the host's gesture around each change, and the rate
// the filter runs at. Each adapter implements it over its own interface; every call comes on the
// host's main (UI) thread.
#pragma once

#include <cstdint>

namespace qr47 {

// Beyond the six parameters (0 to 5): the host's bypass switch, 1 bypassed and 0 not, in the
// interfaces that hand it to the plug-in.
constexpr std::int32_t kBypassIndex = 6;
constexpr std::int32_t kEditorValueCount = kBypassIndex + 1;

class ParameterAccess {
 public:
  virtual ~ParameterAccess() = default;

  // The value the host holds now: automation playing back, a preset or a state load included.
  virtual float value(std::int32_t index) const = 0;
  // A change from the editor: begin, any number of values, end, as one gesture for the host.
  virtual void beginChange(std::int32_t index) = 0;
  virtual void setValue(std::int32_t index, float value) = 0;
  virtual void endChange(std::int32_t index) = 0;
  // The rate the response is drawn for; the starting rate while the host has set none.
  virtual float sampleRate() const = 0;
};

}  // namespace qr47
