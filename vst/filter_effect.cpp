#include "filter_effect.h"

#include <new>

#include "effect_factory.h"

namespace qr47 {
namespace {

constexpr std::int32_t kInputCount = 2;
constexpr std::int32_t kOutputCount = 2;

}  // namespace

FilterEffect::FilterEffect(HostCallback hostCallback)
    : EffectBase(hostCallback, kProgramCount, kParameterCount) {
  setInputCount(kInputCount);
  setOutputCount(kOutputCount);
  setUniqueId(kUniqueId);
  setCanMono(true);
  setCanReplace(true);
}

void FilterEffect::setParameter(std::int32_t index, float value) {
  engine.setParameter(index, value);
}

float FilterEffect::getParameter(std::int32_t index) {
  return engine.getParameter(index);
}

void FilterEffect::processAdd(float** inputs, float** outputs, std::int32_t sampleFrames) {
  engine.processAdd(inputs, outputs, sampleFrames);
}

void FilterEffect::processReplace(float** inputs, float** outputs, std::int32_t sampleFrames) {
  engine.processReplace(inputs, outputs, sampleFrames);
}

// The engine keeps the current program, so that a program change and the parameter writes that
// land in its record are one step for every thread.
std::int32_t FilterEffect::getProgram() {
  return engine.getProgram();
}

void FilterEffect::setProgram(std::int32_t program) {
  engine.setProgram(program);
}

void FilterEffect::setProgramName(char* name) {
  engine.setProgramName(name);
}

void FilterEffect::getProgramName(char* name) {
  engine.currentProgramName(name);
}

// The host's rate is kept for the display texts, and the filter follows it.
void FilterEffect::setSampleRate(float rate) {
  EffectBase::setSampleRate(rate);
  engine.setSampleRate(rate);
}

void FilterEffect::suspend() {
  engine.clearSections();
}

void FilterEffect::resume() {
  engine.clearSections();
}

EffectBase* createEffect(HostCallback hostCallback) {
  return new (std::nothrow) FilterEffect(hostCallback);
}

}  // namespace qr47
