#include "base/CoreSpin.h"

#include <chrono>
#include <thread>

bool CoreSpin::attempt() {
  if (counter_.fetch_sub(1) - 1 < 0) {
    counter_.fetch_add(1);
    return false;
  }
  return true;
}

void CoreSpin::acquire() {
  while (!attempt()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

bool CoreSpin::tryAcquire() { return attempt(); }

int64_t CoreSpin::timedAcquire(int64_t timeoutMs) {
  const auto start = std::chrono::steady_clock::now();
  auto waited = [&] {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
  };
  while (!attempt()) {
    if (waited() > timeoutMs) {
      forced_.fetch_add(1);
      counter_.store(0);
      return waited();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return waited();
}

void CoreSpin::release() { counter_.fetch_add(1); }
