// Millisecond clock of the process (a steady clock; wraps like a 32-bit timer would not).
#pragma once

#include <cstdint>

class CoreTime {
 public:
  static int64_t milliseconds();  // [any] since an arbitrary start, never goes back
  static double days();           // [any] milliseconds x 0.001 / 86400
  static void sleepMs(int64_t ms);  // [any]
};
