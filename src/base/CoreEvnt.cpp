#include "base/CoreEvnt.h"

#include <chrono>

void CoreEvnt::set() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    signalled_ = true;
  }
  cond_.notify_all();
}

void CoreEvnt::reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  signalled_ = false;
}

bool CoreEvnt::isSet() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return signalled_;
}

void CoreEvnt::wait() {
  std::unique_lock<std::mutex> lock(mutex_);
  cond_.wait(lock, [this] { return signalled_; });
}

bool CoreEvnt::waitFor(int milliseconds) {
  std::unique_lock<std::mutex> lock(mutex_);
  return cond_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return signalled_; });
}
