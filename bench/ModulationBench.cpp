// The modulators' share of one program tick, and the follower's per-sample cost.
//
// BM_ProgramTick runs the modulators of one program tick in the tick's order: "LSTO", the
// followers EVF1 .. EVF5, LFO1 .. LFO4, FUN1 .. FUN8, DNM1 and DNM2, ENV1 and ENV2, all set up and
// active, for a 64-sample tick at 48 kHz; reported per tick. The samples the followers receive
// between ticks are timed by BM_FollowerPush (a tick's samples plus the step, per sample) and
// BM_FollowerPushOnly (the bare push, per sample).
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "base/CorePool.h"
#include "modulation/CoreDynm.h"
#include "modulation/CoreEnvf.h"
#include "modulation/CoreEnvl.h"
#include "modulation/CoreFlsh.h"
#include "modulation/CoreFunc.h"
#include "modulation/CoreLfos.h"
#include "modulation/CoreShtb.h"
#include "modulation/CoreSrct.h"

namespace {

constexpr double kRate = 48000.0;
constexpr double kPeriod = 64.0;

CoreStrg numbered(const char* stem, int n) { return CoreStrg((stem + std::to_string(n)).c_str()); }

struct Program {
  CorePool pool;
  CoreSrct table;
  CoreShtb shapes;
  std::vector<std::unique_ptr<CoreEnvf>> evf;
  std::vector<std::unique_ptr<CoreLfos>> lfo;
  std::vector<std::unique_ptr<CoreFunc>> fun;
  std::vector<std::unique_ptr<CoreDynm>> dnm;
  std::vector<std::unique_ptr<CoreEnvl>> env;

  Program() {
    CoreSrct& t = table;
    const char* const lfoShapes[4] = {"Sine", "Triang", "4 Step", "3 Rand"};
    for (int n = 1; n <= 4; ++n) {
      lfo.push_back(std::make_unique<CoreLfos>(numbered("LFO", n), shapes, t,
                                               t.find(numbered("LFO", n)),
                                               t.find(numbered("RATELFO", n))));
      CoreLfos::Setup s;
      s.MINRATE = 0.1 * n;
      s.MAXRATE = 4.0 * n;
      s.SOURCE = numbered("MIX", n);
      s.SHAPE = lfoShapes[n - 1];
      s.PHASEFACTOR = 45.0 * n;
      s.PHASESOURCE = n == 2 ? "MIX5" : "";
      s.RATEQUANTIZE = n == 3 ? 4.0 : 0.0;
      lfo.back()->setup(s);
    }
    const char* const ops[8] = {"a*b", "Db(a)", "sin(a+b)", "ScaleDb(a,b)",
                                "gainpad+", "warp(a,b)", "exp(a,1/b)", "Quantize b to a"};
    for (int n = 1; n <= 8; ++n) {
      fun.push_back(std::make_unique<CoreFunc>(numbered("FUN", n), shapes, t, t.find(numbered("FUN", n))));
      fun.back()->setup(CoreFunc::Setup{numbered("LFO", 1 + (n - 1) % 4), numbered("EVF", 1 + (n - 1) % 5), ops[n - 1]});
    }
    const double types[5] = {CoreEnvf::kAvr, CoreEnvf::kRms, CoreEnvf::kPeak, CoreEnvf::kVu,
                             CoreEnvf::kTrms17};
    for (int n = 1; n <= 5; ++n) {
      CoreSrct::Entry* eat = n < 5 ? &t.find(numbered("EAT", n)) : nullptr;
      CoreSrct::Entry* ert = n < 5 ? &t.find(numbered("ERT", n)) : nullptr;
      evf.push_back(std::make_unique<CoreEnvf>(pool, numbered("EVF", n), true, &t,
                                               &t.find(numbered("EVF", n)), eat, ert));
      CoreEnvf::Setup s;
      s.EXP = types[n - 1];
      s.MINATTACK = 1000.0;
      s.MAXATTACK = 50000.0;
      s.ATTACKSOURCE = "MIX6";
      s.MINRELEASE = 10000.0;
      s.MAXRELEASE = 500000.0;
      s.RELEASESOURCE = "MIX7";
      s.OUTPUTBALANCE = 0.5;
      s.ENABLEEATERT = 1.0;
      s.FILTERSOURCE = n <= 2 ? "MIX8" : "OFF";
      s.FILTERFREQUENCY = 2000.0;
      s.FILTERORDER = 4;
      s.sampleRate = kRate;
      evf.back()->setup(s);
    }
    for (int n = 1; n <= 2; ++n) {
      dnm.push_back(std::make_unique<CoreDynm>(numbered("DNM", n), t, t.find(numbered("DNM", n))));
      CoreDynm::Setup s;
      s.THRESHOLDSOURCE = "-0.5";
      s.INPUTSOURCE = numbered("EVF", n);
      s.RATIOCOMSOURCE = "0.5";
      s.hasRATIOCOMSOURCE = n == 1;
      s.RATIOEXPSOURCE = "0.5";
      s.hasRATIOEXPSOURCE = n == 2;
      s.RANGELIMIT = 24.0;
      s.RATIOCURVE = 2.0;
      s.GAINPADFACTOR = 3.0;
      dnm.back()->setup(s);

      env.push_back(std::make_unique<CoreEnvl>(numbered("ENV", n), t, t.find(numbered("ENV", n))));
      CoreEnvl::Setup e;
      e.CONTROL.ACTIVSOURCE = numbered("LFO", n);
      e.CONTROL.DEACTIVSOURCE = numbered("LFO", n + 2);
      e.LEVEL.START = 0.0;
      e.LEVEL.ATTACK = 1.0;
      e.LEVEL.BREAK = 0.6;
      e.LEVEL.SUSTAIN = 0.4;
      e.LEVEL.COMMON.MODFACTOR = 1.0;
      e.LEVEL.COMMON.MODSOURCE = "ON";
      e.TIME.ATTACK = 20000.0;
      e.TIME.DECAY = 50000.0;
      e.TIME.SLOPE = 10000.0;
      e.TIME.RELEASE = 100000.0;
      e.TIME.COMMON.MODFACTOR = 1.0;
      e.TIME.COMMON.MODSOURCE = "ON";
      e.CURVE.ATTACK = 1;
      e.CURVE.DECAY = 3;
      e.CURVE.SLOPE = 2;
      e.CURVE.RELEASE = 4;
      e.sampleRate = kRate;
      env.back()->setup(e);
    }
    for (int n = 0; n < 8; ++n) t.entry(CoreSrct::kMix1 + n).set(0.1 * n - 0.3);
  }

  // The modulators of one program tick, in the tick's order.
  void tick(double level, double tempo) {
    table.publishUnipolar(CoreSrct::kLsto, std::fabs(CoreFlsh::flush(level)));
    for (auto& e : evf) e->step();
    const double dt = CoreFlsh::flush(kPeriod / kRate);
    for (auto& l : lfo) l->step(dt, tempo);
    for (auto& f : fun) f->step();
    for (auto& d : dnm) d->step();
    for (auto& e : env) e->step(kPeriod);
  }
};

void BM_ProgramTick(benchmark::State& state) {
  Program p;
  double level = 0.25;
  for (auto _ : state) {
    p.tick(level, 120.0);
    level = -level;
    benchmark::DoNotOptimize(p.table.value(CoreSrct::kEnv1));
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel("ticks (4 LFO, 8 FUN, 5 EVF, 2 DNM, 2 ENV)");
}
BENCHMARK(BM_ProgramTick);

// Per-sample follower cost: pushFeeds of one tick's samples plus the tick's step, for each
// detector type; the filter cascade (two sections) in the ":filter" variants.
void BM_FollowerPush(benchmark::State& state) {
  const auto type = static_cast<double>(state.range(0));
  const bool filter = state.range(1) != 0;
  CorePool pool;
  CoreSrct t;
  CoreEnvf evf(pool, "EVF1", true, &t, &t.find("EVF1"), &t.find("EAT1"), &t.find("ERT1"));
  CoreEnvf::Setup s;
  s.EXP = type;
  s.MINATTACK = 1000.0;
  s.MAXATTACK = 1000.0;
  s.MINRELEASE = 100000.0;
  s.MAXRELEASE = 100000.0;
  s.OUTPUTBALANCE = 0.5;
  s.FILTERSOURCE = filter ? "ON" : "OFF";
  s.FILTERFREQUENCY = 200.0;
  s.FILTERORDER = 4;
  s.sampleRate = kRate;
  evf.setup(s);
  std::vector<double> in(64);
  for (size_t i = 0; i < in.size(); ++i) in[i] = std::sin(0.05 * static_cast<double>(i)) * 0.5;
  for (auto _ : state) {
    for (double x : in) evf.pushFeeds(x, -x, 0.5 * x, x);
    evf.step();
    benchmark::DoNotOptimize(evf.output());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(in.size()));
  state.SetLabel(std::string(CoreEnvf::typeName(static_cast<int16_t>(type)).text()) +
                 (filter ? " filter" : "") + " (items = samples)");
}
BENCHMARK(BM_FollowerPush)
    ->ArgsProduct({{CoreEnvf::kAvr, CoreEnvf::kRms, CoreEnvf::kPeak, CoreEnvf::kTrms17}, {0, 1}});

// The bare sample push, without the tick: what the processing path pays per sample.
void BM_FollowerPushOnly(benchmark::State& state) {
  CorePool pool;
  CoreEnvf meter(pool, "IN_L", false, nullptr, nullptr, nullptr, nullptr);
  CoreEnvf::MeterSetup m;
  m.type = CoreEnvf::kAvr;
  m.minAttack = 48.0;
  m.minRelease = 4800.0;
  m.sampleRate = kRate;
  meter.setupMeter(m);
  meter.step();
  double x = 0.3;
  for (auto _ : state) {
    meter.push(x);
    x = -x;
  }
  benchmark::DoNotOptimize(meter.level());
  state.SetItemsProcessed(state.iterations());
  state.SetLabel("samples");
}
BENCHMARK(BM_FollowerPushOnly);

}  // namespace

BENCHMARK_MAIN();
