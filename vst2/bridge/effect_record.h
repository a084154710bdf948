// The record a host holds for each effect instance, the host's callback and the entry
// signatures. The layout is the host interface: 144 bytes with 4-byte pointers, 192 with 8-byte
// pointers (same field order, pointer-sized fields widened).
#pragma once

#include <cstddef>
#include <cstdint>

namespace qr47 {

struct EffectRecord;

// The host's callback. value and the result are pointer-width, as 64-bit hosts expect.
using HostCallback = std::intptr_t (*)(EffectRecord* record, std::int32_t request,
                                       std::int32_t index, std::intptr_t value, void* pointer,
                                       float opt);

using DispatchEntry = std::intptr_t (*)(EffectRecord* record, std::int32_t opcode,
                                        std::int32_t index, std::intptr_t value, void* pointer,
                                        float opt);
using ProcessEntry = void (*)(EffectRecord* record, float** inputs, float** outputs,
                              std::int32_t sampleFrames);
using SetParameterEntry = void (*)(EffectRecord* record, std::int32_t index, float value);
using GetParameterEntry = float (*)(EffectRecord* record, std::int32_t index);

// The module's exported entry, under the names "main" and "VSTPluginMain".
using ModuleMain = EffectRecord* (*)(HostCallback hostCallback);

// Four characters read as a big-endian 32-bit value, first character most significant.
constexpr std::int32_t fourCharacters(char a, char b, char c, char d) {
  return static_cast<std::int32_t>(
      (static_cast<std::uint32_t>(static_cast<unsigned char>(a)) << 24) |
      (static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 16) |
      (static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 8) |
      static_cast<std::uint32_t>(static_cast<unsigned char>(d)));
}

constexpr std::int32_t kRecordSignature = fourCharacters('V', 's', 't', 'P');
constexpr std::int32_t kDefaultUniqueId = fourCharacters('N', 'o', 'E', 'f');
constexpr std::int32_t kIdentifyAnswer = fourCharacters('N', 'v', 'E', 'f');
constexpr std::int32_t kRecordVersion = 1;

// Capability bits of EffectRecord::flags.
enum EffectFlag : std::int32_t {
  kHasClipIndicator = 2,
  kHasMeter = 4,
  kCanMono = 8,
  kCanReplace = 16,
  kProgramsAreBlocks = 32,
};

// Commands the host sends through the dispatch entry.
enum Opcode : std::int32_t {
  kOpen = 0,
  kClose = 1,
  kSelectProgram = 2,
  kCurrentProgram = 3,
  kRenameProgram = 4,
  kProgramName = 5,
  kParameterUnit = 6,
  kParameterText = 7,
  kParameterName = 8,
  kMeterLevel = 9,
  kSampleRate = 10,
  kBlockSize = 11,
  kSuspendResume = 12,
  kEditorBounds = 13,
  kOpenEditor = 14,
  kCloseEditor = 15,
  kEditorIdle = 19,
  kIdentify = 22,
  kGetStateBlock = 23,
  kSetStateBlock = 24,
  // Questions hosts ask beyond the first 25 commands, answered when the effect knows.
  kCanBeAutomated = 26,
  kProgramNameIndexed = 29,
  kPlugCategory = 35,
  kEffectName = 45,
  kVendorString = 47,
  kProductString = 48,
  kVendorVersion = 49,
  kCanDo = 51,
  kTailSize = 52,
  kInterfaceVersion = 58,
};

// Room the host gives the texts of those questions, terminator included.
constexpr std::size_t kProgramNameRoom = 24;
constexpr std::size_t kEffectNameRoom = 32;
constexpr std::size_t kVendorRoom = 64;
constexpr std::size_t kProductRoom = 64;

// The version of the interface this bridge speaks, and the category of an effect.
constexpr std::int32_t kInterfaceVersionAnswer = 2400;
constexpr std::int32_t kCategoryEffect = 1;

// Requests the effect sends through the host callback.
enum HostRequest : std::int32_t {
  kParameterChanged = 0,
  kHostVersion = 1,
  kCurrentUniqueId = 2,
  kIdle = 3,
  kPinConnected = 4,
};

// Zero bytes that end the record: 60 with 4-byte pointers, 64 with 8-byte ones.
constexpr std::size_t kReservedTailBytes = sizeof(void*) == 8 ? 64 : 60;

struct EffectRecord {
  std::int32_t signature;
  DispatchEntry dispatchEntry;
  ProcessEntry processAddEntry;
  SetParameterEntry setParameterEntry;
  GetParameterEntry getParameterEntry;
  std::int32_t programCount;
  std::int32_t parameterCount;
  std::int32_t inputCount;
  std::int32_t outputCount;
  std::int32_t flags;
  std::intptr_t reservedA;
  std::intptr_t reservedB;
  std::int32_t initialDelay;
  std::int32_t realtimeQualities;
  std::int32_t offlineQualities;
  float ioRatio;
  void* object;
  std::intptr_t userWord;
  std::int32_t uniqueId;
  std::int32_t version;
  ProcessEntry processReplaceEntry;
  unsigned char reservedTail[kReservedTailBytes];
};

// Offsets of the host interface, checked for the platform being built.
struct RecordLayout {
  std::size_t dispatchEntry, processAddEntry, setParameterEntry, getParameterEntry;
  std::size_t programCount, flags, reservedA, reservedB, initialDelay, ioRatio, object;
  std::size_t userWord, uniqueId, version, processReplaceEntry, reservedTail, size;
};

constexpr RecordLayout kLayout32{4, 8, 12, 16, 20, 36, 40, 44, 48, 60, 64, 68, 72, 76, 80, 84, 144};
constexpr RecordLayout kLayout64{8,  16, 24,  32,  40,  56,  64,  72, 80,
                                 92, 96, 104, 112, 116, 120, 128, 192};
constexpr RecordLayout kLayout = sizeof(void*) == 8 ? kLayout64 : kLayout32;

static_assert(sizeof(void*) == 4 || sizeof(void*) == 8,
              "the host interface has 4- or 8-byte pointers");
static_assert(offsetof(EffectRecord, signature) == 0);
static_assert(offsetof(EffectRecord, dispatchEntry) == kLayout.dispatchEntry);
static_assert(offsetof(EffectRecord, processAddEntry) == kLayout.processAddEntry);
static_assert(offsetof(EffectRecord, setParameterEntry) == kLayout.setParameterEntry);
static_assert(offsetof(EffectRecord, getParameterEntry) == kLayout.getParameterEntry);
static_assert(offsetof(EffectRecord, programCount) == kLayout.programCount);
static_assert(offsetof(EffectRecord, parameterCount) == kLayout.programCount + 4);
static_assert(offsetof(EffectRecord, inputCount) == kLayout.programCount + 8);
static_assert(offsetof(EffectRecord, outputCount) == kLayout.programCount + 12);
static_assert(offsetof(EffectRecord, flags) == kLayout.flags);
static_assert(offsetof(EffectRecord, reservedA) == kLayout.reservedA);
static_assert(offsetof(EffectRecord, reservedB) == kLayout.reservedB);
static_assert(offsetof(EffectRecord, initialDelay) == kLayout.initialDelay);
static_assert(offsetof(EffectRecord, realtimeQualities) == kLayout.initialDelay + 4);
static_assert(offsetof(EffectRecord, offlineQualities) == kLayout.initialDelay + 8);
static_assert(offsetof(EffectRecord, ioRatio) == kLayout.ioRatio);
static_assert(offsetof(EffectRecord, object) == kLayout.object);
static_assert(offsetof(EffectRecord, userWord) == kLayout.userWord);
static_assert(offsetof(EffectRecord, uniqueId) == kLayout.uniqueId);
static_assert(offsetof(EffectRecord, version) == kLayout.version);
static_assert(offsetof(EffectRecord, processReplaceEntry) == kLayout.processReplaceEntry);
static_assert(offsetof(EffectRecord, reservedTail) == kLayout.reservedTail);
static_assert(sizeof(EffectRecord) == kLayout.size);

}  // namespace qr47
