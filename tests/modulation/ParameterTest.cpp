#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "modulation/CorePrmt.h"
#include "modulation/CoreShtb.h"
#include "modulation/CoreSrct.h"
#include "modulation/CoreUctl.h"

namespace {

struct PrmRig {
  CoreSrct t;
  CoreShtb ops;
  CorePrmt prm{"PRM1", ops, t, t.find("PRM1")};
  // Display range -20 .. 20 and A a constant that puts the display value at v.
  void showing(double v, double barMin, double barMax) {
    CorePrmt::Setup s;
    s.LABEL = "Drive";
    s.FUN = "a";
    s.MINVALUE = -20.0;
    s.MAXVALUE = 20.0;
    s.BARMINVALUE = barMin;
    s.hasBARMINVALUE = true;
    s.BARMAXVALUE = barMax;
    s.hasBARMAXVALUE = true;
    s.A = CoreStrg(std::to_string((v + 20.0) / 40.0 * 2.0 - 1.0).c_str());
    prm.setup(s);
    prm.evaluate();
  }
};

}  // namespace

TEST(ParameterTest, DisplayValue) {
  PrmRig r;
  CorePrmt::Setup s;
  s.A = "MIX1";
  s.FUN = "a";
  s.LABEL = "Drive";
  s.MINVALUE = 0.0;
  s.MAXVALUE = 10.0;
  r.prm.setup(s);
  EXPECT_STREQ(r.prm.controlA().name().text(), "PRM1_A");
  r.prm.evaluate();
  EXPECT_DOUBLE_EQ(r.prm.displayValue(), 5.0);
  EXPECT_EQ(r.prm.number(CorePrmt::kBarMaxValue), 10.0);  // defaults to MAXVALUE
  r.prm.setText(CorePrmt::kLabel, "");
  r.t.find("MIX1").set(0.8);
  r.prm.evaluate();
  EXPECT_DOUBLE_EQ(r.t.find("PRM1").value(), 0.8);
  EXPECT_EQ(r.prm.displayValue(), 0.0);  // no label: no display value
}

TEST(ParameterTest, BarFractions) {
  PrmRig r;
  const struct {
    double barMin, barMax, value, fraction;
  } rows[] = {{10, 0, 2.5, 0.75}, {10, 0, -1, 1.0}, {0, 10, 12, 1.0}, {0, 10, -3, 0.0},
              {0, 10, 5, 0.5},    {5, 5, 7, 1.0}};
  for (const auto& row : rows) {
    r.showing(row.value, row.barMin, row.barMax);
    EXPECT_NEAR(r.prm.displayValue(), row.value, 1e-6);
    EXPECT_NEAR(r.prm.barFraction(), row.fraction, 1e-6) << row.barMin << " " << row.value;
  }
  r.showing(2.5, 10, 0);
  EXPECT_EQ(r.prm.barLow(), 0.0);
  EXPECT_TRUE(r.prm.barInverted());
  EXPECT_DOUBLE_EQ(r.prm.barScale(), -0.1);
}

TEST(ParameterTest, ClearAndUndefined) {
  PrmRig r;
  r.t.find("PRM1").set(0.3);
  r.prm.evaluate();  // not defined: the entry keeps its value
  EXPECT_EQ(r.t.find("PRM1").value(), 0.3);
  r.prm.clear(true);
  EXPECT_TRUE(r.prm.defined());
  EXPECT_TRUE(r.prm.labelled());
  EXPECT_STREQ(r.prm.operatorName().text(), "a");
  r.prm.clear(false);
  EXPECT_FALSE(r.prm.defined());
}

TEST(ParameterTest, MixAssignment) {
  CoreSrct t;
  CoreShtb ops;
  std::vector<std::unique_ptr<CorePrmt>> prms;
  std::vector<CorePrmt*> p;
  for (int j = 1; j <= 16; ++j) {
    const std::string name = "PRM" + std::to_string(j);
    prms.push_back(std::make_unique<CorePrmt>(name.c_str(), ops, t, t.find(name.c_str())));
    p.push_back(prms.back().get());
  }
  std::vector<std::unique_ptr<CoreUctl>> ctls;
  std::vector<CoreUctl*> c;
  for (int i = 0; i < 10; ++i) {
    ctls.push_back(std::make_unique<CoreUctl>(i, t, nullptr));
    c.push_back(ctls.back().get());
  }
  auto make = [&](int j, const char* prelabel, double visible) {
    CorePrmt::Setup s;
    s.PRELABEL = prelabel;
    s.VISIBLE = visible;
    p[j]->setup(s);
  };
  make(1, "3", 0.0);  // invisible: skipped
  make(4, "3", 1.0);
  make(9, "3", 1.0);
  make(6, "8", 1.0);
  c[0]->setLinkedParameter(12);
  CorePrmt::assignMixes(p.data(), 16, c.data(), 10);
  EXPECT_EQ(c[2]->linkedParameter(), 4);  // the lower-numbered visible one
  EXPECT_EQ(c[7]->linkedParameter(), 6);
  EXPECT_EQ(c[0]->linkedParameter(), -1);
  EXPECT_EQ(c[8]->linkedParameter(), -1);
  CorePrmt::evaluateAll(p.data(), 16);
}
