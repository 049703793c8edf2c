#include "base/CoreFftr.h"

#include <fftw3.h>
#include <immintrin.h>

#include <atomic>
#include <cstring>
#include <string>

#include "base/CoreAnsx.h"
#include "base/CoreSigp.h"
#include "base/CoreSpin.h"

namespace {

std::atomic<bool> gMeasure{true};

// The modulus, in bytes, of the library's alignment_of: plans made on arrays at one offset within
// it may only be executed on arrays at the same offset. 8 when the library has no vector code.
int libraryAlignment() {
  static const int bytes = [] {
    constexpr int kMax = 64;
    double* p = static_cast<double*>(fftw_malloc(2 * kMax));
    if (!p) return kMax;
    int result = kMax;
    const int base = fftw_alignment_of(p);
    for (int k = 1; k * 8 <= kMax; ++k) {
      if (fftw_alignment_of(p + k) == base) {
        result = 8 * k;
        break;
      }
    }
    fftw_free(p);
    return result;
  }();
  return bytes;
}

// dst[i] = src[i] * s for i < count; dst is 16-byte aligned, src need not be.
void scaleCopySse2(const double* src, double* dst, int count, double s) {
  const __m128d k = _mm_set1_pd(s);
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m128d x0 = _mm_loadu_pd(src + i);
    const __m128d x1 = _mm_loadu_pd(src + i + 2);
    const __m128d x2 = _mm_loadu_pd(src + i + 4);
    const __m128d x3 = _mm_loadu_pd(src + i + 6);
    _mm_store_pd(dst + i, _mm_mul_pd(x0, k));
    _mm_store_pd(dst + i + 2, _mm_mul_pd(x1, k));
    _mm_store_pd(dst + i + 4, _mm_mul_pd(x2, k));
    _mm_store_pd(dst + i + 6, _mm_mul_pd(x3, k));
  }
  for (; i + 2 <= count; i += 2) _mm_store_pd(dst + i, _mm_mul_pd(_mm_loadu_pd(src + i), k));
  for (; i < count; ++i) dst[i] = src[i] * s;
}

__attribute__((target("avx"))) void scaleCopyAvx(const double* src, double* dst, int count,
                                                 double s) {
  const __m256d k = _mm256_set1_pd(s);
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m256d x0 = _mm256_loadu_pd(src + i);
    const __m256d x1 = _mm256_loadu_pd(src + i + 4);
    _mm256_storeu_pd(dst + i, _mm256_mul_pd(x0, k));
    _mm256_storeu_pd(dst + i + 4, _mm256_mul_pd(x1, k));
  }
  for (; i < count; ++i) dst[i] = src[i] * s;
}

// The processor's vector width, looked up once at load time (until then false: the SSE2 forms,
// which give the same results).
const bool gAvx = [] {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx") != 0;
}();

}  // namespace

void CoreFftr::setPlannerEffort(bool measure) { gMeasure.store(measure); }

bool CoreFftr::plannerEffort() { return gMeasure.load(); }

CoreFftr::CoreFftr(int order) {
  if (order < kMinOrder || order > kMaxOrder)
    throw CoreAnsx("transform order out of range: " + std::to_string(order));
  order_ = order;
  length_ = 1 << order;
  const int n = length_;

  const int alignment = libraryAlignment();
  classes_ = alignment / 16;
  if (classes_ < 1) classes_ = 1;
  if (classes_ > kMaxClasses) classes_ = kMaxClasses;

  // Work: N/2 + 1 interleaved complex bins, rounded up to whole 64-byte lines so that the scratch
  // array behind it starts at the block's own alignment. Scratch: N reals, plus two per extra
  // class so that class c can be planned at scratch + 2c.
  const size_t workDoubles = (static_cast<size_t>(n) + 2 + 7) & ~static_cast<size_t>(7);
  const size_t scratchDoubles = static_cast<size_t>(n) + 2 * static_cast<size_t>(classes_ - 1);
  blockBytes_ = (workDoubles + scratchDoubles) * sizeof(double);
  block_ = static_cast<double*>(CoreSigp::mallocBytes(blockBytes_));
  if (!block_) throw CoreAnsx("transform work buffer: out of memory");
  work_ = block_;
  scratch_ = block_ + workDoubles;
  std::memset(block_, 0, blockBytes_);

  const unsigned flags = (gMeasure.load() ? FFTW_MEASURE : FFTW_ESTIMATE) | FFTW_DESTROY_INPUT;
  fftw_complex* const work = reinterpret_cast<fftw_complex*>(work_);
  bool failed = fftw_alignment_of(block_) != 0;
  if (!failed) {
    CoreSpin::Guard guard(CoreSigp::plannerLock());
    for (int c = 0; c < classes_ && !failed; ++c) {
      double* const real = scratch_ + 2 * c;
      r2c_[c] = fftw_plan_dft_r2c_1d(n, real, work, flags);
      c2r_[c] = fftw_plan_dft_c2r_1d(n, work, real, flags);
      failed = !r2c_[c] || !c2r_[c];
    }
  }
  if (failed) {
    releasePlans();
    CoreSigp::freeBytes(block_);
    block_ = nullptr;
    throw CoreAnsx("transform plan failed for length " + std::to_string(n));
  }
}

CoreFftr::~CoreFftr() {
  releasePlans();
  CoreSigp::freeBytes(block_);
}

void CoreFftr::releasePlans() {
  CoreSpin::Guard guard(CoreSigp::plannerLock());
  for (int c = 0; c < kMaxClasses; ++c) {
    if (r2c_[c]) fftw_destroy_plan(r2c_[c]);
    if (c2r_[c]) fftw_destroy_plan(c2r_[c]);
    r2c_[c] = nullptr;
    c2r_[c] = nullptr;
  }
}

void CoreFftr::forward(double* buffer) {
  const int n = length_;
  fftw_complex* const work = reinterpret_cast<fftw_complex*>(work_);
  const int offset = fftw_alignment_of(buffer);
  const int c = offset >> 4;
  if ((offset & 15) == 0 && c < classes_) {
    fftw_execute_dft_r2c(r2c_[c], buffer, work);
  } else {
    std::memcpy(scratch_, buffer, static_cast<size_t>(n) * sizeof(double));
    fftw_execute_dft_r2c(r2c_[0], scratch_, work);
  }
  // Interleaved bins re0 0 re1 im1 ... re(N/2) 0 -> Pack: drop the two zero imaginary parts.
  buffer[0] = work_[0];
  std::memcpy(buffer + 1, work_ + 2, static_cast<size_t>(n - 2) * sizeof(double));
  buffer[n - 1] = work_[n];
}

void CoreFftr::inverse(double* buffer) {
  const int n = length_;
  const double scale = 1.0 / n;  // a power of two: exact whichever side of the transform
  work_[0] = buffer[0] * scale;
  work_[1] = 0.0;
  if (gAvx)
    scaleCopyAvx(buffer + 1, work_ + 2, n - 2, scale);
  else
    scaleCopySse2(buffer + 1, work_ + 2, n - 2, scale);
  work_[n] = buffer[n - 1] * scale;
  work_[n + 1] = 0.0;
  fftw_complex* const work = reinterpret_cast<fftw_complex*>(work_);
  const int offset = fftw_alignment_of(buffer);
  const int c = offset >> 4;
  if ((offset & 15) == 0 && c < classes_) {
    fftw_execute_dft_c2r(c2r_[c], work, buffer);
  } else {
    fftw_execute_dft_c2r(c2r_[0], work, scratch_);
    std::memcpy(buffer, scratch_, static_cast<size_t>(n) * sizeof(double));
  }
}
