#include "shell/CoreLswr.h"

#include <algorithm>

#include "base/CoreTime.h"
#include "shell/CorePpwr.h"

CoreLswr::CoreLswr(double periodSeconds, Callback callback, CoreLswr** self)
    : queueLock_(std::make_unique<CoreSpin>()),
      callback_(std::move(callback)),
      periodMs_(static_cast<int32_t>(periodSeconds * 1000.0)) {
  if (self) *self = this;
  start();
}

CoreLswr::~CoreLswr() {
  requestStop();
  join();
  for (CorePpwr* p : registrations_)
    if (p) p->removeListeners(this);
  registrations_.clear();
  CoreSpin::Guard g(*queueLock_);
  queue_.clear();
}

void CoreLswr::enqueue(uint64_t identity, const std::array<uint8_t, 32>& context, float value) {
  CoreSpin::Guard g(*queueLock_);
  queue_.push_back(Notification{identity, context, value});
}

void CoreLswr::addRegistration(CorePpwr* properties) {
  if (std::find(registrations_.begin(), registrations_.end(), properties) == registrations_.end())
    registrations_.push_back(properties);
}

size_t CoreLswr::queued() const {
  CoreSpin::Guard g(*queueLock_);
  return queue_.size();
}

bool CoreLswr::takeFirst(Notification& n) {
  CoreSpin::Guard g(*queueLock_);
  if (queue_.empty()) return false;
  n = queue_.front();
  queue_.pop_front();
  return true;
}

void CoreLswr::body() {
  while (!stopRequested()) {
    Notification n;
    while (!stopRequested() && takeFirst(n))
      if (callback_) callback_(n);
    CoreTime::sleepMs(periodMs_ > 0 ? periodMs_ : 1);
  }
  CoreSpin::Guard g(*queueLock_);
  queue_.clear();
}
