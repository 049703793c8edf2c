#include "modulation/CoreRand.h"

#include <atomic>

namespace {
std::atomic<uint32_t> gState{1};
}

int32_t CoreRand::next() {
  const uint32_t s = gState.load(std::memory_order_relaxed) * 214013u + 2531011u;
  gState.store(s, std::memory_order_relaxed);
  return static_cast<int32_t>((s >> 16) & 0x7FFFu);
}

void CoreRand::seed(uint32_t seed) { gState.store(seed, std::memory_order_relaxed); }
