#include "clap_filter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "clap_parameters.h"

namespace qr47 {
namespace {

constexpr std::int32_t kAnyNote = -1;
constexpr std::int16_t kWildcard = -1;  // any port, channel or key

// A full list loses the event: the filter has the value either way.
void pushGesture(const clap::OutputEvents* out, std::uint16_t type, std::uint32_t id) {
  if (!out) return;
  const clap::EventParamGesture event{{sizeof event, 0, clap::kCoreEventSpace, type, 0}, id};
  out->tryPush(out, &event.header);
}

void pushValue(const clap::OutputEvents* out, std::uint32_t id, double value) {
  if (!out) return;
  const clap::EventParamValue event{
      {sizeof event, 0, clap::kCoreEventSpace, clap::kEventParamValue, 0},
      id,
      nullptr,
      kAnyNote,
      kWildcard,
      kWildcard,
      kWildcard,
      value};
  out->tryPush(out, &event.header);
}

}  // namespace

void ClapFilter::init() {
  hostParams = static_cast<const clap::HostParams*>(host->getExtension(host, clap::kParamsId));
}

// The host calls this only while nothing processes. The sections start from silence, as after
// the VST module's resume.
void ClapFilter::activate(double rate) {
  filter.takeLoadedState();
  filter.setSampleRate(static_cast<float>(rate));
  filter.publishChanges();
  filter.clearSections();
  filter.finishFade();
  currentRate = static_cast<float>(rate);
  active = true;
}

// The host's modulation signal is processing state, as the interface has it: the value heard is
// the parameter's value plus the amount, and only the value outlives a reset. Deactivation ends
// processing, so the amounts go with it; what the host flushes while inactive plays on.
void ClapFilter::deactivate() {
  filter.clearModulation();
  filter.publishChanges();
  active = false;
}

void ClapFilter::reset() {
  filter.clearSections();
  filter.clearModulation();
  filter.publishChanges();
}

bool ClapFilter::value(std::uint32_t id, double* clapValue) const {
  if (id >= kClapParameterCount) return false;
  *clapValue = id == kClapBypassId ? (filter.bypassed() ? 1.0 : 0.0)
                                   : clapValueOf(id, filter.value(static_cast<std::int32_t>(id)));
  return true;
}

// The editor's host values, and the bypass as 1 or 0.
float ClapFilter::shownValue(std::int32_t index) const {
  if (index == static_cast<std::int32_t>(kClapBypassId)) return filter.bypassed() ? 1.0f : 0.0f;
  return isParameterIndex(index) ? filter.value(index) : 0.0f;
}

// The stream may take fewer bytes than offered at a time.
bool ClapFilter::save(const clap::OutputStream* stream) const {
  const SavedState state = saveState(filter.state());
  std::size_t done = 0;
  while (done < state.size()) {
    const std::int64_t written = stream->write(stream, state.data() + done, state.size() - done);
    if (written <= 0) return false;
    done += static_cast<std::size_t>(written);
  }
  return true;
}

// Reads to the end of the stream, one byte beyond a state at most, so that a longer stream is
// refused rather than taken in part.
bool ClapFilter::load(const clap::InputStream* stream) {
  std::uint8_t bytes[kSavedStateBytes + 1];
  std::size_t done = 0;
  while (done < sizeof bytes) {
    const std::int64_t read = stream->read(stream, bytes + done, sizeof bytes - done);
    if (read < 0) return false;
    if (read == 0) break;
    done += static_cast<std::size_t>(read);
  }
  FilterState state;
  if (!loadState(bytes, done, &state)) return false;
  filter.load(state);
  // While inactive nothing processes: the main thread applies the state itself.
  if (!active) {
    filter.takeLoadedState();
    filter.publishChanges();
  }
  if (hostParams) hostParams->rescan(host, clap::kParamRescanValues);
  return true;
}

void ClapFilter::applyEvents(const clap::InputEvents* events, const clap::OutputEvents* out) {
  filter.takeLoadedState();
  deliverGestures(out);
  const std::uint32_t count = events ? events->size(events) : 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    const clap::EventHeader* event = events->get(events, i);
    if (event) applyEvent(*event);
  }
  filter.publishChanges();
}

// Each event takes effect at its sample: the block is run up to it, the value set, and the rest
// run after. Events come in time order; one that does not lands where the block has got to.
clap::ProcessStatus ClapFilter::process(const clap::Process& p) {
  filter.takeLoadedState();
  deliverGestures(p.outEvents);
  const bool stereo = p.audioInputsCount > 0 && p.audioOutputsCount > 0 &&
                      p.audioInputs[0].channelCount >= 2 && p.audioOutputs[0].channelCount >= 2 &&
                      p.audioInputs[0].data32 && p.audioOutputs[0].data32;
  const std::uint32_t frames = stereo ? p.framesCount : 0;
  const std::uint32_t count = p.inEvents ? p.inEvents->size(p.inEvents) : 0;
  std::uint32_t done = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    const clap::EventHeader* event = p.inEvents->get(p.inEvents, i);
    if (!event) continue;
    const std::uint32_t at = std::min(event->time, frames);
    if (at > done) {
      run(p, done, at);
      done = at;
    }
    applyEvent(*event);
  }
  if (frames > done) run(p, done, frames);
  filter.publishChanges();
  if (!stereo) return p.framesCount == 0 ? clap::kProcessContinue : clap::kProcessError;
  p.audioOutputs[0].constantMask = 0;
  return clap::kProcessContinue;
}

// The editor's changes land at the block's first sample, before the host's events there, and
// go back to the host so that it records them as the user's gestures.
void ClapFilter::deliverGestures(const clap::OutputEvents* out) {
  if (!gestures.arrived()) return;
  for (std::uint32_t id = 0; id < kClapParameterCount; ++id) {
    const auto index = static_cast<std::int32_t>(id);
    const GestureMailbox::Delivery delivery = gestures.take(index);
    if (delivery.begin) pushGesture(out, clap::kEventParamGestureBegin, id);
    if (delivery.hasValue) {
      const double clapValue = id == kClapBypassId ? (bypassOn(delivery.value) ? 1.0 : 0.0)
                                                   : clapValueOf(id, delivery.value);
      setValue(id, clapValue);
      gestures.applied(index);
      pushValue(out, id, clapValue);
    }
    if (delivery.end) pushGesture(out, clap::kEventParamGestureEnd, id);
  }
}

// Only parameter values and modulation of the core event space are the filter's; modulation
// aimed at one note, key, channel or port is not, for the filter plays no notes.
void ClapFilter::applyEvent(const clap::EventHeader& event) {
  if (event.spaceId != clap::kCoreEventSpace) return;
  if (event.type == clap::kEventParamValue && event.size >= sizeof(clap::EventParamValue)) {
    clap::EventParamValue change;
    std::memcpy(&change, &event, sizeof change);
    setValue(change.paramId, change.value);
  } else if (event.type == clap::kEventParamMod && event.size >= sizeof(clap::EventParamMod)) {
    clap::EventParamMod mod;
    std::memcpy(&mod, &event, sizeof mod);
    if (isModulatable(mod.paramId) && mod.noteId == kAnyNote && mod.portIndex == kWildcard &&
        mod.channel == kWildcard && mod.key == kWildcard) {
      filter.setModulation(static_cast<std::int32_t>(mod.paramId), mod.amount);
    }
  }
}

// A NaN, or an id of no parameter, changes nothing.
void ClapFilter::setValue(std::uint32_t id, double clapValue) {
  if (id == kClapBypassId) {
    if (!std::isnan(clapValue)) filter.setBypass(bypassOn(clapValue));
    return;
  }
  float value;
  if (hostValueOf(id, clapValue, &value)) filter.setValue(static_cast<std::int32_t>(id), value);
}

void ClapFilter::run(const clap::Process& p, std::uint32_t start, std::uint32_t end) {
  float* const* in = p.audioInputs[0].data32;
  float* const* out = p.audioOutputs[0].data32;
  const float* inputs[] = {in[0] + start, in[1] + start};
  float* outputs[] = {out[0] + start, out[1] + start};
  filter.process(inputs, outputs, static_cast<std::int32_t>(end - start));
}

}  // namespace qr47
