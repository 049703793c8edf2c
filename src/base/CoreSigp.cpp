#include "base/CoreSigp.h"

#include <fftw3.h>

#include <atomic>

#include "base/CoreFpmd.h"
#include "base/CoreLogr.h"
#include "base/CoreSpin.h"

namespace {
std::atomic<int32_t> gThreads{1};
}  // namespace

CoreSpin& CoreSigp::plannerLock() {
  static CoreSpin lock;
  return lock;
}

void* CoreSigp::mallocBytes(size_t bytes) { return fftw_malloc(bytes == 0 ? 1 : bytes); }

void CoreSigp::freeBytes(void* p) {
  if (p) fftw_free(p);
}

void CoreSigp::mulPack(const double* a, const double* b, double* dst, int32_t length) {
  if (length <= 0) return;
  dst[0] = a[0] * b[0];
  if (length == 1) return;
  const int32_t last = length - 1;
  // Pairs (re, im) start at 1; for an even length the last element is the Nyquist real part.
  int32_t i = 1;
  for (; i + 1 < length; i += 2) {
    const double ar = a[i], ai = a[i + 1], br = b[i], bi = b[i + 1];
    dst[i] = ar * br - ai * bi;
    dst[i + 1] = ar * bi + ai * br;
  }
  if (i == last) dst[last] = a[last] * b[last];
}

void CoreSigp::mulPackInPlace(const double* src, double* srcDst, int32_t length) {
  mulPack(src, srcDst, srcDst, length);
}

void CoreSigp::mulPackAdd(const double* a, const double* b, double* dst, int32_t length) {
  if (length <= 0) return;
  dst[0] += a[0] * b[0];
  if (length == 1) return;
  const int32_t last = length - 1;
  int32_t i = 1;
  for (; i + 1 < length; i += 2) {
    const double ar = a[i], ai = a[i + 1], br = b[i], bi = b[i + 1];
    dst[i] += ar * br - ai * bi;
    dst[i + 1] += ar * bi + ai * br;
  }
  if (i == last) dst[last] += a[last] * b[last];
}

void CoreSigp::addInPlace(const double* src, double* dst, int32_t length) {
  for (int32_t i = 0; i < length; ++i) dst[i] += src[i];
}

void CoreSigp::setFlushToZero(bool on) {
  const uint32_t m = CoreFpmd::mxcsr();
  CoreFpmd::setMxcsr(on ? (m | CoreFpmd::kFlushToZero) : (m & ~CoreFpmd::kFlushToZero));
}

void CoreSigp::setDenormalsAreZero(bool on) {
  const uint32_t m = CoreFpmd::mxcsr();
  CoreFpmd::setMxcsr(on ? (m | CoreFpmd::kDenormalsAreZero) : (m & ~CoreFpmd::kDenormalsAreZero));
}

void CoreSigp::setNumThreads(int32_t count) {
  if (count < 1) count = 1;
  {
    CoreSpin::Guard g(plannerLock());
    static bool initialised = false;
    if (!initialised) initialised = fftw_init_threads() != 0;
    if (initialised) fftw_plan_with_nthreads(count);
    gThreads.store(initialised ? count : 1);
  }
  CoreLogr::trace(CoreStrg("ippGetNumThreads:") + CoreStrg(numThreads()), 0, 2);
}

int32_t CoreSigp::numThreads() { return gThreads.load(); }
