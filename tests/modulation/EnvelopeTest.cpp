#include <gtest/gtest.h>

#include <vector>

#include "modulation/CoreEnvl.h"
#include "modulation/CoreSrct.h"

namespace {

struct EnvRig {
  CoreSrct t;
  CoreEnvl env{"ENV1", t, t.find("ENV1")};
  CoreSrct::Entry& act = t.find("MIX1");
  CoreSrct::Entry& deact = t.find("MIX2");
  EnvRig() {
    act.set(-1.0);
    deact.set(-1.0);
  }
  double out() const { return t.find("ENV1").value(); }
  // sampleRate 1e6 makes microseconds equal samples.
  void make(double l0, double l1, double l2, double l3, double t0, double t1, double t2, double t3,
            int curve = 1) {
    CoreEnvl::Setup s;
    s.CONTROL.ACTIVSOURCE = "MIX1";
    s.CONTROL.DEACTIVSOURCE = "MIX2";
    s.LEVEL.START = l0;
    s.LEVEL.ATTACK = l1;
    s.LEVEL.BREAK = l2;
    s.LEVEL.SUSTAIN = l3;
    s.LEVEL.COMMON.MODFACTOR = 1.0;
    s.LEVEL.COMMON.MODSOURCE = "ON";
    s.TIME.ATTACK = t0;
    s.TIME.DECAY = t1;
    s.TIME.SLOPE = t2;
    s.TIME.RELEASE = t3;
    s.TIME.COMMON.MODFACTOR = 1.0;
    s.TIME.COMMON.MODSOURCE = "ON";
    s.CURVE.ATTACK = s.CURVE.DECAY = s.CURVE.SLOPE = s.CURVE.RELEASE = curve;
    s.sampleRate = 1000000.0;
    env.setup(s);
  }
  void trigger(double period) {
    act.set(0.0);
    env.step(period);
  }
};

}  // namespace

TEST(EnvelopeTest, UnnamedActivationNeverRuns) {
  for (const char* source : {"", "OFF", "0.5", "unlisted"}) {
    EnvRig r;
    r.make(0, 1, 0.5, 0.5, 1000, 1000, 0, 500);
    CoreEnvl::Setup s = r.env.settings();
    s.CONTROL.ACTIVSOURCE = source;
    r.env.setup(s);
    EXPECT_FALSE(r.env.enabled()) << source;
    r.trigger(100.0);
    r.env.step(100.0);
    EXPECT_EQ(r.out(), -1.0) << source;
  }
}

TEST(EnvelopeTest, LinearStagesHoldAndRelease) {
  EnvRig r;
  r.make(0, 1, 0.5, 0.5, 1000, 1000, 0, 500);
  r.env.step(100.0);
  r.trigger(100.0);
  EXPECT_EQ(r.env.stage(), CoreEnvl::kAttack);
  EXPECT_EQ(r.out(), -1.0);  // the trigger tick is interpolated at the next tick
  std::vector<double> outputs;
  for (int i = 0; i < 24; ++i) {
    r.env.step(100.0);
    outputs.push_back(r.env.output());
  }
  const double expected[24] = {0.1,  0.2, 0.3,  0.4, 0.5,  0.6, 0.7,  0.8, 0.9,  1.0, 0.95, 0.9,
                               0.85, 0.8, 0.75, 0.7, 0.65, 0.6, 0.55, 0.5, 0.5,  0.5, 0.5,  0.5};
  for (int i = 0; i < 24; ++i) EXPECT_NEAR(outputs[i], expected[i], 1e-12) << i;
  EXPECT_EQ(r.env.stage(), CoreEnvl::kSustain);
  EXPECT_NEAR(r.out(), 0.0, 1e-12);  // |0.5| x 2 - 1

  r.deact.set(0.0);
  const double release[5] = {0.4, 0.3, 0.2, 0.1, 0.0};
  for (double v : release) {
    r.env.step(100.0);
    EXPECT_NEAR(r.env.output(), v, 1e-12);
    EXPECT_EQ(r.env.stage(), CoreEnvl::kRelease);
  }
  r.env.step(100.0);
  EXPECT_EQ(r.env.stage(), CoreEnvl::kFinished);
  EXPECT_FALSE(r.env.running());
  EXPECT_EQ(r.out(), -1.0);
}

TEST(EnvelopeTest, CurveThreeHalfway) {
  EnvRig r;
  r.make(0, 1, 1, 1, 100, 100, 0, 100, 3);
  r.trigger(50.0);
  r.env.step(50.0);
  EXPECT_DOUBLE_EQ(r.env.output(), 0.875);  // 1 - 0.5^3
}

TEST(EnvelopeTest, ZeroTimeStageLastsOneTick) {
  EnvRig r;
  r.make(0, 1, 0.5, 0.5, 0, 1000, 0, 500);
  r.trigger(100.0);
  r.env.step(100.0);
  EXPECT_EQ(r.env.stage(), CoreEnvl::kDecay);
}

TEST(EnvelopeTest, RetriggerStartsFromTheCurrentOutput) {
  EnvRig r;
  r.make(0, 1, 0.5, 0.5, 1000, 1000, 0, 500);
  r.trigger(100.0);
  for (int i = 0; i < 9; ++i) r.env.step(100.0);
  EXPECT_NEAR(r.env.output(), 0.9, 1e-12);
  r.act.set(-1.0);
  r.env.step(100.0);
  r.trigger(100.0);  // the decay has begun: the attack restarts from its output
  const double before = r.env.output();
  EXPECT_NEAR(before, 0.95, 1e-12);
  EXPECT_EQ(r.env.stage(), CoreEnvl::kAttack);
  r.env.step(100.0);
  EXPECT_NEAR(r.env.output(), 1.0 - (1.0 - before) * 0.9, 1e-12);
}

TEST(EnvelopeTest, EarlyReleaseIsRememberedAndNegativeLevelsPublishTheirMagnitude) {
  EnvRig r;
  r.make(0, -1, -0.5, -0.5, 300, 300, 0, 200);
  r.trigger(100.0);
  r.deact.set(0.0);  // release requested during the attack
  for (int i = 0; i < 3; ++i) r.env.step(100.0);
  EXPECT_NEAR(r.env.output(), -1.0, 1e-12);
  EXPECT_NEAR(r.out(), 1.0, 1e-12);
  bool sawSustain = false;
  for (int i = 0; i < 20 && r.env.running(); ++i) {
    r.env.step(100.0);
    if (r.env.stage() == CoreEnvl::kSustain) {
      sawSustain = true;
      r.env.step(100.0);
      EXPECT_EQ(r.env.stage(), CoreEnvl::kRelease);  // no hold
    }
  }
  EXPECT_TRUE(sawSustain);
  EXPECT_FALSE(r.env.running());
}

TEST(EnvelopeTest, MicrosecondsAndReset) {
  EnvRig r;
  CoreEnvl::Setup s;
  s.CONTROL.ACTIVSOURCE = "MIX1";
  s.TIME.ATTACK = 1000.0;
  s.TIME.DECAY = -5.0;
  s.TIME.SLOPE = 1e30;
  s.sampleRate = 44100.0;
  r.env.setup(s);
  EXPECT_EQ(r.env.time(0), 44);
  EXPECT_EQ(r.env.time(1), -5);
  EXPECT_EQ(r.env.time(2), 2147483647);
  EXPECT_TRUE(r.env.enabled());
  r.env.reset();
  EXPECT_FALSE(r.env.enabled());
  EXPECT_EQ(r.env.time(0), 0);
  EXPECT_EQ(r.env.control(0).sourceText().length(), 0);
  EXPECT_EQ(r.env.control(2).maximum(), 1.0);
}
