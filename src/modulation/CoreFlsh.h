// Flush to zero and the finiteness guard of the modulation values. Every value a modulator
// publishes, and nearly every intermediate step, goes through these two functions: a value whose
// exponent bits are all zero (zero or subnormal) becomes +0, so program-rate arithmetic never
// meets subnormal numbers; and nothing that is not a finite number reaches a source entry.
#pragma once

#include <cstdint>
#include <cstring>
#include <limits>

class CoreFlsh {
 public:
  static constexpr double kLargest = std::numeric_limits<double>::max();

  // [any] Zero and subnormals give +0; every other value (infinities and NaN included) passes.
  static inline double flush(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return (bits & kExponentBits) == 0 ? 0.0 : v;
  }

  // [any] Finite and flushed: NaN gives the fallback (itself made finite, NaN there giving 0),
  // +inf and -inf the largest finite value of their sign.
  static inline double finite(double v, double fallback = 0.0) {
    if (v != v) v = (fallback != fallback) ? 0.0 : fallback;
    if (v > kLargest) return kLargest;
    if (v < -kLargest) return -kLargest;
    return flush(v);
  }

  // [any] True for a value that may be published: finite and not subnormal.
  static inline bool clean(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    const uint64_t e = bits & kExponentBits;
    return e != kExponentBits && (e != 0 || (bits << 1) == 0);
  }

  // [any] v limited to [lo, hi]; NaN gives lo.
  static inline double limit(double v, double lo, double hi) {
    if (!(v >= lo)) return lo;
    return v > hi ? hi : v;
  }

 private:
  static constexpr uint64_t kExponentBits = 0x7FF0000000000000ull;
};
