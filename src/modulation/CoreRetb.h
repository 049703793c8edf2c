// The raw-envelope table of a program: the two kinds by which a raw function generator reads
// its curve, "RSINGLE" (one value) and "RMULTI" (an interpolated position on the curve).
#pragma once

#include <cstdint>

#include "base/CoreStrg.h"

class CoreRetb {
 public:
  static constexpr int32_t kCount = 2;

  // The state a raw function generator hands to its kind, in this order.
  struct State {
    double ua;                // (A + 1) / 2
    double ub;                // (B + 1) / 2
    const double* curveC;     // the values of curve C (owned by the raw slot)
    const double* curveD;     // the values of curve D (attached, never read)
    int32_t countC;
    int32_t countD;
    double lastResult;
    double sampleRate;        // Hz
    double period;            // samples
  };
  // Returns the kind's value for the state; the caller clips and publishes it.
  using Function = double (*)(const State& state);

  struct Entry {
    CoreStrg storedName;
    CoreStrg descriptiveName;
    Function function;
  };

  CoreRetb();  // [control]
  CoreRetb(const CoreRetb&) = delete;
  CoreRetb& operator=(const CoreRetb&) = delete;

  int32_t count() const { return kCount; }  // [any]
  const Entry& entry(int32_t index) const { return entries_[index == 1 ? 1 : 0]; }  // [any]
  // [any] The last entry whose stored name equals the text; "RSINGLE" when none does.
  const Entry& lookup(const CoreStrg& storedName) const;

  // [audio] exp(-1 / (C[0] x sample rate)) - 0.5.
  static double rawSingle(const State& state);
  // [audio] The curve C read at position ua x 100000000 x ub, linearly interpolated.
  static double rawMulti(const State& state);

 private:
  Entry entries_[kCount];
};
