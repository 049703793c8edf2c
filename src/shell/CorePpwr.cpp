#include "shell/CorePpwr.h"

#include <algorithm>
#include <cstring>

#include "shell/CoreLswr.h"

uint64_t CorePpwr::Listener::identity() const {
  uint64_t id = 0;
  std::memcpy(&id, data.data(), sizeof id);
  return id;
}

int32_t CorePpwr::Listener::key() const {
  int32_t k = 0;
  std::memcpy(&k, data.data() + 16, sizeof k);
  return k;
}

CorePpwr::CorePpwr()
    : listenerLock_(std::make_unique<CoreSpin>()), requestLock_(std::make_unique<CoreSpin>()) {}

CorePpwr::~CorePpwr() = default;

int32_t CorePpwr::setProperty(int32_t number, int32_t flag, int32_t reserved, const void* data,
                              int32_t size) {
  CoreSpin::Guard g(*requestLock_);
  return setPropertyData(number, flag, reserved, data, size);
}

int32_t CorePpwr::getProperty(int32_t number, int32_t flag, int32_t reserved, void* data,
                              int32_t* size) {
  CoreSpin::Guard g(*requestLock_);
  int32_t bytes = 0, variable = 0;
  int32_t result = getPropertySize(number, flag, reserved, &bytes, &variable);
  if (result == kDone && data) result = getPropertyData(number, flag, reserved, data);
  if (size) *size = bytes;
  return result;
}

int32_t CorePpwr::getPropertyData(int32_t, int32_t, int32_t, void*) { return kUnknown; }

int32_t CorePpwr::setPropertyData(int32_t, int32_t, int32_t, const void*, int32_t) {
  return kUnknown;
}

int32_t CorePpwr::getPropertySize(int32_t, int32_t, int32_t, int32_t*, int32_t*) { return kUnknown; }

void CorePpwr::parameterAutomated(int32_t, float) {}

void CorePpwr::notifyListeners(int32_t key) {
  CoreSpin::Guard g(*listenerLock_);
  for (const Listener& l : changeListeners_)
    if (l.key() == key && l.worker) l.worker->enqueue(l.identity(), l.data, 0.0f);
}

void CorePpwr::addListener(ListenerKind kind, CoreLswr* worker, const std::array<uint8_t, 32>& data) {
  if (!worker) return;
  {
    CoreSpin::Guard g(*listenerLock_);
    (kind == kValueListener ? valueListeners_ : changeListeners_).push_back(Listener{worker, data});
  }
  worker->addRegistration(this);
}

void CorePpwr::removeListeners(CoreLswr* worker) {
  CoreSpin::Guard g(*listenerLock_);
  auto ofWorker = [worker](const Listener& l) { return l.worker == worker; };
  valueListeners_.erase(std::remove_if(valueListeners_.begin(), valueListeners_.end(), ofWorker),
                        valueListeners_.end());
  changeListeners_.erase(std::remove_if(changeListeners_.begin(), changeListeners_.end(), ofWorker),
                         changeListeners_.end());
}

void CorePpwr::addValueChange(int32_t index, float value) {
  parameterAutomated(index, value);
  CoreSpin::Guard g(*listenerLock_);
  for (const Listener& l : valueListeners_)
    if (l.key() == index && l.worker) l.worker->enqueue(l.identity(), l.data, value);
}

size_t CorePpwr::listenerCount(ListenerKind kind) const {
  CoreSpin::Guard g(*listenerLock_);
  return (kind == kValueListener ? valueListeners_ : changeListeners_).size();
}
