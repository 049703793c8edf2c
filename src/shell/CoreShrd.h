// State shared by every instance of one loaded library: the instance count, the shared pool and
// the shared kernel registry, all guarded by the shared-state lock (the only lock shared between
// instances).
#pragma once

#include <cstdint>
#include <memory>

#include "base/CoreSpin.h"
#include "base/CoreStrg.h"

class CoreKreg;
class CorePool;

class CoreShrd {
 public:
  static CoreShrd& instance();  // [any]

  // [control] One more instance; the first one creates the shared pool and registry.
  void attach();
  // [control] One instance fewer; the last one destroys the registry, then the pool.
  void detach();

  int32_t instanceCount() const;   // [any]
  CorePool* sharedPool() const;    // [any] null while no instance exists
  CoreKreg* sharedRegistry() const;  // [any] null while no instance exists

  // [any] Full path of the library file this code was loaded from (found through its own code
  // address), or "" when it cannot be found.
  static CoreStrg modulePath();

 private:
  CoreShrd() = default;

  mutable CoreSpin lock_;
  int32_t count_ = 0;
  std::unique_ptr<CorePool> pool_;
  std::unique_ptr<CoreKreg> registry_;
};
