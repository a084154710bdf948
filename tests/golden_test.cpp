// Golden outputs: fixed sessions through the built module, as a host drives it, each reduced to
// a 64-bit FNV-1a digest of every output sample's bytes. Any change of arithmetic order or
// rounding anywhere in the filter changes a digest.
//
// How the stored digests were obtained and checked: they were printed by this test, and
// tests/golden/reference_model.py, a transcription of the filter's arithmetic written from its
// description (not from this code), computes the same digests from the same session texts; the
// CTest test GoldenDigestsMatchTheReferenceModel runs it on this file.
//
// A session is a list of steps, each a letter and its argument: sI=V sets parameter I to V,
// pN selects program N, rR sets the sample rate, c suspends, xF processes F frames replacing
// the output, aF adds F frames into outputs holding 0.25 (left) and -0.5 (right). The input is
// the 32-bit generator's noise in [-1, 1], left and right in turn; zF and tF process F frames as
// xF does with the left input silent, or scaled by 2^-124 to the edge of the subnormal numbers,
// while the right one plays on.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "lcg_noise.h"
#include "module_loader.h"

namespace qr47 {
namespace {

struct GoldenSession {
  const char* name;
  const char* steps;
  std::uint64_t digest;
};

// clang-format off
const GoldenSession kSessions[] = {
    {"factory", "x512 a300", 0x184635db29d9b553ull},
    {"each type", "s0=0.5 s1=0.9 s2=0.1 x200 s2=0.3 x200 s2=0.6 x200 s2=0.9 x200", 0xe58f01da4072ba21ull},
    {"poles set last", "s0=0.4 s1=0.8 s2=0.3 s3=1 x512", 0xb99508fecac50ee7ull},
    {"type set last", "s0=0.6 s3=0.7 s1=0.5 s2=0.6 x512", 0xeeb0f05bcb5f9fd8ull},
    {"additional lp", "s0=0.7 s4=0.6 s1=0.95 x512 s4=0 x128 s4=1 a256", 0x1c99c3893f1689c0ull},
    {"boost", "s5=1 x128 s5=0.05 x128 s5=0 x64 s5=0.3 a64", 0x540d03c086e6f46cull},
    {"programs", "p3 s0=0.2 s1=1 s3=0.8 s4=0.3 x256 p4 x128 p3 x128 "
                 "s0=0.55 s1=0.3 s2=0.8 s3=1 s4=0.5 s5=0.5 p0 x256", 0x10b164ffa3f7a6c7ull},
    {"sample rates", "r48000 s0=0.5 s3=1 s4=0.5 x256 r96000 x256 r22050 x256 r44100 x256",
     0x6a9558ee478d8d70ull},
    {"suspend", "s0=0.3 s1=1 s3=1 s4=0.5 x200 c x200", 0x6bc8e6816f90f324ull},
    {"cutoff sweep", "s1=0.8 s4=0.4 s0=0.05 x64 s0=0.2 x64 s0=0.333 x64 s0=0.34 x64 s0=0.7 x64 "
                     "s0=0.95 x64 s0=1 x64 s0=1.5 x64", 0xf4352652da027995ull},
    {"outside the range", "s0=-0.5 x64 s1=3 x64 s5=-0.3 a64 s2=1.5 x64 s1=0 s2=0.8 x64", 0x05b8310d983f2f34ull},
    {"four poles added", "s3=1 s4=0.8 s2=0.8 s0=0.45 a512", 0xb7772f84ea0d507dull},
    {"one channel decays", "s0=0.05 s1=1 s3=1 s4=0.5 x512 z4096 z4096 x64 z4096", 0x97f90858b455d799ull},
    {"at the subnormal edge", "s0=0.6 s1=0.3 s3=1 s4=1 t2048 x64 t2048 s4=0.2 s0=0.2 t2048", 0x7a2c84af23d3bcffull},
};
// clang-format on

class Digest {
 public:
  void add(const std::vector<float>& samples) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(samples.data());
    for (std::size_t i = 0; i < samples.size() * sizeof(float); ++i) {
      value = (value ^ bytes[i]) * 0x100000001B3ull;
    }
  }
  std::uint64_t value = 0xCBF29CE484222325ull;
};

constexpr float kEdgeOfSubnormals = 0x1p-124f;

std::uint64_t run(ModuleMain entry, const char* steps) {
  EffectRecord* r = entry(answerHostVersion);
  LcgNoise noise;
  Digest digest;
  std::istringstream tokens(steps);
  std::string token;
  while (tokens >> token) {
    const char op = token[0];
    const char* argument = token.c_str() + 1;
    if (op == 's') {
      r->setParameterEntry(r, std::atoi(argument),
                           std::strtof(std::strchr(argument, '=') + 1, nullptr));
    } else if (op == 'p') {
      r->dispatchEntry(r, 2, 0, std::atoi(argument), nullptr, 0.0f);  // select a program
    } else if (op == 'r') {
      r->dispatchEntry(r, 10, 0, 0, nullptr, std::strtof(argument, nullptr));  // sample rate
    } else if (op == 'c') {
      r->dispatchEntry(r, 12, 0, 0, nullptr, 0.0f);  // suspend
    } else {
      const int frames = std::atoi(argument);
      std::vector<float> in0(frames), in1(frames);
      for (int i = 0; i < frames; ++i) {
        in0[i] = noise.next();
        in1[i] = noise.next();
        if (op == 'z') in0[i] = 0.0f;
        if (op == 't') in0[i] *= kEdgeOfSubnormals;
      }
      std::vector<float> out0(frames, op == 'a' ? 0.25f : 9.0f);
      std::vector<float> out1(frames, op == 'a' ? -0.5f : 9.0f);
      float* inputs[] = {in0.data(), in1.data()};
      float* outputs[] = {out0.data(), out1.data()};
      if (op == 'a') {
        r->processAddEntry(r, inputs, outputs, frames);
      } else {
        r->processReplaceEntry(r, inputs, outputs, frames);
      }
      digest.add(out0);
      digest.add(out1);
    }
  }
  r->dispatchEntry(r, 1, 0, 0, nullptr, 0.0f);  // close
  return digest.value;
}

TEST(Golden, SessionsThroughTheModule) {
  const ModuleMain entry = loadEntry(QR47_MODULE_PATH);
  ASSERT_NE(entry, nullptr);
  for (const GoldenSession& session : kSessions) {
    EXPECT_EQ(run(entry, session.steps), session.digest)
        << session.name << ": 0x" << std::hex << run(entry, session.steps);
  }
}

}  // namespace
}  // namespace qr47
