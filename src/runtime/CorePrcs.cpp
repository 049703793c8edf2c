#include "runtime/CorePrcs.h"

#include <cmath>

#include "base/CoreLogr.h"
#include "base/CorePool.h"
#include "base/CoreSigp.h"
#include "base/CoreSpin.h"
#include "docstore/CoreFsys.h"
#include "programs/CoreProg.h"

namespace {

int32_t toInt(double v) {
  if (!std::isfinite(v)) return 0;
  if (v > 2147483647.0) return 2147483647;
  if (v < -2147483648.0) return -2147483647 - 1;
  return static_cast<int32_t>(v);
}

}  // namespace

CorePrcs::CorePrcs(CorePool* pool, const CoreStrg& codeFolder, int32_t sampleRate, CoreBlnk* blink,
                   const CoreStrg& moduleName, CoreFsys* fsys, const CoreStrg& masterText)
    : pool_(pool),
      codeFolder_(codeFolder),
      moduleName_(moduleName),
      blink_(blink),
      fsys_(fsys),
      engineRate_(sampleRate),
      hostRate_(sampleRate),
      processingLock_(std::make_unique<CoreSpin>()),
      jobLock_(std::make_unique<CoreSpin>()) {
  try {
    construct(masterText);
  } catch (...) {
    failed_ = true;
    CoreLogr::error(CoreStrg("CorePrcs construction failed"), 1);
  }
}

CorePrcs::~CorePrcs() {
  if (chunkBlock_ && pool_) pool_->release(chunkBlock_);
}

void CorePrcs::construct(const CoreStrg& masterText) {
  // Master settings: defaults, file (or the given text), installer merge, derived values.
  master_.read(codeFolder_, moduleName_, masterText, engineRate_);
  CoreLogr::setFolder(master_.dataFolder());
  CoreLogr::setLevel(static_cast<int16_t>(master_.debugLevel));
  master_.dump(engineRate_);
  CoreLogr::trace(CoreStrg("DELAY COMPENSATION:") + CoreStrg(master_.delayCompensation), 0, 3);
  hostBlockSize_ = master_.threadsMinDim;

  // A data path that names an archive is loaded into the archive manager; its folder becomes the
  // manager's base folder. A data path that is a plain folder loads nothing.
  if (master_.dataPathGiven && fsys_) {
    fsys_->setBaseFolder(master_.dataPath.folder());
    fsys_->loadArchive(master_.dataPath, CoreStrg("0"), false, nullptr);
  }

  if (master_.ippThreads > 0) CoreSigp::setNumThreads(master_.ippThreads);

  chunkBlock_ = static_cast<char*>(pool_->allocate(CorePool::kChar, kChunkBytes, "PRCS"));
  program_ = std::make_unique<CoreProg>(pool_, master_.hDimMax, engineRate_, blink_);
}

void CorePrcs::setUserControl(int32_t index, double normalized, bool liveSlot) {
  if (!program_ || index < 0 || index >= CoreUctl::kControls) return;
  CoreUctl& c = program_->userControl(index);
  const double before = c.getNormalized(false);
  c.setNormalized(normalized, liveSlot);
  if (c.getNormalized(false) != before) {
    modified_ = true;
    overload_.set(false);
  }
}

CoreStrg CorePrcs::userControlValueText(int32_t index) {
  CoreUctl& c = program_->userControl(index);
  char text[32];
  if (index >= CoreUctl::kGainIn) {
    // The gains show the level they give: 20 log10(2 x position), as the program file keeps it.
    const double p = c.getNormalized(true);
    if (p <= 0.0) return CoreStrg("-inf");
    formatCLocale(text, sizeof text, "%.1f", 20.0 * std::log10(2.0 * p));
  } else {
    formatCLocale(text, sizeof text, "%.2f", c.getRaw(true));
  }
  return CoreStrg(text);
}

void CorePrcs::midiEvent(uint32_t packed, int32_t delta) {
  if (bootPending_.get()) return;  // dropped while the boot is pending
  if (delta <= 0) {
    applyMidiEvent(packed);
    return;
  }
  CoreSpin::Guard g(*midiLock_);
  if (midiCount_ == kMidiQueue) {
    // A full queue makes room by applying its oldest event now rather than dropping one.
    applyMidiEvent(midi_[0].packed);
    for (int32_t i = 1; i < midiCount_; ++i) midi_[i - 1] = midi_[i];
    --midiCount_;
  }
  midi_[midiCount_++] = MidiPending{packed, delta};
}

void CorePrcs::applyMidi(int32_t period) {
  CoreSpin::Guard g(*midiLock_);
  int32_t kept = 0;
  for (int32_t i = 0; i < midiCount_; ++i) {
    MidiPending e = midi_[i];
    if (period >= 0) e.delta -= period;
    if (period < 0 || e.delta <= 0)
      applyMidiEvent(e.packed);
    else
      midi_[kept++] = e;
  }
  midiCount_ = kept;
}

void CorePrcs::applyMidiEvent(uint32_t packed) {
  if (!program_) return;
  const int32_t channel = static_cast<int32_t>(packed & 0xFF);
  const int32_t status = static_cast<int32_t>((packed >> 8) & 0xFF);
  const int32_t d1 = static_cast<int32_t>((packed >> 16) & 0xFF);
  const int32_t value = static_cast<int32_t>((packed >> 24) & 0xFF);
  for (int32_t n = 0; n < CoreProg::kMixes; ++n) {
    CoreMstr::MidiMix& m = master_.midiMix[static_cast<size_t>(n)];
    if (m.learn) {
      m.learn = false;
      m.status = status;
      m.controller = d1;
    }
    if (m.disabled || m.status != status || m.controller != d1) continue;
    midiChannel_[n] = channel + 1;
    midiValue_[n] = value;
    setUserControl(n, value / 127.0, true);
  }
}

bool CorePrcs::userControlTakenOver(int32_t index) const {
  if (!program_ || index < 0 || index >= CoreUctl::kControls) return false;
  return program_->userControl(index).activeSlot() != 0;
}

int32_t CorePrcs::tailSize() { return 0; }

CoreStrg CorePrcs::chunkText() {
  // Until a location has been loaded or a control changed there is nothing to restore.
  return CoreStrg("NOCHUNK");
}

void CorePrcs::restoreChunk(const CoreStrg& text) {
  if (failed_) return;
  modified_ = true;
  if (text.trim() == "NOCHUNK") return;
  // A chunk is taken only by a started engine; the start stages come with the library.
  if (bootPending_.get()) return;
}

template <typename F>
void CorePrcs::underEngineLocks(F&& change) {
  processingLock_->acquire();
  jobLock_->acquire();
  change();
  jobLock_->release();
  processingLock_->release();
}

void CorePrcs::setRate(int32_t rate, const char* logText) {
  if (rate <= 0) return;
  const int32_t old = engineRate_;
  CoreLogr::trace(CoreStrg(logText) + CoreStrg(old), 0, 3);
  if (rate == old) return;
  underEngineLocks([&] {
    engineRate_ = rate;
    master_.derive(rate);
  });
}

// ---- numbered settings -----------------------------------------------------------------------

double CorePrcs::getReal(int32_t number, int32_t index) {
  if (failed_) return 0.0;
  switch (number) {
    case kAheadLength:
      return engineRate_ > 0 ? master_.lookAheadSamples * 1e6 / engineRate_ : 0.0;
    case kBpmDefault: return master_.bpmDefault;
    case kProcessingBlockMicros:
      return engineRate_ > 0 ? 64.0 * master_.dspBuffer * 1e6 / engineRate_ : 0.0;
    case kUserControlActive:
    case kUserControlLive:
    case kUserControlReported:
      if (!program_ || index < 0 || index >= CoreUctl::kControls) return 0.0;
      if (number == kUserControlReported) return program_->userControl(index).reported();
      return program_->userControl(index).getNormalized(number == kUserControlLive);
    default: (void)index; return 0.0;
  }
}

void CorePrcs::setReal(int32_t number, double value, int32_t index) {
  if (failed_) return;
  switch (number) {
    case kUserControlActive: setUserControl(index, value, false); break;
    case kUserControlLive: setUserControl(index, value, true); break;
    case kUserControlReported:
      if (program_ && index >= 0 && index < CoreUctl::kControls)
        program_->userControl(index).setReported(value);
      break;
    case kAheadLength:
      underEngineLocks([&] {
        master_.aheadLength = toInt(value);
        master_.derive(engineRate_);
      });
      break;
    default: break;
  }
}

bool CorePrcs::getFlag(int32_t number, int32_t) {
  if (failed_) return false;
  switch (number) {
    case kMasterChanged: return masterChanged_;
    case kScanBoot: return master_.scanBoot;
    case kFastBoot: return master_.fastBoot;
    case kFastBootActive: return master_.fastBoot && !master_.installerPresent();
    case kThreadInUse: return master_.threads > 0;
    case kNoDrop: return master_.noDrop;
    case kAutoThread: return master_.autoThread;
    case kMode: return master_.mode;
    case kBootPending: return bootPending_.get();
    case kUp: return master_.up;
    case kOverload: return overload_.get();
    case kSideChainActive: return sideChainActive_;
    case kLegacyStereo: return master_.legacyStereoChannel;
    case kNotStarted: return notStarted_.get();
    default: return false;
  }
}

void CorePrcs::setFlag(int32_t number, bool value, int32_t) {
  if (failed_) return;
  switch (number) {
    case kMasterChanged: case kScanBoot: case kFastBoot: case kNoDrop: case kAutoThread: case kMode:
      if (bootPending_.get()) return;  // the boot owns these until it has run
      break;
    default: break;
  }
  switch (number) {
    case kMasterChanged: masterChanged_ = value; break;
    case kScanBoot: master_.scanBoot = value; break;
    case kFastBoot: master_.fastBoot = value; break;
    case kNoDrop: master_.noDrop = value; break;
    case kAutoThread: master_.autoThread = value; break;
    case kMode: master_.mode = value; break;
    case kSideChainPermission: sideChainPermission_ = value; break;
    case kNotStarted: notStarted_.set(value); break;
    default: break;
  }
}

int32_t CorePrcs::get32(int32_t number, int32_t index) {
  if (failed_) return 0;
  switch (number) {
    case kRateConversion: return master_.rateConversion;
    case kSampleRate: return engineRate_;
    case kDelayCompensation: return master_.delayCompensation;
    case kProgramRate: return master_.programRate;
    case kGuiRate: return master_.guiRate;
    case kForceOffset: return master_.forceOffset;
    case kCurrentLocation: return currentLocation_;
    case kWorkBuffer: return master_.workBuffer;
    case kProcessingBlock: return master_.dspBuffer;
    case kPoolAllocated: return pool_ ? pool_->allocated() : 0;
    case kPoolPeak: return pool_ ? pool_->peak() : 0;
    case kLengthLimits: return index == 0 ? master_.lTimeD : master_.lFreqD;
    case kDspBufferWritten: return master_.dspBufferWritten;
    default: return 0;
  }
}

void CorePrcs::set32(int32_t number, int32_t value, int32_t index) {
  if (failed_) return;
  switch (number) {
    case kSampleRate: setRate(value, "beanrate *rate: "); break;
    case kControlRate:
      hostRate_ = value;
      if (!bootPending_.get() && !stopped_.get()) setRate(value, "updgu *rate:");
      break;
    case kHostRate:
      hostRate_ = value;
      setRate(value, "irate *rate:");
      break;
    case kProgramRate:
      masterChanged_ = true;
      underEngineLocks([&] { master_.programRate = value; });
      break;
    case kHostBlockSize:
      if (bootPending_.get() || value == hostBlockSize_) return;
      underEngineLocks([&] { hostBlockSize_ = value; });
      break;
    case kMidiEvent: midiEvent(static_cast<uint32_t>(value), index); break;
    case kControlScaleSetting:
      if (program_ && index >= 0 && index < CoreUctl::kControls && value > 0)
        program_->userControl(index).setTravel(value);
      break;
    default: set32Field(number, value, index); break;
  }
}

void CorePrcs::set32Field(int32_t number, int32_t value, int32_t index) {
  if (failed_) return;
  switch (number) {
    case kGuiRate: master_.guiRate = value; break;
    case kForceOffset:
      master_.forceOffset = value;
      master_.derive(engineRate_);
      break;
    case kCurrentLocation: currentLocation_ = value; break;
    case kLengthLimits:
      if (index == 0)
        master_.lTimeD = value;
      else
        master_.lFreqD = value;
      break;
    case kDspBufferWritten: master_.dspBufferWritten = value; break;
    default: break;
  }
}

int16_t CorePrcs::get16(int32_t number, int32_t) {
  if (failed_) return 0;
  switch (number) {
    case kFontColour: return static_cast<int16_t>(master_.fontColour);
    case kLoaderPriority: return static_cast<int16_t>(master_.loaderPriority);
    case kHDimMax: return static_cast<int16_t>(master_.hDimMax);
    case kExportQuality: return static_cast<int16_t>(master_.exportAudioQuality);
    case kMeterType: return static_cast<int16_t>(master_.meterType);
    case kOTimeD: return static_cast<int16_t>(master_.oTimeD);
    case kOFreqD: return static_cast<int16_t>(master_.oFreqD);
    case kHDim: return static_cast<int16_t>(master_.hDim);
    case kDebugLevel: return static_cast<int16_t>(master_.debugLevel);
    case kForColumn: return static_cast<int16_t>(master_.forColumn);
    default: return 0;
  }
}

void CorePrcs::set16(int32_t number, int16_t value, int32_t) {
  if (failed_) return;
  switch (number) {
    case kFontColour: master_.fontColour = value; break;
    case kLoaderPriority: master_.loaderPriority = value; break;
    case kExportQuality:
      underEngineLocks([&] { master_.exportAudioQuality = value; });
      break;
    case kOTimeD:
      if (value > 0) underEngineLocks([&] { master_.oTimeD = value; });
      break;
    case kOFreqD: underEngineLocks([&] { master_.oFreqD = value; }); break;
    case kHDim: underEngineLocks([&] { master_.hDim = value; }); break;
    default: break;
  }
}

CoreStrg CorePrcs::getText(int32_t number, int32_t index) {
  if (failed_) return CoreStrg("0");
  switch (number) {
    case kSetupFolder: return master_.dataPath + master_.setupSubPath;
    case kProgramFolder: return master_.dataPath + master_.programSubPath;
    case kVectorFolder: return master_.dataPath + master_.vectorSubPath;
    case kSetupRomName: return master_.setupRomName;
    case kCapability: return capability_;
    case kVersion: return CoreStrg(CoreMstr::kVersion);
    case kSkinPath: return master_.skinFilePath();
    case kDataFolder: return master_.dataPath;
    case kMagic: return master_.magic;
    case kUserControlName:
    case kUserControlValueText:
    case kUserControlUnit: {
      if (!program_ || index < 0 || index >= CoreUctl::kControls) return CoreStrg("");
      CoreUctl& c = program_->userControl(index);
      if (number == kUserControlName) return c.label();
      if (number == kUserControlUnit) return c.unit();
      return userControlValueText(index);
    }
    default: return CoreStrg("");
  }
}

void CorePrcs::setText(int32_t number, const CoreStrg& value, int32_t) {
  if (failed_) return;
  switch (number) {
    case kSkinPath:
      master_.skinName = value.fileName(false);
      break;
    default: break;
  }
}

void CorePrcs::command(int32_t number, int32_t) {
  if (failed_) return;
  switch (number) {
    case kSaveMaster:
      if (master_.save(engineRate_)) masterChanged_ = false;
      break;
    default: break;
  }
}
