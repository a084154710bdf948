#include "effect_base.h"

#include <cstring>

namespace qr47 {
namespace {

// The five entry functions stored in every record. Each finds its object through the record's
// back-pointer and passes everything else through untouched.
EffectBase* effectOf(EffectRecord* record) {
  return static_cast<EffectBase*>(record->object);
}

std::intptr_t dispatchEntry(EffectRecord* record, std::int32_t opcode, std::int32_t index,
                            std::intptr_t value, void* pointer, float opt) {
  EffectBase* effect = effectOf(record);
  if (opcode == kClose) {
    effect->dispatch(opcode, index, value, pointer, opt);
    delete effect;
    return 1;
  }
  return effect->dispatch(opcode, index, value, pointer, opt);
}

void processAddEntry(EffectRecord* record, float** inputs, float** outputs,
                     std::int32_t sampleFrames) {
  effectOf(record)->processAdd(inputs, outputs, sampleFrames);
}

void processReplaceEntry(EffectRecord* record, float** inputs, float** outputs,
                         std::int32_t sampleFrames) {
  effectOf(record)->processReplace(inputs, outputs, sampleFrames);
}

void setParameterEntry(EffectRecord* record, std::int32_t index, float value) {
  effectOf(record)->setParameter(index, value);
}

float getParameterEntry(EffectRecord* record, std::int32_t index) {
  return effectOf(record)->getParameter(index);
}

void clearText(char* text) {
  text[0] = '\0';
}

}  // namespace

EffectBase::EffectBase(HostCallback hostCallback, std::int32_t programCount,
                       std::int32_t parameterCount)
    : hostCallback(hostCallback), programCount(programCount), parameterCount(parameterCount) {
  std::memset(&record, 0, sizeof record);
  record.signature = kRecordSignature;
  record.dispatchEntry = dispatchEntry;
  record.processAddEntry = processAddEntry;
  record.setParameterEntry = setParameterEntry;
  record.getParameterEntry = getParameterEntry;
  record.programCount = programCount;
  record.parameterCount = parameterCount;
  record.inputCount = 1;
  record.outputCount = 2;
  record.ioRatio = 1.0f;
  record.object = this;
  record.uniqueId = kDefaultUniqueId;
  record.version = kRecordVersion;
  record.processReplaceEntry = processReplaceEntry;
}

// The editor, if any, is released by its owning pointer.
EffectBase::~EffectBase() = default;

void EffectBase::setParameter(std::int32_t, float) {}
float EffectBase::getParameter(std::int32_t) {
  return 0.0f;
}
void EffectBase::processReplace(float**, float**, std::int32_t) {}
void EffectBase::open() {}
void EffectBase::close() {}
std::int32_t EffectBase::getProgram() {
  return currentProgram;
}
void EffectBase::setProgram(std::int32_t program) {
  currentProgram = program;
}

void EffectBase::setProgramName(char* name) {
  clearText(name);
}
void EffectBase::getProgramName(char* name) {
  clearText(name);
}
void EffectBase::getParameterUnit(std::int32_t, char* text) {
  clearText(text);
}
void EffectBase::getParameterText(std::int32_t, char* text) {
  clearText(text);
}
void EffectBase::getParameterName(std::int32_t, char* text) {
  clearText(text);
}
float EffectBase::getMeterLevel() {
  return 0.0f;
}
std::int32_t EffectBase::getStateBlock(void**, bool) {
  return 0;
}
std::int32_t EffectBase::setStateBlock(void*, std::int32_t, bool) {
  return 0;
}
void EffectBase::setSampleRate(float rate) {
  sampleRate = rate;
}
void EffectBase::setBlockSize(std::int32_t size) {
  blockSize = size;
}
void EffectBase::suspend() {}
void EffectBase::resume() {}
void EffectBase::setUniqueId(std::int32_t id) {
  record.uniqueId = id;
}
void EffectBase::setInputCount(std::int32_t count) {
  record.inputCount = count;
}
void EffectBase::setOutputCount(std::int32_t count) {
  record.outputCount = count;
}
void EffectBase::setHasMeter(bool state) {
  setFlag(kHasMeter, state);
}
void EffectBase::setHasClipIndicator(bool state) {
  setFlag(kHasClipIndicator, state);
}
void EffectBase::setCanMono(bool state) {
  setFlag(kCanMono, state);
}
void EffectBase::setCanReplace(bool state) {
  setFlag(kCanReplace, state);
}
void EffectBase::setProgramsAreBlocks(bool state) {
  setFlag(kProgramsAreBlocks, state);
}
void EffectBase::setRealtimeQualities(std::int32_t qualities) {
  record.realtimeQualities = qualities;
}
void EffectBase::setOfflineQualities(std::int32_t qualities) {
  record.offlineQualities = qualities;
}
void EffectBase::setInitialDelay(std::int32_t samples) {
  record.initialDelay = samples;
}
float EffectBase::getSampleRate() {
  return sampleRate;
}
std::int32_t EffectBase::getBlockSize() {
  return blockSize;
}

bool EffectBase::canParameterBeAutomated(std::int32_t) {
  return false;
}
bool EffectBase::getProgramNameIndexed(std::int32_t, char*) {
  return false;
}
std::int32_t EffectBase::getPlugCategory() {
  return 0;
}
bool EffectBase::getEffectName(char*) {
  return false;
}
bool EffectBase::getVendorString(char*) {
  return false;
}
bool EffectBase::getProductString(char*) {
  return false;
}
std::int32_t EffectBase::getVendorVersion() {
  return record.version;
}
std::int32_t EffectBase::canDo(const char*) {
  return 0;
}
std::int32_t EffectBase::getTailSize() {
  return 0;
}

void EffectBase::setFlag(std::int32_t flag, bool state) {
  if (state) {
    record.flags |= flag;
  } else {
    record.flags &= ~flag;
  }
}

}  // namespace qr47
