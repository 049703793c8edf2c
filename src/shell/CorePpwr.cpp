#include "shell/CorePpwr.h"

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

void CorePpwr::notifyListeners(int32_t) {}
