// The pseudo-random generator of the random LFO shapes: 15-bit values 0 .. 32767, one process-wide
// sequence. A linear congruential step on one atomic word, so it is safe to call from any thread
// and never locks; two threads drawing at the same moment may both get the same value.
#pragma once

#include <cstdint>

class CoreRand {
 public:
  static constexpr int32_t kMax = 32767;

  static int32_t next();           // [any] the next value, 0 .. kMax
  static void seed(uint32_t seed);  // [any] restarts the sequence (the process starts with seed 1)
};
