#include "base/CoreSigp.h"

#include <fftw3.h>
#include <immintrin.h>

#include <atomic>

#include "base/CoreFpmd.h"
#include "base/CoreLogr.h"
#include "base/CoreSpin.h"

namespace {
std::atomic<int32_t> gThreads{1};

// Complex products of the interleaved pairs at a[i], b[i] for i = 1, 3, ... while i + 1 < end,
// stored to (or, with kAdd, added to) dst[i]; answers the first index not done. Each part is
// the same two products and one sum or difference as the scalar form (x + -y is x - y exactly),
// so the results match it bit for bit. Every pair is read whole before it is written, so dst may
// be a or b.
inline __m128d complexProduct(__m128d a, __m128d b) {
  const __m128d negateLow = _mm_set_pd(0.0, -0.0);
  const __m128d re = _mm_unpacklo_pd(b, b);         // br br
  const __m128d im = _mm_unpackhi_pd(b, b);         // bi bi
  const __m128d swapped = _mm_shuffle_pd(a, a, 1);  // ai ar
  return _mm_add_pd(_mm_mul_pd(a, re), _mm_xor_pd(_mm_mul_pd(swapped, im), negateLow));
}

template <bool kAdd>
int32_t pairsSse2(const double* a, const double* b, double* dst, int32_t end) {
  int32_t i = 1;
  for (; i + 1 < end; i += 2) {
    __m128d p = complexProduct(_mm_loadu_pd(a + i), _mm_loadu_pd(b + i));
    if (kAdd) p = _mm_add_pd(_mm_loadu_pd(dst + i), p);
    _mm_storeu_pd(dst + i, p);
  }
  return i;
}

template <bool kAdd>
__attribute__((target("avx"))) int32_t pairsAvx(const double* a, const double* b, double* dst,
                                                int32_t end) {
  int32_t i = 1;
  for (; i + 3 < end; i += 4) {
    const __m256d x = _mm256_loadu_pd(a + i), y = _mm256_loadu_pd(b + i);
    const __m256d re = _mm256_movedup_pd(y);            // br br (both pairs)
    const __m256d im = _mm256_permute_pd(y, 0xF);       // bi bi
    const __m256d swapped = _mm256_permute_pd(x, 0x5);  // ai ar
    __m256d p = _mm256_addsub_pd(_mm256_mul_pd(x, re), _mm256_mul_pd(swapped, im));
    if (kAdd) p = _mm256_add_pd(_mm256_loadu_pd(dst + i), p);
    _mm256_storeu_pd(dst + i, p);
  }
  for (; i + 1 < end; i += 2) {
    const __m128d x = _mm_loadu_pd(a + i), y = _mm_loadu_pd(b + i);
    const __m128d re = _mm_movedup_pd(y);
    const __m128d im = _mm_permute_pd(y, 0x3);
    const __m128d swapped = _mm_permute_pd(x, 0x1);
    __m128d p = _mm_addsub_pd(_mm_mul_pd(x, re), _mm_mul_pd(swapped, im));
    if (kAdd) p = _mm_add_pd(_mm_loadu_pd(dst + i), p);
    _mm_storeu_pd(dst + i, p);
  }
  return i;
}

__attribute__((target("avx"))) void addAvx(const double* src, double* dst, int32_t length) {
  int32_t i = 0;
  for (; i + 8 <= length; i += 8) {
    const __m256d s0 = _mm256_loadu_pd(src + i), s1 = _mm256_loadu_pd(src + i + 4);
    _mm256_storeu_pd(dst + i, _mm256_add_pd(_mm256_loadu_pd(dst + i), s0));
    _mm256_storeu_pd(dst + i + 4, _mm256_add_pd(_mm256_loadu_pd(dst + i + 4), s1));
  }
  for (; i < length; ++i) dst[i] += src[i];
}

void addSse2(const double* src, double* dst, int32_t length) {
  int32_t i = 0;
  for (; i + 4 <= length; i += 4) {
    const __m128d s0 = _mm_loadu_pd(src + i), s1 = _mm_loadu_pd(src + i + 2);
    _mm_storeu_pd(dst + i, _mm_add_pd(_mm_loadu_pd(dst + i), s0));
    _mm_storeu_pd(dst + i + 2, _mm_add_pd(_mm_loadu_pd(dst + i + 2), s1));
  }
  for (; i < length; ++i) dst[i] += src[i];
}

// The processor's vector width, looked up once at load time (until then false: the SSE2 forms,
// which give the same results).
const bool gAvx = [] {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx") != 0;
}();
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
  const int32_t i = gAvx ? pairsAvx<false>(a, b, dst, length) : pairsSse2<false>(a, b, dst, length);
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
  const int32_t i = gAvx ? pairsAvx<true>(a, b, dst, length) : pairsSse2<true>(a, b, dst, length);
  if (i == last) dst[last] += a[last] * b[last];
}

void CoreSigp::addInPlace(const double* src, double* dst, int32_t length) {
  if (gAvx)
    addAvx(src, dst, length);
  else
    addSse2(src, dst, length);
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
