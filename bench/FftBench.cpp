// Real transforms and Pack-order products against the transform library used directly.
//
// For each size the pair forward + inverse of CoreFftr is timed against the library's own
// out-of-place r2c + c2r on aligned arrays with the same planner flags, plus the 1/N scaling that
// makes the result the same; CoreSigp::mulPack is timed against a complex multiply over the
// N/2 + 1 interleaved bins on aligned arrays. Both references use the vector unit as well as they
// can, so the ratios show what our layer costs on top. Each case runs a few repetitions,
// interleaved ours / reference, and the fastest repetition in processor time (which a busy
// machine disturbs least) counts. A table of the ratios ours / reference closes the run.
#include <benchmark/benchmark.h>
#include <emmintrin.h>
#include <fftw3.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "base/CoreFftr.h"
#include "base/CoreSigp.h"
#include "base/CoreSpin.h"

namespace {

constexpr int kMinOrder = 8;
constexpr int kMaxOrder = 16;
constexpr unsigned kFlags = FFTW_MEASURE | FFTW_DESTROY_INPUT;

double* allocDoubles(int n) {
  double* p = static_cast<double*>(CoreSigp::mallocBytes(static_cast<size_t>(n) * sizeof(double)));
  std::mt19937 rng(n);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  for (int i = 0; i < n; ++i) p[i] = dist(rng);
  return p;
}

void oursPair(benchmark::State& state) {
  const int order = static_cast<int>(state.range(0));
  const int n = 1 << order;
  CoreFftr fft(order);
  double* buffer = allocDoubles(n);
  for (auto _ : state) {
    fft.forward(buffer);
    fft.inverse(buffer);
    benchmark::DoNotOptimize(buffer);
    benchmark::ClobberMemory();
  }
  CoreSigp::freeBytes(buffer);
}

void rawPair(benchmark::State& state) {
  const int n = 1 << state.range(0);
  double* real = allocDoubles(n);
  double* spectrum = allocDoubles(n + 2);
  fftw_complex* bins = reinterpret_cast<fftw_complex*>(spectrum);
  fftw_plan r2c, c2r;
  {
    CoreSpin::Guard guard(CoreSigp::plannerLock());
    r2c = fftw_plan_dft_r2c_1d(n, real, bins, kFlags);
    c2r = fftw_plan_dft_c2r_1d(n, bins, real, kFlags);
  }
  const __m128d k = _mm_set1_pd(1.0 / n);
  for (auto _ : state) {
    fftw_execute(r2c);
    fftw_execute(c2r);
    for (int i = 0; i < n; i += 2) _mm_store_pd(real + i, _mm_mul_pd(_mm_load_pd(real + i), k));
    benchmark::DoNotOptimize(real);
    benchmark::ClobberMemory();
  }
  {
    CoreSpin::Guard guard(CoreSigp::plannerLock());
    fftw_destroy_plan(r2c);
    fftw_destroy_plan(c2r);
  }
  CoreSigp::freeBytes(real);
  CoreSigp::freeBytes(spectrum);
}

void oursMul(benchmark::State& state) {
  const int n = 1 << state.range(0);
  double* a = allocDoubles(n);
  double* b = allocDoubles(n);
  double* d = allocDoubles(n);
  for (auto _ : state) {
    CoreSigp::mulPack(a, b, d, n);
    benchmark::DoNotOptimize(d);
    benchmark::ClobberMemory();
  }
  CoreSigp::freeBytes(a);
  CoreSigp::freeBytes(b);
  CoreSigp::freeBytes(d);
}

void rawMul(benchmark::State& state) {
  const int n = 1 << state.range(0);
  const int bins = n / 2 + 1;
  fftw_complex* a = reinterpret_cast<fftw_complex*>(allocDoubles(2 * bins));
  fftw_complex* b = reinterpret_cast<fftw_complex*>(allocDoubles(2 * bins));
  fftw_complex* d = reinterpret_cast<fftw_complex*>(allocDoubles(2 * bins));
  const __m128d negateLow = _mm_set_pd(0.0, -0.0);
  for (auto _ : state) {
    for (int k = 0; k < bins; ++k) {
      const __m128d x = _mm_load_pd(a[k]), y = _mm_load_pd(b[k]);
      const __m128d re = _mm_unpacklo_pd(y, y), im = _mm_unpackhi_pd(y, y);
      const __m128d p = _mm_mul_pd(_mm_shuffle_pd(x, x, 1), im);
      _mm_store_pd(d[k], _mm_add_pd(_mm_mul_pd(x, re), _mm_xor_pd(p, negateLow)));
    }
    benchmark::DoNotOptimize(d);
    benchmark::ClobberMemory();
  }
  CoreSigp::freeBytes(a);
  CoreSigp::freeBytes(b);
  CoreSigp::freeBytes(d);
}

// Shows only the fastest repetition of each case and keeps it for the closing table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    std::vector<Run> shown;
    for (const Run& r : runs) {
      if (r.run_type != Run::RT_Aggregate || r.aggregate_name != "min") continue;
      best_[r.run_name.function_name][std::stoi(r.run_name.args)] = r.GetAdjustedCPUTime();
      shown.push_back(r);
    }
    if (!shown.empty()) ConsoleReporter::ReportRuns(shown);
  }

  void printTable() const {
    std::printf("\n%8s %12s %12s %7s %12s %12s %7s\n", "N", "pair ours", "pair fftw", "ratio",
                "mul ours", "mul cplx", "ratio");
    for (int order = kMinOrder; order <= kMaxOrder; ++order) {
      const double po = get("ours_pair", order), pr = get("fftw_pair", order);
      const double mo = get("ours_mulPack", order), mr = get("cplx_mul", order);
      std::printf("%8d %10.1fns %10.1fns %7.3f %10.1fns %10.1fns %7.3f\n", 1 << order, po, pr,
                  po / pr, mo, mr, mo / mr);
    }
  }

 private:
  double get(const std::string& name, int order) const {
    const auto f = best_.find(name);
    if (f == best_.end()) return 0;
    const auto g = f->second.find(order);
    return g == f->second.end() ? 0 : g->second;
  }
  std::map<std::string, std::map<int, double>> best_;
};

double fastest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

void registerCase(const char* name, void (*fn)(benchmark::State&), int order) {
  benchmark::RegisterBenchmark(name, fn)
      ->Arg(order)
      ->MinTime(0.01)
      ->Repetitions(15)
      ->ComputeStatistics("min", fastest)
      ->Unit(benchmark::kNanosecond);
}

}  // namespace

int main(int argc, char** argv) {
  CoreFftr::setPlannerEffort(true);
  for (int order = kMinOrder; order <= kMaxOrder; ++order) {
    registerCase("ours_pair", oursPair, order);
    registerCase("fftw_pair", rawPair, order);
    registerCase("ours_mulPack", oursMul, order);
    registerCase("cplx_mul", rawMul, order);
  }
  // Repetitions of all cases run in random order, so that ours and the reference see the same
  // spread of conditions on a busy machine.
  std::vector<char*> args(argv, argv + argc);
  char interleave[] = "--benchmark_enable_random_interleaving=true";
  args.insert(args.begin() + 1, interleave);
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  argc = count;
  argv = args.data();
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.printTable();
  benchmark::Shutdown();
  return 0;
}
