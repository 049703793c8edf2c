#include "base/CoreTime.h"

#include <chrono>
#include <thread>

int64_t CoreTime::milliseconds() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

double CoreTime::days() { return static_cast<double>(milliseconds()) * 0.001 / 86400.0; }

void CoreTime::sleepMs(int64_t ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  else std::this_thread::yield();
}
