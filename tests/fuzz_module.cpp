// Drives effect instances through the host interface with whatever the fuzzer hands over:
// opcodes, indexes, values, parameter floats, program names and audio blocks. Every text buffer
// has exactly the size its operation may write, so a write past it is caught. Finite input
// within full scale must give finite output, whatever came before.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "interface_numbers.h"
#include "plugin_main.h"

namespace {

using qr47::EffectRecord;

// The longest text each command may write, terminator included (a value's text: the whole number
// of a value far outside 0 .. 1).
constexpr std::pair<std::int32_t, std::size_t> kTextBytes[] = {
    {opcode::kProgramName, 24},   {opcode::kParameterUnit, 9},       {opcode::kParameterText, 40},
    {opcode::kParameterName, 16}, {opcode::kProgramNameIndexed, 24}, {opcode::kEffectName, 32},
    {opcode::kVendorString, 64},  {opcode::kProductString, 64}};
constexpr int kLargestBlock = 4096;
constexpr int kMostInstances = 4;

std::intptr_t host(EffectRecord*, std::int32_t request, std::int32_t, std::intptr_t, void*, float) {
  return request == request::kHostVersion ? 1 : 0;
}

float interestingFloat(FuzzedDataProvider& data) {
  constexpr float kChoices[] = {0.0f,
                                -0.0f,
                                1.0f,
                                0.5f,
                                0.25f,
                                0.75f,
                                0.33333f,
                                0.66666f,
                                1e-40f,
                                -1e-40f,
                                std::numeric_limits<float>::max(),
                                -std::numeric_limits<float>::max(),
                                std::numeric_limits<float>::infinity(),
                                -std::numeric_limits<float>::infinity(),
                                std::numeric_limits<float>::quiet_NaN(),
                                1e30f,
                                -5.0f};
  if (data.ConsumeBool()) return data.PickValueInArray(kChoices);
  const std::uint32_t bits = data.ConsumeIntegral<std::uint32_t>();
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

std::int32_t anIndex(FuzzedDataProvider& data) {
  return data.ConsumeBool() ? data.ConsumeIntegralInRange<std::int32_t>(-2, 8)
                            : data.ConsumeIntegral<std::int32_t>();
}

std::intptr_t dispatch(EffectRecord* r, std::int32_t opcode, std::int32_t index,
                       std::intptr_t value, void* pointer, float opt) {
  return r->dispatchEntry(r, opcode, index, value, pointer, opt);
}

// Instances fed more than full scale at some time: a stable filter may then ring beyond what a
// float holds, and only the instances fed full scale alone must give finite output.
std::set<EffectRecord*> fedLoud;

// A command with a buffer of exactly the size it may fill, or with the text it reads.
void command(EffectRecord*& r, FuzzedDataProvider& data) {
  const std::int32_t opcode = data.ConsumeBool() ? data.ConsumeIntegralInRange<std::int32_t>(0, 58)
                                                 : data.ConsumeIntegral<std::int32_t>();
  const std::int32_t index = anIndex(data);
  const auto value = data.ConsumeIntegral<std::intptr_t>();
  const float opt = interestingFloat(data);
  std::size_t bytes = 0;
  for (const auto& [op, size] : kTextBytes) bytes = op == opcode ? size : bytes;
  switch (opcode) {
    case opcode::kCanDo:
    case opcode::kRenameProgram: {
      const std::string name = data.ConsumeRandomLengthString(64);
      auto text = std::make_unique<char[]>(name.size() + 1);
      std::memcpy(text.get(), name.c_str(), name.size() + 1);
      dispatch(r, opcode, index, value, text.get(), opt);
      return;
    }
    case opcode::kGetStateBlock: {
      void* block = nullptr;
      dispatch(r, opcode, index, value, &block, opt);
      return;
    }
    case opcode::kClose:
      fedLoud.erase(r);
      dispatch(r, opcode, index, value, nullptr, opt);
      r = qr47::pluginMain(host);
      return;
    default:
      break;
  }
  auto buffer = bytes ? std::make_unique<char[]>(bytes) : nullptr;
  dispatch(r, opcode, index, value, buffer.get(), opt);
  if (buffer && std::memchr(buffer.get(), '\0', bytes) == nullptr) {
    __builtin_trap();  // a text the host cannot read safely
  }
}

void process(EffectRecord* r, FuzzedDataProvider& data) {
  const int frames = data.ConsumeIntegralInRange<int>(-3, kLargestBlock);
  const std::size_t size = frames > 0 ? static_cast<std::size_t>(frames) : 0;
  std::vector<float> in0(size), in1(size), out0(size), out1(size);
  bool fullScale = true;
  for (std::size_t i = 0; i < size && data.remaining_bytes() > 0; ++i) {
    in0[i] =
        data.ConsumeBool() ? interestingFloat(data) : data.ConsumeFloatingPointInRange(-1.0f, 1.0f);
    in1[i] = in0[i] * 0.5f;
    fullScale = fullScale && std::fabs(in0[i]) <= 1.0f;
  }
  const bool inPlace = data.ConsumeBool();
  float* inputs[] = {in0.data(), in1.data()};
  float* outputs[] = {inPlace ? in0.data() : out0.data(), inPlace ? in1.data() : out1.data()};
  if (data.ConsumeBool()) {
    r->processReplaceEntry(r, inputs, outputs, frames);
  } else {
    r->processAddEntry(r, inputs, outputs, frames);
  }
  if (!fullScale) fedLoud.insert(r);
  if (fedLoud.count(r) != 0) return;
  for (std::size_t i = 0; i < size; ++i) {
    if (!std::isfinite(outputs[0][i]) || !std::isfinite(outputs[1][i])) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  FuzzedDataProvider data(bytes, size);
  fedLoud.clear();
  std::vector<EffectRecord*> instances{qr47::pluginMain(host)};
  while (data.remaining_bytes() > 0) {
    EffectRecord*& r = instances[data.ConsumeIntegralInRange<std::size_t>(0, instances.size() - 1)];
    switch (data.ConsumeIntegralInRange(0, 5)) {
      case 0:
        r->setParameterEntry(r, anIndex(data), interestingFloat(data));
        break;
      case 1:
        r->getParameterEntry(r, anIndex(data));
        break;
      case 2:
      case 3:
        command(r, data);
        break;
      case 4:
        process(r, data);
        break;
      case 5:
        if (instances.size() < kMostInstances) instances.push_back(qr47::pluginMain(host));
        break;
    }
  }
  for (EffectRecord* r : instances) dispatch(r, opcode::kClose, 0, 0, nullptr, 0.0f);
  return 0;
}
