// The numbers of the host interface, written down here from the interface itself rather than
// taken from the product's names, so that a wrong number in the product fails a test.
#pragma once

#include <cstdint>

namespace opcode {
constexpr std::int32_t kOpen = 0;
constexpr std::int32_t kClose = 1;
constexpr std::int32_t kSelectProgram = 2;
constexpr std::int32_t kCurrentProgram = 3;
constexpr std::int32_t kRenameProgram = 4;
constexpr std::int32_t kProgramName = 5;
constexpr std::int32_t kParameterUnit = 6;
constexpr std::int32_t kParameterText = 7;
constexpr std::int32_t kParameterName = 8;
constexpr std::int32_t kMeterLevel = 9;
constexpr std::int32_t kSampleRate = 10;
constexpr std::int32_t kBlockSize = 11;
constexpr std::int32_t kSuspendResume = 12;
constexpr std::int32_t kEditorBounds = 13;
constexpr std::int32_t kOpenEditor = 14;
constexpr std::int32_t kCloseEditor = 15;
constexpr std::int32_t kEditorIdle = 19;
constexpr std::int32_t kIdentify = 22;
constexpr std::int32_t kGetStateBlock = 23;
constexpr std::int32_t kSetStateBlock = 24;
}  // namespace opcode

namespace request {
constexpr std::int32_t kParameterChanged = 0;
constexpr std::int32_t kHostVersion = 1;
constexpr std::int32_t kCurrentUniqueId = 2;
constexpr std::int32_t kIdle = 3;
constexpr std::int32_t kPinConnected = 4;
}  // namespace request

// Questions hosts ask beyond the first 25 commands.
namespace opcode {
constexpr std::int32_t kCanBeAutomated = 26;
constexpr std::int32_t kProgramNameIndexed = 29;
constexpr std::int32_t kPlugCategory = 35;
constexpr std::int32_t kEffectName = 45;
constexpr std::int32_t kVendorString = 47;
constexpr std::int32_t kProductString = 48;
constexpr std::int32_t kVendorVersion = 49;
constexpr std::int32_t kCanDo = 51;
constexpr std::int32_t kTailSize = 52;
constexpr std::int32_t kInterfaceVersion = 58;
}  // namespace opcode
