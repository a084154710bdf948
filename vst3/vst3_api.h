// The part of the VST 3 plug-in interface that QR47 uses, declared here from the interface's
// published layout: interfaces in vtable order, their ids, structures and constants. An
// interface is a class of pure virtual functions and nothing else, so that its vtable is the
// list of its functions in order on every compiler the module is built with. Sizes and key
// offsets are checked below for the 64-bit platforms the module ships for.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace qr47::vst3 {

using tresult = std::int32_t;
using TBool = std::uint8_t;
using TChar = char16_t;
using String128 = TChar[128];
using ParamID = std::uint32_t;
using ParamValue = double;
using SpeakerArrangement = std::uint64_t;
using TUID = char[16];
using Uid = std::array<char, 16>;

// Result codes: COM's on Windows, small numbers elsewhere.
#if defined(_WIN32)
constexpr tresult kResultOk = 0;
constexpr tresult kResultFalse = 1;
constexpr tresult kNoInterface = static_cast<tresult>(0x80004002u);
constexpr tresult kInvalidArgument = static_cast<tresult>(0x80070057u);
constexpr tresult kNotImplemented = static_cast<tresult>(0x80004001u);
#else
constexpr tresult kNoInterface = -1;
constexpr tresult kResultOk = 0;
constexpr tresult kResultFalse = 1;
constexpr tresult kInvalidArgument = 2;
constexpr tresult kNotImplemented = 3;
#endif
constexpr tresult kResultTrue = kResultOk;

// An id from its four 32-bit words: on Windows in the byte order of a COM GUID, elsewhere each
// word from its most significant byte.
constexpr Uid uid(std::uint32_t l1, std::uint32_t l2, std::uint32_t l3, std::uint32_t l4) {
  const auto b = [](std::uint32_t word, int shift) {
    return static_cast<char>((word >> shift) & 0xFFu);
  };
#if defined(_WIN32)
  return {b(l1, 0),  b(l1, 8),  b(l1, 16), b(l1, 24), b(l2, 16), b(l2, 24), b(l2, 0), b(l2, 8),
          b(l3, 24), b(l3, 16), b(l3, 8),  b(l3, 0),  b(l4, 24), b(l4, 16), b(l4, 8), b(l4, 0)};
#else
  return {b(l1, 24), b(l1, 16), b(l1, 8), b(l1, 0), b(l2, 24), b(l2, 16), b(l2, 8), b(l2, 0),
          b(l3, 24), b(l3, 16), b(l3, 8), b(l3, 0), b(l4, 24), b(l4, 16), b(l4, 8), b(l4, 0)};
#endif
}

// Whether an id a host asks for is one of ours.
inline bool sameIid(const char* iid, const Uid& known) {
  for (std::size_t i = 0; i < known.size(); ++i) {
    if (iid[i] != known[i]) return false;
  }
  return true;
}

// Interfaces.
class FUnknown {
 public:
  static constexpr Uid kIid = uid(0x00000000, 0x00000000, 0xC0000000, 0x00000046);
  virtual tresult queryInterface(const TUID iid, void** object) = 0;
  virtual std::uint32_t addRef() = 0;
  virtual std::uint32_t release() = 0;
};

class IBStream : public FUnknown {
 public:
  static constexpr Uid kIid = uid(0xC3BF6EA2, 0x30994752, 0x9B6BF990, 0x1EE33E9B);
  virtual tresult read(void* buffer, std::int32_t bytes, std::int32_t* bytesRead) = 0;
  virtual tresult write(void* buffer, std::int32_t bytes, std::int32_t* bytesWritten) = 0;
  virtual tresult seek(std::int64_t position, std::int32_t mode, std::int64_t* result) = 0;
  virtual tresult tell(std::int64_t* position) = 0;
};

class IPluginBase : public FUnknown {
 public:
  static constexpr Uid kIid = uid(0x22888DDB, 0x156E45AE, 0x8358B348, 0x08190625);
  virtual tresult initialize(FUnknown* context) = 0;
  virtual tresult terminate() = 0;
};

struct PFactoryInfo {
  static constexpr std::int32_t kUnicode = 1 << 4;
  char vendor[64];
  char url[256];
  char email[128];
  std::int32_t flags;
};

struct PClassInfo {
  static constexpr std::int32_t kManyInstances = 0x7FFFFFFF;
  TUID cid;
  std::int32_t cardinality;
  char category[32];
  char name[64];
};

struct PClassInfo2 {
  TUID cid;
  std::int32_t cardinality;
  char category[32];
  char name[64];
  std::uint32_t classFlags;
  char subCategories[128];
  char vendor[64];
  char version[64];
  char sdkVersion[64];
};

struct PClassInfoW {
  TUID cid;
  std::int32_t cardinality;
  char category[32];
  TChar name[64];
  std::uint32_t classFlags;
  char subCategories[128];
  TChar vendor[64];
  TChar version[64];
  TChar sdkVersion[64];
};

class IPluginFactory : public FUnknown {
 public:
  static constexpr Uid kIid = uid(0x7A4D811C, 0x52114A1F, 0xAED9D2EE, 0x0B43BF9F);
  virtual tresult getFactoryInfo(PFactoryInfo* info) = 0;
  virtual std::int32_t countClasses() = 0;
  virtual tresult getClassInfo(std::int32_t index, PClassInfo* info) = 0;
  virtual tresult createInstance(const char* cid, const char* iid, void** object) = 0;
};

class IPluginFactory2 : public IPluginFactory {
 public:
  static constexpr Uid kIid = uid(0x0007B650, 0xF24B4C0B, 0xA464EDB9, 0xF00B2ABB);
  virtual tresult getClassInfo2(std::int32_t index, PClassInfo2* info) = 0;
};

class IPluginFactory3 : public IPluginFactory2 {
 public:
  static constexpr Uid kIid = uid(0x4555A2AB, 0xC1234E57, 0x9B122910, 0x36878931);
  virtual tresult getClassInfoUnicode(std::int32_t index, PClassInfoW* info) = 0;
  virtual tresult setHostContext(FUnknown* context) = 0;
};

// The component: its buses and state.
constexpr std::int32_t kAudio = 0;
constexpr std::int32_t kEvent = 1;
constexpr std::int32_t kInput = 0;
constexpr std::int32_t kOutput = 1;
constexpr std::int32_t kMain = 0;
constexpr std::uint32_t kDefaultActive = 1 << 0;

struct BusInfo {
  std::int32_t mediaType;
  std::int32_t direction;
  std::int32_t channelCount;
  String128 name;
  std::int32_t busType;
  std::uint32_t flags;
};

struct RoutingInfo {
  std::int32_t mediaType;
  std::int32_t busIndex;
  std::int32_t channel;
};

class IComponent : public IPluginBase {
 public:
  static constexpr Uid kIid = uid(0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802);
  virtual tresult getControllerClassId(TUID classId) = 0;
  virtual tresult setIoMode(std::int32_t mode) = 0;
  virtual std::int32_t getBusCount(std::int32_t type, std::int32_t direction) = 0;
  virtual tresult getBusInfo(std::int32_t type, std::int32_t direction, std::int32_t index,
                             BusInfo& bus) = 0;
  virtual tresult getRoutingInfo(RoutingInfo& in, RoutingInfo& out) = 0;
  virtual tresult activateBus(std::int32_t type, std::int32_t direction, std::int32_t index,
                              TBool state) = 0;
  virtual tresult setActive(TBool state) = 0;
  virtual tresult setState(IBStream* state) = 0;
  virtual tresult getState(IBStream* state) = 0;
};

// Processing.
constexpr std::int32_t kSample32 = 0;
constexpr std::int32_t kSample64 = 1;
constexpr SpeakerArrangement kStereo = 0x3;  // left and right

struct ProcessSetup {
  std::int32_t processMode;
  std::int32_t symbolicSampleSize;
  std::int32_t maxSamplesPerBlock;
  double sampleRate;
};

struct AudioBusBuffers {
  std::int32_t numChannels;
  std::uint64_t silenceFlags;
  float** channelBuffers32;  // shares its place with the 64-bit buffers, which QR47 declines
};

class IParamValueQueue : public FUnknown {
 public:
  static constexpr Uid kIid = uid(0x01263A18, 0xED074F6F, 0x98C9D356, 0x4686F9BA);
  virtual ParamID getParameterId() = 0;
  virtual std::int32_t getPointCount() = 0;
  virtual tresult getPoint(std::int32_t index, std::int32_t& sampleOffset, ParamValue& value) = 0;
  virtual tresult addPoint(std::int32_t sampleOffset, ParamValue value, std::int32_t& index) = 0;
};

class IParameterChanges : public FUnknown {
 public:
  static constexpr Uid kIid = uid(0xA4779663, 0x0BB64A56, 0xB44384A8, 0x466FEB9D);
  virtual std::int32_t getParameterCount() = 0;
  virtual IParamValueQueue* getParameterData(std::int32_t index) = 0;
  virtual IParamValueQueue* addParameterData(const ParamID& id, std::int32_t& index) = 0;
};

struct ProcessData {
  std::int32_t processMode;
  std::int32_t symbolicSampleSize;
  std::int32_t numSamples;
  std::int32_t numInputs;
  std::int32_t numOutputs;
  AudioBusBuffers* inputs;
  AudioBusBuffers* outputs;
  IParameterChanges* inputParameterChanges;
  IParameterChanges* outputParameterChanges;
  void* inputEvents;
  void* outputEvents;
  void* processContext;
};

class IAudioProcessor : public FUnknown {
 public:
  static constexpr Uid kIid = uid(0x42043F99, 0xB7DA453C, 0xA569E79D, 0x9AAEC33D);
  virtual tresult setBusArrangements(SpeakerArrangement* inputs, std::int32_t inputCount,
                                     SpeakerArrangement* outputs, std::int32_t outputCount) = 0;
  virtual tresult getBusArrangement(std::int32_t direction, std::int32_t index,
                                    SpeakerArrangement& arrangement) = 0;
  virtual tresult canProcessSampleSize(std::int32_t symbolicSampleSize) = 0;
  virtual std::uint32_t getLatencySamples() = 0;
  virtual tresult setupProcessing(ProcessSetup& setup) = 0;
  virtual tresult setProcessing(TBool state) = 0;
  virtual tresult process(ProcessData& data) = 0;
  virtual std::uint32_t getTailSamples() = 0;
};

// What the processor needs of the process context, as flags; hosts ask it once, before
// processing starts.
class IProcessContextRequirements : public FUnknown {
 public:
  static constexpr Uid kIid = uid(0x2A654303, 0xEF764E3D, 0x95B5FE83, 0x730EF6D0);
  virtual std::uint32_t getProcessContextRequirements() = 0;
};

// The editor's view, the host's frame around it, and on Linux the host's run loop, which serves
// the view's file descriptor and timer on the host's UI thread.
using FIDString = const char*;
constexpr char kEditorViewType[] = "editor";
constexpr char kPlatformTypeX11EmbedWindowID[] = "X11EmbedWindowID";

struct ViewRect {
  std::int32_t left;
  std::int32_t top;
  std::int32_t right;
  std::int32_t bottom;
};

class IPlugFrame;

class IPlugView : public FUnknown {
 public:
  static constexpr Uid kIid = uid(0x5BC32507, 0xD06049EA, 0xA6151B52, 0x2B755B29);
  virtual tresult isPlatformTypeSupported(FIDString type) = 0;
  virtual tresult attached(void* parent, FIDString type) = 0;
  virtual tresult removed() = 0;
  virtual tresult onWheel(float distance) = 0;
  virtual tresult onKeyDown(TChar key, std::int16_t keyCode, std::int16_t modifiers) = 0;
  virtual tresult onKeyUp(TChar key, std::int16_t keyCode, std::int16_t modifiers) = 0;
  virtual tresult getSize(ViewRect* size) = 0;
  virtual tresult onSize(ViewRect* newSize) = 0;
  virtual tresult onFocus(TBool state) = 0;
  virtual tresult setFrame(IPlugFrame* frame) = 0;
  virtual tresult canResize() = 0;
  virtual tresult checkSizeConstraint(ViewRect* rect) = 0;
};

class IPlugFrame : public FUnknown {
 public:
  static constexpr Uid kIid = uid(0x367FAF01, 0xAFA94693, 0x8D4DA2A0, 0xED0882A3);
  virtual tresult resizeView(IPlugView* view, ViewRect* newSize) = 0;
};

class IPlugViewContentScaleSupport : public FUnknown {
 public:
  static constexpr Uid kIid = uid(0x65ED9690, 0x8AC44525, 0x8AADEF7A, 0x72EA703F);
  virtual tresult setContentScaleFactor(float factor) = 0;
};

namespace Linux {

class IEventHandler : public FUnknown {
 public:
  static constexpr Uid kIid = uid(0x561E65C9, 0x13A0496F, 0x813A2C35, 0x654D7983);
  virtual void onFDIsSet(int fd) = 0;
};

class ITimerHandler : public FUnknown {
 public:
  static constexpr Uid kIid = uid(0x10BDD94F, 0x41424774, 0x821FAD8F, 0xECA72CA9);
  virtual void onTimer() = 0;
};

// The host offers it through the plug frame.
class IRunLoop : public FUnknown {
 public:
  static constexpr Uid kIid = uid(0x18C35366, 0x97764F1A, 0x9C5B8385, 0x7A871389);
  virtual tresult registerEventHandler(IEventHandler* handler, int fd) = 0;
  virtual tresult unregisterEventHandler(IEventHandler* handler) = 0;
  virtual tresult registerTimer(ITimerHandler* handler, std::uint64_t milliseconds) = 0;
  virtual tresult unregisterTimer(ITimerHandler* handler) = 0;
};

}  // namespace Linux

// The edit controller.
struct ParameterInfo {
  static constexpr std::int32_t kCanAutomate = 1 << 0;
  static constexpr std::int32_t kIsList = 1 << 3;
  static constexpr std::int32_t kIsBypass = 1 << 16;
  ParamID id;
  String128 title;
  String128 shortTitle;
  String128 units;
  std::int32_t stepCount;
  ParamValue defaultNormalizedValue;
  std::int32_t unitId;
  std::int32_t flags;
};

class IComponentHandler : public FUnknown {
 public:
  static constexpr Uid kIid = uid(0x93A0BEA3, 0x0BD045DB, 0x8E890B0C, 0xC1E46AC6);
  virtual tresult beginEdit(ParamID id) = 0;
  virtual tresult performEdit(ParamID id, ParamValue valueNormalized) = 0;
  virtual tresult endEdit(ParamID id) = 0;
  virtual tresult restartComponent(std::int32_t flags) = 0;
};

class IEditController : public IPluginBase {
 public:
  static constexpr Uid kIid = uid(0xDCD7BBE3, 0x7742448D, 0xA874AACC, 0x979C759E);
  virtual tresult setComponentState(IBStream* state) = 0;
  virtual tresult setState(IBStream* state) = 0;
  virtual tresult getState(IBStream* state) = 0;
  virtual std::int32_t getParameterCount() = 0;
  virtual tresult getParameterInfo(std::int32_t index, ParameterInfo& info) = 0;
  virtual tresult getParamStringByValue(ParamID id, ParamValue valueNormalized, String128 text) = 0;
  virtual tresult getParamValueByString(ParamID id, TChar* text, ParamValue& valueNormalized) = 0;
  virtual ParamValue normalizedParamToPlain(ParamID id, ParamValue valueNormalized) = 0;
  virtual ParamValue plainParamToNormalized(ParamID id, ParamValue plainValue) = 0;
  virtual ParamValue getParamNormalized(ParamID id) = 0;
  virtual tresult setParamNormalized(ParamID id, ParamValue value) = 0;
  virtual tresult setComponentHandler(IComponentHandler* handler) = 0;
  // A view for the name kEditorViewType where the module has its editor, otherwise null.
  virtual IPlugView* createView(FIDString name) = 0;
};

constexpr char kAudioEffectClass[] = "Audio Module Class";

// One id against its published bytes, E831FF31-F2D54301-928EBBEE-25697802 as a COM GUID on
// Windows and word by word elsewhere: a check of the byte order every id above is built with.
constexpr bool sameBytes(const Uid& id, const unsigned char (&bytes)[16]) {
  for (int i = 0; i < 16; ++i) {
    if (static_cast<unsigned char>(id[i]) != bytes[i]) return false;
  }
  return true;
}
#if defined(_WIN32)
constexpr unsigned char kComponentIdBytes[16] = {0x31, 0xFF, 0x31, 0xE8, 0xD5, 0xF2, 0x01, 0x43,
                                                 0x92, 0x8E, 0xBB, 0xEE, 0x25, 0x69, 0x78, 0x02};
#else
constexpr unsigned char kComponentIdBytes[16] = {0xE8, 0x31, 0xFF, 0x31, 0xF2, 0xD5, 0x43, 0x01,
                                                 0x92, 0x8E, 0xBB, 0xEE, 0x25, 0x69, 0x78, 0x02};
#endif
static_assert(sameBytes(IComponent::kIid, kComponentIdBytes));
static_assert(sizeof(ViewRect) == 16 && offsetof(ViewRect, bottom) == 12);

#if UINTPTR_MAX == UINT64_MAX
static_assert(sizeof(PFactoryInfo) == 452);
static_assert(sizeof(PClassInfo) == 116);
static_assert(sizeof(PClassInfo2) == 440 && offsetof(PClassInfo2, subCategories) == 120);
static_assert(sizeof(PClassInfoW) == 696 && offsetof(PClassInfoW, classFlags) == 180);
static_assert(sizeof(BusInfo) == 276 && offsetof(BusInfo, busType) == 268);
static_assert(sizeof(ParameterInfo) == 792 &&
              offsetof(ParameterInfo, defaultNormalizedValue) == 776);
static_assert(sizeof(ProcessSetup) == 24 && offsetof(ProcessSetup, sampleRate) == 16);
static_assert(sizeof(AudioBusBuffers) == 24 && offsetof(AudioBusBuffers, channelBuffers32) == 16);
static_assert(sizeof(ProcessData) == 80 && offsetof(ProcessData, inputParameterChanges) == 40);
#endif

}  // namespace qr47::vst3
