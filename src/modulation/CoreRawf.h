// A raw function generator "RAWFUN1" .. "RAWFUN4": reads a raw curve loaded with the program
// through one of the kinds of the raw-envelope table and publishes the result e as e x 2 - 1 to
// "RAWFUN" n.
//
// Curves. The raw slots ("RAW1" .. "RAW4") own their curves; after they are read, the raw reader
// offers each slot's curve to every generator with attachCurve(slot name, values, count), and a
// generator takes it for C and/or D when their names equal the slot's. checkCurves() then disables
// a generator that lacks either curve. The generator only keeps the pointer: the program record
// calls detachCurves() (or setup()) before it releases the raw slots.
#pragma once

#include <cstdint>

#include "base/CoreStrg.h"
#include "modulation/CoreMctl.h"
#include "modulation/CoreRetb.h"
#include "modulation/CoreSrct.h"

class CoreRawf {
 public:
  // The texts of the program element "RAWFUN" n (A, B: sources; C, D: raw slot names such as
  // "RAW1"; FUN: the kind's stored name) and the engine's sample rate in Hz.
  struct Setup {
    CoreStrg A;
    CoreStrg B;
    CoreStrg C;
    CoreStrg D;
    CoreStrg FUN;
    double sampleRate = 0.0;
  };

  // [control] Controls name + "_A", name + "_B" (unit "-", -1 .. 1); disabled.
  CoreRawf(const CoreStrg& name, const CoreRetb& kinds, CoreSrct& table, CoreSrct::Entry& output);

  // [control] A and B assigned over -1 .. 1, C and D stored, the kind looked up ("RSINGLE" when
  // unknown), last result 0, curves detached, enabled (until checkCurves finds a curve missing).
  void setup(const Setup& setup);
  // [control] Takes the values for C and/or D when their names equal the slot's name.
  void attachCurve(const CoreStrg& slotName, const double* values, int32_t count);
  // [control] Disables the generator when curve C or curve D is missing; answers enabled().
  bool checkCurves();
  // [control] Forgets both curves and disables the generator.
  void detachCurves();
  void disable() { enabled_ = false; }  // [control]

  // [audio] Only when enabled: ua, ub from A and B, the kind's value clipped to [-1, 1] and
  // flushed (a NaN keeps the last result), published as e x 2 - 1.
  void step(double period);

  const CoreStrg& name() const { return name_; }          // [any]
  const CoreStrg& curveC() const { return curveNameC_; }  // [any]
  const CoreStrg& curveD() const { return curveNameD_; }  // [any]
  const CoreStrg& kindName() const { return kindName_; }  // [any]
  bool enabled() const { return enabled_; }               // [any]
  const CoreRetb::State& state() const { return state_; }  // [any]
  CoreMctl& controlA() { return a_; }                     // [any]
  CoreMctl& controlB() { return b_; }                     // [any]

 private:
  CoreStrg name_;
  CoreStrg nameA_;
  CoreStrg nameB_;
  CoreStrg curveNameC_;
  CoreStrg curveNameD_;
  CoreStrg kindName_;
  bool enabled_ = false;
  CoreSrct::Entry* output_;
  CoreMctl a_;
  CoreMctl b_;
  const CoreRetb* kinds_;
  const CoreRetb::Entry* kind_;
  CoreRetb::State state_{};
};
