#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>

#include "modulation/CoreFlsh.h"
#include "modulation/CoreLfos.h"
#include "modulation/CoreRand.h"
#include "modulation/CoreShtb.h"
#include "modulation/CoreSrct.h"

namespace {

double shape(const CoreShtb& t, const char* name, double x) {
  return CoreShtb::evaluate(t.lookup(CoreShtb::kShapes, name), x, 0.0, nullptr);
}
double op(const CoreShtb& t, const char* name, double a, double b) {
  return CoreShtb::evaluate(t.lookup(CoreShtb::kOperators, name), a, b, nullptr);
}

}  // namespace

TEST(ShapeTableTest, RowsAndLookup) {
  CoreShtb t;
  EXPECT_EQ(t.count(CoreShtb::kShapes), 33);
  EXPECT_EQ(t.count(CoreShtb::kOperators), 45);
  EXPECT_STREQ(t.entry(0, 3).storedName.text(), "+Squar");
  EXPECT_STREQ(t.entry(0, 3).descriptiveName.text(), "Positive Square");
  EXPECT_STREQ(t.entry(0, 22).storedName.text(), "10 Ste");
  EXPECT_STREQ(t.entry(0, 32).storedName.text(), "12 Ran");
  EXPECT_STREQ(t.entry(1, 16).storedName.text(), "Quantize b to a");
  EXPECT_STREQ(t.entry(1, 44).storedName.text(), "StoreBipolarDb");
  for (int row = 0; row < 2; ++row)
    for (int i = 0; i < t.count(row); ++i) {
      EXPECT_EQ(t.indexOf(t.lookup(row, t.entry(row, i).storedName)), i);
      if (row == 0) {
        EXPECT_LE(t.entry(row, i).storedName.length(), 6);
      }
    }
  EXPECT_STREQ(t.lookup(0, "nothing").storedName.text(), "Sine");
  EXPECT_STREQ(t.lookup(1, "nothing").storedName.text(), "a");
}

TEST(ShapeTableTest, Wrap) {
  const struct {
    double in, out;
  } rows[] = {{1.5, -0.5}, {-1.5, 0.5}, {3.0, -1.0}, {1.0, 1.0}, {-1.0, -1.0}, {0.25, 0.25},
              {INFINITY, 0.0}, {NAN, 0.0}, {2.5, 0.5}};
  for (const auto& r : rows) EXPECT_DOUBLE_EQ(CoreShtb::wrap(r.in), r.out) << r.in;
}

TEST(ShapeTableTest, ShapeValues) {
  CoreShtb t;
  const double third = 0.6666666666666666;
  const struct {
    const char* name;
    double x, expected;
  } rows[] = {
      {"Sine", 0.5, 1.0},        {"+Sine", -0.5, 0.0},    {"Square", 0.0, 0.0},
      {"Square", -0.2, -1.0},    {"+Squar", 0.0, 0.5},    {"+Squar", -0.2, 0.0},
      {"Triang", 0.75, 0.5},     {"Triang", -0.75, -0.5}, {"Triang", 0.25, 0.5},
      {"+Trian", 0.75, 0.75},    {"Rise S", 0.3, 0.3},    {"+Rise", -1.0, 0.0},
      {"Fall S", 0.3, -0.3},     {"+Fall", 0.2, 0.4},     {"3 Step", -0.9, -1.0},
      {"3 Step", -0.5, -third},  {"3 Step", 0.1, 0.0},    {"3 Step", 0.8, third},
      {"+3 Ste", 0.8, third * 0.5 + 0.5}, {"4 Step", 0.6, 0.5}, {"12 Ste", 0.99, 5.0 / 6.0},
      {"Ramp", 1.5, -0.5},       {"Sine", 2.5, 1.0},
  };
  for (const auto& r : rows) EXPECT_NEAR(shape(t, r.name, r.x), r.expected, 1e-12) << r.name << " " << r.x;
}

TEST(ShapeTableTest, OperatorValues) {
  CoreShtb t;
  const struct {
    const char* name;
    double a, b, expected;
  } rows[] = {
      {"a+b", 0.8, 0.8, 1.0},
      {"a", 1.5, 0.0, -0.5},  // wrapped before the operator sees it
      {"Db(a)", 1.0, 0.0, 1.0},
      {"Db(a)", -1.0, 0.0, -1.0},
      {"Db(a)", 0.0, 0.0, (192.64 - 6.020599913279624) * 0.005191029900332226 * 2.0 - 1.0},
      {"Db(a)-Db(b)", 1.0, 1.0, 0.0},
      {"a AND b", 0.0, 0.5, 0.0},
      {"a AND b", 0.1, 0.1, 1.0},
      {"a OR b", 0.0, 0.0, 0.0},
      {"a OR b", 0.0, 0.1, 1.0},
      {"Quantize b to a", 0.5, 0.0, 0.0},
      {"Quantize b to a", -0.5, 0.0, 0.0},
      {"tri(a+b)", 0.5, 0.25, 0.5},
      {"(a+2b)/3", 0.3, 0.3, 0.9 * 0.33333333333333},
      {"ramp(f=(a+b)/4)", 0.1, 0.1, 1.0},
      {"ramp(f=(a+b)/4)", 0.05, 0.05, 0.625},
      {"Diode(a-b-.5)", 0.2, 0.0, 0.0},
      {"Diode(a-b+.25)", 0.2, 0.0, 0.45},
      {"gainpad+", 0.3, 1.0, -1.0},
      {"gainpad-", 0.3, 1.0, -1.0},
      {"ScaleDb(a,b)", -1.0, 0.0, 1.0},
      {"ScaleDb a to b", 1.0, -1.0, 1.0},
      {"StoreBipolarDb", 0.0, 0.0, 1.5275660582380732e-05 * 2.0 - 1.0},
      {"a*10^b", 0.1, 1.0, 1.0},
      {"a*10^b", 0.5, -1.0, 0.05},
      {"a(*unipolar)b", 0.0, 0.0, -0.5},
      {"a*unipolar(b)", 0.5, 0.0, 0.25},
      {"min(a,b)", 0.2, -0.3, -0.3},
      {"max(a,b)", 0.2, -0.3, 0.2},
      {"|a-b|", -0.2, 0.3, 0.5},
      {"-a*b", 0.5, 0.5, -0.25},
      {"cos(a+b)", 0.5, 0.5, -1.0},
      {"Tessel", 0.4, 0.9, 0.4},
  };
  for (const auto& r : rows)
    EXPECT_NEAR(op(t, r.name, r.a, r.b), r.expected, 1e-12) << r.name << " " << r.a << " " << r.b;
  EXPECT_NEAR(op(t, "Db(a)", 0.0, 0.0), 0.9375, 1e-4);
}

// Each singular point has a fixed, finite value: the operator's value just inside it.
TEST(ShapeTableTest, SingularPoints) {
  CoreShtb t;
  const struct {
    const char* name;
    double a, b, expected;
  } rows[] = {
      {"Quantize b to a", 0.0, 0.0, -1.0},   // n = 0 quantises like n = 1: floor(ub)
      {"Quantize b to a", 0.03, 0.9, -1.0},
      {"Quantize b to a", 0.03, 1.0, 1.0},
      {"b/(1-a)", 1.0, 0.5, 1.0},
      {"b/(1-a)", 1.0, -0.5, -1.0},
      {"b/(1-a)", 1.0, 0.0, 0.0},
      {"b/(1-a)", 0.0, 0.5, 0.5},
      {"warp(a,b)", 0.0, 0.0, 0.0},           // 0/0 at a = 0
      {"warp(a,b)", 1.0, 0.3, 0.3},           // |a| = 1: b itself
      {"warp(a,b)", -1.0, -0.7, -0.7},
      {"warp(a,b)", 1.0, 1.0, 1.0},
      {"warp(a,b)", 0.5, 0.25, 0.5},
      {"warp(a,b)", 0.5, 0.75, 0.5},
      {"warp(a,b)", 0.5, -0.75, -0.5},
      {"a(/unipolar)b", 0.0, -1.0, 1.0},      // ua > 0 over ub = 0
      {"a(/unipolar)b", -1.0, -1.0, -1.0},    // 0 over 0: the quotient 0
      {"a(/unipolar)b", 0.0, 1.0, 0.0},
      {"exp(a,1/b)", 0.0, -1.0, -1.0},        // ua^inf = 0 for ua < 1
      {"exp(a,1/b)", 1.0, -1.0, 1.0},         // 1^inf = 1
      {"exp(a,1/b)", 0.0, 1.0, 0.0},
  };
  for (const auto& r : rows)
    EXPECT_DOUBLE_EQ(op(t, r.name, r.a, r.b), r.expected) << r.name << " " << r.a << " " << r.b;
}

TEST(ShapeTableTest, EveryEntryIsCleanOnAGrid) {
  CoreShtb t;
  const double sub = std::numeric_limits<double>::denorm_min();
  const double points[] = {-1.0, -0.999999, -0.5, -1.0 / 16, -sub, 0.0, sub, 1e-300, 1.0 / 32,
                           1.0 / 16, 0.5, 0.999999, 1.0, 1.5, -7.25, 1e300, -1e300, INFINITY, NAN};
  CoreShtb::ShapeState state{0.0, 0.0};
  for (int row = 0; row < 2; ++row)
    for (int i = 0; i < t.count(row); ++i)
      for (double a : points)
        for (double b : points) {
          const double v = CoreShtb::evaluate(t.entry(row, i), a, b, &state);
          state.wrappedPhase = CoreShtb::wrap(a);
          state.lastOutput = v;
          ASSERT_TRUE(CoreFlsh::clean(v)) << t.entry(row, i).storedName.text() << " " << a << " " << b;
          ASSERT_LE(std::fabs(v), 1.0);
        }
}

namespace {

struct LfoRig {
  CoreSrct table;
  CoreShtb shapes;
  CoreLfos lfo{"LFO1", shapes, table, table.find("LFO1"), table.find("RATELFO1")};
  double out() const { return table.find("LFO1").value(); }
  double rateOut() const { return table.find("RATELFO1").value(); }
  void fixedRate(double hz, const char* shapeName = "Sine") {
    CoreLfos::Setup s;
    s.MINRATE = s.MAXRATE = hz;
    s.SHAPE = shapeName;
    lfo.setup(s);
  }
};

}  // namespace

TEST(LfoTest, MissingElementStaysAtZero) {
  LfoRig r;
  r.lfo.reset();
  EXPECT_STREQ(r.lfo.rateControl().name().text(), "LFO1 Rate");
  EXPECT_STREQ(r.lfo.rateControl().unit().text(), "Hz");
  EXPECT_STREQ(r.lfo.phaseControl().label().text(), "LFO1 Phase");
  for (int i = 0; i < 10; ++i) r.lfo.step(0.01, 120.0);
  EXPECT_EQ(r.out(), 0.0);
  EXPECT_EQ(r.rateOut(), -1.0);
  EXPECT_STREQ(r.lfo.shape().storedName.text(), "Sine");
  EXPECT_EQ(r.lfo.phaseAccumulator(), 0.0);
}

TEST(LfoTest, StepArithmetic) {
  LfoRig r;
  r.fixedRate(1.0);
  r.lfo.step(0.01, 120.0);
  EXPECT_DOUBLE_EQ(r.lfo.phaseAccumulator(), 0.02);
  for (int i = 1; i < 25; ++i) r.lfo.step(0.01, 120.0);
  EXPECT_NEAR(r.out(), 1.0, 1e-12);  // a quarter cycle
  for (int i = 25; i < 100; ++i) r.lfo.step(0.01, 120.0);
  EXPECT_NEAR(r.lfo.phaseAccumulator(), 2.0, 1e-12);  // one full cycle in 100 steps
  EXPECT_NEAR(r.out(), 0.0, 1e-9);
  EXPECT_NEAR(r.rateOut(), 1.0 * 0.041666666666 * 2.0 - 1.0, 1e-15);
}

TEST(LfoTest, PhaseFactorAndPhaseSource) {
  LfoRig r;
  CoreLfos::Setup s;
  s.MINRATE = s.MAXRATE = 1.0;
  s.PHASEFACTOR = 90.0;
  r.lfo.setup(s);
  EXPECT_DOUBLE_EQ(r.lfo.phaseAccumulator(), 0.5);
  r.lfo.step(0.01, 120.0);
  EXPECT_DOUBLE_EQ(r.out(), std::sin(M_PI * (0.5 + 2.0 * 1.0 * 0.01)));

  s.MINRATE = s.MAXRATE = 0.0;
  s.PHASEFACTOR = 180.0;
  s.PHASESOURCE = "MIX1";
  r.table.find("MIX1").set(-1.0);
  r.lfo.setup(s);
  r.lfo.step(0.01, 120.0);
  EXPECT_DOUBLE_EQ(r.lfo.phaseAccumulator(), 0.0);
  r.table.find("MIX1").set(1.0);
  r.lfo.step(0.01, 120.0);
  EXPECT_DOUBLE_EQ(r.lfo.phaseAccumulator(), 1.0);  // one half-cycle at once
}

TEST(LfoTest, RateQuantize) {
  LfoRig r;
  CoreLfos::Setup s;
  s.MINRATE = s.MAXRATE = 1.3;
  s.RATEQUANTIZE = 4.0;
  r.lfo.setup(s);
  EXPECT_TRUE(r.lfo.quantizeOn());
  r.lfo.step(0.01, 120.0);
  EXPECT_DOUBLE_EQ(r.lfo.rate(), 1.25);  // Q = 8, floor(10.4) / 8
  // Tempo 0: no multiple to quantise to; the LFO stands still.
  const double phase = r.lfo.phaseAccumulator();
  r.lfo.step(0.01, 0.0);
  EXPECT_EQ(r.lfo.rate(), 0.0);
  EXPECT_EQ(r.lfo.phaseAccumulator(), phase);
  EXPECT_EQ(r.rateOut(), -1.0);
  s.RATEQUANTIZE = -1.0;  // "-1" is off
  r.lfo.setup(s);
  r.lfo.step(0.01, 0.0);
  EXPECT_DOUBLE_EQ(r.lfo.rate(), 1.3);
}

TEST(LfoTest, SquareAtZeroAndUnknownShape) {
  LfoRig r;
  r.fixedRate(0.0, "Square");
  r.lfo.step(0.01, 120.0);
  EXPECT_EQ(r.out(), 0.0);
  r.fixedRate(0.0, "+Squar");
  r.lfo.step(0.01, 120.0);
  EXPECT_EQ(r.out(), 0.5);
  r.fixedRate(0.0, "Saw");
  EXPECT_STREQ(r.lfo.shape().storedName.text(), "Sine");
}

TEST(LfoTest, ThreeStepTakesItsFourValues) {
  LfoRig r;
  r.fixedRate(1.0, "3 Step");
  std::set<double> seen;
  for (int i = 0; i < 100; ++i) {
    r.lfo.step(0.01, 120.0);
    seen.insert(std::round(r.out() * 1e9) / 1e9);
  }
  const std::set<double> expected = {-1.0, std::round(-0.6666666666666666 * 1e9) / 1e9, 0.0,
                                     std::round(0.6666666666666666 * 1e9) / 1e9};
  EXPECT_EQ(seen, expected);
}

TEST(LfoTest, RandomShapeDrawsWhenTheIntervalChanges) {
  CoreShtb t;
  const CoreShtb::Entry& rand3 = t.lookup(CoreShtb::kShapes, "3 Rand");
  CoreShtb::ShapeState st{0.1, 0.3};
  EXPECT_EQ(CoreShtb::evaluate(rand3, 0.12, 0.0, &st), 0.3);  // floor(6x) unchanged: repeat
  CoreRand::seed(7);
  const int r = CoreRand::next();
  CoreRand::seed(7);
  EXPECT_DOUBLE_EQ(CoreShtb::evaluate(rand3, 0.2, 0.0, &st), r / 32767.0 * 2.0 - 1.0);
  EXPECT_EQ(CoreShtb::evaluate(rand3, 0.2, 0.0, nullptr), 0.0);  // no state, no draw

  // Over one cycle (phase length 2) floor(6 x) takes 12 values: 12 draws.
  LfoRig rig;
  rig.fixedRate(1.0, "3 Rand");
  for (int i = 0; i < 100; ++i) rig.lfo.step(0.01, 120.0);  // settle on a cycle boundary
  int draws = 0;
  double last = rig.out();
  for (int i = 0; i < 100; ++i) {
    rig.lfo.step(0.01, 120.0);
    if (rig.out() != last) ++draws;
    last = rig.out();
  }
  EXPECT_NEAR(draws, 12, 1);  // a draw may repeat its value by chance
}
