// Thread base class. The thread is created suspended: it waits at a start gate until the derived
// constructor has built its own state and calls start(). Destruction asks the body to return and
// waits for it; derived destructors do their own stop handshake first (requestStop, join).
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "base/CoreEvnt.h"

class CoreTthr {
 public:
  CoreTthr();
  virtual ~CoreTthr();
  CoreTthr(const CoreTthr&) = delete;
  CoreTthr& operator=(const CoreTthr&) = delete;

  virtual void requestStop();  // [any] slot 0: asks the body to return
  virtual void body() {}       // slot 1: the thread's loop, run on the thread itself

  void start();                // [any] resumes a suspended thread once
  void join();                 // [any] waits for the body to end (once; later calls return)

  bool stopRequested() const { return stop_.load() != 0; }  // [any]
  bool suspended() const { return suspended_.load() != 0; }  // [any]
  bool joined() const { return joined_.load() != 0; }        // [any]
  int32_t priority() const { return priority_.load(); }      // [any]
  void setPriority(int32_t p) { priority_.store(p); }        // [any] recorded, not applied
  uint32_t threadId() const { return threadId_.load(); }     // [any]

 private:
  void run();

  std::atomic<uint8_t> stop_{0};
  std::atomic<int32_t> priority_{0};
  std::atomic<uint8_t> suspended_{1};
  std::atomic<uint8_t> joined_{0};
  std::atomic<uint32_t> threadId_{0};
  CoreEvnt gate_;
  std::thread thread_;
};
