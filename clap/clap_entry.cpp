// The module's entry: one factory that offers one plug-in, QR47.
#include <cstring>

#include "clap_api.h"
#include "clap_plugin.h"

namespace qr47 {
namespace {

// Stable for as long as the plug-in exists: hosts keep it in their projects.
constexpr char kPluginId[] = "org.qr47.filter";
constexpr const char* kFeatures[] = {"audio-effect", "filter", "stereo", nullptr};

constexpr clap::Version kVersion = {clap::kInterfaceMajor, clap::kInterfaceMinor,
                                    clap::kInterfaceRevision};

constexpr clap::PluginDescriptor kDescriptor = {
    kVersion,
    kPluginId,
    "QR47",
    "QR47 Project",
    "",
    "",
    "",
    QR47_VERSION,
    "Stereo resonant multimode filter: low pass, high pass, band pass or notch, 2 or 4 poles",
    kFeatures};

std::uint32_t pluginCount(const clap::PluginFactory*) {
  return 1;
}

const clap::PluginDescriptor* descriptor(const clap::PluginFactory*, std::uint32_t index) {
  return index == 0 ? &kDescriptor : nullptr;
}

const clap::Plugin* createPlugin(const clap::PluginFactory*, const clap::Host* host,
                                 const char* id) {
  if (!host || !id || host->clapVersion.major < clap::kInterfaceMajor ||
      std::strcmp(id, kPluginId) != 0) {
    return nullptr;
  }
  return createClapPlugin(&kDescriptor, host);
}

constexpr clap::PluginFactory kFactory = {pluginCount, descriptor, createPlugin};

// The module keeps nothing between instances: initialising it again and again is harmless.
bool initModule(const char*) {
  return true;
}

void deinitModule() {}

const void* factory(const char* id) {
  return id && std::strcmp(id, clap::kPluginFactoryId) == 0 ? &kFactory : nullptr;
}

}  // namespace
}  // namespace qr47

extern "C" {
#if defined(_WIN32)
__declspec(dllexport)
#else
__attribute__((visibility("default")))
#endif
    extern const qr47::clap::PluginEntry clap_entry = {qr47::kVersion, qr47::initModule,
                                                       qr47::deinitModule, qr47::factory};
}
