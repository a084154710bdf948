// The module's entries: the factory that offers one audio effect class, QR47, and the functions
// hosts call when they load and unload the module.
#include <cstdio>
#include <cstring>
#include <new>

#include "vst3_api.h"
#include "vst3_filter.h"
#include "vst3_parameters.h"

namespace qr47 {
namespace {

constexpr char kVendor[] = "QR47 Project";
constexpr char kName[] = "QR47";
constexpr char kSubCategories[] = "Fx|Filter";
constexpr char kSdkVersion[] = "VST 3.7.14";
// The class's id, fixed for as long as the plug-in exists: hosts keep it in their projects.
constexpr vst3::Uid kClassId = vst3::uid(0x51523437, 0x46696C74, 0x65725633, 0x2D515234);

template <std::size_t kSize>
void copy(char (&to)[kSize], const char* from) {
  std::snprintf(to, kSize, "%s", from);
}

// What every version of the class's description begins with.
template <typename Info>
void describe(Info* info) {
  *info = Info{};
  std::memcpy(info->cid, kClassId.data(), kClassId.size());
  info->cardinality = vst3::PClassInfo::kManyInstances;
  copy(info->category, vst3::kAudioEffectClass);
}

class Factory final : public vst3::IPluginFactory3 {
 public:
  vst3::tresult queryInterface(const vst3::TUID iid, void** object) override {
    if (!object) return vst3::kInvalidArgument;
    for (const vst3::Uid& known : {vst3::FUnknown::kIid, vst3::IPluginFactory::kIid,
                                   vst3::IPluginFactory2::kIid, vst3::IPluginFactory3::kIid}) {
      if (std::memcmp(iid, known.data(), known.size()) == 0) {
        *object = this;
        addRef();
        return vst3::kResultOk;
      }
    }
    *object = nullptr;
    return vst3::kNoInterface;
  }
  // The factory lives as long as the module: its count only follows the host's references.
  std::uint32_t addRef() override { return references.fetch_add(1) + 1; }
  std::uint32_t release() override { return references.fetch_sub(1) - 1; }

  vst3::tresult getFactoryInfo(vst3::PFactoryInfo* info) override {
    if (!info) return vst3::kInvalidArgument;
    *info = vst3::PFactoryInfo{};
    copy(info->vendor, kVendor);
    info->flags = vst3::PFactoryInfo::kUnicode;
    return vst3::kResultOk;
  }
  std::int32_t countClasses() override { return 1; }

  vst3::tresult getClassInfo(std::int32_t index, vst3::PClassInfo* info) override {
    if (index != 0 || !info) return vst3::kInvalidArgument;
    describe(info);
    copy(info->name, kName);
    return vst3::kResultOk;
  }

  vst3::tresult getClassInfo2(std::int32_t index, vst3::PClassInfo2* info) override {
    if (index != 0 || !info) return vst3::kInvalidArgument;
    describe(info);
    copy(info->name, kName);
    copy(info->subCategories, kSubCategories);
    copy(info->vendor, kVendor);
    copy(info->version, QR47_VERSION);
    copy(info->sdkVersion, kSdkVersion);
    return vst3::kResultOk;
  }

  vst3::tresult getClassInfoUnicode(std::int32_t index, vst3::PClassInfoW* info) override {
    if (index != 0 || !info) return vst3::kInvalidArgument;
    describe(info);
    copy(info->subCategories, kSubCategories);
    toUtf16(kName, info->name);
    toUtf16(kVendor, info->vendor);
    toUtf16(QR47_VERSION, info->version);
    toUtf16(kSdkVersion, info->sdkVersion);
    return vst3::kResultOk;
  }

  vst3::tresult createInstance(const char* cid, const char* iid, void** object) override {
    if (!object) return vst3::kInvalidArgument;
    *object = nullptr;
    if (!cid || !iid || std::memcmp(cid, kClassId.data(), kClassId.size()) != 0) {
      return vst3::kNoInterface;
    }
    auto* filter = new (std::nothrow) Vst3Filter;
    if (!filter) return vst3::kResultFalse;
    // The host's reference is the one the query hands out; the one of creation goes.
    const vst3::tresult result = filter->queryInterface(iid, object);
    filter->release();
    return result;
  }

  vst3::tresult setHostContext(vst3::FUnknown*) override { return vst3::kResultOk; }

 private:
  template <std::size_t kSize>
  static void toUtf16(const char* from, vst3::TChar (&to)[kSize]) {
    std::size_t i = 0;
    for (; i + 1 < kSize && from[i] != '\0'; ++i) to[i] = static_cast<unsigned char>(from[i]);
    to[i] = 0;
  }

  std::atomic<std::uint32_t> references{0};
};

Factory factory;

}  // namespace
}  // namespace qr47

#if defined(_WIN32)
#define QR47_EXPORT extern "C" __declspec(dllexport)
#else
#define QR47_EXPORT extern "C" __attribute__((visibility("default")))
#endif

QR47_EXPORT qr47::vst3::IPluginFactory* GetPluginFactory() {
  qr47::factory.addRef();
  return &qr47::factory;
}

// The module keeps nothing between instances: its entry and exit have nothing to do.
#if defined(_WIN32)
QR47_EXPORT bool InitDll() {
  return true;
}
QR47_EXPORT bool ExitDll() {
  return true;
}
#else
QR47_EXPORT bool ModuleEntry(void*) {
  return true;
}
QR47_EXPORT bool ModuleExit() {
  return true;
}
#endif
