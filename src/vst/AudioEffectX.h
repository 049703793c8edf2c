// Base class of a VST 2.4 plug-in object: owns the effect record the host sees, turns the host's
// dispatcher and processing calls into virtual operations with conventional defaults, and wraps
// the host callbacks. Nothing thrown inside ever crosses back into the host.
#pragma once

#include <cstdint>

#include "vst/AEffEditor.h"
#include "vst/VstAbi.h"

namespace vst {

class AudioEffectX {
 public:
  // Defaults of a new record: sample rate 44100, block size 1024, one input, two outputs,
  // replacing allowed, unique id 'NoEf', version 1.
  AudioEffectX(HostCallback host, int32_t numPrograms, int32_t numParams);
  virtual ~AudioEffectX();
  AudioEffectX(const AudioEffectX&) = delete;
  AudioEffectX& operator=(const AudioEffectX&) = delete;

  AEffect* getAeffect() { return &effect_; }                // [any]
  static AudioEffectX* fromEffect(AEffect* effect);          // [any]

  // ---- host callbacks -------------------------------------------------------------------
  intptr_t callHost(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                    float opt = 0.0f);                      // [any]
  int32_t getMasterVersion();                                // [any] 1 for an old host
  float updateSampleRate();                                  // [any] takes a positive answer
  int32_t updateBlockSize();                                 // [any] takes a positive answer
  VstTimeInfo* getTimeInfo(int32_t filter);                  // [audio]
  int32_t getCurrentProcessLevel();                          // [any]
  bool ioChanged();                                          // [any]
  void wantEvents(int32_t filter = 1);                       // [any]
  void setParameterAutomated(int32_t index, float value);    // [any]
  bool sizeWindow(int32_t width, int32_t height);            // [gui]

  // ---- record fields ----------------------------------------------------------------------
  void setNumInputs(int32_t n) { effect_.numInputs = n; }
  void setNumOutputs(int32_t n) { effect_.numOutputs = n; }
  void setUniqueID(int32_t id) { effect_.uniqueID = id; }
  void setVersion(int32_t v) { effect_.version = v; }
  void setInitialDelay(int32_t delay) { effect_.initialDelay = delay; }
  void canProcessReplacing(bool on) { setFlag(effFlagsCanReplacing, on); }
  void canDoubleReplacing(bool on) { setFlag(effFlagsCanDoubleReplacing, on); }
  void programsAreChunks(bool on) { setFlag(effFlagsProgramChunks, on); }
  void canMono(bool on) { setFlag(effFlagsCanMono, on); }
  void noTail(bool on) { setFlag(effFlagsNoSoundInStop, on); }
  void isSynth(bool on) { setFlag(effFlagsIsSynth, on); }
  void hasEditor(bool on) { setFlag(effFlagsHasEditor, on); }
  // [gui] The editor is owned elsewhere; the record's has-editor flag follows it.
  void setEditor(AEffEditor* editor);
  AEffEditor* getEditor() const { return editor_; }
  float getSampleRate() const { return sampleRate_; }
  int32_t getBlockSize() const { return blockSize_; }
  int32_t getCurrentProgram() const { return curProgram_; }

  // ---- operations the host reaches through the dispatcher -----------------------------------
  virtual void open() {}
  virtual void close() {}
  virtual void setProgram(int32_t program) { curProgram_ = program; }
  virtual int32_t getProgram() { return curProgram_; }
  virtual void setProgramName(const char*) {}
  virtual void getProgramName(char* name) { name[0] = '\0'; }
  // Text requests get a scratch buffer of kScratchText bytes; what they write is copied to the
  // host cut to the interface's published length. A buffer left untouched is not copied.
  virtual void getParameterLabel(int32_t, char*) {}
  virtual void getParameterDisplay(int32_t, char*) {}
  virtual void getParameterName(int32_t, char*) {}
  virtual void setSampleRate(float rate) { sampleRate_ = rate; }
  virtual void setBlockSize(int32_t size) { blockSize_ = size; }
  virtual void suspend() {}
  virtual void resume() {}
  virtual int32_t getChunk(void** data, bool isPreset);
  virtual int32_t setChunk(void* data, int32_t size, bool isPreset);
  virtual int32_t processEvents(VstEvents*) { return 0; }
  virtual bool canParameterBeAutomated(int32_t) { return true; }
  virtual bool string2parameter(int32_t, char*) { return false; }
  virtual bool getProgramNameIndexed(int32_t, int32_t, char*) { return false; }
  virtual bool getInputProperties(int32_t, VstPinProperties*) { return false; }
  virtual bool getOutputProperties(int32_t, VstPinProperties*) { return false; }
  virtual int32_t getPlugCategory();
  virtual bool setSpeakerArrangement(VstSpeakerArrangement*, VstSpeakerArrangement*) { return false; }
  virtual bool getSpeakerArrangement(VstSpeakerArrangement** in, VstSpeakerArrangement** out);
  virtual bool setBypass(bool) { return false; }
  virtual bool getEffectName(char*) { return false; }
  virtual bool getVendorString(char*) { return false; }
  virtual bool getProductString(char*) { return false; }
  virtual int32_t getVendorVersion() { return 0; }
  virtual intptr_t vendorSpecific(int32_t, intptr_t, void*, float) { return 0; }
  virtual int32_t canDo(const char*) { return 0; }
  virtual int32_t getGetTailSize() { return 0; }
  virtual bool getParameterProperties(int32_t, VstParameterProperties*) { return false; }
  virtual int32_t getVstVersion() { return 2400; }
  virtual int32_t startProcess() { return 0; }
  virtual int32_t stopProcess() { return 0; }
  virtual bool setProcessPrecision(int32_t) { return false; }
  virtual int32_t getNumMidiInputChannels() { return 0; }
  virtual int32_t getNumMidiOutputChannels() { return 0; }

  virtual void setParameter(int32_t, float) {}
  virtual float getParameter(int32_t) { return 0.0f; }
  virtual void process(float**, float**, int32_t) {}  // accumulating
  virtual void processReplacing(float**, float**, int32_t) {}
  virtual void processDoubleReplacing(double**, double**, int32_t) {}

  // Everything the dispatcher does; exceptions are caught by the C entry below.
  virtual intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);

  static constexpr int32_t kScratchText = 512;

 protected:
  // After close the instance deletes itself (the host never touches the record again).
  virtual void closeAndDestroy();

 private:
  void setFlag(int32_t flag, bool on);

  static intptr_t dispatchEntry(AEffect* e, int32_t opcode, int32_t index, intptr_t value,
                                void* ptr, float opt);
  static void processEntry(AEffect* e, float** in, float** out, int32_t frames);
  static void processReplacingEntry(AEffect* e, float** in, float** out, int32_t frames);
  static void processDoubleEntry(AEffect* e, double** in, double** out, int32_t frames);
  static void setParameterEntry(AEffect* e, int32_t index, float value);
  static float getParameterEntry(AEffect* e, int32_t index);

  AEffect effect_{};
  HostCallback host_;
  AEffEditor* editor_ = nullptr;
  float sampleRate_ = 44100.0f;
  int32_t blockSize_ = 1024;
  int32_t curProgram_ = 0;
  int32_t numPrograms_;
  int32_t numParams_;
};

}  // namespace vst
