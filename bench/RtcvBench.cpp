// Accuracy and speed of the load-time rate converter, next to libsoxr's very-high-quality mode
// when the build found it.
//
// For each row a one-second sine at the source rate (1 kHz, and 50 % and 90 % of the lower
// Nyquist frequency) is converted, and the result is compared with the same sine computed exactly
// at the target rate, over the output that lies 0.15 s or more from both ends. The error is the
// largest difference relative to the sine's amplitude, in dB. Times are the fastest of a few
// runs in thread processor time: "first" is a fresh converter (filter design, transform plans,
// the conversion), "again" the same file converted once more from the prepared stage cache.
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "base/CorePool.h"
#include "vectors/CoreRtcv.h"

#ifdef OSTREL_HAVE_SOXR
#include <soxr.h>
#endif

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kAmplitude = 0.5;
constexpr double kSeconds = 1.0;
constexpr double kMargin = 0.15;
constexpr int kRuns = 5;

double cpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
}

// The sine at time i / rate, its argument reduced to whole turns in extended precision first, so
// that the reference itself is exact to the last bits for every sample of the second.
double sineAt(double freq, int64_t i, double rate) {
  const long double turns = static_cast<long double>(freq) * i / rate;
  const double frac = static_cast<double>(turns - std::floor(turns));
  return kAmplitude * std::sin(2.0 * kPi * frac + 0.3);
}

std::vector<double> sine(double freq, double rate, int64_t n) {
  std::vector<double> v(static_cast<size_t>(n));
  for (int64_t i = 0; i < n; ++i) v[i] = sineAt(freq, i, rate);
  return v;
}

// Largest error against the exact sine at the output rate, relative to the amplitude, in dB.
double errorDb(const double* y, int64_t length, double freq, double rate) {
  double worst = 0.0;
  for (int64_t q = 0; q < length; ++q) {
    const double t = q / rate;
    if (t < kMargin || t > kSeconds - kMargin) continue;
    const double exact = sineAt(freq, q, rate);
    worst = std::max(worst, std::fabs(y[q] - exact));
  }
  return worst > 0.0 ? 20.0 * std::log10(worst / kAmplitude) : -400.0;
}

struct Result {
  double error = 0.0;
  double first = 1e30;  // seconds
  double again = 1e30;
  int64_t length = 0;
};

Result ours(int32_t source, int32_t target, double freq) {
  const std::vector<double> x = sine(freq, source, static_cast<int64_t>(kSeconds * source));
  Result r;
  for (int run = 0; run < kRuns; ++run) {
    CorePool pool;
    CoreRtcv rtcv;
    rtcv.createTable(&pool);
    const int32_t row = rtcv.chooseRow(source, target);
    double t0 = cpuSeconds();
    CoreRtcv::Output out = rtcv.convert(x.data(), static_cast<int32_t>(x.size()), source, row);
    r.first = std::min(r.first, cpuSeconds() - t0);
    t0 = cpuSeconds();
    out = rtcv.convert(x.data(), static_cast<int32_t>(x.size()), source, row);
    r.again = std::min(r.again, cpuSeconds() - t0);
    r.error = errorDb(out.samples, out.length, freq, out.rate);
    r.length = out.length;
  }
  return r;
}

#ifdef OSTREL_HAVE_SOXR
Result viaSoxr(int32_t source, int32_t target, double freq) {
  const std::vector<double> x = sine(freq, source, static_cast<int64_t>(kSeconds * source));
  const size_t outLength = static_cast<size_t>(std::llround(kSeconds * target));
  std::vector<double> y(outLength);
  Result r;
  const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT64_I, SOXR_FLOAT64_I);
  const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
  for (int run = 0; run < kRuns; ++run) {
    size_t done = 0;
    const double t0 = cpuSeconds();
    const soxr_error_t e = soxr_oneshot(source, target, 1, x.data(), x.size(), nullptr, y.data(),
                                        y.size(), &done, &io, &quality, nullptr);
    r.first = std::min(r.first, cpuSeconds() - t0);
    if (e) {
      std::printf("soxr: %s\n", e);
      return r;
    }
    r.error = errorDb(y.data(), static_cast<int64_t>(done), freq, target);
    r.length = static_cast<int64_t>(done);
  }
  r.again = r.first;
  return r;
}
#endif

}  // namespace

int main() {
  struct Pair {
    int32_t source;
    int32_t target;
  };
  const Pair pairs[] = {{44100, 48000}, {48000, 44100}, {96000, 44100}, {44100, 88200}};
  std::printf("one-second sine, error = largest difference from the exact sine at the target rate"
              " (0.15 s from the ends), relative to the amplitude\n\n");
  std::printf("%-16s %8s | %10s %9s %9s | %10s %9s\n", "row", "tone Hz", "ours dB", "first ms",
              "again ms", "soxr dB", "soxr ms");
  for (const Pair& p : pairs) {
    const double lower = std::min(p.source, p.target);
    const double tones[] = {1000.0, 0.25 * lower, 0.45 * lower};
    for (double freq : tones) {
      const Result a = ours(p.source, p.target, freq);
      char row[32];
      std::snprintf(row, sizeof row, "%d->%d", p.source, p.target);
#ifdef OSTREL_HAVE_SOXR
      const Result b = viaSoxr(p.source, p.target, freq);
      std::printf("%-16s %8.0f | %10.1f %9.2f %9.2f | %10.1f %9.2f\n", row, freq, a.error,
                  1e3 * a.first, 1e3 * a.again, b.error, 1e3 * b.first);
#else
      std::printf("%-16s %8.0f | %10.1f %9.2f %9.2f | %10s %9s\n", row, freq, a.error,
                  1e3 * a.first, 1e3 * a.again, "-", "-");
#endif
    }
  }
#ifndef OSTREL_HAVE_SOXR
  std::printf("\n(libsoxr was not found when this was built: no comparison)\n");
#endif
  return 0;
}
