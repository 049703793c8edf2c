#include "base/CorePool.h"

#include <chrono>
#include <cstring>
#include <limits>
#include <thread>

#include "base/CoreAnsx.h"
#include "base/CoreLogr.h"
#include "base/CoreSigp.h"

namespace {

// The caller's address is the underlying one advanced to the next 16-byte boundary that leaves
// at least 8 bytes in front; those 8 bytes keep the underlying address.
void* alignBlock(void* raw) {
  const uintptr_t base = reinterpret_cast<uintptr_t>(raw);
  const uintptr_t aligned = (base + 8 + 15) & ~static_cast<uintptr_t>(15);
  std::memcpy(reinterpret_cast<void*>(aligned - 8), &raw, sizeof raw);
  return reinterpret_cast<void*>(aligned);
}

void* underlying(void* address) {
  void* raw = nullptr;
  std::memcpy(&raw, static_cast<char*>(address) - 8, sizeof raw);
  return raw;
}

}  // namespace

CorePool::CorePool() : lock_(std::make_unique<CoreSpin>()) {}

CorePool::~CorePool() {
  if (CoreLogr::level() >= 1) {
    CoreLogr::trace(CoreStrg("pool locations left: ") + CoreStrg(blockCount()), 0, 2);
    for (const Block& b : blocks())
      CoreLogr::trace(CoreStrg("left memory block: ") + CoreStrg(int32_t{b.elementType}) + " " +
                          CoreStrg(b.tag) + " " + CoreStrg(b.elementCount) + " " +
                          CoreStrg::fromULong(reinterpret_cast<uintptr_t>(b.address)),
                      0, 2);
  }
  releaseAll();
}

int32_t CorePool::elementSize(int16_t elementType) {
  switch (elementType) {
    case 0: return 8;
    case 1: case 2: case 3: return 4;
    case 4: case 5: return 1;
    case 6: return 2;
    default: return 0;
  }
}

void* CorePool::allocate(int16_t elementType, int32_t elementCount, const char* tag, const char*) {
  // Counts come from file headers too: a negative or oversized request is refused rather than
  // wrapped round to a small block.
  const int64_t wanted =
      static_cast<int64_t>(elementCount < 0 ? 0 : elementCount) * elementSize(elementType) + kSlack;
  if (elementCount < 0 || wanted > std::numeric_limits<int32_t>::max()) {
    CoreLogr::error(CoreStrg("Memory request failed ") + CoreStrg::fromLong(static_cast<long>(wanted)), 1);
    report();
    throw CoreAnsx("memory request refused");
  }
  const int32_t bytes = static_cast<int32_t>(wanted);
  void* raw = nullptr;
  for (int attempt = 0; attempt < 6 && !raw; ++attempt) {
    if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    CoreSpin::Guard g(*lock_);
    raw = CoreSigp::mallocBytes(static_cast<size_t>(bytes));
  }
  if (!raw) {
    CoreLogr::error(CoreStrg("Memory request failed ") + CoreStrg(bytes), 1);
    report();
    throw CoreAnsx("memory request failed");
  }
  Block b{};
  b.elementType = elementType;
  b.address = alignBlock(raw);
  b.elementCount = elementCount;
  b.bytes = bytes;
  std::strncpy(b.tag, tag ? tag : "", 7);
  int32_t total = 0;
  {
    CoreSpin::Guard g(*lock_);
    allocated_ += bytes;
    if (allocated_ > peak_) peak_ = allocated_;
    if (bytes > largest_) largest_ = bytes;
    total = allocated_;
    try {
      blocks_.push_back(b);
    } catch (...) {
      allocated_ -= bytes;
      CoreSigp::freeBytes(raw);
      throw CoreAnsx("memory ledger full");
    }
  }
  if (CoreLogr::level() >= 1)
    CoreLogr::trace(CoreStrg("memory block #: ") + CoreStrg(b.tag) + " " +
                        CoreStrg::fromULong(reinterpret_cast<uintptr_t>(b.address)) + "/" +
                        CoreStrg(bytes) + "/" + CoreStrg(total),
                    0, 6);
  return b.address;
}

void CorePool::release(void* address) {
  int32_t left = 0;
  {
    CoreSpin::Guard g(*lock_);
    for (auto it = blocks_.begin(); it != blocks_.end(); ++it) {
      if (it->address == address && address != nullptr) {
        allocated_ -= it->bytes;
        void* raw = underlying(it->address);
        blocks_.erase(it);
        CoreSigp::freeBytes(raw);
        return;
      }
    }
    left = static_cast<int32_t>(blocks_.size());
  }
  if (CoreLogr::level() >= 1)
    CoreLogr::error(CoreStrg("memory release error (left ") + CoreStrg(left) + ")", 1);
}

void CorePool::releaseAll() {
  CoreSpin::Guard g(*lock_);
  while (!blocks_.empty()) {
    const Block b = blocks_.back();
    blocks_.pop_back();
    allocated_ -= b.bytes;
    CoreSigp::freeBytes(underlying(b.address));
  }
}

void CorePool::report() const {
  CoreLogr::trace(CoreStrg("max mem alloc: ") + CoreStrg(peak()), 0, 2);
  CoreLogr::trace(CoreStrg("max mem reqst: ") + CoreStrg(largestRequest()), 0, 2);
  CoreLogr::trace(CoreStrg("memory alloct: ") + CoreStrg(allocated()), 0, 2);
}

int32_t CorePool::allocated() const {
  CoreSpin::Guard g(*lock_);
  return allocated_;
}

int32_t CorePool::peak() const {
  CoreSpin::Guard g(*lock_);
  return peak_;
}

int32_t CorePool::largestRequest() const {
  CoreSpin::Guard g(*lock_);
  return largest_;
}

int32_t CorePool::blockCount() const {
  CoreSpin::Guard g(*lock_);
  return static_cast<int32_t>(blocks_.size());
}

std::vector<CorePool::Block> CorePool::blocks() const {
  CoreSpin::Guard g(*lock_);
  return blocks_;
}

bool CorePool::owns(const void* address) const {
  CoreSpin::Guard g(*lock_);
  for (const Block& b : blocks_)
    if (b.address == address) return true;
  return false;
}
