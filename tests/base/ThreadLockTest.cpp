#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "base/CoreEvnt.h"
#include "base/CoreFpmd.h"
#include "base/CoreLflg.h"
#include "base/CoreSpin.h"
#include "base/CoreTthr.h"

TEST(SpinTest, ContendedLockCountsEveryAcquisition) {
  CoreSpin lock;
  int64_t shared = 0;  // guarded by the lock only
  std::vector<std::thread> threads;
  for (int t = 0; t < 2; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 2000; ++i) {
        CoreSpin::Guard g(lock);
        ++shared;
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(shared, 4000);
  EXPECT_EQ(lock.counter(), 1);
}

TEST(SpinTest, TryAndTimedForms) {
  CoreSpin lock;
  ASSERT_TRUE(lock.tryAcquire());
  EXPECT_EQ(lock.counter(), 0);
  EXPECT_FALSE(lock.tryAcquire());  // busy: the counter is left as it was
  EXPECT_EQ(lock.counter(), 0);

  // A stuck holder: the timed form waits its time, then takes the lock anyway.
  const int64_t waited = lock.timedAcquire(20);
  EXPECT_GE(waited, 20);
  EXPECT_EQ(lock.forced(), 1);
  EXPECT_EQ(lock.counter(), 0);
  lock.release();
  EXPECT_EQ(lock.counter(), 1);
  EXPECT_EQ(lock.timedAcquire(1000), 0);  // free: no wait
  EXPECT_EQ(lock.forced(), 1);
  lock.release();
}

TEST(SpinTest, LockedFlag) {
  CoreLflg flag(true);
  EXPECT_TRUE(flag.get());
  flag.set(false);
  EXPECT_FALSE(flag.get());
}

TEST(EvntTest, ManualResetStaysSignalled) {
  CoreEvnt event;
  EXPECT_FALSE(event.waitFor(1));
  std::thread setter([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    event.set();
  });
  event.wait();
  setter.join();
  EXPECT_TRUE(event.waitFor(0));  // still set until reset
  EXPECT_TRUE(event.isSet());
  event.reset();
  EXPECT_FALSE(event.waitFor(1));
}

namespace {

class CountingThread : public CoreTthr {
 public:
  explicit CountingThread(bool startNow) {
    if (startNow) start();
  }
  ~CountingThread() override {
    requestStop();
    join();
  }
  void body() override {
    entered.store(true);
    while (!stopRequested()) {
      passes.fetch_add(1);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  std::atomic<bool> entered{false};
  std::atomic<int> passes{0};
};

class BareThread : public CoreTthr {};

}  // namespace

TEST(TthrTest, StartsSuspendedAndStopsOnRequest) {
  CountingThread t(false);
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(t.suspended());
  EXPECT_FALSE(t.entered.load());
  t.start();
  while (t.passes.load() < 3) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_FALSE(t.suspended());
  t.requestStop();
  t.join();
  EXPECT_TRUE(t.joined());
  t.join();  // a second wait returns at once
}

TEST(TthrTest, NeverStartedThreadEndsWithoutRunningItsBody) {
  auto t = std::make_unique<CountingThread>(false);
  t.reset();  // must not hang
  auto bare = std::make_unique<BareThread>();
  bare.reset();
  SUCCEED();
}

TEST(TthrTest, OwnThreadsRunWithFlushToZero) {
  struct Probe : CoreTthr {
    Probe() { start(); }
    ~Probe() override { join(); }
    void body() override { mxcsr = CoreFpmd::mxcsr(); }
    uint32_t mxcsr = 0;
  };
  Probe p;
  p.join();
  EXPECT_TRUE(p.mxcsr & CoreFpmd::kFlushToZero);
  EXPECT_TRUE(p.mxcsr & CoreFpmd::kDenormalsAreZero);
}

TEST(FpmdTest, GuardsRestoreTheCallersModes) {
  const uint32_t before = CoreFpmd::mxcsr();
  const uint16_t x87 = CoreFpmd::x87Control();
  {
    CoreFpmd::AudioScope audio;
    EXPECT_TRUE(CoreFpmd::mxcsr() & CoreFpmd::kFlushToZero);
    volatile double tiny = 1e-308;
    volatile double r = tiny * 1e-10;  // would be subnormal
    EXPECT_EQ(r, 0.0);
  }
  EXPECT_EQ(CoreFpmd::mxcsr(), before);
  // A host running with the invalid-operation exception unmasked gets it back unmasked.
  CoreFpmd::setMxcsr(before & ~0x0080u);
  {
    CoreFpmd::MaskedScope masked;
    EXPECT_EQ(CoreFpmd::mxcsr() & CoreFpmd::kExceptionMasks, CoreFpmd::kExceptionMasks);
  }
  EXPECT_EQ(CoreFpmd::mxcsr() & 0x0080u, 0u);
  CoreFpmd::setMxcsr(before);
  EXPECT_EQ(CoreFpmd::x87Control(), x87);
}
