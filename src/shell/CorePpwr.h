// The instance's numbered property interface, through which the editor and the control thread
// exchange data with the instance. Requests are serialised by the request lock.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/CoreSpin.h"

class CoreLswr;

class CorePpwr {
 public:
  // A listener: its worker and 32 bytes of its own data; the first 8 bytes identify the listener,
  // the fifth 32-bit word is the key (a parameter index or a property number).
  struct Listener {
    CoreLswr* worker = nullptr;
    std::array<uint8_t, 32> data{};
    uint64_t identity() const;
    int32_t key() const;
  };
  enum ListenerKind { kValueListener, kChangeListener };

  enum Result : int32_t {
    kDone = 0,
    kUnknown = 11,  // unknown property, or a flag argument other than 0
    kFailed = 12,   // the instance is failed (get data and set data only)
  };

  CorePpwr();
  virtual ~CorePpwr();
  CorePpwr(const CorePpwr&) = delete;
  CorePpwr& operator=(const CorePpwr&) = delete;

  // Slot 0 [any]: under the request lock, setPropertyData.
  virtual int32_t setProperty(int32_t number, int32_t flag, int32_t reserved, const void* data,
                              int32_t size);
  // Slot 1 [any]: under the request lock, getPropertySize, then getPropertyData when data is given.
  virtual int32_t getProperty(int32_t number, int32_t flag, int32_t reserved, void* data,
                              int32_t* size);
  // Slots 2, 3, 4: answered by the instance; the base knows no property.
  virtual int32_t getPropertyData(int32_t number, int32_t flag, int32_t reserved, void* data);
  virtual int32_t setPropertyData(int32_t number, int32_t flag, int32_t reserved, const void* data,
                                  int32_t size);
  virtual int32_t getPropertySize(int32_t number, int32_t flag, int32_t reserved, int32_t* size,
                                  int32_t* variable);
  virtual float getInterfaceVersion() { return 10.0f; }  // slot 5 [any]
  virtual void parameterAutomated(int32_t index, float value);  // slot 6 [any]
  virtual void notifyListeners(int32_t key);  // slot 7 [any]
  virtual double getHostSampleRate() { return 0.0; }  // slot 8 [any]

  // [gui] Registers a listener; notifications go to its worker's queue.
  void addListener(ListenerKind kind, CoreLswr* worker, const std::array<uint8_t, 32>& data);
  // [gui] Removes every listener of a worker from both lists (the worker does this when it goes).
  void removeListeners(CoreLswr* worker);
  // [any] parameterAutomated, then the value listeners of that parameter hear the new value.
  void addValueChange(int32_t index, float value);
  size_t listenerCount(ListenerKind kind) const;  // [any]

 protected:
  CoreSpin& listenerLock() { return *listenerLock_; }
  CoreSpin& requestLock() { return *requestLock_; }

 private:
  std::unique_ptr<CoreSpin> listenerLock_;
  std::unique_ptr<CoreSpin> requestLock_;
  std::vector<Listener> valueListeners_;
  std::vector<Listener> changeListeners_;
};
