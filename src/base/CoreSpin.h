// Spin lock on one 64-bit counter (1 = free). Waiting backs off with a 1 ms sleep, so a waiter
// costs no processor time. Not fair and not re-entrant: a holder that acquires again waits for
// ever. Locks are separate objects so that one lock can guard state spread over several objects.
#pragma once

#include <atomic>
#include <cstdint>

class CoreSpin {
 public:
  CoreSpin() = default;
  CoreSpin(const CoreSpin&) = delete;
  CoreSpin& operator=(const CoreSpin&) = delete;

  void acquire();      // [any]
  bool tryAcquire();   // [any] one attempt; false when busy, counter left unchanged
  // [any] Waits at most timeoutMs, then takes the lock anyway (counting the forced take).
  // Answers the milliseconds waited.
  int64_t timedAcquire(int64_t timeoutMs);
  void release();      // [any]

  int64_t counter() const { return counter_.load(); }  // [any]
  int32_t forced() const { return forced_.load(); }    // [any]

  // Holds a lock for one scope.
  class Guard {
   public:
    explicit Guard(CoreSpin& lock) : lock_(lock) { lock_.acquire(); }
    ~Guard() { lock_.release(); }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

   private:
    CoreSpin& lock_;
  };

 private:
  bool attempt();

  std::atomic<int64_t> counter_{1};
  std::atomic<int32_t> forced_{0};
};
