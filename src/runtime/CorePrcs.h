// The processing engine of one instance. It reads the master settings at construction, holds the
// engine state flags and answers the numbered settings through which the host adapter, the
// control thread, the display and the editor read and change engine state.
#pragma once

#include <cstdint>
#include <memory>

#include "base/CoreLflg.h"
#include "base/CoreStrg.h"
#include "config/CoreMstr.h"

class CoreBlnk;
class CoreFsys;
class CorePool;
class CoreProg;
class CoreSpin;

class CorePrcs {
 public:
  // Setting numbers of the numbered interface.
  enum Setting : int32_t {
    kMasterChanged = 11,
    kSetupFolder = 15,
    kProgramFolder = 16,
    kVectorFolder = 17,
    kSetupRomName = 18,
    kAheadLength = 19,
    kScanBoot = 20,
    kFastBoot = 21,
    kFastBootActive = 22,
    kThreadInUse = 26,
    kRateConversion = 30,
    kFontColour = 32,
    kBpmDefault = 34,
    kNoDrop = 35,
    kProcessingBlockMicros = 36,
    kAutoThread = 37,
    kLoaderPriority = 38,
    kCapability = 40,
    kMode = 41,
    kHDimMax = 43,
    kSampleRate = 44,
    kExportQuality = 45,
    kBootPending = 46,
    kVersion = 47,
    kMeterType = 48,
    kDelayCompensation = 49,
    kOTimeD = 50,
    kOFreqD = 51,
    kProgramRate = 52,
    kHDim = 54,
    kUp = 57,
    kSkinPath = 62,
    kGuiRate = 65,
    kControlRate = 66,
    kCurrentLocation = 67,
    kWorkBuffer = 69,
    kForceOffset = 70,
    kProcessingBlock = 71,
    kDataFolder = 72,
    kDebugLevel = 73,
    kMagic = 77,
    kHostRate = 78,
    kSaveMaster = 79,
    kClearAudio = 80,
    kHostBlockSize = 84,
    kPoolAllocated = 85,
    kPoolPeak = 86,
    kUserControlActive = 155,
    kUserControlLive = 156,
    kLengthLimits = 158,
    kControlScaleSetting = 178,
    kMidiEvent = 186,
    kOverload = 218,
    kUserControlName = 229,
    kUserControlValueText = 230,
    kUserControlUnit = 231,
    kUserControlReported = 235,
    kDspBufferWritten = 236,
    kForColumn = 251,
    kSideChainPermission = 254,
    kSideChainActive = 255,
    kLegacyStereo = 256,
    kNotStarted = 258,
  };

  static constexpr int32_t kChunkBytes = 131072;

  // Never throws: a failure sets the failed flag and the engine answers inertly.
  CorePrcs(CorePool* pool, const CoreStrg& codeFolder, int32_t sampleRate, CoreBlnk* blink,
           const CoreStrg& moduleName, CoreFsys* fsys, const CoreStrg& masterText);  // [control]
  ~CorePrcs();
  CorePrcs(const CorePrcs&) = delete;
  CorePrcs& operator=(const CorePrcs&) = delete;

  // ---- numbered settings [any unless noted]; unknown numbers answer 0 / false / "" ----
  double getReal(int32_t number, int32_t index = 0);
  void setReal(int32_t number, double value, int32_t index = 0);
  bool getFlag(int32_t number, int32_t index = 0);
  void setFlag(int32_t number, bool value, int32_t index = 0);
  int32_t get32(int32_t number, int32_t index = 0);
  void set32(int32_t number, int32_t value, int32_t index = 0);       // changes how the engine runs
  void set32Field(int32_t number, int32_t value, int32_t index = 0);  // plain fields
  int16_t get16(int32_t number, int32_t index = 0);
  void set16(int32_t number, int16_t value, int32_t index = 0);
  CoreStrg getText(int32_t number, int32_t index = 0);  // "0" while the engine is failed
  void setText(int32_t number, const CoreStrg& value, int32_t index = 0);
  void command(int32_t number, int32_t index = 0);

  // ---- state ----
  bool failed() const { return failed_; }                          // [any]
  bool bootPending() const { return bootPending_.get(); }          // [any]
  void setBootPending(bool on) { bootPending_.set(on); }           // [control]
  bool stopped() const { return stopped_.get(); }                  // [any]
  bool notStarted() const { return notStarted_.get(); }            // [any]
  bool overload() const { return overload_.get(); }                // [any]
  bool modified() const { return modified_; }                      // [any]
  bool installerPresent() const { return master_.installerPresent(); }  // [any]
  int32_t delayCompensation() const { return master_.delayCompensation; }  // [any]
  bool legacyStereoChannel() const { return master_.legacyStereoChannel; }  // [any]
  CoreStrg magic() const { return master_.magic; }                 // [any]
  CoreStrg skinFilePath() const { return master_.skinFilePath(); }  // [any]
  int32_t guiRate() const { return master_.guiRate; }              // [any] microseconds
  int32_t sampleRate() const { return engineRate_; }               // [any]
  int32_t hostSampleRate() const { return hostRate_; }             // [any]
  void setHostSampleRate(int32_t rate) { set32(kHostRate, rate); }  // [control]
  const CoreMstr& master() const { return master_; }               // [any]
  const CoreStrg& codeFolder() const { return codeFolder_; }       // [any]
  const CoreStrg& moduleName() const { return moduleName_; }       // [any]
  CoreProg* program() const { return program_.get(); }            // [any]
  CoreSpin& processingLock() { return *processingLock_; }          // [any]
  CoreSpin& jobLock() { return *jobLock_; }                        // [any]

  // ---- host adapter services ----
  bool userControlTakenOver(int32_t index) const;  // [any] an edit holds the control's scratch slot
  int32_t tailSize();                              // [gui] longest kernel of the running program
  char* chunkBlock() const { return chunkBlock_; }  // [gui] the host chunk's block
  CoreStrg chunkText();                            // [gui] the setup document, or "NOCHUNK"
  void restoreChunk(const CoreStrg& text);         // [gui] takes a host chunk (control lock held)

  // ---- MIDI mix: forwarded events are applied at once or when their delta falls due ----
  // [audio] Due events of one period (deltas reduced by the period), then (period < 0) all.
  void applyMidi(int32_t period);
  int32_t queuedMidi() const { return midiCount_; }  // [any]

  // [audio] Host buffers in, host buffers out; accumulate when not replacing.
  template <typename T>
  void process(T** inputs, T** outputs, int32_t inputCount, int32_t frames, bool replacing);

 private:
  void construct(const CoreStrg& masterText);
  void midiEvent(uint32_t packed, int32_t delta);  // [audio] setting 186
  void applyMidiEvent(uint32_t packed);            // [audio]
  void setUserControl(int32_t index, double normalized, bool liveSlot);  // [any]
  CoreStrg userControlValueText(int32_t index);   // [any]
  void setRate(int32_t rate, const char* logText);
  // Runs a change of how the engine runs under the processing lock, then the job lock.
  template <typename F>
  void underEngineLocks(F&& change);

  CorePool* pool_;
  CoreStrg codeFolder_;
  CoreStrg moduleName_;
  CoreBlnk* blink_;
  CoreFsys* fsys_;
  int32_t engineRate_;
  int32_t hostRate_;
  int32_t hostBlockSize_ = 2048;
  int32_t currentLocation_ = 0;
  bool failed_ = false;
  bool masterChanged_ = false;
  bool modified_ = false;
  bool sideChainPermission_ = false;
  bool sideChainActive_ = false;
  CoreStrg capability_{"N/A"};
  char* chunkBlock_ = nullptr;
  std::unique_ptr<CoreProg> program_;
  // Forwarded MIDI events waiting for their delta; a fixed ring, nothing allocated on the way.
  struct MidiPending {
    uint32_t packed;
    int32_t delta;
  };
  static constexpr int32_t kMidiQueue = 256;
  MidiPending midi_[kMidiQueue]{};
  int32_t midiCount_ = 0;
  std::unique_ptr<CoreSpin> midiLock_ = std::make_unique<CoreSpin>();
  // Per mix: the channel + 1 and value of the last event that moved it (the display shows them).
  int32_t midiChannel_[8]{};
  int32_t midiValue_[8]{};
  CoreMstr master_;
  CoreLflg bootPending_{true};
  CoreLflg stopped_{true};
  CoreLflg notStarted_{true};
  CoreLflg overload_{false};
  std::unique_ptr<CoreSpin> processingLock_;
  std::unique_ptr<CoreSpin> jobLock_;
};

template <typename T>
void CorePrcs::process(T** inputs, T** outputs, int32_t inputCount, int32_t frames, bool replacing) {
  if (!inputs || !outputs || frames <= 0) return;
  for (int32_t c = 0; c < 2; ++c) {
    T* out = outputs[c];
    const T* in = c < inputCount ? inputs[c] : nullptr;
    if (!out) continue;
    for (int32_t i = 0; i < frames; ++i) {
      const T v = in ? in[i] : T(0);
      out[i] = replacing ? v : out[i] + v;
    }
  }
}
