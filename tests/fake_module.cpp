// A module that is not the filter, in one of five ways chosen at build time: three that a host
// must turn away, and a stereo pass-through whose replacing call copies its input and whose
// accumulating call adds the input negated, so that a file shows which call made it. The crossed
// pass-through copies each input to the other output, as a plug-in that mixes channels would, and
// to two more outputs, which a stereo host must give room of its own.
#include <cstring>

#include "effect_record.h"

namespace {

enum Fault { kNoRecord = 1, kWrongSignature = 2, kMonoOutput = 3, kPassThrough = 4, kCrossed = 5 };

qr47::EffectRecord record;
std::intptr_t blockSize = 0;

std::intptr_t dispatch(qr47::EffectRecord*, std::int32_t opcode, std::int32_t, std::intptr_t value,
                       void*, float) {
  if (opcode == 11) blockSize = value;  // the host's block size
  return 0;
}

// Silence for a call longer than the block size the host gave: hosts must say it first.
void copy(qr47::EffectRecord*, float** inputs, float** outputs, std::int32_t frames) {
  for (int c = 0; c < record.outputCount; ++c) {
    std::memcpy(outputs[c], inputs[QR47_FAKE_FAULT == kCrossed ? (c + 1) % 2 : c],
                sizeof(float) * frames);
    if (frames > blockSize) std::memset(outputs[c], 0, sizeof(float) * frames);
  }
}

void addNegated(qr47::EffectRecord*, float** inputs, float** outputs, std::int32_t frames) {
  for (int c = 0; c < 2; ++c) {
    for (int i = 0; i < frames; ++i) outputs[c][i] -= inputs[c][i];
  }
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
  if (QR47_FAKE_FAULT == kPassThrough || QR47_FAKE_FAULT == kCrossed) {
    record.inputCount = 2;
    record.outputCount = QR47_FAKE_FAULT == kCrossed ? 4 : 2;
    record.flags = 16;  // can replace
    record.processReplaceEntry = copy;
    record.processAddEntry = addNegated;
  }
  return &record;
}
