// Locked first-in first-out queue of display events (five 32-bit integers each), written by the
// editor through the instance's properties and consumed by the display.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <memory>

#include "base/CoreSpin.h"

class CoreDevq {
 public:
  using Event = std::array<int32_t, 5>;

  CoreDevq() : lock_(std::make_unique<CoreSpin>()) {}

  void push(const Event& e) {  // [gui]
    CoreSpin::Guard g(*lock_);
    events_.push_back(e);
  }
  bool pop(Event& e) {  // [display]
    CoreSpin::Guard g(*lock_);
    if (events_.empty()) return false;
    e = events_.front();
    events_.pop_front();
    return true;
  }
  size_t size() const {  // [any]
    CoreSpin::Guard g(*lock_);
    return events_.size();
  }

 private:
  std::deque<Event> events_;
  std::unique_ptr<CoreSpin> lock_;
};
