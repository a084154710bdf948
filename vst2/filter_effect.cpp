#include "filter_effect.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <new>

#include "effect_factory.h"
#include "text_copy.h"

namespace qr47 {
namespace {

constexpr std::int32_t kInputCount = 2;
constexpr std::int32_t kNoTail = 1;
constexpr std::int32_t kOutputCount = 2;

constexpr char kEffectNameText[] = "QR47";
constexpr char kVendor[] = "QR47 Project";
constexpr char kProduct[] = "QR47 Filter";

// What the host may ask the effect to be, and what it cannot be: it takes no events and needs
// real time.
constexpr const char* kAbilities[] = {"plugAsChannelInsert", "plugAsSend", "2in2out"};
constexpr const char* kInabilities[] = {"receiveVstEvents", "receiveVstMidiEvent", "sendVstEvents",
                                        "sendVstMidiEvent", "offline"};

bool listed(const char* capability, const char* const* list, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    if (std::strcmp(capability, list[i]) == 0) return true;
  }
  return false;
}

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

// The answers beyond the first 25 commands; each is safe from any thread.
bool FilterEffect::canParameterBeAutomated(std::int32_t index) {
  return isParameterIndex(index);
}

bool FilterEffect::getProgramNameIndexed(std::int32_t program, char* name) {
  char full[kProgramNameBytes];
  if (!engine.getProgramName(program, full)) return false;
  copyText(name, full, kProgramNameRoom);
  return true;
}

std::int32_t FilterEffect::getPlugCategory() {
  return kCategoryEffect;
}

bool FilterEffect::getEffectName(char* name) {
  copyText(name, kEffectNameText, kEffectNameRoom);
  return true;
}

bool FilterEffect::getVendorString(char* text) {
  copyText(text, kVendor, kVendorRoom);
  return true;
}

bool FilterEffect::getProductString(char* text) {
  copyText(text, kProduct, kProductRoom);
  return true;
}

std::int32_t FilterEffect::canDo(const char* capability) {
  if (listed(capability, kAbilities, std::size(kAbilities))) return 1;
  if (listed(capability, kInabilities, std::size(kInabilities))) return -1;
  return 0;
}

// The interface's "no tail" is 1: 0 would leave the host to guess.
std::int32_t FilterEffect::getTailSize() {
  return std::max(kNoTail, engine.tailLength());
}

EffectBase* createEffect(HostCallback hostCallback) {
  return new (std::nothrow) FilterEffect(hostCallback);
}

}  // namespace qr47
