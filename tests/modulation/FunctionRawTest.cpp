#include <gtest/gtest.h>

#include <cmath>

#include "modulation/CoreFunc.h"
#include "modulation/CoreRawf.h"
#include "modulation/CoreRetb.h"
#include "modulation/CoreShtb.h"
#include "modulation/CoreSrct.h"

TEST(FunctionTest, SetupStepAndReset) {
  CoreSrct t;
  CoreShtb ops;
  CoreFunc f("FUN3", ops, t, t.find("FUN3"));
  EXPECT_STREQ(f.controlA().name().text(), "FUN3_A");
  EXPECT_STREQ(f.controlB().unit().text(), "-");

  const struct {
    const char* a;
    const char* b;
    const char* fun;
    double expected;
  } rows[] = {
      {"0.8", "0.8", "a+b", 1.0},    // clipped from 1.6
      {"1.5", "", "a", -0.5},        // a constant above the range wraps
      {"ON", "OFF", "a-b", 1.0},
      {"0", "0.5", "a AND b", 0.0},  // strict comparison
      {"0.25", "0.5", "nothing", 0.25},  // unknown operators give "a"
      {"0.03", "0", "Quantize b to a", -1.0},
  };
  for (const auto& r : rows) {
    f.setup(CoreFunc::Setup{r.a, r.b, r.fun});
    f.step();
    EXPECT_DOUBLE_EQ(t.find("FUN3").value(), r.expected) << r.fun;
  }
  EXPECT_STREQ(f.operatorName().text(), "Quantize b to a");
  f.reset();  // both controls at -1, operator kept
  f.step();
  EXPECT_STREQ(f.operatorName().text(), "Quantize b to a");
  EXPECT_DOUBLE_EQ(f.controlA().value(), -1.0);
  EXPECT_DOUBLE_EQ(f.controlB().value(), -1.0);
  f.setOperator("a");
  f.setA("LFO1");
  t.find("LFO1").set(0.125);
  f.step();
  EXPECT_DOUBLE_EQ(t.find("FUN3").value(), 0.125);
}

namespace {

struct RawRig {
  CoreSrct t;
  CoreRetb kinds;
  CoreRawf raw{"RAWFUN2", kinds, t, t.find("RAWFUN2")};
  double curveC[5] = {0.1, 0.2, 0.3, 0.4, 0.5};
  double curveD[2] = {1.0, 2.0};
  double out() const { return t.find("RAWFUN2").value(); }
  void make(const char* a, const char* b, const char* kind, double rate = 1000.0) {
    raw.setup(CoreRawf::Setup{a, b, "RAW1", "RAW2", kind, rate});
    raw.attachCurve("RAW1", curveC, 5);
    raw.attachCurve("RAW2", curveD, 2);
    raw.checkCurves();
  }
};

}  // namespace

TEST(RawFunctionTest, TableAndLookup) {
  CoreRetb k;
  EXPECT_EQ(k.count(), 2);
  EXPECT_STREQ(k.entry(0).descriptiveName.text(), "Raw 1 value envelope");
  EXPECT_STREQ(k.entry(1).descriptiveName.text(), "Raw multi value envelope");
  EXPECT_STREQ(k.lookup("RMULTI").storedName.text(), "RMULTI");
  EXPECT_STREQ(k.lookup("other").storedName.text(), "RSINGLE");
}

TEST(RawFunctionTest, MultiEndsAndInterpolation) {
  RawRig r;
  r.make("-1", "0.3", "RMULTI");  // ua = 0: C[1]
  ASSERT_TRUE(r.raw.enabled());
  r.raw.step(64.0);
  EXPECT_DOUBLE_EQ(r.out(), 0.2 * 2.0 - 1.0);
  r.make("1", "1", "RMULTI");  // ua = ub = 1: the last value
  r.raw.step(64.0);
  EXPECT_DOUBLE_EQ(r.out(), 0.5 * 2.0 - 1.0);
  r.make("-0.99999997", "1", "RMULTI");  // position 1.5: between C[2] and C[3]
  r.raw.step(64.0);
  EXPECT_NEAR(r.raw.state().lastResult, 0.35, 1e-6);
  EXPECT_EQ(r.raw.state().period, 64.0);
}

TEST(RawFunctionTest, SingleValueAndItsSingularPoint) {
  RawRig r;
  r.curveC[0] = 0.001;
  r.make("0", "0", "RSINGLE", 1000.0);
  r.raw.step(64.0);
  EXPECT_DOUBLE_EQ(r.raw.state().lastResult, std::exp(-1.0) - 0.5);
  EXPECT_DOUBLE_EQ(r.out(), (std::exp(-1.0) - 0.5) * 2.0 - 1.0);
  r.curveC[0] = 0.0;  // a time of 0: the limit from above, exp(-inf) - 0.5
  r.raw.step(64.0);
  EXPECT_EQ(r.raw.state().lastResult, -0.5);
  EXPECT_EQ(r.out(), -2.0);
  r.curveC[0] = NAN;  // a curve value that is not a number keeps the last result
  r.raw.step(64.0);
  EXPECT_EQ(r.raw.state().lastResult, -0.5);
}

TEST(RawFunctionTest, MissingCurveDisablesAndKeepsTheOutput) {
  RawRig r;
  r.t.find("RAWFUN2").set(0.123);
  r.raw.setup(CoreRawf::Setup{"0", "0", "RAW3", "RAW2", "RMULTI", 1000.0});
  r.raw.attachCurve("RAW1", r.curveC, 5);
  r.raw.attachCurve("RAW2", r.curveD, 2);
  EXPECT_FALSE(r.raw.checkCurves());
  r.raw.step(64.0);
  EXPECT_EQ(r.out(), 0.123);

  // A one-value curve has no C[1]: it reads C[0].
  r.raw.setup(CoreRawf::Setup{"-1", "0", "RAW1", "RAW2", "RMULTI", 1000.0});
  r.raw.attachCurve("RAW1", r.curveD, 1);
  r.raw.attachCurve("RAW2", r.curveD, 2);
  ASSERT_TRUE(r.raw.checkCurves());
  r.raw.step(64.0);
  EXPECT_EQ(r.raw.state().lastResult, 1.0);
  r.raw.detachCurves();
  EXPECT_FALSE(r.raw.enabled());
}
