#include "vst/AudioEffectX.h"

#include <cstring>

namespace vst {

namespace {

constexpr unsigned char kFill = 0xA5;

// Runs a text request on a scratch buffer and copies what it wrote to the host, cut to the
// published length. A request that wrote nothing leaves the host's buffer as it was.
template <typename Fill>
intptr_t copyOut(void* ptr, int32_t limit, Fill&& fill) {
  if (!ptr || limit <= 0) return 0;
  char scratch[AudioEffectX::kScratchText];
  std::memset(scratch, kFill, sizeof scratch);
  const intptr_t result = fill(scratch);
  bool touched = false;
  for (char c : scratch)
    if (static_cast<unsigned char>(c) != kFill) {
      touched = true;
      break;
    }
  if (!touched) return result;
  scratch[sizeof scratch - 1] = '\0';
  const size_t n = strnlen(scratch, static_cast<size_t>(limit - 1));
  std::memcpy(ptr, scratch, n);
  static_cast<char*>(ptr)[n] = '\0';
  return result;
}

// Host texts are copied into a bounded, terminated buffer before the plug-in reads them.
struct BoundedText {
  char text[AudioEffectX::kScratchText];
  explicit BoundedText(const void* from) {
    text[0] = '\0';
    if (from) {
      const size_t n = strnlen(static_cast<const char*>(from), sizeof text - 1);
      std::memcpy(text, from, n);
      text[n] = '\0';
    }
  }
};

}  // namespace

AudioEffectX::AudioEffectX(HostCallback host, int32_t numPrograms, int32_t numParams)
    : host_(host), numPrograms_(numPrograms), numParams_(numParams) {
  effect_.magic = kEffectMagic;
  effect_.dispatcher = &AudioEffectX::dispatchEntry;
  effect_.process = &AudioEffectX::processEntry;
  effect_.setParameter = &AudioEffectX::setParameterEntry;
  effect_.getParameter = &AudioEffectX::getParameterEntry;
  effect_.numPrograms = numPrograms;
  effect_.numParams = numParams;
  effect_.numInputs = 1;
  effect_.numOutputs = 2;
  effect_.flags = effFlagsCanReplacing;
  effect_.reserved1 = 0;
  effect_.reserved2 = 0;
  effect_.initialDelay = 0;
  effect_.ioRatio = 1.0f;
  effect_.object = this;
  effect_.user = nullptr;
  effect_.uniqueID = fourCC('N', 'o', 'E', 'f');
  effect_.version = 1;
  effect_.processReplacing = &AudioEffectX::processReplacingEntry;
  effect_.processDoubleReplacing = &AudioEffectX::processDoubleEntry;
}

AudioEffectX::~AudioEffectX() { effect_.object = nullptr; }

AudioEffectX* AudioEffectX::fromEffect(AEffect* effect) {
  return effect ? static_cast<AudioEffectX*>(effect->object) : nullptr;
}

void AudioEffectX::setFlag(int32_t flag, bool on) {
  if (on)
    effect_.flags |= flag;
  else
    effect_.flags &= ~flag;
}

void AudioEffectX::setEditor(AEffEditor* editor) {
  editor_ = editor;
  hasEditor(editor != nullptr);
}

intptr_t AudioEffectX::callHost(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                float opt) {
  return host_ ? host_(&effect_, opcode, index, value, ptr, opt) : 0;
}

int32_t AudioEffectX::getMasterVersion() {
  const intptr_t v = callHost(audioMasterVersion);
  return v == 0 ? 1 : static_cast<int32_t>(v);
}

float AudioEffectX::updateSampleRate() {
  const intptr_t rate = callHost(audioMasterGetSampleRate);
  if (rate > 0) sampleRate_ = static_cast<float>(rate);
  return sampleRate_;
}

int32_t AudioEffectX::updateBlockSize() {
  const intptr_t size = callHost(audioMasterGetBlockSize);
  if (size > 0) blockSize_ = static_cast<int32_t>(size);
  return blockSize_;
}

VstTimeInfo* AudioEffectX::getTimeInfo(int32_t filter) {
  return reinterpret_cast<VstTimeInfo*>(callHost(audioMasterGetTime, 0, filter));
}

int32_t AudioEffectX::getCurrentProcessLevel() {
  return static_cast<int32_t>(callHost(audioMasterGetCurrentProcessLevel));
}

bool AudioEffectX::ioChanged() { return callHost(audioMasterIOChanged) != 0; }

void AudioEffectX::wantEvents(int32_t filter) { callHost(audioMasterWantMidi, 0, filter); }

void AudioEffectX::setParameterAutomated(int32_t index, float value) {
  setParameter(index, value);
  callHost(audioMasterAutomate, index, 0, nullptr, value);
}

bool AudioEffectX::sizeWindow(int32_t width, int32_t height) {
  return callHost(audioMasterSizeWindow, width, height) != 0;
}

int32_t AudioEffectX::getChunk(void** data, bool) {
  if (data) *data = nullptr;
  return 0;
}

int32_t AudioEffectX::setChunk(void*, int32_t, bool) { return 0; }

int32_t AudioEffectX::getPlugCategory() {
  return (effect_.flags & effFlagsIsSynth) ? kPlugCategSynth : kPlugCategUnknown;
}

bool AudioEffectX::getSpeakerArrangement(VstSpeakerArrangement** in, VstSpeakerArrangement** out) {
  if (in) *in = nullptr;
  if (out) *out = nullptr;
  return false;
}

void AudioEffectX::closeAndDestroy() {
  close();
  delete this;  // the host handed the instance over to itself at creation; close ends it
}

intptr_t AudioEffectX::dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                  float opt) {
  switch (opcode) {
    case effOpen: open(); return 0;
    case effClose: closeAndDestroy(); return 1;
    case effSetProgram:
      if (value >= 0 && value < numPrograms_) setProgram(static_cast<int32_t>(value));
      return 0;
    case effGetProgram: return getProgram();
    case effSetProgramName: {
      BoundedText name(ptr);
      name.text[kProgramNameLength - 1] = '\0';
      setProgramName(name.text);
      return 0;
    }
    case effGetProgramName:
      return copyOut(ptr, kProgramNameLength, [&](char* t) { getProgramName(t); return intptr_t{0}; });
    case effGetParamLabel:
      return copyOut(ptr, kParamLabelLength, [&](char* t) { getParameterLabel(index, t); return intptr_t{0}; });
    case effGetParamDisplay:
      return copyOut(ptr, kParamDisplayLength, [&](char* t) { getParameterDisplay(index, t); return intptr_t{0}; });
    case effGetParamName:
      return copyOut(ptr, kParamNameLength, [&](char* t) { getParameterName(index, t); return intptr_t{0}; });
    case effSetSampleRate: setSampleRate(opt); return 0;
    case effSetBlockSize: setBlockSize(static_cast<int32_t>(value)); return 0;
    case effMainsChanged:
      if (value)
        resume();
      else
        suspend();
      return 0;
    case effEditGetRect:
      if (!ptr) return 0;
      *static_cast<ERect**>(ptr) = nullptr;
      return (editor_ && editor_->getRect(static_cast<ERect**>(ptr))) ? 1 : 0;
    case effEditOpen: return (editor_ && editor_->open(ptr, value)) ? 1 : 0;
    case effEditClose:
      if (editor_) editor_->close();
      return 0;
    case effEditIdle:
      if (editor_) editor_->idle();
      return 0;
    case effIdentify: return fourCC('N', 'v', 'E', 'f');
    case effGetChunk:
      if (!ptr) return 0;
      return getChunk(static_cast<void**>(ptr), index != 0);
    case effSetChunk:
      if (!ptr && value != 0) return 0;
      return setChunk(ptr, static_cast<int32_t>(value), index != 0);
    case effProcessEvents: return ptr ? processEvents(static_cast<VstEvents*>(ptr)) : 0;
    case effCanBeAutomated:
      return (index >= 0 && index < numParams_ && canParameterBeAutomated(index)) ? 1 : 0;
    case effString2Parameter: {
      BoundedText text(ptr);
      return ptr ? (string2parameter(index, text.text) ? 1 : 0) : 0;
    }
    case effGetProgramNameIndexed:
      return copyOut(ptr, kProgramNameLength, [&](char* t) {
        return intptr_t{getProgramNameIndexed(static_cast<int32_t>(value), index, t) ? 1 : 0};
      });
    case effGetInputProperties:
      return ptr ? (getInputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0) : 0;
    case effGetOutputProperties:
      return ptr ? (getOutputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0) : 0;
    case effGetPlugCategory: return getPlugCategory();
    case effSetSpeakerArrangement:
      return setSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement*>(value),
                                   static_cast<VstSpeakerArrangement*>(ptr))
                 ? 1
                 : 0;
    case effSetBypass: return setBypass(value != 0) ? 1 : 0;
    case effGetEffectName:
      return copyOut(ptr, kEffectNameLength, [&](char* t) { return intptr_t{getEffectName(t) ? 1 : 0}; });
    case effGetVendorString:
      return copyOut(ptr, kVendorStringLength, [&](char* t) { return intptr_t{getVendorString(t) ? 1 : 0}; });
    case effGetProductString:
      return copyOut(ptr, kProductStringLength, [&](char* t) { return intptr_t{getProductString(t) ? 1 : 0}; });
    case effGetVendorVersion: return getVendorVersion();
    case effVendorSpecific: return vendorSpecific(index, value, ptr, opt);
    case effCanDo: {
      if (!ptr) return 0;
      BoundedText text(ptr);
      return canDo(text.text);
    }
    case effGetTailSize: return getGetTailSize();
    case effGetParameterProperties:
      return ptr ? (getParameterProperties(index, static_cast<VstParameterProperties*>(ptr)) ? 1 : 0) : 0;
    case effGetVstVersion: return getVstVersion();
    case effEditKeyDown: return (editor_ && editor_->onKeyDown(index, value, opt)) ? 1 : 0;
    case effEditKeyUp: return (editor_ && editor_->onKeyUp(index, value, opt)) ? 1 : 0;
    case effSetEditKnobMode: return (editor_ && editor_->setKnobMode(static_cast<int32_t>(value))) ? 1 : 0;
    case effGetSpeakerArrangement:
      return getSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement**>(value),
                                   static_cast<VstSpeakerArrangement**>(ptr))
                 ? 1
                 : 0;
    case effStartProcess: return startProcess();
    case effStopProcess: return stopProcess();
    case effSetProcessPrecision: return setProcessPrecision(static_cast<int32_t>(value)) ? 1 : 0;
    case effGetNumMidiInputChannels: return getNumMidiInputChannels();
    case effGetNumMidiOutputChannels: return getNumMidiOutputChannels();
    default: return 0;
  }
}

intptr_t AudioEffectX::dispatchEntry(AEffect* e, int32_t opcode, int32_t index, intptr_t value,
                                     void* ptr, float opt) {
  AudioEffectX* self = fromEffect(e);
  if (!self) return 0;
  try {
    return self->dispatcher(opcode, index, value, ptr, opt);
  } catch (...) {
    return 0;
  }
}

void AudioEffectX::processEntry(AEffect* e, float** in, float** out, int32_t frames) {
  AudioEffectX* self = fromEffect(e);
  if (!self || frames < 0) return;
  try {
    self->process(in, out, frames);
  } catch (...) {
  }
}

void AudioEffectX::processReplacingEntry(AEffect* e, float** in, float** out, int32_t frames) {
  AudioEffectX* self = fromEffect(e);
  if (!self || frames < 0) return;
  try {
    self->processReplacing(in, out, frames);
  } catch (...) {
  }
}

void AudioEffectX::processDoubleEntry(AEffect* e, double** in, double** out, int32_t frames) {
  AudioEffectX* self = fromEffect(e);
  if (!self || frames < 0) return;
  try {
    self->processDoubleReplacing(in, out, frames);
  } catch (...) {
  }
}

void AudioEffectX::setParameterEntry(AEffect* e, int32_t index, float value) {
  AudioEffectX* self = fromEffect(e);
  if (!self) return;
  try {
    self->setParameter(index, value);
  } catch (...) {
  }
}

float AudioEffectX::getParameterEntry(AEffect* e, int32_t index) {
  AudioEffectX* self = fromEffect(e);
  if (!self) return 0.0f;
  try {
    return self->getParameter(index);
  } catch (...) {
    return 0.0f;
  }
}

}  // namespace vst
