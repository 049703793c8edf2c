// An envelope generator "ENV1" or "ENV2". The activation control crossing zero upwards triggers
// it; it runs through attack, decay and slope to the sustain level, holds until the deactivation
// control crosses zero upwards, then releases to 0. Levels are scaled by the level control times
// the level factor, times by the time control times the time factor, and each stage bends its
// segment with an integer curve exponent. Time is counted in samples. The output entry receives
// |output| x 2 - 1.
//
// The sample counter and the stage bounds are 64-bit, so a sustain held for days never wraps.
#pragma once

#include <cstdint>

#include "base/CoreStrg.h"
#include "modulation/CoreMctl.h"
#include "modulation/CoreSrct.h"

class CoreEnvl {
 public:
  static constexpr int16_t kAttack = 0;
  static constexpr int16_t kDecay = 1;
  static constexpr int16_t kSlope = 2;
  static constexpr int16_t kSustain = 3;
  static constexpr int16_t kRelease = 4;
  static constexpr int16_t kFinished = 5;

  // The program element "ENV" n, mirroring its paths (CONTROL/ACTIVSOURCE, LEVEL/COMMON/MODFACTOR,
  // TIME/ATTACK ...), in the file's units: times in microseconds (setup converts them to samples
  // at sampleRate as floor(rate x t / 1000000) when above 0, unchanged otherwise), levels and
  // factors as plain numbers, curves as integers.
  struct Setup {
    struct Control {
      CoreStrg ACTIVSOURCE;
      CoreStrg DEACTIVSOURCE;
    } CONTROL;
    struct Common {
      double MODFACTOR = 0.0;
      CoreStrg MODSOURCE;
    };
    struct Level {
      double START = 0.0;
      double ATTACK = 0.0;
      double BREAK = 0.0;
      double SUSTAIN = 0.0;
      Common COMMON;
    } LEVEL;
    struct Time {
      double ATTACK = 0.0;
      double DECAY = 0.0;
      double SLOPE = 0.0;
      double RELEASE = 0.0;
      Common COMMON;
    } TIME;
    struct Curve {
      int32_t ATTACK = 0;
      int32_t DECAY = 0;
      int32_t SLOPE = 0;
      int32_t RELEASE = 0;
    } CURVE;
    double sampleRate = 0.0;  // Hz, of the engine
  };

  // [control] Controls "Activ Control", "Deactiv Control", "Level Control", "Source Control"
  // (all -1 .. 1 at construction); not enabled.
  CoreEnvl(const CoreStrg& name, CoreSrct& table, CoreSrct::Entry& output);

  // [control] [display] Copies the settings; Activ and Deactiv assigned over -1 .. 1, Level and
  // Source (the time control) over 0 .. 1; the envelope stops; enabled only when the Activ
  // control follows a real source.
  void setup(const Setup& setup);
  // [control] A missing element: disabled; output, factors, levels, times and curves 0; all four
  // controls follow the empty source.
  void reset();
  void reapply() { setup(settings_); }  // [display] setup again from the stored settings
  Setup& settings() { return settings_; }  // [display]
  // [any] 0 Activ, 1 Deactiv, 2 Level, 3 Source.
  CoreMctl& control(int32_t i);

  // [audio] One program tick of the given length in samples. A disabled envelope only publishes.
  void step(double period);

  const CoreStrg& name() const { return name_; }  // [any]
  bool enabled() const { return enabled_; }       // [any]
  bool running() const { return running_; }       // [any]
  int16_t stage() const { return stage_; }        // [any]
  double output() const { return output_; }       // [any]
  int64_t counter() const { return counter_; }    // [any]
  int32_t time(int32_t i) const { return times_[i & 3]; }      // [any] samples
  int16_t curve(int32_t i) const { return curves_[i & 3]; }    // [any]
  double level(int32_t i) const { return levels_[i & 3]; }     // [any]

 private:
  void clearBookkeeping();
  void startStage(double levelScale, double timeScale);

  CoreStrg name_;
  Setup settings_;
  int64_t counter_ = 0;
  int16_t stage_ = kFinished;
  int16_t stageCurve_ = 0;
  int64_t stageStart_ = 0;
  int64_t stageEnd_ = 0;
  int32_t times_[4] = {0, 0, 0, 0};
  int16_t curves_[4] = {0, 0, 0, 0};
  double levelFactor_ = 0.0;
  double timeFactor_ = 0.0;
  double output_ = 0.0;
  bool previousActive_ = false;
  bool previousDeactivated_ = false;
  bool running_ = false;
  bool releaseRequested_ = false;
  double levels_[4] = {0.0, 0.0, 0.0, 0.0};
  double previousLevel_ = 0.0;
  double targetLevel_ = 0.0;
  bool enabled_ = false;
  CoreMctl activ_;
  CoreMctl deactiv_;
  CoreMctl level_;
  CoreMctl source_;
  CoreSrct::Entry* outputEntry_;
};
