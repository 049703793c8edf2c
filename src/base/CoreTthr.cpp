#include "base/CoreTthr.h"

#include <sys/syscall.h>
#include <unistd.h>

#include "base/CoreFpmd.h"

CoreTthr::CoreTthr() : thread_([this] { run(); }) {}

CoreTthr::~CoreTthr() {
  stop_.store(1);
  if (suspended_.load() && !joined_.load()) {
    suspended_.store(0);
    gate_.set();
  }
  join();
}

void CoreTthr::run() {
  threadId_.store(static_cast<uint32_t>(::syscall(SYS_gettid)));
  gate_.wait();
  // A thread asked to stop before it was started never enters the body: the derived object
  // may already be gone.
  if (stop_.load()) return;
  CoreFpmd::setThreadAudioModes();
  body();
}

void CoreTthr::requestStop() { stop_.store(1); }

void CoreTthr::start() {
  if (suspended_.load() && !joined_.load()) {
    suspended_.store(0);
    gate_.set();
  }
}

void CoreTthr::join() {
  uint8_t expected = 0;
  if (joined_.compare_exchange_strong(expected, 1)) {
    if (suspended_.load()) {
      // Never started: let it pass the gate and see the stop flag.
      stop_.store(1);
      suspended_.store(0);
      gate_.set();
    }
    if (thread_.joinable()) thread_.join();
  }
}
