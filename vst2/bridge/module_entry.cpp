// The module's exports: the entry the host calls, under both of its names, and on Windows the
// module entry the system calls at load.
#include "plugin_main.h"

#if defined(_WIN32)
#include <windows.h>
// Windows exports through the module definition file.
#define QR47_EXPORT
#else
#define QR47_EXPORT __attribute__((visibility("default")))
#endif

#if defined(_WIN32)
namespace {
HINSTANCE moduleInstance = nullptr;  // the module's one global, written at load
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD /*reason*/, LPVOID /*reserved*/) {
  moduleInstance = instance;
  return TRUE;
}
#endif

extern "C" QR47_EXPORT qr47::EffectRecord* VSTPluginMain(qr47::HostCallback hostCallback) {
  return qr47::pluginMain(hostCallback);
}

#if !defined(_WIN32)
// The same function under the name older hosts look up. C++ reserves the name main, so the
// symbol is given its name directly.
extern "C" QR47_EXPORT qr47::EffectRecord* moduleMain(qr47::HostCallback hostCallback) __asm__(
    "main") __attribute__((alias("VSTPluginMain")));
#endif
