// Notification worker of an open editor window: property and parameter changes are queued here
// by the property interface and delivered on this worker's own thread, never on the thread that
// made the change.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "base/CoreSpin.h"
#include "base/CoreTthr.h"

class CorePpwr;

class CoreLswr : public CoreTthr {
 public:
  // One queued notification: the listener's identity, its 32 bytes of context and a value.
  struct Notification {
    uint64_t identity = 0;
    std::array<uint8_t, 32> context{};
    float value = 0.0f;
  };
  using Callback = std::function<void(const Notification&)>;

  // [gui] Stores itself in `self` before the thread starts; the period is in seconds.
  CoreLswr(double periodSeconds, Callback callback, CoreLswr** self = nullptr);
  ~CoreLswr() override;  // stops the thread, then removes every registration

  void body() override;

  // [any] Appends a notification under the queue lock.
  void enqueue(uint64_t identity, const std::array<uint8_t, 32>& context, float value);
  // [gui] Remembers a property interface this worker listens to, so destruction can unregister.
  void addRegistration(CorePpwr* properties);
  size_t queued() const;  // [any]
  int32_t periodMs() const { return periodMs_; }  // [any]

 private:
  bool takeFirst(Notification& n);

  std::deque<Notification> queue_;
  std::vector<CorePpwr*> registrations_;
  std::unique_ptr<CoreSpin> queueLock_;
  Callback callback_;
  int32_t periodMs_;
};
