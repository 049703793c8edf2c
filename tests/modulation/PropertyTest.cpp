// Random ticks of every modulator with random settings and random, often hostile, sources and
// samples: no source entry a modulator publishes may ever hold a NaN, an infinity or a subnormal.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/CorePool.h"
#include "modulation/CoreDynm.h"
#include "modulation/CoreEnvf.h"
#include "modulation/CoreEnvl.h"
#include "modulation/CoreFlsh.h"
#include "modulation/CoreFunc.h"
#include "modulation/CoreLfos.h"
#include "modulation/CorePrmt.h"
#include "modulation/CoreRawf.h"
#include "modulation/CoreRetb.h"
#include "modulation/CoreShtb.h"
#include "modulation/CoreSrct.h"

namespace {

CoreStrg numbered(const char* stem, int n) { return CoreStrg((stem + std::to_string(n)).c_str()); }

class Hostile {
 public:
  explicit Hostile(uint64_t seed) : rng_(seed) {}

  double uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng_); }
  int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
  bool chance(double p) { return uniform(0.0, 1.0) < p; }

  // Mostly ordinary values, often outside [-1, 1], with subnormals, huge and non-finite ones.
  double value() {
    const double sub = std::numeric_limits<double>::denorm_min();
    switch (below(12)) {
      case 0: return sub * below(1000000);
      case 1: return -sub * below(1000);
      case 2: return chance(0.5) ? 1e300 : -1e300;
      case 3: return chance(0.5) ? CoreFlsh::kLargest : -CoreFlsh::kLargest;
      case 4: return chance(0.5) ? INFINITY : -INFINITY;
      case 5: return chance(0.5) ? NAN : 0.0;
      case 6: return uniform(-10.0, 10.0);
      case 7: return chance(0.5) ? -1.0 : 1.0;
      default: return uniform(-1.0, 1.0);
    }
  }
  double finiteValue() {
    const double v = value();
    return std::isfinite(v) ? v : 0.0;
  }
  // A source text: any entry name, or an awkward constant.
  CoreStrg source(const std::vector<CoreStrg>& names) {
    static const char* const kTexts[] = {"",       "OFF",   "ON",        "0.5",        "-3",
                                         "1e308",  "-1e308", "inf",      "nan",        "4.9e-324",
                                         "0x1p-1070", "abc", " 2",       "1e-310",     "0"};
    if (chance(0.7)) return names[below(static_cast<int>(names.size()))];
    return kTexts[below(15)];
  }

 private:
  std::mt19937_64 rng_;
};

struct AllModulators {
  CorePool pool;
  CoreSrct table;
  CoreShtb shapes;
  CoreRetb kinds;
  std::vector<std::unique_ptr<CoreEnvf>> evf, meters;
  std::vector<std::unique_ptr<CoreLfos>> lfo;
  std::vector<std::unique_ptr<CoreFunc>> fun;
  std::vector<std::unique_ptr<CoreDynm>> dnm;
  std::vector<std::unique_ptr<CoreEnvl>> env;
  std::vector<std::unique_ptr<CoreRawf>> raw;
  std::vector<std::unique_ptr<CorePrmt>> prm;
  std::vector<double> curves[4];

  AllModulators() {
    auto& t = table;
    for (int n = 1; n <= 5; ++n) {
      const CoreStrg name = numbered("EVF", n);
      CoreSrct::Entry* eat = n < 5 ? &t.find(numbered("EAT", n)) : &t.find("OFF");
      CoreSrct::Entry* ert = n < 5 ? &t.find(numbered("ERT", n)) : &t.find("OFF");
      evf.push_back(std::make_unique<CoreEnvf>(pool, name, true, &t, &t.find(name), eat, ert));
    }
    for (int n = 0; n < 6; ++n)
      meters.push_back(std::make_unique<CoreEnvf>(pool, numbered("METER", n), false, nullptr,
                                                  nullptr, nullptr, nullptr));
    for (int n = 1; n <= 4; ++n)
      lfo.push_back(std::make_unique<CoreLfos>(numbered("LFO", n), shapes, t,
                                               t.find(numbered("LFO", n)),
                                               t.find(numbered("RATELFO", n))));
    for (int n = 1; n <= 8; ++n)
      fun.push_back(std::make_unique<CoreFunc>(numbered("FUN", n), shapes, t, t.find(numbered("FUN", n))));
    for (int n = 1; n <= 2; ++n) {
      dnm.push_back(std::make_unique<CoreDynm>(numbered("DNM", n), t, t.find(numbered("DNM", n))));
      env.push_back(std::make_unique<CoreEnvl>(numbered("ENV", n), t, t.find(numbered("ENV", n))));
    }
    for (int n = 1; n <= 4; ++n)
      raw.push_back(std::make_unique<CoreRawf>(numbered("RAWFUN", n), kinds, t,
                                               t.find(numbered("RAWFUN", n))));
    for (int n = 1; n <= 16; ++n)
      prm.push_back(std::make_unique<CorePrmt>(numbered("PRM", n), shapes, t, t.find(numbered("PRM", n))));
  }
};

// Entries the test writes itself (raw, hostile values); every other entry belongs to a producer.
bool writtenByTest(int i) {
  return (i >= CoreSrct::kEnv1 + 2 && i <= CoreSrct::kAmc1 + 1) ||
         (i >= CoreSrct::kMix1 && i <= CoreSrct::kGainOut);
}

}  // namespace

TEST(ModulationPropertyTest, RandomTicksPublishOnlyCleanValues) {
  AllModulators m;
  Hostile h(20240611);
  const std::vector<CoreStrg> names = m.table.names();
  CoreSrct& t = m.table;
  int64_t steps = 0;
  int iteration = 0;
  int lfoShape = 0, funOperator = 0, prmOperator = 0, evfType = 0, meterType = 0;

  while (steps < 1000000) {
    ++iteration;
    for (int i = 0; i < CoreSrct::kCount; ++i)
      if (writtenByTest(i) && h.chance(0.3)) t.entry(i).set(h.value());

    // New settings now and then, walking through every shape, operator and detector type.
    if (iteration % 20 == 1) {
      for (auto& l : m.lfo) {
        CoreLfos::Setup s;
        s.MINRATE = h.chance(0.8) ? h.uniform(0.0, 30.0) : h.finiteValue();
        s.MAXRATE = h.chance(0.8) ? h.uniform(0.0, 30.0) : h.finiteValue();
        s.RATEQUANTIZE = h.below(3) == 0 ? 0.0 : (h.chance(0.5) ? h.below(65) : h.finiteValue());
        s.SOURCE = h.source(names);
        s.SHAPE = m.shapes.entry(CoreShtb::kShapes, lfoShape++ % CoreShtb::kShapeCount).storedName;
        s.PHASEFACTOR = h.chance(0.8) ? h.uniform(-360.0, 360.0) : h.finiteValue();
        s.PHASESOURCE = h.source(names);
        l->setup(s);
      }
      for (auto& f : m.fun)
        f->setup(CoreFunc::Setup{
            h.source(names), h.source(names),
            m.shapes.entry(CoreShtb::kOperators, funOperator++ % CoreShtb::kOperatorCount).storedName});
      for (auto& p : m.prm) {
        CorePrmt::Setup s;
        s.A = h.source(names);
        s.B = h.source(names);
        s.FUN = m.shapes.entry(CoreShtb::kOperators, prmOperator++ % CoreShtb::kOperatorCount).storedName;
        s.LABEL = h.chance(0.8) ? "P" : "";
        s.MINVALUE = h.finiteValue();
        s.MAXVALUE = h.finiteValue();
        s.VISIBLE = 1.0;
        p->setup(s);
      }
      for (auto& e : m.evf) {
        CoreEnvf::Setup s;
        s.EXP = (evfType++ % 11) - (h.chance(0.1) ? 20 : 0);
        s.MINATTACK = h.chance(0.8) ? h.uniform(0.0, 50000.0) : h.finiteValue();
        s.MAXATTACK = h.chance(0.8) ? h.uniform(0.0, 500000.0) : h.finiteValue();
        s.MINRELEASE = h.chance(0.8) ? h.uniform(0.0, 50000.0) : h.finiteValue();
        s.MAXRELEASE = h.chance(0.8) ? h.uniform(0.0, 500000.0) : h.finiteValue();
        s.ATTACKSOURCE = h.source(names);
        s.RELEASESOURCE = h.source(names);
        s.OUTPUTBALANCE = h.chance(0.8) ? h.uniform(-1.0, 1.0) : h.finiteValue();
        s.BUSBALANCESOURCE = h.chance(0.3) ? numbered("BUS", 1 + h.below(8)) : h.source(names);
        s.DATTACKSOURCE = h.chance(0.7) ? CoreStrg("OFF") : h.source(names);
        s.DRELEASESOURCE = h.chance(0.7) ? CoreStrg("OFF") : h.source(names);
        s.ENABLEEATERT = h.below(2);
        s.OATTACKSOURCE = h.chance(0.5) ? CoreStrg("OFF") : h.source(names);
        s.ORELEASESOURCE = h.chance(0.5) ? CoreStrg("OFF") : h.source(names);
        s.FILTERSOURCE = h.chance(0.5) ? CoreStrg("OFF") : h.source(names);
        s.FILTERFREQUENCY = h.chance(0.8) ? h.uniform(0.0, 50000.0) : h.finiteValue();
        s.FILTERORDER = h.below(12) - 2;
        s.sampleRate = h.chance(0.95) ? 48000.0 : h.finiteValue();
        if (h.chance(0.1)) e->reset(); else e->setup(s);
      }
      for (auto& e : m.meters) {
        CoreEnvf::MeterSetup s;
        s.type = static_cast<int16_t>(meterType++ % 10);
        s.minAttack = h.chance(0.8) ? h.uniform(0.0, 5000.0) : h.finiteValue();
        s.minRelease = h.chance(0.8) ? h.uniform(0.0, 50000.0) : h.finiteValue();
        s.balance = h.uniform(-1.0, 1.0);
        s.sampleRate = 48000.0;
        e->setupMeter(s);
      }
      for (auto& d : m.dnm) {
        CoreDynm::Setup s;
        s.THRESHOLDSOURCE = h.source(names);
        s.INPUTSOURCE = h.source(names);
        s.hasRATIOCOMSOURCE = h.chance(0.5);
        s.RATIOCOMSOURCE = h.source(names);
        s.hasRATIOEXPSOURCE = h.chance(0.5);
        s.RATIOEXPSOURCE = h.chance(0.3) ? CoreStrg("0") : h.source(names);
        s.RANGELIMIT = h.chance(0.8) ? h.uniform(-10.0, 60.0) : h.finiteValue();
        s.RATIOCURVE = h.below(12) - 2;
        s.GAINPADFACTOR = h.chance(0.8) ? h.uniform(-24.0, 24.0) : h.finiteValue();
        if (h.chance(0.1)) d->reset(); else d->setup(s);
      }
      for (auto& e : m.env) {
        CoreEnvl::Setup s;
        s.CONTROL.ACTIVSOURCE = h.source(names);
        s.CONTROL.DEACTIVSOURCE = h.source(names);
        s.LEVEL.START = h.finiteValue();
        s.LEVEL.ATTACK = h.finiteValue();
        s.LEVEL.BREAK = h.finiteValue();
        s.LEVEL.SUSTAIN = h.finiteValue();
        s.LEVEL.COMMON.MODFACTOR = h.finiteValue();
        s.LEVEL.COMMON.MODSOURCE = h.source(names);
        s.TIME.ATTACK = h.chance(0.8) ? h.uniform(-100.0, 100000.0) : h.finiteValue();
        s.TIME.DECAY = h.chance(0.8) ? h.uniform(-100.0, 100000.0) : h.finiteValue();
        s.TIME.SLOPE = h.chance(0.8) ? h.uniform(-100.0, 100000.0) : h.finiteValue();
        s.TIME.RELEASE = h.chance(0.8) ? h.uniform(-100.0, 100000.0) : h.finiteValue();
        s.TIME.COMMON.MODFACTOR = h.finiteValue();
        s.TIME.COMMON.MODSOURCE = h.source(names);
        s.CURVE.ATTACK = h.below(40) - 5;
        s.CURVE.DECAY = h.below(40) - 5;
        s.CURVE.SLOPE = h.chance(0.05) ? 30000 : h.below(10);
        s.CURVE.RELEASE = h.below(10);
        s.sampleRate = 48000.0;
        if (h.chance(0.1)) e->reset(); else e->setup(s);
      }
      for (int n = 0; n < 4; ++n) {
        auto& c = m.curves[n];
        c.assign(static_cast<size_t>(1 + h.below(8)), 0.0);
        for (double& v : c) v = h.chance(0.9) ? h.uniform(-0.01, 0.01) : h.value();
      }
      for (auto& r : m.raw) {
        r->setup(CoreRawf::Setup{h.source(names), h.source(names), numbered("RAW", 1 + h.below(4)),
                                 numbered("RAW", 1 + h.below(5)),
                                 h.chance(0.5) ? "RSINGLE" : "RMULTI",
                                 h.chance(0.9) ? 48000.0 : h.finiteValue()});
        for (int n = 0; n < 4; ++n)
          r->attachCurve(numbered("RAW", n + 1), m.curves[n].data(),
                         static_cast<int32_t>(m.curves[n].size()));
        r->checkCurves();
      }
    }

    // Audio between ticks.
    const int samples = h.below(40);
    for (int i = 0; i < samples; ++i) {
      const double a = h.chance(0.9) ? h.uniform(-1.0, 1.0) : h.value();
      const double b = h.chance(0.9) ? h.uniform(-1.0, 1.0) : h.value();
      for (int n = 0; n < 4; ++n) m.evf[n]->pushFeeds(a, b, b, a);
      m.evf[4]->pushPair(a, b);
      for (auto& meter : m.meters) meter->push(a);
    }

    // One program tick, in its order.
    const double period = h.chance(0.9) ? 64.0 : h.finiteValue();
    const double dt = h.chance(0.9) ? period / 48000.0 : h.finiteValue();
    const double tempo = h.chance(0.9) ? 120.0 : h.finiteValue();
    t.publishUnipolar(CoreSrct::kLsto, std::fabs(CoreFlsh::flush(h.value())));
    for (auto& e : m.evf) e->step();
    for (auto& l : m.lfo) l->step(dt, tempo);
    for (auto& f : m.fun) f->step();
    for (auto& d : m.dnm) d->step();
    for (auto& e : m.env) e->step(period);
    for (auto& r : m.raw) r->step(period);
    for (auto& p : m.prm) p->evaluate();
    const int meterEntries[6] = {CoreSrct::kInL, CoreSrct::kInR, CoreSrct::kOutL,
                                 CoreSrct::kOutR, CoreSrct::kInP, CoreSrct::kOutP};
    for (int n = 0; n < 6; ++n) {
      m.meters[n]->step();
      ASSERT_TRUE(CoreFlsh::clean(m.meters[n]->output())) << "meter type " << m.meters[n]->type();
      t.publishUnipolar(meterEntries[n], m.meters[n]->output());
    }
    steps += 5 + 4 + 8 + 2 + 2 + 4 + 16 + 6;

    for (int i = 0; i < CoreSrct::kCount; ++i) {
      if (writtenByTest(i)) continue;
      ASSERT_TRUE(CoreFlsh::clean(t.value(i)))
          << t.entry(i).name().text() << " = " << t.value(i) << " at iteration " << iteration;
    }
    for (auto& e : m.evf) ASSERT_TRUE(CoreFlsh::clean(e->output()));
    for (auto& p : m.prm) {
      ASSERT_TRUE(CoreFlsh::clean(p->displayValue()));
      ASSERT_TRUE(CoreFlsh::clean(p->barFraction()));
    }
  }
  EXPECT_EQ(t.value(CoreSrct::kOff), -1.0);
  EXPECT_EQ(t.value(CoreSrct::kOn), 1.0);
}
