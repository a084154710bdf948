// Turns the host's commands into calls of the effect's virtual operations.
#include <cmath>
#include <cstdint>
#include <limits>

#include "effect_base.h"

namespace qr47 {
namespace {

constexpr double kMeterScale = 32767.0;

// The meter level as the host reads it: scaled, truncated toward zero. A level that does not fit
// answers the nearest whole number that does, and one that is not a number answers 0.
std::intptr_t scaleMeterLevel(float level) {
  const double scaled = static_cast<double>(level) * kMeterScale;
  if (std::isnan(scaled)) return 0;
  constexpr double kLowest = std::numeric_limits<std::int32_t>::min();
  constexpr double kHighest = std::numeric_limits<std::int32_t>::max();
  if (scaled <= kLowest) return std::numeric_limits<std::int32_t>::min();
  if (scaled >= kHighest) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(scaled);
}

}  // namespace

std::intptr_t EffectBase::dispatch(std::int32_t opcode, std::int32_t index, std::intptr_t value,
                                   void* pointer, float opt) {
  char* text = static_cast<char*>(pointer);
  const bool isPreset = index != 0;
  // A text command without a text has nothing to read or write.
  const bool takesText = (opcode >= kRenameProgram && opcode <= kParameterName) ||
                         opcode == kProgramNameIndexed || opcode == kEffectName ||
                         opcode == kVendorString || opcode == kProductString || opcode == kCanDo;
  if (text == nullptr && takesText) return 0;
  switch (opcode) {
    case kOpen:
      open();
      return 0;
    case kClose:
      close();
      return 0;
    case kSelectProgram:
      if (value >= 0 && value < programCount) setProgram(static_cast<std::int32_t>(value));
      return 0;
    case kCurrentProgram:
      return getProgram();
    case kRenameProgram:
      setProgramName(text);
      return 0;
    case kProgramName:
      getProgramName(text);
      return 0;
    case kParameterUnit:
      getParameterUnit(index, text);
      return 0;
    case kParameterText:
      getParameterText(index, text);
      return 0;
    case kParameterName:
      getParameterName(index, text);
      return 0;
    case kMeterLevel:
      return scaleMeterLevel(getMeterLevel());
    case kSampleRate:
      setSampleRate(opt);
      return 0;
    case kBlockSize:
      setBlockSize(static_cast<std::int32_t>(value));
      return 0;
    case kSuspendResume:
      if (value == 0) {
        suspend();
      } else {
        resume();
      }
      return 0;
    case kEditorBounds:
      return editor ? editor->getEditorBounds(pointer) : 0;
    case kOpenEditor:
      return editor ? editor->openEditor(pointer) : 0;
    case kCloseEditor:
      if (editor) editor->closeEditor();
      return 0;
    case kEditorIdle:
      if (editor) editor->editorIdle();
      return 0;
    case kIdentify:
      return kIdentifyAnswer;
    case kGetStateBlock:
      return getStateBlock(static_cast<void**>(pointer), isPreset);
    case kSetStateBlock:
      return setStateBlock(pointer, static_cast<std::int32_t>(value), isPreset);
    case kCanBeAutomated:
      return canParameterBeAutomated(index) ? 1 : 0;
    case kProgramNameIndexed:
      return getProgramNameIndexed(index, text) ? 1 : 0;
    case kPlugCategory:
      return getPlugCategory();
    case kEffectName:
      return getEffectName(text) ? 1 : 0;
    case kVendorString:
      return getVendorString(text) ? 1 : 0;
    case kProductString:
      return getProductString(text) ? 1 : 0;
    case kVendorVersion:
      return getVendorVersion();
    case kCanDo:
      return canDo(text);
    case kTailSize:
      return getTailSize();
    case kInterfaceVersion:
      return kInterfaceVersionAnswer;
    default:  // 16 to 18, 20, 21 and the questions this bridge does not answer
      return 0;
  }
}

}  // namespace qr47
