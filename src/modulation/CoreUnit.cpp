#include "modulation/CoreUnit.h"

#include <cmath>
#include <limits>

#include "modulation/CoreFlsh.h"

double CoreUnit::decibels(double u) {
  if (!(u >= std::numeric_limits<double>::min())) return kFloorDb;
  const double db = 20.0 * std::log10(u);
  return db < kFloorDb ? kFloorDb : db;
}

double CoreUnit::factorFromDecibels(double db) {
  db = CoreFlsh::flush(db);
  return std::pow(10.0, db / 20.0);
}

double CoreUnit::samplesFromMicroseconds(double us, double rate) {
  if (!(us > 0.0)) return std::isfinite(us) ? us : 0.0;
  const double samples = std::floor(rate * us / 1000000.0);
  return std::isfinite(samples) ? samples : 0.0;
}

int32_t CoreUnit::toInt32(double v) {
  if (v != v) return 0;
  if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

int64_t CoreUnit::toInt64(double v) {
  // 2^62 keeps sums of two saturated values inside the type.
  constexpr double kLimit = 4611686018427387904.0;
  if (v != v) return 0;
  if (v >= kLimit) return static_cast<int64_t>(kLimit);
  if (v <= -kLimit) return -static_cast<int64_t>(kLimit);
  return static_cast<int64_t>(v);
}
