// The engine's master settings: the values an installation fixes for every instance (folders,
// buffer sizes, rates, threads, engine variants, display options, the MIDI mix mapping). Read
// once per engine start from "<module name>.xml" next to the library (merged with an
// "_installer" file when one is there), dumped to the log, and saved back on request.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/CoreStrg.h"

class CoreXmld;

class CoreMstr {
 public:
  static constexpr const char* kVersion = "1.3.507";
  static constexpr const char* kFallbackName = "OSTREL2.XML";

  // One entry per mix control: which MIDI status and controller move it.
  struct MidiMix {
    bool disabled = false;
    bool learn = false;  // the next event's status and controller become this entry's
    int32_t status = 176;  // control change on channel 1
    int32_t controller = 127;
    int32_t range = 16;
    int32_t reserved = 0;
  };

  CoreMstr();
  ~CoreMstr();
  CoreMstr(const CoreMstr&) = delete;
  CoreMstr& operator=(const CoreMstr&) = delete;

  // [control] Every key takes its default, then the master file (or the given text, when it is
  // not "0") is read with the installer merge, and the derived values are computed.
  void read(const CoreStrg& codeFolder, const CoreStrg& moduleName, const CoreStrg& masterText,
            int32_t sampleRate);
  void dump(int32_t sampleRate) const;        // [control] the start-up lines of the log
  // [control] Writes the saved keys back into the master document and the file; false when the
  // file cannot be written.
  bool save(int32_t sampleRate);
  // [control] Rebuilds the values that depend on the sample rate and the buffer keys.
  void derive(int32_t sampleRate);

  const CoreStrg& masterPath() const { return masterPath_; }        // [any]
  const CoreStrg& installerPath() const { return installerPath_; }  // [any]
  bool masterRead() const { return masterRead_; }                   // [any] a MASTER section was found
  bool installerPresent() const { return installerPresent_; }       // [any]

  // ---- keys, in the order they are read ----
  CoreStrg magic{"0"};
  CoreStrg dataPath;  // data folder, ends with "/"
  bool dataPathGiven = false;
  bool dataPathIsFile = false;  // an archive: its folder holds the log
  CoreStrg dataFolder() const { return dataPathIsFile ? dataPath.folder() : dataPath; }  // [any]
  int32_t debugLevel = 0;
  bool fastBoot = false;
  bool fastBootConfigured = false;
  bool scanBoot = true;
  bool noDrop = false;
  bool autoThread = true;
  int32_t rateConversion = 0;    // µs
  int32_t programRate = 3000;    // µs
  int32_t aheadLength = 3000;    // µs as read
  int32_t guiRate = 40000;       // µs
  int32_t exportAudioQuality = 1;
  int32_t lTimeD = 10000;        // µs
  int32_t lFreqD = 1000000;      // µs
  int32_t forceOffset = -1;      // µs
  int32_t forColumn = 24;
  CoreStrg programSubPath, vectorSubPath, setupSubPath, skinSubPath, dictionarySubPath;
  CoreStrg skinName;
  CoreStrg cacheSubPath;
  bool cacheConfigured = false;  // the key's presence switches the header cache on
  CoreStrg setupRomName;
  CoreStrg dictionaryRomName{"NULL"};
  int32_t workBuffer = 32768;    // power of two
  int32_t dspBuffer = 8192;      // power of two, at least 16
  int32_t dspBufferWritten = 8192;
  bool dspBufferConfigured = false;
  int32_t threads = 0;
  int32_t threadsMinDim = 2048;
  int32_t meterType = 2;
  int32_t oTimeD = 3;
  bool oTimeDConfigured = false;
  int32_t oFreqD = 11;
  int32_t hDim = 1;
  int32_t hDimMax = 10;
  double bpmDefault = 120.0;     // tempo (the file holds it x 1000)
  int32_t fontColour = 0;
  int32_t loaderPriority = 1;
  bool mode = true;
  std::vector<CoreStrg> alternativeDataPaths;
  std::array<MidiMix, 8> midiMix{};
  bool up = false;
  int32_t fixedQuality = 0;      // 4 when FIXEDQUALITY is on
  double protectionDb = 24.0;
  double protectionLevel = 0.0;  // 10^(dB/20)
  bool legacyStereoChannel = true;
  int32_t refreshOverflow = 1000000;  // µs
  double refreshOverflowDays = 0.0;
  int32_t ippThreads = 1;

  // ---- derived ----
  int32_t processingBuffer = 8192;
  int32_t lookAheadSamples = 0;
  int32_t offsetSamples = 0;
  int32_t delayCompensation = 0;
  int32_t workMask = 32767;
  CoreStrg skinInUse;
  CoreStrg debugFolder;

  // Helpers shared with the settings interface.
  static int32_t roundUpPowerOfTwo(int64_t n);  // [any] 1 for n < 2; capped at 2^30
  static int32_t microsToSamples(int64_t micros, int32_t rate);  // [any] floor, 0 unless above 0
  CoreStrg skinFilePath() const;  // [any] data folder + SKINSUBPATH + skin in use

 private:
  void readKeys(const class CoreXnod& section, const CoreStrg& codeFolder);
  void chooseSkin();

  CoreStrg masterPath_;
  CoreStrg installerPath_;
  bool masterRead_ = false;
  bool installerPresent_ = false;
  std::unique_ptr<CoreXmld> document_;
};
