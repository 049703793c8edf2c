#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "modulation/CoreFlsh.h"
#include "modulation/CoreMctl.h"
#include "modulation/CoreSrct.h"
#include "modulation/CoreUctl.h"
#include "modulation/CoreUnit.h"

TEST(FlushTest, ZeroSubnormalAndNonFinite) {
  const double sub = std::numeric_limits<double>::denorm_min() * 12345.0;
  EXPECT_EQ(CoreFlsh::flush(sub), 0.0);
  EXPECT_FALSE(std::signbit(CoreFlsh::flush(-sub)));
  EXPECT_FALSE(std::signbit(CoreFlsh::flush(-0.0)));
  EXPECT_EQ(CoreFlsh::flush(1e-300), 1e-300);
  EXPECT_TRUE(std::isinf(CoreFlsh::flush(INFINITY)));  // the flush rule leaves infinities alone
  EXPECT_EQ(CoreFlsh::finite(NAN, 3.0), 3.0);
  EXPECT_EQ(CoreFlsh::finite(NAN, NAN), 0.0);
  EXPECT_EQ(CoreFlsh::finite(-INFINITY), -CoreFlsh::kLargest);
  EXPECT_EQ(CoreFlsh::finite(sub), 0.0);
  EXPECT_TRUE(CoreFlsh::clean(0.0));
  EXPECT_TRUE(CoreFlsh::clean(-1.0));
  EXPECT_FALSE(CoreFlsh::clean(sub));
  EXPECT_FALSE(CoreFlsh::clean(NAN));
  EXPECT_FALSE(CoreFlsh::clean(INFINITY));
}

TEST(UnitTest, Conversions) {
  EXPECT_EQ(CoreUnit::samplesFromMicroseconds(1000.0, 44100.0), 44.0);
  EXPECT_EQ(CoreUnit::samplesFromMicroseconds(-5.0, 44100.0), -5.0);
  EXPECT_EQ(CoreUnit::samplesFromMicroseconds(0.0, 44100.0), 0.0);
  EXPECT_NEAR(CoreUnit::decibels(0.5), -6.0205999, 1e-6);
  EXPECT_EQ(CoreUnit::decibels(0.0), -192.64);
  EXPECT_EQ(CoreUnit::decibels(1e-320), -192.64);
  EXPECT_EQ(CoreUnit::decibels(1e-200), -192.64);
  EXPECT_EQ(CoreUnit::decibels(NAN), -192.64);
  EXPECT_NEAR(CoreUnit::factorFromDecibels(-6.0), 0.501187, 1e-6);
  EXPECT_EQ(CoreUnit::factorFromDecibels(1e-320), 1.0);
  EXPECT_EQ(CoreUnit::fromPercent(50.0), 0.5);
  EXPECT_EQ(CoreUnit::toInt32(1e20), 2147483647);
  EXPECT_EQ(CoreUnit::toInt32(NAN), 0);
  EXPECT_EQ(CoreUnit::toInt32(-2.7), -2);
}

TEST(SourceTableTest, FixedEntries) {
  CoreSrct t;
  ASSERT_EQ(t.count(), 84);
  const struct {
    int index;
    const char* name;
    double initial;
  } rows[] = {{0, "OFF", -1},     {1, "LFO1", 0},   {12, "FUN8", 0},    {16, "ENV4", 0},
              {18, "AMC2", 0},    {19, "MIX1", 0},  {27, "LSTO", 0},    {28, "GAININ", 0},
              {29, "GAINOUT", 0}, {33, "EVF4", 0},  {35, "DNM2", 0},    {47, "PRM12", 0},
              {48, "IN_L", -1},   {49, "IN_R", -1}, {50, "OUTL", -1},   {51, "OUTR", -1},
              {59, "BUS8", 0},    {60, "RATELFO1", 0}, {64, "IN_P", 0}, {65, "OUTP", 0},
              {69, "RAWFUN4", 0}, {73, "PRM16", 0}, {77, "EAT4", 0},    {81, "ERT4", 0},
              {82, "EVF5", 0},    {83, "ON", 1}};
  for (const auto& r : rows) {
    EXPECT_STREQ(t.entry(r.index).name().text(), r.name) << r.index;
    EXPECT_EQ(t.entry(r.index).value(), r.initial) << r.name;
    EXPECT_EQ(t.find(r.name).index(), r.index);
  }
  EXPECT_STREQ(t.entry(CoreSrct::kRateLfo1 + 3).alias().text(), "RTELFO4");
  EXPECT_EQ(t.find("RTELFO1").index(), 0);  // aliases are not searched
  EXPECT_EQ(t.find("lfo1").index(), 0);     // case-sensitive
  EXPECT_EQ(t.find("").index(), 0);
  EXPECT_TRUE(t.isKnownOrEmpty(""));
  EXPECT_TRUE(t.isKnownOrEmpty("OFF"));
  EXPECT_FALSE(t.isKnownOrEmpty("0.5"));
  EXPECT_FALSE(t.isNamed("OFF"));
  EXPECT_FALSE(t.isNamed(""));
  EXPECT_TRUE(t.isNamed("ON"));
  const auto names = t.names();
  ASSERT_EQ(names.size(), 84u);
  EXPECT_STREQ(names[70].text(), "PRM13");

  t.entry(5).publish(NAN);  // a NaN never replaces a published value
  EXPECT_EQ(t.value(5), 0.0);
  t.entry(5).publish(INFINITY);
  EXPECT_EQ(t.value(5), CoreFlsh::kLargest);
  t.publishUnipolar(CoreSrct::kLsto, 0.25);
  EXPECT_EQ(t.value(CoreSrct::kLsto), -0.5);
}

TEST(ModulatedControlTest, EvaluationOfSourceTexts) {
  CoreSrct t;
  t.find("LFO1").set(0.3);
  const struct {
    const char* text;
    double minimum, maximum, expected;
    bool constant, named;
  } rows[] = {
      {"", 0, 10, 0, false, false},        {"OFF", 0, 10, 0, false, false},
      {"ON", 0, 10, 10, false, true},      {"0.5", 0, 10, 7.5, true, false},
      {"abc", 0, 10, 5, true, false},      {"ENV3", 0, 10, 5, false, true},
      {"AMC2", 0, 10, 5, false, true},     {"RTELFO1", 0, 10, 5, true, false},
      {"ON", 1, 1, 1, false, true},        {"LFO1", 1, 1, 1, false, true},
      {"LFO1", -1, 1, 0.3, false, true},   {"3", 0, 10, 20, true, false},  // not clamped
      {" 2.5x", 0, 10, 17.5, true, false}, {"0x1p1", 0, 10, 15, true, false},
      {"inf", 0, 10, 5, true, false},      {"nan", 0, 10, 5, true, false},
  };
  for (const auto& r : rows) {
    CoreMctl c("Test", "Test", "", -1.0, 1.0, t);
    c.assign(r.text, r.minimum, r.maximum);
    EXPECT_DOUBLE_EQ(c.evaluate(), r.expected) << "'" << r.text << "'";
    EXPECT_EQ(c.isConstant(), r.constant) << r.text;
    EXPECT_EQ(c.isNamed(), r.named) << r.text;
  }
}

TEST(ModulatedControlTest, FreshControlDisplayAndFlush) {
  CoreSrct t;
  CoreMctl c("Vector Control", "Vector Control", "", -1.0, 1.0, t);
  EXPECT_EQ(c.evaluate(), -1.0);  // follows "OFF" with range 0: the default minimum
  EXPECT_EQ(c.range(), 0.0);
  c.assign("0.5", 0.0, 1.0);
  EXPECT_STREQ(c.displayText().text(), "0.5000000000");
  c.assign("LFO2", 0.0, 1.0);
  EXPECT_STREQ(c.displayText().text(), "LFO2");
  // A result in the subnormal range becomes +0.
  c.assign("-0.99999", 0.0, 1e-305);
  EXPECT_EQ(c.evaluate(), 0.0);
  EXPECT_FALSE(std::signbit(c.value()));
  // The largest source over a wide range stays finite.
  t.find("MIX1").set(CoreFlsh::kLargest);
  c.assign("MIX1", 0.0, 24.0);
  EXPECT_TRUE(CoreFlsh::clean(c.evaluate()));
}

TEST(UserControlTest, NamesAndSetNormalized) {
  CoreSrct t;
  CoreUctl mix(0, t, nullptr), gainIn(CoreUctl::kGainIn, t, nullptr),
      gainOut(CoreUctl::kGainOut, t, nullptr), mix8(7, t, nullptr);
  EXPECT_STREQ(mix.label().text(), "Mix 1");
  EXPECT_STREQ(mix8.name().text(), "MIX8");
  EXPECT_STREQ(gainIn.label().text(), "Gain in");
  EXPECT_STREQ(gainOut.label().text(), "Gain out");
  EXPECT_STREQ(gainOut.unit().text(), "dB");
  EXPECT_EQ(mix.getRaw(true), 0.0);
  EXPECT_EQ(gainIn.getRaw(true), 1.0);
  EXPECT_EQ(mix.linkedParameter(), -1);

  mix.setNormalized(0.75, true);
  EXPECT_DOUBLE_EQ(t.value(CoreSrct::kMix1), 0.5);
  gainIn.setNormalized(0.75, true);
  EXPECT_DOUBLE_EQ(t.value(CoreSrct::kGainIn), 0.75);
  gainIn.setNormalized(1.5, true);  // limited to the range
  EXPECT_EQ(gainIn.getRaw(true), 1.0);
}

TEST(UserControlTest, StepsWithDefaultAndReportedTravel) {
  CoreSrct t;
  CoreUctl mix(0, t, nullptr);
  mix.step(3);
  EXPECT_DOUBLE_EQ(mix.getNormalized(true), 0.5 + 9.0 / 128.0);
  mix.setRaw(0.0, true, true);
  mix.setTravel(160);
  mix.step(3);
  EXPECT_DOUBLE_EQ(mix.getNormalized(true), 0.5 + 9.0 / 160.0);
  mix.setRaw(0.0, true, true);
  mix.step(-2);
  EXPECT_DOUBLE_EQ(mix.getNormalized(true), 0.5 - 4.0 / 160.0);
  mix.step(-100);
  EXPECT_EQ(mix.getNormalized(true), 0.0);
}

TEST(UserControlTest, DirectionShownAndTakeOver) {
  CoreSrct t;
  CoreUctl mix(2, t, nullptr);
  mix.setRaw(0.5, true, true);
  EXPECT_DOUBLE_EQ(t.value(CoreSrct::kMix1 + 2), 0.5);
  EXPECT_EQ(mix.direction(0), CoreUctl::kEqual);
  mix.setNormalized(1.0, true);
  EXPECT_EQ(mix.direction(0), CoreUctl::kAbove);
  mix.setNormalized(0.5, true);
  EXPECT_EQ(mix.direction(0), CoreUctl::kBelow);
  mix.setNormalized(0.75, true);
  EXPECT_EQ(mix.direction(0), CoreUctl::kEqual);
  mix.setRaw(NAN, true, true);  // ignored
  EXPECT_DOUBLE_EQ(mix.getRaw(true), 0.5);

  mix.setRaw(0.1, false, true);  // not shown: set-normalized does nothing
  mix.setNormalized(1.0, true);
  EXPECT_DOUBLE_EQ(mix.getRaw(true), 0.1);

  mix.setRaw(0.1, true, true);
  mix.takeOver(true);
  EXPECT_EQ(mix.activeSlot(), 1);
  EXPECT_FALSE(mix.shown(1));
  EXPECT_EQ(mix.storedValue(1), -1.0);
  mix.setNormalized(1.0, false);  // slot 1 not shown yet
  EXPECT_EQ(mix.getRaw(false), -1.0);
  mix.setRaw(0.7, true, false);
  EXPECT_DOUBLE_EQ(mix.getRaw(false), 0.7);
  EXPECT_DOUBLE_EQ(t.value(CoreSrct::kMix1 + 2), 0.1);  // only slot 0 writes the entry
  mix.takeOver(false);
  EXPECT_EQ(mix.activeSlot(), 0);
}

TEST(UserControlTest, IndicatorHoldsThenBlinks) {
  CoreSrct t;
  CoreUctl mix(0, t, nullptr), gain(CoreUctl::kGainIn, t, nullptr);
  const double now = 1.0;
  mix.setRaw(0.0, true, true);
  mix.setNormalizedAt(0.75, true, now);
  EXPECT_DOUBLE_EQ(mix.changeDeadline(), now + CoreUctl::kChangeHoldDays);
  EXPECT_EQ(mix.indicatorAt(now + 1e-6, false), CoreUctl::kAbove);  // steady during the hold
  EXPECT_FALSE(mix.indicatorExpired());
  EXPECT_EQ(mix.indicatorAt(now + 1e-4, false), 0);  // expired: off phase
  EXPECT_TRUE(mix.indicatorExpired());
  EXPECT_EQ(mix.lastIndicator(0), 0);
  EXPECT_EQ(mix.indicatorAt(now + 1e-4, true), CoreUctl::kAbove);
  EXPECT_EQ(mix.lastIndicator(0), CoreUctl::kAbove);
  mix.setNormalizedAt(0.5, true, now + 2e-4);  // a change restarts the hold
  EXPECT_EQ(mix.indicatorAt(now + 2e-4, false), CoreUctl::kEqual);
  EXPECT_EQ(gain.indicatorAt(now, true), 0);  // the gains have no indicator
}
