// A module that is not a usable stereo plug-in, in one of three ways chosen at build time, for
// checking that a host turns it away.
#include <cstring>

#include "effect_record.h"

namespace {

enum Fault { kNoRecord = 1, kWrongSignature = 2, kMonoOutput = 3 };

qr47::EffectRecord record;

std::intptr_t dispatch(qr47::EffectRecord*, std::int32_t, std::int32_t, std::intptr_t, void*,
                       float) {
  return 0;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) qr47::EffectRecord* VSTPluginMain(
    qr47::HostCallback) {
  if (QR47_FAKE_FAULT == kNoRecord) return nullptr;
  std::memset(&record, 0, sizeof record);
  record.signature = QR47_FAKE_FAULT == kWrongSignature ? 0x12345678 : qr47::kRecordSignature;
  record.dispatchEntry = dispatch;
  record.inputCount = 1;
  record.outputCount = 1;
  return &record;
}
