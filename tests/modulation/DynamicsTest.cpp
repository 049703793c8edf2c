#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "modulation/CoreDynm.h"
#include "modulation/CoreSrct.h"

namespace {

struct DynRig {
  CoreSrct t;
  CoreDynm dnm{"DNM1", t, t.find("DNM1")};
  double out() const { return t.find("DNM1").value(); }
  // Threshold t and input i as unipolar levels: the threshold is a constant, the input follows
  // "EVF1".
  void make(double threshold, double input, const char* ratio, double range, double curve = -1.0,
            double makeup = 0.0, bool expander = false) {
    CoreDynm::Setup s;
    s.THRESHOLDSOURCE = CoreStrg(std::to_string(threshold * 2.0 - 1.0).c_str());
    s.INPUTSOURCE = "EVF1";
    if (expander) {
      s.RATIOEXPSOURCE = ratio;
      s.hasRATIOEXPSOURCE = true;
    } else {
      s.RATIOCOMSOURCE = ratio;
      s.hasRATIOCOMSOURCE = true;
    }
    s.RANGELIMIT = range;
    s.RATIOCURVE = curve;
    s.GAINPADFACTOR = makeup;
    dnm.setup(s);
    t.find("EVF1").set(input * 2.0 - 1.0);
  }
};

double over(double db) { return 0.1 * std::pow(10.0, db / 20.0); }

}  // namespace

TEST(DynamicsTest, UnnamedInputStaysDisabled) {
  for (const char* input : {"", "OFF", "0.5"}) {
    DynRig r;
    CoreDynm::Setup s;
    s.INPUTSOURCE = input;
    r.dnm.setup(s);
    EXPECT_FALSE(r.dnm.enabled());
    EXPECT_EQ(r.dnm.gain(), 0.0);
    r.dnm.step();
    EXPECT_EQ(r.out(), -1.0) << input;
  }
  DynRig r;
  r.make(0.1, over(12), "0.5", 24.0);
  EXPECT_TRUE(r.dnm.enabled());
  EXPECT_EQ(r.dnm.gain(), 0.0);  // before the first tick
  EXPECT_EQ(r.out(), -1.0);
}

TEST(DynamicsTest, CompressorExamples) {
  const struct {
    double threshold, input;
    const char* ratio;
    double range, curve, makeup, expectedDb;
  } rows[] = {
      {0.1, over(12), "0.5", 24.0, -1, 0, -6.0},    // l = (0.5 - 1) x 12
      {0.01, 0.01 * std::pow(10.0, 1.5), "0.5", 24.0, -1, 0, -12.0},  // 30 dB over, lim 24
      {0.1, over(12), "0.5", 0.0, -1, 6.0, 6.0},    // range 0: only the make-up
      {0.1, over(12), "0.5", 24.0, 2, 0, -4.5},     // m = 0.5, w = 0.25, R = 0.625
      {0.1, over(12), "0.5", 24.0, 1, 0, -3.0},     // exponent below 2: w = m, R = 0.75
      {0.1, over(12), "0.5", 24.0, 12, 0, -12.0 * (1.0 - (0.5 + 0.5 * std::pow(0.5, 8)))},
  };
  for (const auto& row : rows) {
    DynRig r;
    r.make(row.threshold, row.input, row.ratio, row.range, row.curve, row.makeup);
    r.dnm.step();
    EXPECT_NEAR(r.dnm.gain(), std::pow(10.0, row.expectedDb / 20.0), 1e-9) << row.expectedDb;
    EXPECT_NEAR(r.out(), r.dnm.gain() * 2.0 - 1.0, 1e-15);
  }
}

TEST(DynamicsTest, BelowThresholdAndExpander) {
  DynRig r;
  r.make(0.5, 0.25, "0.5", 24.0);
  r.dnm.step();
  EXPECT_EQ(r.out(), 1.0);
  r.make(0.1, over(12), "0.5", 24.0, -1, 0, true);  // 1/R - 1 = 1: the gain rises
  EXPECT_FALSE(r.dnm.compressor());
  r.dnm.step();
  EXPECT_NEAR(r.dnm.gain(), std::pow(10.0, 12.0 / 20.0), 1e-9);
}

TEST(DynamicsTest, ExpanderRatioZeroKeepsTheLastGain) {
  DynRig r;
  r.make(0.1, over(12), "MIX1", 24.0, -1, 0, true);
  r.t.find("MIX1").set(0.5);
  r.dnm.step();
  const double g = r.dnm.gain();
  EXPECT_NEAR(g, std::pow(10.0, 12.0 / 20.0), 1e-9);
  r.t.find("MIX1").set(0.0);  // R = 0: 1/R is infinite
  r.dnm.step();
  EXPECT_EQ(r.dnm.gain(), g);
  r.t.find("MIX1").set(1e-300);  // an overflowing gain holds too
  r.dnm.step();
  EXPECT_EQ(r.dnm.gain(), g);
}

TEST(DynamicsTest, TagsDisplayAndReset) {
  DynRig r;
  CoreDynm::Setup s;
  s.INPUTSOURCE = "EVF2";
  r.dnm.setup(s);  // neither ratio tag: a compressor with an empty ratio source
  EXPECT_TRUE(r.dnm.compressor());
  EXPECT_FALSE(r.dnm.curveOn());
  EXPECT_EQ(r.dnm.curve(), -1);
  s.RATIOCURVE = 20.0;
  r.dnm.setup(s);
  EXPECT_EQ(r.dnm.curve(), 8);
  r.dnm.setFromDisplay(1, "", "EVF2", "0.5", 0, 12.0, 0.0);  // "EXPN", "LINEAR"
  EXPECT_FALSE(r.dnm.compressor());
  EXPECT_TRUE(r.dnm.curveOn());
  EXPECT_EQ(r.dnm.curve(), -1);
  EXPECT_EQ(r.dnm.curveChoice(), 0);
  r.dnm.setFromDisplay(0, "", "EVF2", "0.5", 3, 12.0, 0.0);  // "COMP", "EXP 2"
  EXPECT_EQ(r.dnm.curve(), 2);
  EXPECT_STREQ(r.dnm.control(0).name().text(), "Threshold Control");
  r.dnm.reset();
  EXPECT_FALSE(r.dnm.enabled());
  EXPECT_EQ(r.dnm.range(), 0.0);
}
