// Unit conversions shared by the modulators and the program reader: microseconds to samples,
// decibels to factors and back, percent, and saturating conversions of reals to integers.
#pragma once

#include <cstdint>

class CoreUnit {
 public:
  // The floor of every level in dB: 20 log10 of the smallest normal double, rounded.
  static constexpr double kFloorDb = -192.64;

  // [any] 20 log10(u) when u is a normal number above 0, raised to kFloorDb when lower; kFloorDb
  // for 0, subnormals, negative values and NaN.
  static double decibels(double u);
  // [any] 10^(dB/20); a dB value that is 0 or subnormal reads as 0 dB (factor 1).
  static double factorFromDecibels(double db);
  // [any] percent / 100.
  static double fromPercent(double percent) { return percent / 100.0; }
  // [any] floor(rate x us / 1 000 000) when us is above 0, us itself otherwise; a result that is
  // not finite gives 0.
  static double samplesFromMicroseconds(double us, double rate);
  // [any] Truncation toward zero, saturated at the type's limits; NaN gives 0.
  static int32_t toInt32(double v);
  static int64_t toInt64(double v);
};
