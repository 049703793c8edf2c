// The shape and operator table of a program (the display owns one more for its choosers).
// Row 0 holds the 33 LFO shapes, row 1 the 45 function operators of the function generators and
// the free parameters. Each entry has a stored name (the text written in programs and shown in
// choosers), a descriptive name and a routine f(x, y, state).
//
// Evaluation wraps both arguments into [-1, 1] (one cycle is the interval of length 2), calls the
// routine, clips the result to [-1, 1] and flushes it. With finite wrapped arguments every routine
// returns a finite number: the operators' singular points have fixed values, documented at each
// routine in CoreShtb.cpp.
#pragma once

#include <cstdint>

#include "base/CoreStrg.h"

class CoreShtb {
 public:
  static constexpr int32_t kShapes = 0;
  static constexpr int32_t kOperators = 1;
  static constexpr int32_t kShapeCount = 33;
  static constexpr int32_t kOperatorCount = 45;

  // f(x, y, state): x and y are the wrapped arguments; state is the caller's (null for operators).
  using Function = double (*)(double x, double y, void* state);

  struct Entry {
    CoreStrg storedName;
    CoreStrg descriptiveName;
    Function function;
  };

  // The state an LFO hands to its shape, in this order: the wrapped phase of the previous step
  // and the previous output. Only the random shapes read it.
  struct ShapeState {
    double wrappedPhase;
    double lastOutput;
  };

  CoreShtb();  // [control] builds both rows
  CoreShtb(const CoreShtb&) = delete;
  CoreShtb& operator=(const CoreShtb&) = delete;

  // [any] Entries of a row: 33 in row 0, 45 in row 1.
  int32_t count(int32_t row) const { return row == kShapes ? kShapeCount : kOperatorCount; }
  const Entry& entry(int32_t row, int32_t index) const;  // [any]
  // [any] The last entry of the row whose stored name equals the text byte by byte; entry 0 of
  // the row ("Sine", "a") when none does.
  const Entry& lookup(int32_t row, const CoreStrg& storedName) const;
  int32_t indexOf(const Entry& entry) const;  // [any] its index within its row

  // [audio] f(wrap(p), wrap(q), state) clipped to [-1, 1] and flushed.
  static double evaluate(const Entry& entry, double p, double q, void* state);
  // [any] v itself inside [-1, 1]; otherwise a = (v + 1) / 2, f = a - floor(a), result 2f - 1
  // (each flushed). A value that is not finite has no phase and wraps to 0.
  static double wrap(double v);
  // [any] The triangle: (1 - x) 2 above 0.5, (x + 1)(-2) below -0.5, else 2x.
  static double triangle(double x);

 private:
  Entry shapes_[kShapeCount];
  Entry operators_[kOperatorCount];
};
