#include "shell/CoreShrd.h"

#include <dlfcn.h>

#include <cstdlib>

#include "base/CorePool.h"
#include "vectors/CoreKreg.h"

CoreShrd& CoreShrd::instance() {
  static CoreShrd shared;
  return shared;
}

void CoreShrd::attach() {
  CoreSpin::Guard g(lock_);
  if (count_ == 0) {
    pool_ = std::make_unique<CorePool>();
    registry_ = std::make_unique<CoreKreg>(pool_.get());
  }
  ++count_;
}

void CoreShrd::detach() {
  CoreSpin::Guard g(lock_);
  if (count_ <= 0) return;
  if (--count_ == 0) {
    registry_.reset();
    pool_.reset();
  }
}

int32_t CoreShrd::instanceCount() const {
  CoreSpin::Guard g(lock_);
  return count_;
}

CorePool* CoreShrd::sharedPool() const {
  CoreSpin::Guard g(lock_);
  return pool_.get();
}

CoreKreg* CoreShrd::sharedRegistry() const {
  CoreSpin::Guard g(lock_);
  return registry_.get();
}

CoreStrg CoreShrd::modulePath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&CoreShrd::modulePath), &info) == 0 || !info.dli_fname)
    return CoreStrg("");
  // Hosts may load the library through a relative path; keep the absolute one.
  char* resolved = realpath(info.dli_fname, nullptr);
  if (!resolved) return CoreStrg(info.dli_fname);
  CoreStrg path(resolved);
  std::free(resolved);
  return path;
}
