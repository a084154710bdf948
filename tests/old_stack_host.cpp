// A 32-bit host of the older convention, which keeps the stack aligned to 4 bytes only: every
// entry is called at each of the four stack offsets a 16-byte vector can be misaligned by. Each
// offset must run the same session as a host that keeps 16 bytes, to the same bits.
#include <alloca.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "lcg_noise.h"
#include "module_loader.h"

namespace {

using qr47::EffectRecord;

constexpr int kFrames = 256;
constexpr int kBlocks = 8;

// Runs `call` with the stack pointer moved down by `shift` bytes (this file is built for 4-byte
// stack alignment, so the allocation is not rounded up to 16).
template <typename Call>
void onShiftedStack(int shift, Call call) {
  volatile char* pad = static_cast<char*>(alloca(shift + 4));
  pad[0] = 0;
  call();
}

// A fresh instance through a short session, every call at the given offset: the output's bits.
std::vector<float> session(qr47::ModuleMain entry, int shift) {
  EffectRecord* r = entry(answerHostVersion);
  std::vector<float> in0(kFrames), in1(kFrames), out0(kFrames), out1(kFrames), bits;
  float* inputs[] = {in0.data(), in1.data()};
  float* outputs[] = {out0.data(), out1.data()};
  auto dispatch = [&](std::int32_t opcode, std::intptr_t value = 0, float opt = 0.0f) {
    onShiftedStack(shift, [&] { r->dispatchEntry(r, opcode, 0, value, nullptr, opt); });
  };
  dispatch(opcode::kOpen);
  dispatch(opcode::kSampleRate, 0, 48000.0f);
  dispatch(opcode::kSuspendResume, 1);
  LcgNoise noise;
  for (int block = 0; block < kBlocks; ++block) {
    for (int i = 0; i < kFrames; ++i) {
      in0[i] = noise.next();
      in1[i] = noise.next();
    }
    // Four poles and the additional low-pass, so that every recursion runs.
    const float value = block % 2 == 0 ? 0.9f : 0.6f;
    onShiftedStack(shift, [&] { r->setParameterEntry(r, block % 6, value); });
    onShiftedStack(shift, [&] { bits.push_back(r->getParameterEntry(r, block % 6)); });
    if (block % 2 == 0) {
      onShiftedStack(shift, [&] { r->processReplaceEntry(r, inputs, outputs, kFrames); });
    } else {
      onShiftedStack(shift, [&] { r->processAddEntry(r, inputs, outputs, kFrames); });
    }
    bits.insert(bits.end(), out0.begin(), out0.end());
    bits.insert(bits.end(), out1.begin(), out1.end());
  }
  dispatch(opcode::kClose);
  return bits;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s MODULE\n", argv[0]);
    return 2;
  }
  const qr47::ModuleMain entry = loadEntry(argv[1]);
  if (!entry) {
    std::fprintf(stderr, "cannot load %s\n", argv[1]);
    return 1;
  }
  const std::vector<float> aligned = session(entry, 0);
  for (int shift = 4; shift < 16; shift += 4) {
    const std::vector<float> shifted = session(entry, shift);
    if (shifted.size() != aligned.size() ||
        std::memcmp(shifted.data(), aligned.data(), aligned.size() * sizeof(float)) != 0) {
      std::fprintf(stderr, "a stack misaligned by %d bytes changed the output\n", shift);
      return 1;
    }
  }
  std::printf("all four stack offsets give the same %zu values\n", aligned.size());
  return 0;
}
