// Real transforms (CoreFftr) against a long-double reference DFT, and the Pack-order spectrum
// arithmetic of CoreSigp.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <complex>
#include <cstdint>
#include <random>
#include <thread>
#include <vector>

#include "base/CoreAnsx.h"
#include "base/CoreFftr.h"
#include "base/CoreSigp.h"

namespace {

using Cplx = std::complex<double>;
using LCplx = std::complex<long double>;

// Storage with a 64-byte aligned origin, so that a pointer at any chosen byte offset from it can
// be handed out. Guard values around the usable range catch writes outside it.
class Arena {
 public:
  static constexpr int kGuard = 16;
  static constexpr double kGuardValue = 12345.678;

  Arena(int count, int offsetBytes) : count_(count), storage_(count + 2 * kGuard + 16) {
    const uintptr_t raw = reinterpret_cast<uintptr_t>(storage_.data() + kGuard);
    const uintptr_t origin = (raw + 63) & ~static_cast<uintptr_t>(63);
    data_ = reinterpret_cast<double*>(origin + offsetBytes);
    for (double& v : storage_) v = kGuardValue;
  }
  double* data() { return data_; }
  bool guardsIntact() const {
    for (int i = 1; i <= kGuard; ++i)
      if (data_[-i] != kGuardValue || data_[count_ - 1 + i] != kGuardValue) return false;
    return true;
  }

 private:
  int count_;
  std::vector<double> storage_;
  double* data_;
};

std::vector<double> randomSignal(int n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  std::vector<double> v(n);
  for (double& x : v) x = dist(rng);
  return v;
}

// Pack order -> bins 0..N/2 (the odd-length form, without a Nyquist bin, included).
std::vector<Cplx> unpack(const double* p, int length) {
  std::vector<Cplx> bins;
  bins.emplace_back(p[0], 0.0);
  int i = 1;
  for (; i + 1 < length; i += 2) bins.emplace_back(p[i], p[i + 1]);
  if (i == length - 1) bins.emplace_back(p[i], 0.0);
  return bins;
}

// The bins or samples a reference is computed for: all of them for small sizes, the edges and a
// random subset otherwise (a full long-double DFT at 65536 points takes far too long).
std::vector<int> indicesToCheck(int count, uint32_t seed) {
  std::vector<int> out;
  if (count <= 4097) {
    for (int i = 0; i < count; ++i) out.push_back(i);
    return out;
  }
  out = {0, 1, 2, count / 2, count - 2, count - 1};
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> pick(0, count - 1);
  for (int i = 0; i < 250; ++i) out.push_back(pick(rng));
  return out;
}

// e^{-2 pi i m / N} for m = 0..N-1 in long double.
std::vector<LCplx> twiddles(int n) {
  const long double pi = std::acos(-1.0L);
  std::vector<LCplx> w(n);
  for (int m = 0; m < n; ++m) {
    const long double a = 2.0L * pi * m / n;
    w[m] = LCplx(std::cos(a), -std::sin(a));
  }
  return w;
}

LCplx referenceBin(const std::vector<double>& x, const std::vector<LCplx>& w, int k) {
  const uint64_t n = x.size();
  LCplx acc = 0;
  for (uint64_t j = 0; j < n; ++j) acc += static_cast<long double>(x[j]) * w[(k * j) % n];
  return acc;
}

// Sample j of the inverse of a Hermitian spectrum given by bins 0..N/2, divided by N.
long double referenceSample(const std::vector<Cplx>& bins, const std::vector<LCplx>& w, int n,
                            int j) {
  const int half = n / 2;
  long double acc = static_cast<long double>(bins[0].real()) +
                    static_cast<long double>(bins[half].real()) * ((j % 2) ? -1.0L : 1.0L);
  for (int k = 1; k < half; ++k)
    acc += 2.0L * (LCplx(bins[k].real(), bins[k].imag()) *
                   std::conj(w[(static_cast<uint64_t>(k) * j) % n]))
                      .real();
  return acc / n;
}

class FftTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedEffort_ = CoreFftr::plannerEffort();
    CoreFftr::setPlannerEffort(false);
  }
  void TearDown() override { CoreFftr::setPlannerEffort(savedEffort_); }

 private:
  bool savedEffort_ = true;
};

constexpr double kTolerance = 1e-12;

TEST_F(FftTest, ForwardAndInverseMatchLongDoubleReferenceAtEverySize) {
  for (int order = 1; order <= 16; ++order) {
    SCOPED_TRACE("order " + std::to_string(order));
    const int n = 1 << order;
    CoreFftr fft(order);
    const std::vector<LCplx> w = twiddles(n);
    const std::vector<double> x = randomSignal(n, 100 + order);
    Arena a(n, 0);
    std::copy(x.begin(), x.end(), a.data());

    fft.forward(a.data());
    const std::vector<Cplx> bins = unpack(a.data(), n);
    double maxErr = 0, maxRef = 0;
    for (int k : indicesToCheck(n / 2 + 1, order)) {
      const LCplx ref = referenceBin(x, w, k);
      maxErr = std::max({maxErr, static_cast<double>(std::abs(bins[k].real() - ref.real())),
                         static_cast<double>(std::abs(bins[k].imag() - ref.imag()))});
      maxRef = std::max({maxRef, static_cast<double>(std::abs(ref.real())),
                         static_cast<double>(std::abs(ref.imag()))});
    }
    EXPECT_LT(maxErr / maxRef, kTolerance);

    // Inverse of a random spectrum against the reference synthesis.
    const std::vector<double> s = randomSignal(n, 200 + order);
    std::copy(s.begin(), s.end(), a.data());
    fft.inverse(a.data());
    const std::vector<Cplx> sBins = unpack(s.data(), n);
    maxErr = 0, maxRef = 0;
    for (int j : indicesToCheck(n, order)) {
      const long double ref = referenceSample(sBins, w, n, j);
      maxErr = std::max(maxErr, static_cast<double>(std::abs(a.data()[j] - ref)));
      maxRef = std::max(maxRef, static_cast<double>(std::abs(ref)));
    }
    EXPECT_LT(maxErr / maxRef, kTolerance);

    // Round trip.
    std::copy(x.begin(), x.end(), a.data());
    fft.forward(a.data());
    fft.inverse(a.data());
    maxErr = 0;
    for (int j = 0; j < n; ++j) maxErr = std::max(maxErr, std::abs(a.data()[j] - x[j]));
    EXPECT_LT(maxErr, kTolerance);
    EXPECT_TRUE(a.guardsIntact());
  }
}

TEST_F(FftTest, PackLayoutPlacesEachBinAndInverseDividesByN) {
  const double pi = std::acos(-1.0);
  for (int order : {1, 2, 3, 6, 10}) {
    const int n = 1 << order;
    CoreFftr fft(order);
    EXPECT_EQ(fft.length(), n);
    EXPECT_EQ(fft.order(), order);
    struct Case {
      const char* name;
      int bin;  // frequency
      bool sine;
      int index;     // where the bin's value lands in Pack order
      double value;  // and what it is
    };
    std::vector<Case> cases = {{"dc", 0, false, 0, double(n)},
                               {"nyquist", n / 2, false, n - 1, double(n)}};
    for (int k : {1, n / 4, n / 2 - 1}) {
      if (k < 1 || k >= n / 2) continue;
      cases.push_back({"cosine", k, false, 2 * k - 1, n / 2.0});
      cases.push_back({"sine", k, true, 2 * k, -n / 2.0});
    }
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + " bin " + std::to_string(c.bin) + " of " +
                   std::to_string(n));
      std::vector<double> x(n), b(n);
      for (int j = 0; j < n; ++j) {
        const double a = 2.0 * pi * c.bin * j / n;
        x[j] = c.sine ? std::sin(a) : std::cos(a);
      }
      b = x;
      fft.forward(b.data());
      for (int i = 0; i < n; ++i)
        EXPECT_NEAR(b[i], i == c.index ? c.value : 0.0, 1e-12 * n) << "index " << i;
      // The lone bin back through the inverse gives the signal again: division by N.
      std::fill(b.begin(), b.end(), 0.0);
      b[c.index] = c.value;
      fft.inverse(b.data());
      for (int j = 0; j < n; ++j) EXPECT_NEAR(b[j], x[j], 1e-14 * n) << "sample " << j;
    }
    // Only DC = N inverts to all ones.
    std::vector<double> b(n, 0.0);
    b[0] = n;
    fft.inverse(b.data());
    for (int j = 0; j < n; ++j) EXPECT_DOUBLE_EQ(b[j], 1.0);
  }
}

TEST_F(FftTest, ProductOfSpectraIsBinwiseAndGivesCircularConvolution) {
  for (int order : {1, 2, 3, 5, 8, 11}) {
    SCOPED_TRACE("order " + std::to_string(order));
    const int n = 1 << order;
    CoreFftr fft(order);
    const std::vector<double> x = randomSignal(n, 300 + order), y = randomSignal(n, 400 + order);
    std::vector<double> sx = x, sy = y, prod(n);
    fft.forward(sx.data());
    fft.forward(sy.data());
    CoreSigp::mulPack(sx.data(), sy.data(), prod.data(), n);

    const std::vector<Cplx> bx = unpack(sx.data(), n), by = unpack(sy.data(), n),
                            bp = unpack(prod.data(), n);
    ASSERT_EQ(bp.size(), static_cast<size_t>(n / 2 + 1));
    for (size_t k = 0; k < bp.size(); ++k) {
      const Cplx expect = bx[k] * by[k];
      EXPECT_NEAR(bp[k].real(), expect.real(), 1e-13 * n) << "bin " << k;
      EXPECT_NEAR(bp[k].imag(), expect.imag(), 1e-13 * n) << "bin " << k;
    }

    fft.inverse(prod.data());
    double maxErr = 0, maxRef = 0;
    for (int j = 0; j < n; ++j) {
      long double ref = 0;
      for (int m = 0; m < n; ++m) ref += static_cast<long double>(x[m]) * y[(j - m + n) % n];
      maxErr = std::max(maxErr, static_cast<double>(std::abs(prod[j] - ref)));
      maxRef = std::max(maxRef, static_cast<double>(std::abs(ref)));
    }
    EXPECT_LT(maxErr / maxRef, kTolerance);
  }
}

TEST_F(FftTest, AnyBufferAlignmentGivesTheAlignedResult) {
  for (int order : {1, 2, 4, 7, 10, 13}) {
    const int n = 1 << order;
    CoreFftr fft(order);
    const std::vector<double> x = randomSignal(n, 500 + order);
    Arena ref(n, 0);
    std::copy(x.begin(), x.end(), ref.data());
    fft.forward(ref.data());
    const std::vector<double> spectrum(ref.data(), ref.data() + n);
    fft.inverse(ref.data());
    const double scale = std::sqrt(static_cast<double>(n));

    for (int offset : {8, 16, 24, 32, 40, 48, 56}) {
      SCOPED_TRACE("order " + std::to_string(order) + ", offset " + std::to_string(offset));
      Arena a(n, offset);
      std::copy(x.begin(), x.end(), a.data());
      fft.forward(a.data());
      for (int i = 0; i < n; ++i) ASSERT_NEAR(a.data()[i], spectrum[i], 1e-14 * scale) << i;
      fft.inverse(a.data());
      for (int i = 0; i < n; ++i) ASSERT_NEAR(a.data()[i], ref.data()[i], 1e-14) << i;
      EXPECT_TRUE(a.guardsIntact());
    }
  }
}

TEST_F(FftTest, MeasuredPlansAgreeWithEstimatedOnes) {
  for (int order : {3, 9}) {
    const int n = 1 << order;
    const std::vector<double> x = randomSignal(n, 600 + order);
    std::vector<double> estimated = x, measured = x;
    CoreFftr(order).forward(estimated.data());
    CoreFftr::setPlannerEffort(true);
    CoreFftr fft(order);
    CoreFftr::setPlannerEffort(false);
    fft.forward(measured.data());
    for (int i = 0; i < n; ++i) EXPECT_NEAR(measured[i], estimated[i], 1e-13 * n);
    fft.inverse(measured.data());
    for (int i = 0; i < n; ++i) EXPECT_NEAR(measured[i], x[i], 1e-14 * n);
  }
}

TEST_F(FftTest, RejectsOrdersOutOfRange) {
  for (int order : {-1, 0, CoreFftr::kMaxOrder + 1, 31})
    EXPECT_THROW(CoreFftr{order}, CoreAnsx) << order;
  CoreFftr fft(CoreFftr::kMinOrder);
  EXPECT_EQ(fft.length(), 2);
  EXPECT_NE(fft.workBuffer(), nullptr);
  EXPECT_GE(fft.workBytes(), 4 * sizeof(double));
}

TEST_F(FftTest, ThreadsBuildAndDestroyTransformsConcurrently) {
  constexpr int kThreads = 4, kPlans = 50;
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &failures] {
      for (int i = 0; i < kPlans; ++i) {
        const int order = 1 + (t * 7 + i * 3) % 14;
        const int n = 1 << order;
        try {
          CoreFftr fft(order);
          const std::vector<double> x = randomSignal(n, t * 1000 + i);
          std::vector<double> b = x;
          fft.forward(b.data());
          fft.inverse(b.data());
          for (int j = 0; j < n; ++j)
            if (std::abs(b[j] - x[j]) > kTolerance) {
              ++failures;
              break;
            }
        } catch (const CoreAnsx&) {
          ++failures;
        }
      }
    });
  }
  for (std::thread& th : threads) th.join();
  EXPECT_EQ(failures.load(), 0);
}

// --- Pack-order arithmetic -------------------------------------------------------------------

// The product bin by bin, written out plainly; the library's versions must agree bit for bit.
std::vector<double> referenceProduct(const double* a, const double* b, int length) {
  std::vector<double> out(length);
  const std::vector<Cplx> ba = unpack(a, length), bb = unpack(b, length);
  int i = 0;
  for (size_t k = 0; k < ba.size(); ++k) {
    const bool realOnly = k == 0 || (length % 2 == 0 && k + 1 == ba.size());
    if (realOnly) {
      out[i++] = ba[k].real() * bb[k].real();
    } else {
      out[i++] = ba[k].real() * bb[k].real() - ba[k].imag() * bb[k].imag();
      out[i++] = ba[k].real() * bb[k].imag() + ba[k].imag() * bb[k].real();
    }
  }
  return out;
}

const int kSigpLengths[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 15, 16, 17, 31, 32, 33, 1024, 1025, 4096};
const int kSigpOffsets[] = {0, 8, 16, 24};

TEST(SigpTest, MulPackFamilyMatchesBinwiseProductAtAnyAlignment) {
  for (int length : kSigpLengths) {
    for (int offset : kSigpOffsets) {
      SCOPED_TRACE("length " + std::to_string(length) + ", offset " + std::to_string(offset));
      const std::vector<double> va = randomSignal(length, length * 3 + 1),
                                vb = randomSignal(length, length * 3 + 2),
                                vd = randomSignal(length, length * 3 + 3);
      const std::vector<double> expect = referenceProduct(va.data(), vb.data(), length);
      Arena a(length, offset), b(length, (offset + 8) % 32), d(length, (offset + 16) % 32);
      std::copy(va.begin(), va.end(), a.data());
      std::copy(vb.begin(), vb.end(), b.data());

      CoreSigp::mulPack(a.data(), b.data(), d.data(), length);
      for (int i = 0; i < length; ++i) ASSERT_EQ(d.data()[i], expect[i]) << "mulPack " << i;

      std::copy(vb.begin(), vb.end(), d.data());
      CoreSigp::mulPackInPlace(a.data(), d.data(), length);
      for (int i = 0; i < length; ++i) ASSERT_EQ(d.data()[i], expect[i]) << "in place " << i;

      std::copy(vd.begin(), vd.end(), d.data());
      CoreSigp::mulPackAdd(a.data(), b.data(), d.data(), length);
      for (int i = 0; i < length; ++i) ASSERT_EQ(d.data()[i], vd[i] + expect[i]) << "add " << i;

      std::copy(vd.begin(), vd.end(), d.data());
      CoreSigp::addInPlace(a.data(), d.data(), length);
      for (int i = 0; i < length; ++i) ASSERT_EQ(d.data()[i], vd[i] + va[i]) << "sum " << i;

      EXPECT_TRUE(a.guardsIntact() && b.guardsIntact() && d.guardsIntact());
    }
  }
}

TEST(SigpTest, MulPackInPlaceAliasingBothOperands) {
  // srcDst may also be the source: the square of a spectrum.
  for (int length : {2, 9, 64}) {
    std::vector<double> v = randomSignal(length, 700 + length);
    const std::vector<double> expect = referenceProduct(v.data(), v.data(), length);
    CoreSigp::mulPackInPlace(v.data(), v.data(), length);
    EXPECT_EQ(v, expect);
  }
}

TEST(SigpTest, ZeroLengthTouchesNothing) {
  Arena a(1, 0), d(1, 0);
  a.data()[0] = 2.0;
  d.data()[0] = 3.0;
  CoreSigp::mulPack(a.data(), a.data(), d.data(), 0);
  CoreSigp::mulPackInPlace(a.data(), d.data(), 0);
  CoreSigp::mulPackAdd(a.data(), a.data(), d.data(), 0);
  CoreSigp::addInPlace(a.data(), d.data(), 0);
  EXPECT_EQ(d.data()[0], 3.0);
  EXPECT_TRUE(d.guardsIntact());
}

}  // namespace
