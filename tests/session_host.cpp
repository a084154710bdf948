// A small host that loads a built module (dlopen, or LoadLibrary on Windows), runs one fixed
// session through its entry points and writes everything the plug-in answered to a file: record
// fields, parameter values, texts, program names and every output sample's bits. Builds for
// different platforms must write identical files.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "lcg_noise.h"
#include "module_loader.h"

namespace {

using qr47::EffectRecord;

class Log {
 public:
  explicit Log(const char* path) : file_(std::fopen(path, "wb")) {}
  ~Log() {
    if (file_) std::fclose(file_);
  }
  bool open() const { return file_ != nullptr; }
  void integer(std::int64_t value) { std::fwrite(&value, sizeof value, 1, file_); }
  void samples(const float* values, int count) { std::fwrite(values, sizeof(float), count, file_); }
  void text(const char* value) { std::fwrite(value, 1, std::strlen(value) + 1, file_); }

 private:
  std::FILE* file_;
};

void logTexts(EffectRecord* r, Log& log) {
  char buffer[64];
  for (std::int32_t index = 0; index < r->parameterCount; ++index) {
    float value = r->getParameterEntry(r, index);
    log.samples(&value, 1);
    for (std::int32_t opcode :
         {opcode::kParameterName, opcode::kParameterUnit, opcode::kParameterText}) {
      std::memset(buffer, 0, sizeof buffer);
      dispatch(r, opcode, index, 0, buffer);
      log.text(buffer);
    }
  }
  std::memset(buffer, 0, sizeof buffer);
  dispatch(r, opcode::kProgramName, 0, 0, buffer);
  log.text(buffer);
  log.integer(dispatch(r, opcode::kCurrentProgram));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s MODULE OUTPUT\n", argv[0]);
    return 2;
  }
  qr47::ModuleMain entry = loadEntry(argv[1]);
  Log log(argv[2]);
  if (!entry || !log.open()) {
    std::fprintf(stderr, "cannot load %s or write %s\n", argv[1], argv[2]);
    return 1;
  }
  EffectRecord* r = entry(answerHostVersion);
  if (!r) return 1;
  for (std::int64_t field :
       {std::int64_t{r->signature}, std::int64_t{r->programCount}, std::int64_t{r->parameterCount},
        std::int64_t{r->inputCount}, std::int64_t{r->outputCount}, std::int64_t{r->flags},
        std::int64_t{r->uniqueId}, std::int64_t{r->version}, std::int64_t{r->initialDelay},
        std::int64_t{dispatch(r, opcode::kIdentify)}}) {
    log.integer(field);
  }
  dispatch(r, opcode::kOpen);
  dispatch(r, opcode::kSampleRate, 0, 0, nullptr, 44100.0f);
  dispatch(r, opcode::kBlockSize, 0, 1024);
  dispatch(r, opcode::kSuspendResume, 0, 1);
  logTexts(r, log);

  // Blocks of varying length in both modes, with parameter, program and rate changes between.
  LcgNoise noise;
  std::vector<float> in0(1024), in1(1024), out0(1024), out1(1024);
  float* inputs[] = {in0.data(), in1.data()};
  float* outputs[] = {out0.data(), out1.data()};
  char name[] = "Session";
  for (int block = 0; block < 600; ++block) {
    const int frames = 1 + static_cast<int>((noise.next() + 1.0f) * 511.0f);
    for (int i = 0; i < frames; ++i) {
      in0[i] = noise.next();
      in1[i] = noise.next();
    }
    const auto parameter = static_cast<std::int32_t>(block % 6);
    r->setParameterEntry(r, parameter, (noise.next() + 1.0f) * 0.5f);
    if (block % 50 == 7) dispatch(r, opcode::kSelectProgram, 0, block % 16);
    if (block % 90 == 11) dispatch(r, opcode::kRenameProgram, 0, 0, name);
    if (block % 120 == 13) dispatch(r, opcode::kSuspendResume, 0, block % 2);
    if (block == 300) dispatch(r, opcode::kSampleRate, 0, 0, nullptr, 96000.0f);
    if (block == 450) dispatch(r, opcode::kSampleRate, 0, 0, nullptr, 44100.0f);
    if (block % 2 == 0) {
      r->processReplaceEntry(r, inputs, outputs, frames);
    } else {
      std::fill(out0.begin(), out0.end(), 0.0f);
      std::fill(out1.begin(), out1.end(), 0.0f);
      r->processAddEntry(r, inputs, outputs, frames);
    }
    log.samples(out0.data(), frames);
    log.samples(out1.data(), frames);
    if (block % 25 == 0) logTexts(r, log);
  }
  log.integer(dispatch(r, opcode::kClose));
  return 0;
}
