// What the test hosts share: a host callback that answers only the host version, and the module's
// entry found as a host finds it (dlopen, or LoadLibrary on Windows).
#pragma once

#include <cstdint>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "effect_record.h"
#include "interface_numbers.h"

inline std::intptr_t answerHostVersion(qr47::EffectRecord*, std::int32_t request, std::int32_t,
                                       std::intptr_t, void*, float) {
  return request == request::kHostVersion ? 2400 : 0;
}

// A symbol of a library loaded as a host loads it, or null.
inline void* loadSymbol(const char* path, const char* name) {
#if defined(_WIN32)
  HMODULE module = LoadLibraryA(path);
  return module ? reinterpret_cast<void*>(GetProcAddress(module, name)) : nullptr;
#else
  void* module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  return module ? dlsym(module, name) : nullptr;
#endif
}

// The module's entry, or null when it cannot be loaded.
inline qr47::ModuleMain loadEntry(const char* path) {
  void* symbol = loadSymbol(path, "VSTPluginMain");
#if defined(_WIN32)
  if (!symbol) symbol = loadSymbol(path, "main");
#endif
  return reinterpret_cast<qr47::ModuleMain>(symbol);
}
