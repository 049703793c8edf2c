// Memory pool for the engine's large aligned buffers (sample data, kernels, spectra, work
// buffers). Keeps a ledger of every block so it can report its use, release what is left when it
// is destroyed and refuse to free an address it does not know. Never used on the audio path.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/CoreSpin.h"

class CorePool {
 public:
  // Element type codes and their sizes in bytes: 0 -> 8 (64-bit reals); 1, 2, 3 -> 4; 4, 5 -> 1;
  // 6 -> 2; anything else -> 0.
  enum ElementType : int16_t {
    kReal64 = 0,
    kWord32 = 1,
    kInt32 = 2,
    kReal32 = 3,
    kByte = 4,
    kChar = 5,
    kInt16 = 6,
  };
  static constexpr int32_t kSlack = 24;

  struct Block {
    int16_t elementType;
    void* address;
    int32_t elementCount;
    int32_t bytes;
    char tag[8];
  };

  CorePool();
  ~CorePool();  // releases every block still held, newest first
  CorePool(const CorePool&) = delete;
  CorePool& operator=(const CorePool&) = delete;

  static int32_t elementSize(int16_t elementType);  // [any]

  // [control] A 16-byte aligned block of at least count x size bytes, contents not initialised.
  // Throws CoreAnsx when the memory cannot be obtained after the retries.
  void* allocate(int16_t elementType, int32_t elementCount, const char* tag,
                 const char* name = nullptr);
  // [control] Typed convenience form of allocate.
  template <typename T>
  T* allocateAs(int16_t elementType, int32_t elementCount, const char* tag) {
    return static_cast<T*>(allocate(elementType, elementCount, tag));
  }
  void release(void* address);  // [control] unknown addresses (null too) are refused and logged
  void report() const;          // [control] writes the counters to the log
  void releaseAll();            // [control] releases every block, newest first

  int32_t allocated() const;     // [any]
  int32_t peak() const;          // [any]
  int32_t largestRequest() const;  // [any]
  int32_t blockCount() const;    // [any]
  std::vector<Block> blocks() const;  // [any] a copy of the ledger, oldest first
  bool owns(const void* address) const;  // [any]

 private:
  int32_t allocated_ = 0;
  int32_t peak_ = 0;
  int32_t largest_ = 0;
  std::vector<Block> blocks_;
  std::unique_ptr<CoreSpin> lock_;
};
