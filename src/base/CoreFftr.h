// One real transform of length N = 2^order over the transform library, in place on the caller's
// buffer: forward takes N real values to their spectrum in Pack order (see CoreSigp.h), inverse
// takes a Pack-order spectrum back to N real values divided by N, so inverse(forward(x)) == x.
//
// All plans are made when the object is built (under CoreSigp::plannerLock()) and destroyed with
// it; forward and inverse only execute them and never allocate, lock or log. A plan may only run
// on arrays with the alignment it was made for, so one pair of plans is made for each 16-byte
// alignment class the library distinguishes; a buffer in any other class (8 mod 16) goes through
// an aligned scratch array inside the work buffer. One object may be used by one thread at a time;
// separate objects run concurrently.
#pragma once

#include <cstddef>
#include <cstdint>

struct fftw_plan_s;

class CoreFftr {
 public:
  static constexpr int kMinOrder = 1;
  static constexpr int kMaxOrder = 24;

  // [control] Plans the transforms of length 2^order and allocates the work buffer. Throws
  // CoreAnsx for an order outside kMinOrder..kMaxOrder or when a plan or the memory cannot be had.
  explicit CoreFftr(int order);
  ~CoreFftr();  // [control]
  CoreFftr(const CoreFftr&) = delete;
  CoreFftr& operator=(const CoreFftr&) = delete;

  // [audio] In place: N reals -> Pack-order spectrum, not scaled. Any 8-byte aligned buffer.
  void forward(double* buffer);
  // [audio] In place: Pack-order spectrum -> N reals, divided by N. Any 8-byte aligned buffer.
  void inverse(double* buffer);

  int length() const { return length_; }  // [any]
  int order() const { return order_; }    // [any]
  // [any] The work buffer owned by this transform and its size (the spectrum work array followed
  // by the scratch array for unaligned callers).
  const void* workBuffer() const { return block_; }
  size_t workBytes() const { return blockBytes_; }

  // [control] Planner effort for transforms built from now on: true (the default) measures the
  // candidate algorithms and keeps the fastest, false picks one from estimates (fast to build;
  // tests use it). Results agree either way to rounding.
  static void setPlannerEffort(bool measure);
  static bool plannerEffort();  // [any]

 private:
  static constexpr int kMaxClasses = 4;  // 16-byte classes within a 64-byte library alignment

  void releasePlans();

  int order_ = 0;
  int length_ = 0;
  int classes_ = 1;          // planned alignment classes: 0, 16, 32, ... bytes
  double* block_ = nullptr;  // work + scratch, one allocation
  size_t blockBytes_ = 0;
  double* work_ = nullptr;              // N/2 + 1 complex bins, interleaved
  double* scratch_ = nullptr;           // N (+ 2 per extra class) reals, aligned
  fftw_plan_s* r2c_[kMaxClasses] = {};  // per alignment class of the real array
  fftw_plan_s* c2r_[kMaxClasses] = {};
};
