// The engine core record of one instance: everything the instance is made of, built in a fixed
// order at creation and torn down in the reverse of it.
#pragma once

#include <cstdint>
#include <memory>

#include "base/CoreStrg.h"

class CoreBlnk;
class CoreDevq;
class CoreDsif;
class CoreFsys;
class CorePool;
class CorePrcs;
class CoreSkin;

class CoreEngn {
 public:
  CoreEngn();
  ~CoreEngn();  // tear-down, also of a record whose build stopped half-way
  CoreEngn(const CoreEngn&) = delete;
  CoreEngn& operator=(const CoreEngn&) = delete;

  // [control] Builds the record for a sample rate; `instance` is handed to the display. Marks the
  // record failed when the memory test fails; other failures throw.
  void build(int32_t sampleRate, void* instance);

  bool failed() const { return failed_; }                  // [any]
  const CoreStrg& moduleName() const { return moduleName_; }  // [any]
  const CoreStrg& codeFolder() const { return codeFolder_; }  // [any]
  CoreBlnk* blink() const { return blink_.get(); }         // [any]
  CorePrcs* engine() const { return engine_.get(); }       // [any]
  CoreDsif* display() const { return display_.get(); }     // [any]
  CoreDevq* eventQueue() const { return events_.get(); }   // [any]
  CoreSkin* skin() const { return skin_.get(); }           // [any]
  CorePool* pool() const { return pool_.get(); }           // [any]
  CoreFsys* archive() const { return archive_.get(); }     // [any]

  // Bytes the creation test asks of the heap (20 MiB + 24). Tests may set it to a size the heap
  // cannot give, to reach the failed-record path.
  static void setMemoryTestBytes(size_t bytes);  // [any]
  static size_t memoryTestBytes();               // [any]

 private:
  void tearDown();

  CoreStrg moduleName_;
  CoreStrg codeFolder_;
  std::unique_ptr<CoreBlnk> blink_;
  std::unique_ptr<CorePrcs> engine_;
  std::unique_ptr<CoreDsif> display_;
  std::unique_ptr<CoreDevq> events_;
  std::unique_ptr<CoreSkin> skin_;
  std::unique_ptr<CorePool> pool_;
  std::unique_ptr<CoreFsys> archive_;
  bool failed_ = false;
  bool attached_ = false;
};
