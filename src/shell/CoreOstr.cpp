#include "shell/CoreOstr.h"

#include <cstring>

#include "base/CoreFpmd.h"
#include "base/CoreLogr.h"
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
  engine->process(inputs, outputs, getAeffect()->numInputs, frames, replacing);
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
