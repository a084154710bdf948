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

// The module's entry, or null when it cannot be loaded.
inline qr47::ModuleMain loadEntry(const char* path) {
#if defined(_WIN32)
  HMODULE module = LoadLibraryA(path);
  if (!module) return nullptr;
  void* symbol = reinterpret_cast<void*>(GetProcAddress(module, "VSTPluginMain"));
  if (!symbol) symbol = reinterpret_cast<void*>(GetProcAddress(module, "main"));
  return reinterpret_cast<qr47::ModuleMain>(symbol);
#else
  void* module = dlopen(path, RTLD_NOW);
  if (!module) return nullptr;
  return reinterpret_cast<qr47::ModuleMain>(dlsym(module, "VSTPluginMain"));
#endif
}
