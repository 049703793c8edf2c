#include "shell/CoreEngn.h"

#include <atomic>
#include <cstdlib>

#include "base/CoreBlnk.h"
#include "base/CoreLogr.h"
#include "base/CorePool.h"
#include "display/CoreDevq.h"
#include "display/CoreDsif.h"
#include "docstore/CoreFsys.h"
#include "editor/CoreSkin.h"
#include "runtime/CorePrcs.h"
#include "shell/CoreShrd.h"

namespace {
std::atomic<size_t> gMemoryTestBytes{20u * 1024u * 1024u + 24u};
}

void CoreEngn::setMemoryTestBytes(size_t bytes) { gMemoryTestBytes.store(bytes); }
size_t CoreEngn::memoryTestBytes() { return gMemoryTestBytes.load(); }

CoreEngn::CoreEngn() = default;

CoreEngn::~CoreEngn() { tearDown(); }

void CoreEngn::build(int32_t sampleRate, void* instance) {
  // 1. The instance needs some room to work in: ask the heap for 20 MiB and give it back.
  void* probe = std::malloc(memoryTestBytes());
  if (!probe) {
    failed_ = true;
    return;
  }
  std::free(probe);

  // 2, 3. Own pool; the first instance of the process makes the shared pool and registry.
  pool_ = std::make_unique<CorePool>();
  CoreShrd::instance().attach();
  attached_ = true;

  // 4. Where the library lives: code folder with a trailing separator, base name of the file.
  const CoreStrg path = CoreShrd::modulePath();
  codeFolder_ = path.folder();
  moduleName_ = path.fileName(true);

  // 5 .. 10.
  blink_ = std::make_unique<CoreBlnk>();
  events_ = std::make_unique<CoreDevq>();
  archive_ = std::make_unique<CoreFsys>(pool_.get());
  engine_ = std::make_unique<CorePrcs>(pool_.get(), codeFolder_, sampleRate, blink_.get(),
                                       moduleName_, archive_.get(), CoreStrg("0"));
  skin_ = std::make_unique<CoreSkin>(pool_.get(), engine_->skinFilePath(), archive_.get());
  display_ = std::make_unique<CoreDsif>(engine_.get(), events_.get(), blink_.get(), skin_.get(),
                                        instance);
}

void CoreEngn::tearDown() {
  if (failed_) return;
  display_.reset();
  skin_.reset();
  engine_.reset();
  archive_.reset();
  events_.reset();
  blink_.reset();
  if (pool_) pool_->releaseAll();
  if (attached_) {
    CoreShrd::instance().detach();
    attached_ = false;
  }
  pool_.reset();
}
