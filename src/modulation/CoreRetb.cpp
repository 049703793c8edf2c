#include "modulation/CoreRetb.h"

#include <cmath>

CoreRetb::CoreRetb() {
  entries_[0] = Entry{"RSINGLE", "Raw 1 value envelope", rawSingle};
  entries_[1] = Entry{"RMULTI", "Raw multi value envelope", rawMulti};
}

const CoreRetb::Entry& CoreRetb::lookup(const CoreStrg& storedName) const {
  int32_t found = 0;
  for (int32_t i = 0; i < kCount; ++i)
    if (entries_[i].storedName == storedName) found = i;
  return entries_[found];
}

// With C[0] x rate = 0 the exponent is -1/0. C[0] is a time constant; as it falls to 0 from
// above exp(-1/x) falls to 0, so a time of 0 gives 0 - 0.5. (A NaN from a curve value is caught
// by the generator, which keeps its last result.)
double CoreRetb::rawSingle(const State& s) {
  if (!s.curveC || s.countC < 1) return s.lastResult;
  const double x = s.curveC[0] * s.sampleRate;
  if (x == 0.0) return -0.5;
  return std::exp(-1.0 / x) - 0.5;
}

// position = ua x 100000000 x ub, i = floor(position), j = i + 1: C[1] when j < 1, the last value
// when j >= count - 1, otherwise C[j] + (C[j+1] - C[j]) x fraction. The bounds are tested on the
// real position, so no position converts to an out-of-range integer. A curve of one value has no
// C[1]; it reads C[0] everywhere.
double CoreRetb::rawMulti(const State& s) {
  const double* c = s.curveC;
  const int32_t n = s.countC;
  if (!c || n < 1) return s.lastResult;
  if (n == 1) return c[0];
  const double position = s.ua * 100000000.0 * s.ub;
  if (position != position) return s.lastResult;
  const double whole = std::floor(position);
  const double fraction = position - whole;
  const double j = whole + 1.0;
  if (j < 1.0) return c[1];
  if (j >= static_cast<double>(n - 1)) return c[n - 1];
  const int32_t k = static_cast<int32_t>(j);
  return c[k] + (c[k + 1] - c[k]) * fraction;
}
