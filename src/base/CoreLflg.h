// A byte flag read and written under its own spin lock.
#pragma once

#include <cstdint>
#include <memory>

#include "base/CoreSpin.h"

class CoreLflg {
 public:
  explicit CoreLflg(bool initial = false) : flag_(initial ? 1 : 0), lock_(std::make_unique<CoreSpin>()) {}

  bool get() const {  // [any]
    lock_->acquire();
    const bool v = flag_ != 0;
    lock_->release();
    return v;
  }
  void set(bool v) {  // [any]
    lock_->acquire();
    flag_ = v ? 1 : 0;
    lock_->release();
  }

 private:
  uint8_t flag_;
  std::unique_ptr<CoreSpin> lock_;
};
