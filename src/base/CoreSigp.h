// Signal-processing primitives: aligned blocks, Pack-order spectrum products, vector sums,
// denormal modes and the transform library's thread count. The real transforms themselves are
// CoreFftr. Pack order for a length-N real transform: re(0), re(1), im(1), ..., re(N/2-1),
// im(N/2-1), re(N/2).
#pragma once

#include <cstddef>
#include <cstdint>

class CoreSpin;

class CoreSigp {
 public:
  // [any] A block aligned for the vector units, or null (ippsMalloc_8u / ippsFree).
  static void* mallocBytes(size_t bytes);
  static void freeBytes(void* p);  // [any]

  // [audio] dst = a * b bin by bin (ippsMulPack_64f); the two real-only bins multiply as reals.
  static void mulPack(const double* a, const double* b, double* dst, int32_t length);
  // [audio] srcDst = src * srcDst (ippsMulPack_64f_I).
  static void mulPackInPlace(const double* src, double* srcDst, int32_t length);
  // [audio] dst += a * b in Pack order (the multiply-add of partitioned convolution).
  static void mulPackAdd(const double* a, const double* b, double* dst, int32_t length);
  // [audio] dst[i] += src[i] (ippsAdd_64f_I).
  static void addInPlace(const double* src, double* dst, int32_t length);

  // [any] Flush-to-zero / denormals-are-zero on the calling thread (ippSetFlushToZero,
  // ippSetDenormAreZeros).
  static void setFlushToZero(bool on);
  static void setDenormalsAreZero(bool on);

  // [control] Threads the transform library may use inside one transform (ippSetNumThreads);
  // the count in force is written to the log under "ippGetNumThreads:".
  static void setNumThreads(int32_t count);
  static int32_t numThreads();  // [any] (ippGetNumThreads)

  // [any] The transform library's planner is not thread-safe by itself: every plan is made and
  // destroyed under this process-wide lock (never on the audio path).
  static CoreSpin& plannerLock();
};
