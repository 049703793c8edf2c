#include <gtest/gtest.h>

#include <cmath>

#include "base/CorePool.h"
#include "modulation/CoreEnvf.h"
#include "modulation/CoreFlsh.h"
#include "modulation/CoreSrct.h"

namespace {

struct FollowerRig {
  CorePool pool;
  CoreSrct t;
  CoreEnvf evf{pool, "EVF1", true, &t, &t.find("EVF1"), &t.find("EAT1"), &t.find("ERT1")};
  double out() const { return t.find("EVF1").value(); }
  // sampleRate 1e6 makes microseconds equal samples.
  CoreEnvf::Setup times(double type, double attack, double release) {
    CoreEnvf::Setup s;
    s.EXP = type;
    s.MINATTACK = s.MAXATTACK = attack;
    s.MINRELEASE = s.MAXRELEASE = release;
    s.sampleRate = 1000000.0;
    return s;
  }
  void pushN(double x, int n) {
    for (int i = 0; i < n; ++i) evf.push(x);
  }
};

}  // namespace

TEST(FollowerTest, TypeNamesAndDefaults) {
  EXPECT_STREQ(CoreEnvf::typeName(CoreEnvf::kTrms17).text(), "TRMS 17");
  EXPECT_STREQ(CoreEnvf::typeName(CoreEnvf::kAvr).text(), "AVR    ");
  FollowerRig r;
  EXPECT_FALSE(r.evf.active());
  ASSERT_NE(r.evf.attackControl(), nullptr);
  EXPECT_STREQ(r.evf.attackControl()->unit().text(), "t");
  EXPECT_EQ(r.evf.attackControl()->defaultMaximum(), 1000000.0);
  EXPECT_EQ(r.pool.blocks().size(), 1u);
  EXPECT_STREQ(r.pool.blocks()[0].tag, "ENVF");
}

TEST(FollowerTest, AverageWithOneSampleTimes) {
  FollowerRig r;
  r.evf.setup(r.times(CoreEnvf::kAvr, 1, 1));
  r.evf.step();
  EXPECT_DOUBLE_EQ(r.evf.attackCoefficient(), std::exp(-1.0));
  EXPECT_DOUBLE_EQ(r.evf.releaseCoefficient(), std::exp(-1.0));
  r.pushN(0.5, 3);
  r.evf.step();
  const double level = 0.5 * (1.0 - std::exp(-3.0));
  EXPECT_NEAR(r.evf.level(), level, 1e-15);
  EXPECT_NEAR(r.out(), level * 2.0 - 1.0, 1e-15);
  r.pushN(-0.5, 64);  // converges towards |x|
  r.evf.step();
  EXPECT_NEAR(r.evf.level(), 0.5, 1e-12);
}

TEST(FollowerTest, PeakWindow) {
  FollowerRig r;
  r.evf.setup(r.times(CoreEnvf::kPeak, 100, 1000));
  r.evf.step();
  EXPECT_EQ(r.evf.windowLength(), 100);
  r.pushN(0.8, 100);  // the first window holds the empty peak
  r.evf.step();
  EXPECT_EQ(r.evf.level(), 0.0);
  r.pushN(0.0, 1);  // sample 100 starts a new window: a rise is taken at once
  r.evf.step();
  EXPECT_EQ(r.evf.heldPeak(), 0.8);
  EXPECT_EQ(r.evf.level(), 0.8);
  r.pushN(0.0, 99);
  r.evf.step();
  EXPECT_EQ(r.evf.level(), 0.8);  // held for the whole window
  r.pushN(0.0, 11);  // from sample 200 the fall decays with the release coefficient
  r.evf.step();
  EXPECT_NEAR(r.evf.level(), 0.8 * std::pow(std::exp(-1.0 / 1000.0), 11), 1e-12);
}

TEST(FollowerTest, OffPublishesMinusOneAndUnknownTypesAreOff) {
  FollowerRig r;
  r.evf.setup(r.times(CoreEnvf::kOff, 1, 1));
  r.pushN(0.5, 20);
  EXPECT_EQ(r.evf.bufferCount(), 0);
  r.evf.step();
  EXPECT_EQ(r.out(), -1.0);
  r.evf.setup(r.times(12, 1, 1));
  EXPECT_EQ(r.evf.type(), CoreEnvf::kOff);
  r.evf.reset();
  EXPECT_EQ(r.evf.attackControl()->minimum(), 1.0);
  EXPECT_EQ(r.evf.attackControl()->maximum(), 1.0);
}

TEST(FollowerTest, PlusThreeDecibelOutputIsClippedToOne) {
  FollowerRig r;
  r.evf.setup(r.times(CoreEnvf::kRms17, 1, 1));
  r.evf.step();
  r.pushN(1.0, 64);
  r.evf.step();
  EXPECT_NEAR(r.evf.level(), 1.0, 1e-12);
  EXPECT_EQ(r.evf.output(), 1.0);
  EXPECT_EQ(r.out(), 1.0);
}

TEST(FollowerTest, TinySamplesAreStoredAsZero) {
  FollowerRig r;
  r.evf.setup(r.times(CoreEnvf::kAvr, 1, 1));
  r.evf.step();
  r.pushN(1e-151, 16);
  EXPECT_EQ(r.evf.level(), 0.0);
  r.pushN(1e-149, 16);
  EXPECT_GT(r.evf.level(), 0.0);
  r.pushN(NAN, 16);  // not a number: taken as 0
  r.evf.step();
  EXPECT_TRUE(CoreFlsh::clean(r.evf.level()));
}

TEST(FollowerTest, BalanceWeights) {
  const struct {
    double balance, wOut, wIn;
  } rows[] = {{-1.0, 1.0, 1.0}, {1.0, 0.5, 0.0}, {0.0, 0.0, 0.5}, {0.5, 0.25, 0.25}};
  for (const auto& row : rows) {
    FollowerRig r;
    CoreEnvf::Setup s = r.times(CoreEnvf::kAvr, 1, 1);
    s.OUTPUTBALANCE = row.balance;
    r.evf.setup(s);
    EXPECT_EQ(r.evf.outputWeight(), row.wOut);
    EXPECT_EQ(r.evf.inputWeight(), row.wIn);
  }
  FollowerRig r;
  CoreEnvf::Setup s = r.times(CoreEnvf::kAvr, 1, 1);
  s.OUTPUTBALANCE = -1.0;  // everything at full weight
  r.evf.setup(s);
  r.evf.step();
  r.evf.pushFeeds(0.1, 0.2, 0.3, 0.4);
  r.evf.step();
  EXPECT_NEAR(r.evf.level(), 1.0 * (1.0 - std::exp(-1.0)), 1e-15);
}

TEST(FollowerTest, TimeReadingsAndScaledTimes) {
  FollowerRig r;
  CoreEnvf::Setup s = r.times(CoreEnvf::kAvr, 10, 10);
  s.ENABLEEATERT = 1.0;
  r.evf.setup(s);
  r.evf.step();
  r.pushN(0.5, 16);
  r.evf.step();
  const double k = std::exp(-0.1);
  const double e = 1.0 - std::pow(k, 16);  // level / instantaneous value
  EXPECT_NEAR(r.t.find("EAT1").value(), 16.0 * 1e-8 * 2.0 - 1.0, 1e-12);
  EXPECT_NEAR(r.t.find("ERT1").value(), std::log(e) * 1e-8 / std::log(k) * 2.0 - 1.0, 1e-12);

  s = r.times(CoreEnvf::kEvf, 9, 9);
  r.evf.setup(s);
  EXPECT_NEAR(r.evf.minimumAttack(), 9.0 / std::log(9.0), 1e-12);
  s = r.times(CoreEnvf::kVu, 0, -3);
  r.evf.setup(s);
  EXPECT_EQ(r.evf.minimumAttack(), 1.0);  // a minimum of 0 or less becomes 1
  EXPECT_EQ(r.evf.maximumRelease(), 1.0);
}

TEST(FollowerTest, FifthFollowerNeverWritesOff) {
  CorePool pool;
  CoreSrct t;
  CoreEnvf evf5(pool, "EVF5", true, &t, &t.find("EVF5"), &t.find("OFF"), &t.find("OFF"));
  CoreEnvf::Setup s;
  s.EXP = CoreEnvf::kAvr;
  s.ENABLEEATERT = 1.0;
  s.BUSBALANCESOURCE = "ON";  // never overwritten either
  s.sampleRate = 48000.0;
  evf5.setup(s);
  EXPECT_FALSE(evf5.busOn());
  evf5.step();
  evf5.pushPair(0.5, 0.5);
  evf5.step();
  EXPECT_EQ(t.find("OFF").value(), -1.0);
  EXPECT_EQ(t.find("ON").value(), 1.0);
}

TEST(FollowerTest, DynamicCoefficientsStopAtOne) {
  FollowerRig r;
  CoreEnvf::Setup s = r.times(CoreEnvf::kAvr, 1, 1);
  s.DATTACKSOURCE = "ON";  // (1 + 1) / 2 + 0.5 = 1.5
  s.DRELEASESOURCE = "OFF";
  r.evf.setup(s);
  EXPECT_FALSE(r.evf.dynamicOn());  // needs both sources
  s.DRELEASESOURCE = "ON";
  r.evf.setup(s);
  EXPECT_TRUE(r.evf.dynamicOn());
  r.evf.step();
  EXPECT_EQ(r.evf.attackCoefficient(), 1.0);
  r.pushN(0.9, 4000);
  r.evf.step();
  EXPECT_EQ(r.evf.level(), 0.0);  // holds instead of diverging
  s.DATTACKSOURCE = "OFF";  // the bottom: (0 + 0.5)
  s.DRELEASESOURCE = "0";
  r.evf.setup(s);
  EXPECT_FALSE(r.evf.dynamicOn());
}

TEST(FollowerTest, HighPassCascade) {
  FollowerRig r;
  CoreEnvf::Setup s = r.times(CoreEnvf::kAvr, 1, 1);
  s.sampleRate = 48000.0;
  s.MINATTACK = s.MAXATTACK = s.MINRELEASE = s.MAXRELEASE = 21.0;  // one sample at 48 kHz
  s.FILTERSOURCE = "ON";
  s.FILTERFREQUENCY = 1000.0;
  s.FILTERORDER = 4;
  r.evf.setup(s);
  r.evf.step();
  EXPECT_EQ(r.evf.sections(), 2);
  r.pushN(1.0, 4800);  // DC is removed
  r.evf.step();
  EXPECT_LT(r.evf.level(), 1e-3);
  s.FILTERFREQUENCY = 1e7;  // beyond the Nyquist frequency: kept below it, stays stable
  s.FILTERORDER = 20;
  r.evf.setup(s);
  r.evf.step();
  EXPECT_EQ(r.evf.sections(), 4);
  for (int i = 0; i < 4800; ++i) r.evf.push(i % 2 ? 1.0 : -1.0);
  r.evf.step();
  EXPECT_TRUE(CoreFlsh::clean(r.evf.level()));
  EXPECT_TRUE(CoreFlsh::clean(r.out()));
}

TEST(FollowerTest, MeterSetupPushAndRead) {
  CorePool pool;
  CoreEnvf meter(pool, "IN_L", false, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(meter.attackControl(), nullptr);
  CoreEnvf::MeterSetup m;
  m.type = CoreEnvf::kAvr;
  m.minAttack = 1.0;
  m.minRelease = 1.0;
  m.sampleRate = 48000.0;
  meter.setupMeter(m);
  meter.step();
  const double block[3] = {0.5, -0.5, 0.5};
  meter.pushBlock(block, 3);
  meter.step();
  EXPECT_NEAR(meter.output(), 0.5 * (1.0 - std::exp(-3.0)), 1e-15);
  m.type = CoreEnvf::kAvr17;  // meters are not limited to 1
  meter.setupMeter(m);
  meter.step();
  for (int i = 0; i < 64; ++i) meter.push(1.0);
  meter.step();
  EXPECT_NEAR(meter.output(), 1.5689347391281367, 1e-9);
}
