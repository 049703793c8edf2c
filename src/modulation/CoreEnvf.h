// An envelope follower: turns audio into a slowly moving level. A program has five ("EVF1" ..
// "EVF5") that publish their level to their output entry and, optionally, an attack-time and a
// release-time reading ("EAT" n, "ERT" n); the engine owns six more of the same class, without
// controls, as its level meters (it reads their output() and publishes it itself).
//
// Audio arrives sample by sample through push(); every 16 samples, and at every step(), the
// buffered samples run through the optional high-pass cascade and the detector. step() is the
// program tick: it updates the filter, the time constants and the output.
//
// Detector types ("AVR", "RMS", "Peak", "AVR 17", "RMS 17", "EVF", "EVF 17", "VU", "TRMS 17",
// "OFF"); a type outside 0 .. 9 is taken as 9 ("OFF"). Time constants are in samples.
//
// Safety: samples that are not numbers are taken as 0 and magnitudes are limited to 1e100 (so
// squares stay finite); every coefficient is kept in [0, 1], the range in which the detector is
// stable (a time of 0 or less is instantaneous; the dynamic times, which reach 1.5 for sources in
// their upper half, stop at 1, where the detector holds its level); the filter frequency is kept
// within 0 .. 0.49 x the sample rate, below which the sections are stable.
#pragma once

#include <cstdint>
#include <memory>

#include "base/CorePool.h"
#include "base/CoreStrg.h"
#include "modulation/CoreMctl.h"
#include "modulation/CoreSrct.h"

class CoreEnvf {
 public:
  enum Type : int16_t {
    kAvr = 0,
    kRms = 1,
    kPeak = 2,
    kAvr17 = 3,
    kRms17 = 4,
    kEvf = 5,
    kEvf17 = 6,
    kVu = 7,
    kTrms17 = 8,
    kOff = 9,
  };
  static constexpr int32_t kBufferSize = 16;
  static constexpr int32_t kMaxSections = 4;

  // The program element "EVF" n, named after its tags, in the file's units: MINATTACK .. MAXRELEASE
  // in microseconds (setup converts them at sampleRate as floor(rate x t / 1000000) when above 0),
  // EXP the detector type as the real the file holds, ENABLEEATERT on when not 0, FILTERFREQUENCY
  // in Hz. The defaults are those of absent tags. A switch (bus, dynamic, O, filter) is on when
  // its source text is neither "OFF" nor empty; the dynamic and O switches need both sources.
  struct Setup {
    double MINATTACK = 0.0;
    double MAXATTACK = 0.0;
    CoreStrg ATTACKSOURCE;
    double MINRELEASE = 0.0;
    double MAXRELEASE = 0.0;
    CoreStrg RELEASESOURCE;
    double OUTPUTBALANCE = 0.0;
    double EXP = 0.0;
    CoreStrg BUSBALANCESOURCE{"OFF"};
    CoreStrg DATTACKSOURCE{"OFF"};
    CoreStrg DRELEASESOURCE{"OFF"};
    double ENABLEEATERT = 0.0;
    CoreStrg OATTACKSOURCE{"OFF"};
    CoreStrg ORELEASESOURCE{"OFF"};
    CoreStrg FILTERSOURCE{"OFF"};
    double FILTERFREQUENCY = 0.0;
    int32_t FILTERORDER = 0;
    double sampleRate = 0.0;  // Hz, of the engine
  };

  // The engine's meters: detector type, I/O balance (as OUTPUTBALANCE), and the attack and
  // release times in samples (a maximum below its minimum becomes the minimum).
  struct MeterSetup {
    int16_t type = kAvr;
    double balance = 0.0;
    double minAttack = 1.0;
    double maxAttack = 0.0;
    double minRelease = 1.0;
    double maxRelease = 0.0;
    double sampleRate = 0.0;
  };

  // [control] A program follower (with a table) gets the "Attack" and "Release" controls (unit
  // "t", 1 .. 1000000) and the filter cascade; the entries are where it publishes (attack and
  // release time may be null, as may an entry of index 0, for none). A meter passes false and
  // nulls. The 16-sample buffer comes from the pool (tag "ENVF"). Starts as type "OFF".
  CoreEnvf(CorePool& pool, const CoreStrg& name, bool programFollower, CoreSrct* table,
           CoreSrct::Entry* output, CoreSrct::Entry* attackTime, CoreSrct::Entry* releaseTime);
  ~CoreEnvf();  // [control]
  CoreEnvf(const CoreEnvf&) = delete;
  CoreEnvf& operator=(const CoreEnvf&) = delete;

  void setup(const Setup& setup);          // [control] program followers
  void setupMeter(const MeterSetup& meter);  // [control] the engine's meters
  // [control] A missing element: switches off, type "OFF", both controls on the empty source
  // with minimum = maximum = 1, references cleared, buffer emptied.
  void reset();
  // [display] setup again from the stored settings, with the bus, EAT/ERT and O switches off.
  void reapply();
  Setup& settings() { return settings_; }  // [display]

  // [audio] One sample (already weighted). Ignored while inactive; |x| <= 1e-150 is stored as 0.
  void push(double x);
  // [audio] EVF1 .. EVF4: w_out (outL + outR) + w_in (inL + inR), every input flushed first.
  void pushFeeds(double inL, double inR, double outL, double outR);
  // [audio] EVF5: w_in (inL + inR) of the engine's second input pair.
  void pushPair(double inL, double inR);
  void pushBlock(const double* samples, int32_t count);  // [audio] push() for each sample

  // [audio] One program tick; publishes for program followers (also when inactive).
  void step();

  const CoreStrg& name() const { return name_; }   // [any]
  int16_t type() const { return type_; }           // [any]
  bool active() const { return active_; }          // [any]
  bool programFollower() const { return programFollower_; }  // [any]
  double output() const { return output_; }        // [any] the level the engine's meters read
  double level() const { return level_; }          // [any] the detector's running value
  double attackCoefficient() const { return attackCoefficient_; }    // [any]
  double releaseCoefficient() const { return releaseCoefficient_; }  // [any]
  double heldPeak() const { return heldPeak_; }    // [any]
  int32_t windowLength() const { return windowLength_; }  // [any]
  int32_t bufferCount() const { return count_; }   // [any]
  double outputWeight() const { return wOut_; }    // [any]
  double inputWeight() const { return wIn_; }      // [any]
  double minimumAttack() const { return minAttack_; }    // [any] after scaling and clamping
  double maximumAttack() const { return maxAttack_; }    // [any]
  double minimumRelease() const { return minRelease_; }  // [any]
  double maximumRelease() const { return maxRelease_; }  // [any]
  int32_t sections() const { return sectionCount_; }     // [any]
  bool busOn() const { return busOn_; }            // [any]
  bool dynamicOn() const { return dynamicOn_; }    // [any]
  bool oTimesOn() const { return oTimesOn_; }      // [any]
  bool eatErtOn() const { return eatErtOn_; }      // [any]
  bool filterOn() const { return filterOn_; }      // [any]
  CoreMctl* attackControl() { return attack_.get(); }    // [any] null for meters
  CoreMctl* releaseControl() { return release_.get(); }  // [any] null for meters

  // [any] Display name of a type, padded to seven characters.
  static CoreStrg typeName(int16_t type);

 private:
  struct Section {
    double c0, c1, previousInput, previousOutput;
  };
  void configure(const Setup& s, bool extras);
  void setTimes(double minA, double maxA, double minR, double maxR);
  void clearDetector();
  void consume();
  void updateFilter();
  void updateTimes();
  static double timeReading(double v, double k, double unit);

  CoreStrg name_;
  Setup settings_;
  int32_t filterOrder_ = 0;
  int32_t count_ = 0;
  int16_t type_ = kOff;
  int32_t windowLength_ = 1;
  int32_t windowCountdown_ = 1;
  int32_t minAttackSamples_ = 0, maxAttackSamples_ = 0, minReleaseSamples_ = 0,
          maxReleaseSamples_ = 0;
  double minAttack_ = 1.0, maxAttack_ = 1.0, minRelease_ = 1.0, maxRelease_ = 1.0;
  double balance_ = 0.0;
  double wOut_ = 1.0;
  double wIn_ = 1.0;

  double attackCoefficient_ = 0.0;
  double releaseCoefficient_ = 0.0;
  double lastAttackTime_ = 0.0;
  double lastReleaseTime_ = 0.0;
  double level_ = 0.0;
  double output_ = 0.0;
  double windowPeak_ = 0.0;
  double heldPeak_ = 0.0;
  double instant_ = 0.0;
  double previousInstant_ = 0.0;
  double lastInputMagnitude_ = 0.0;
  double timeUnit_ = 0.0;  // 0.01 / sample rate
  double vuFactor_;
  double sampleRate_ = 0.0;
  double filterFrequency_ = 0.0;

  bool active_ = false;
  bool programFollower_;
  bool busOn_ = false;
  bool dynamicOn_ = false;
  bool oTimesOn_ = false;
  bool eatErtOn_ = false;
  bool rising_ = false;
  bool previousRising_ = false;
  bool filterOn_ = false;

  CoreSrct* table_;
  const CoreSrct::Entry* filterSource_ = nullptr;
  CoreSrct::Entry* busOutput_ = nullptr;
  const CoreSrct::Entry* dynamicAttack_ = nullptr;
  const CoreSrct::Entry* dynamicRelease_ = nullptr;
  const CoreSrct::Entry* oAttack_ = nullptr;
  const CoreSrct::Entry* oRelease_ = nullptr;
  CoreSrct::Entry* outputEntry_;
  CoreSrct::Entry* attackTimeEntry_;
  CoreSrct::Entry* releaseTimeEntry_;
  std::unique_ptr<CoreMctl> attack_;
  std::unique_ptr<CoreMctl> release_;

  Section sections_[kMaxSections] = {};
  int32_t sectionCount_ = 0;
  double* buffer_;
  CorePool* pool_;
};
