#include "shell/CoreOstr.h"

#include <cstring>

#include "base/CoreFpmd.h"
#include "base/CoreLogr.h"
#include "display/CoreDevq.h"
#include "display/CoreDsif.h"
#include "editor/CoreSkin.h"
#include "runtime/CorePrcs.h"
#include "shell/CoreCtrl.h"
#include "shell/CoreEngn.h"

namespace {

void trace(const char* text) { CoreLogr::trace(CoreStrg(text), 0, 7); }

// Four characters packed first-character-highest; missing characters count as NUL.
int32_t packIdentifier(const CoreStrg& text) {
  char c[4] = {0, 0, 0, 0};
  for (int i = 0; i < 4 && i < text.length(); ++i) c[i] = text.at(i);
  return vst::fourCC(c[0], c[1], c[2], c[3]);
}

void copyText(char* to, const char* text, size_t limit) {
  const size_t n = strnlen(text, limit - 1);
  std::memcpy(to, text, n);
  to[n] = '\0';
}

}  // namespace

vst::AEffect* CoreOstr::create(vst::HostCallback host) {
  // Every floating-point exception masked while we build; the host's modes come back after.
  CoreFpmd::MaskedScope masked;
  if (!host) return nullptr;
  if (host(nullptr, vst::audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
  try {
    auto instance = std::make_unique<CoreOstr>(host);
    // From here the host owns the instance; its close request deletes it.
    return instance.release()->getAeffect();
  } catch (...) {
    return nullptr;
  }
}

CoreOstr::CoreOstr(vst::HostCallback host)
    : vst::AudioEffectX(host, kNumPrograms, kNumParams), instanceLock_(std::make_unique<CoreSpin>()) {
  CoreFpmd::MaskedScope masked;
  open_ = true;
  build();
}

CoreOstr::~CoreOstr() {
  instanceLock_->acquire();
  if (open_) {
    open_ = false;
    tearDown();
  }
  instanceLock_->release();
}

void CoreOstr::build() {
  trace("CoreOstr open starts");
  core_.reset();
  engine_ = nullptr;
  events_ = nullptr;
  control_.reset();
  exchange_ = ExchangeBlock{};
  try {
    const int32_t rate = static_cast<int32_t>(updateSampleRate());
    core_ = std::make_unique<CoreEngn>();
    core_->build(rate, this);
    name_ = core_->moduleName();
    if (core_->failed()) {
      failed_ = true;
      trace("CoreOstr open ends");
      return;
    }
    core_->display()->layoutImage(exchange_.image);
    engine_ = core_->engine();
    events_ = core_->eventQueue();
    control_ = std::make_unique<CoreCtrl>(this, core_.get());
    core_->skin()->releaseFileManager();

    const bool engineBuilt = engine_ && !engine_->failed();
    reportedDelay_ = (engineBuilt && engine_->delayCompensation() >= 1) ? engine_->delayCompensation() : 0;
    setInitialDelay(reportedDelay_);
    // Two inputs with the legacy stereo layout; the side-chain pair otherwise, and also when the
    // engine could not be built.
    setNumInputs(engineBuilt && engine_->legacyStereoChannel() ? 2 : 4);
    setNumOutputs(2);
    const CoreStrg magic = engineBuilt ? engine_->magic() : CoreStrg("0");
    setUniqueID(magic == "0" ? vst::fourCC('k', 'h', 'Z', 'j') : packIdentifier(magic));
    canMono(true);
    canDoubleReplacing(true);
    noTail(false);
    canProcessReplacing(true);
    programsAreChunks(true);
    setProgram(0);
    resume();
    const int32_t hostRate = static_cast<int32_t>(updateSampleRate());
    if (engineBuilt) engine_->setHostSampleRate(hostRate);
    std::fill(exchange_.image.begin(), exchange_.image.end(), 0.0);
    exchange_.pointerRecord.fill(0);
    exchange_.status.fill(0);
    exchange_.menuState.fill(0);
    exchange_.byteValue = 0;
    exchange_.index = 0;
    exchange_.value = 0;
  } catch (...) {
    failed_ = true;
    CoreLogr::error(CoreStrg("Fatal error"), 1);
    reportedDelay_ = 0;
    setInitialDelay(0);
    setNumInputs(2);
    setNumOutputs(2);
    canMono(true);
    canDoubleReplacing(true);
    noTail(false);
    canProcessReplacing(true);
    programsAreChunks(true);
    setProgram(0);
    setUniqueID(vst::fourCC('X', 'X', 'X', 'X'));
  }
  trace("CoreOstr open ends");
}

void CoreOstr::tearDown() {
  trace("CoreOstr close starts");
  // The control thread goes first, also on a failed instance that got as far as making it.
  control_.reset();
  exchange_.image.clear();
  exchange_.records.clear();
  engine_ = nullptr;
  events_ = nullptr;
  core_.reset();
  trace("CoreOstr close ends");
}

void CoreOstr::open() {
  CoreSpin::Guard g(*instanceLock_);
  open_ = true;
}

void CoreOstr::close() {
  CoreSpin::Guard g(*instanceLock_);
  if (!open_) return;
  open_ = false;
  tearDown();
}

void CoreOstr::resume() {
  if (failed_) return;
  wantEvents();
  setInitialDelay(reportedDelay_);
  reportLatency();
}

void CoreOstr::setSampleRate(float rate) { vst::AudioEffectX::setSampleRate(rate); }

template <typename T>
void CoreOstr::processAudio(T** inputs, T** outputs, int32_t frames, bool replacing) {
  CoreFpmd::AudioScope audioModes;
  CorePrcs* engine = engine_;
  if (failed_ || !engine || engine->failed()) {
    // An instance without an engine answers with silence rather than the host's stale buffers.
    if (replacing && outputs && frames > 0)
      for (int32_t c = 0; c < getAeffect()->numOutputs; ++c)
        if (outputs[c]) std::memset(outputs[c], 0, sizeof(T) * static_cast<size_t>(frames));
    return;
  }
  // Inputs 3 and 4 are read only when this instance reports them and the side chain is in use.
  const int32_t channels =
      (getAeffect()->numInputs == 4 && control_ && control_->sideChainSeen()) ? 4 : 2;
  engine->process(inputs, outputs, channels, frames, replacing);
}

void CoreOstr::processReplacing(float** inputs, float** outputs, int32_t frames) {
  processAudio(inputs, outputs, frames, true);
}

void CoreOstr::processDoubleReplacing(double** inputs, double** outputs, int32_t frames) {
  processAudio(inputs, outputs, frames, true);
}

void CoreOstr::process(float** inputs, float** outputs, int32_t frames) {
  processAudio(inputs, outputs, frames, false);
}

void CoreOstr::getProgramName(char* name) { copyText(name, "Ostrel3", vst::kProgramNameLength); }

bool CoreOstr::getProgramNameIndexed(int32_t, int32_t index, char* text) {
  if (index > 0) return false;
  copyText(text, "Ostrel3", vst::kProgramNameLength);
  return true;
}

bool CoreOstr::getEffectName(char* name) {
  copyText(name, name_.text(), vst::kEffectNameLength);
  return true;
}

bool CoreOstr::getProductString(char* text) {
  copyText(text, name_.text(), vst::kProductStringLength);
  return true;
}

// ---- host adapter ------------------------------------------------------------------------------

bool CoreOstr::engineReady() const { return !failed_ && engine_ && !engine_->failed(); }

void CoreOstr::setBlockSize(int32_t size) {
  vst::AudioEffectX::setBlockSize(size);
  if (engineReady()) engine_->set32(CorePrcs::kHostBlockSize, size);
}

void CoreOstr::suspend() {
  if (engineReady()) engine_->command(CorePrcs::kClearAudio);
}

void CoreOstr::setParameter(int32_t index, float value) {
  if (index < 0 || index >= kNumParams || !engineReady() || engine_->bootPending()) return;
  engine_->setReal(CorePrcs::kUserControlLive, static_cast<double>(value), index);
}

float CoreOstr::getParameter(int32_t index) {
  if (index < 0 || index >= kNumParams || !engineReady()) return 0.0f;
  return static_cast<float>(engine_->getReal(CorePrcs::kUserControlLive, index));
}

void CoreOstr::getParameterName(int32_t index, char* text) {
  if (index < 0 || index >= kNumParams || !engineReady()) return;
  copyText(text, engine_->getText(CorePrcs::kUserControlName, index).text(), kScratchText);
}

void CoreOstr::getParameterDisplay(int32_t index, char* text) {
  if (index < 0 || index >= kNumParams || !engineReady()) return;
  copyText(text, engine_->getText(CorePrcs::kUserControlValueText, index).text(), kScratchText);
}

void CoreOstr::getParameterLabel(int32_t index, char* text) {
  if (index < 0 || index >= kNumParams || !engineReady()) return;
  copyText(text, engine_->getText(CorePrcs::kUserControlUnit, index).text(), kScratchText);
}

bool CoreOstr::getVendorString(char* text) {
  copyText(text, "Pelto", vst::kVendorStringLength);
  return true;
}

int32_t CoreOstr::canDo(const char* text) {
  if (!text) return -1;
  return (std::strcmp(text, "receiveVstEvents") == 0 || std::strcmp(text, "receiveVstMidiEvent") == 0)
             ? 1
             : -1;
}

int32_t CoreOstr::getGetTailSize() {
  if (!engineReady() || engine_->bootPending() || engine_->stopped()) return 0;
  return engine_->tailSize();
}

int32_t CoreOstr::getChunk(void** data, bool) {
  if (!data) return 0;
  *data = nullptr;
  if (!engineReady()) return 0;
  char* block = engine_->chunkBlock();
  if (!block) return 0;
  CoreStrg text(kNoChunk);
  try {
    if (!engine_->bootPending()) text = engine_->chunkText();
  } catch (...) {
    text = CoreStrg(kNoChunk);
  }
  // The chunk always has its full size; the text and its NUL fit inside it.
  std::memset(block, 0, kChunkSize);
  copyText(block, text.text(), kChunkSize);
  CoreLogr::trace(CoreStrg("getck:") + text, 0, 7);
  *data = block;
  return kChunkSize;
}

int32_t CoreOstr::setChunk(void* data, int32_t size, bool) {
  if (!engineReady()) return 1;
  try {
    const int32_t rate = static_cast<int32_t>(updateSampleRate());
    engine_->set32(CorePrcs::kHostRate, rate);
    // The host's bytes are untrusted: read up to the first NUL or the given size, whichever
    // comes first, and never past either.
    const char* bytes = static_cast<const char*>(data);
    const size_t length = (bytes && size > 0) ? strnlen(bytes, static_cast<size_t>(size)) : 0;
    const CoreStrg text(std::string_view(bytes ? bytes : "", length));
    CoreLogr::trace(CoreStrg("setck:") + text, 0, 7);
    CoreSpin& controlLock = control_->controlLock();
    controlLock.acquire();
    try {
      engine_->restoreChunk(text);
    } catch (...) {
      controlLock.release();
      throw;
    }
    controlLock.release();
    reportLatency();
  } catch (...) {
    CoreLogr::error(CoreStrg("setChunk failed"), 1);
  }
  return 1;
}

int32_t CoreOstr::processEvents(vst::VstEvents* events) {
  if (!events || !engineReady()) return 1;
  const int32_t count = events->numEvents;
  for (int32_t e = 0; e < count; ++e) {
    const vst::VstEvent* event = events->events[e];
    if (!event || event->type != vst::kMidiType) continue;
    // A record shorter than the MIDI bytes it must hold is skipped; 0 means the host left the
    // size unset.
    if (event->byteSize != 0 && event->byteSize < 28) continue;
    const auto* midi = reinterpret_cast<const vst::VstMidiEvent*>(event);
    const int32_t status = static_cast<uint8_t>(midi->midiData[0]);
    const int32_t channel = status & 0x0F;
    const int32_t kind = status & 0xF0;
    const int32_t d1 = static_cast<uint8_t>(midi->midiData[1]) & 0x7F;
    const int32_t d2 = static_cast<uint8_t>(midi->midiData[2]) & 0x7F;
    bool forward = false;
    if (kind == 0x90) {
      forward = true;
    } else if (kind == 0xB0) {
      if (d1 == 32)
        bankSelect_ = d2 >= 100 ? 0 : d2;
      else
        forward = true;
    } else if (kind == 0xC0) {
      const int32_t location = bankSelect_ * 100 + d1 % 100;
      if (location != engine_->get32(CorePrcs::kCurrentLocation)) {
        CoreSpin::Guard g(control_->controlLock());
        core_->display()->requestLoad(location);
      }
    }
    if (forward) {
      const uint32_t packed = static_cast<uint32_t>(channel) | (static_cast<uint32_t>(kind) << 8) |
                              (static_cast<uint32_t>(d1) << 16) | (static_cast<uint32_t>(d2) << 24);
      engine_->set32(CorePrcs::kMidiEvent, static_cast<int32_t>(packed), midi->deltaFrames);
    }
  }
  return 1;
}

bool CoreOstr::setSpeakerArrangement(vst::VstSpeakerArrangement* input,
                                     vst::VstSpeakerArrangement* output) {
  if (!input || !output || !engineReady()) return false;
  switch (input->type) {
    case vst::kSpeakerArrMono:
    case vst::kSpeakerArrStereo:
      engine_->setFlag(CorePrcs::kSideChainPermission, false);
      return true;
    case vst::kSpeakerArr40Music:
      engine_->setFlag(CorePrcs::kSideChainPermission, true);
      // The pair 3/4 is only there when this instance reports four inputs.
      return getAeffect()->numInputs == 4;
    default:
      engine_->setFlag(CorePrcs::kSideChainPermission, false);
      return false;
  }
}

void CoreOstr::reportLatency() {
  if (!engineReady()) return;
  const int32_t delay = engine_->delayCompensation() >= 1 ? engine_->delayCompensation() : 0;
  if (delay == reportedDelay_) return;
  reportedDelay_ = delay;
  setInitialDelay(delay);
  ioChanged();
}

void CoreOstr::parameterAutomated(int32_t index, float value) { setParameterAutomated(index, value); }

void CoreOstr::syncAutomation() {
  if (!engineReady() || engine_->bootPending()) return;
  for (int32_t i = 0; i < kNumParams; ++i) {
    if (engine_->userControlTakenOver(i)) continue;
    const double current = engine_->getReal(CorePrcs::kUserControlActive, i);
    if (current != engine_->getReal(CorePrcs::kUserControlReported, i)) {
      parameterAutomated(i, static_cast<float>(current));
      // The host's value is a 32-bit real and setting it rounds the control to it: what the
      // control holds now is what the host was told.
      engine_->setReal(CorePrcs::kUserControlReported,
                       engine_->getReal(CorePrcs::kUserControlActive, i), i);
    }
  }
}

// ---- properties --------------------------------------------------------------------------------

int32_t CoreOstr::getPropertySize(int32_t number, int32_t flag, int32_t, int32_t* size, int32_t* variable) {
  if (variable) *variable = 0;
  if (flag != 0) return kUnknown;
  int32_t bytes = -1;
  if (number >= kControlState && number < kControlState + kNumParams) bytes = 32;
  switch (number) {
    case kDisplayEvent: bytes = 20; break;
    case kPointerRecord: bytes = 12; break;
    case kStatusSnapshot: bytes = 104; break;
    case kEditorCount: bytes = 1; break;
    case kCharacterImage: bytes = static_cast<int32_t>(8 * exchange_.image.size()); break;
    case kByteValue: bytes = 1; break;
    case kMenuState: bytes = 20; break;
    case kRecordList: bytes = static_cast<int32_t>(52 * exchange_.records.size()); break;
    case kRecordChoice: bytes = 52; break;
    case kIgnored: bytes = 1; break;
    case kControlScale: bytes = 8; break;
    default: break;
  }
  if (bytes < 0) return kUnknown;
  if (size) *size = bytes;
  return kDone;
}

int32_t CoreOstr::getPropertyData(int32_t number, int32_t flag, int32_t, void* data) {
  if (failed_ || !core_) return kFailed;
  if (flag != 0 || !data) return kUnknown;
  auto* out = static_cast<uint8_t*>(data);
  if (number >= kControlState && number < kControlState + kNumParams) {
    const int32_t i = number - kControlState;
    std::memset(out, 0, 32);
    if (engineReady()) {
      out[0] = (engine_->bootPending() || engine_->userControlTakenOver(i)) ? 1 : 0;
      const double reported = engine_->getReal(CorePrcs::kUserControlReported, i);
      std::memcpy(out + 8, &reported, sizeof reported);
    }
    return kDone;
  }
  switch (number) {
    case kPointerRecord: std::memcpy(out, exchange_.pointerRecord.data(), 12); return kDone;
    case kStatusSnapshot: std::memcpy(out, exchange_.status.data(), 104); return kDone;
    case kCharacterImage:
      core_->display()->refreshImage(exchange_.image);
      std::memcpy(out, exchange_.image.data(), 8 * exchange_.image.size());
      return kDone;
    case kByteValue: out[0] = exchange_.byteValue; return kDone;
    case kMenuState: std::memcpy(out, exchange_.menuState.data(), 20); return kDone;
    case kRecordList:
      for (size_t r = 0; r < exchange_.records.size(); ++r)
        std::memcpy(out + 52 * r, exchange_.records[r].data(), 52);
      return kDone;
    default: return kUnknown;  // the rest cannot be read
  }
}

int32_t CoreOstr::setPropertyData(int32_t number, int32_t flag, int32_t, const void* data, int32_t size) {
  if (failed_ || !core_) return kFailed;
  int32_t needed = 0, variable = 0;
  if (flag != 0 || getPropertySize(number, 0, 0, &needed, &variable) != kDone) return kUnknown;
  if (!data || size < needed) return kUnknown;
  const auto* in = static_cast<const uint8_t*>(data);
  if (number >= kControlState && number < kControlState + kNumParams) {
    const int32_t i = number - kControlState;
    if (!engineReady()) return kDone;
    if (in[1] && !engine_->bootPending()) core_->display()->selectControl(i);
    if (in[2]) {
      double reported = 0.0;
      std::memcpy(&reported, in + 8, sizeof reported);
      engine_->setReal(CorePrcs::kUserControlReported, reported, i);
    }
    if (in[16]) {
      double normalised = 0.0;
      std::memcpy(&normalised, in + 24, sizeof normalised);
      engine_->setReal(CorePrcs::kUserControlActive, normalised, i);
    }
    return kDone;
  }
  switch (number) {
    case kDisplayEvent: {
      CoreDevq::Event e{};
      std::memcpy(e.data(), in, 20);
      if (events_) events_->push(e);
      return kDone;
    }
    case kPointerRecord: std::memcpy(exchange_.pointerRecord.data(), in, 12); return kDone;
    case kStatusSnapshot: std::memcpy(exchange_.status.data(), in, 104); return kDone;
    case kEditorCount:
      if (control_) control_->changeEditorCount(in[0] != 0);
      return kDone;
    case kByteValue: exchange_.byteValue = in[0]; return kDone;
    case kMenuState: std::memcpy(exchange_.menuState.data(), in, 20); return kDone;
    case kRecordChoice:
      if (exchange_.records.empty()) exchange_.records.emplace_back();
      std::memcpy(exchange_.records[0].data(), in, 52);
      core_->display()->actOnRecord(exchange_.records[0]);
      return kDone;
    case kIgnored: return kDone;
    case kControlScale: {
      int16_t index = 0;
      int32_t value = 0;
      std::memcpy(&index, in, sizeof index);
      std::memcpy(&value, in + 4, sizeof value);
      if (engineReady() && control_) {
        CoreSpin::Guard g(control_->controlLock());
        engine_->set32(CorePrcs::kControlScaleSetting, value, index);
      }
      return kDone;
    }
    default: return kUnknown;
  }
}
