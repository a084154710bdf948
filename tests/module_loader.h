// What the test hosts share: a host callback that answers only the host version, a command sent
// through a record, and a module's symbols found as a host finds them (dlopen, or LoadLibrary on
// Windows).
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

inline std::intptr_t dispatch(qr47::EffectRecord* r, std::int32_t opcode, std::int32_t index = 0,
                              std::intptr_t value = 0, void* pointer = nullptr, float opt = 0.0f) {
  return r->dispatchEntry(r, opcode, index, value, pointer, opt);
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
