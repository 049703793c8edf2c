// The load-time rate converter: its table, row choice, stage cache, refusals and the accuracy of
// the conversion against the exact band-limited signal at the target rate.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <vector>

#include "base/CoreAnsx.h"
#include "base/CoreFftr.h"
#include "base/CorePool.h"
#include "vectors/CoreRtcv.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
// Largest error allowed against the exact signal (tones of 0.25 each): about -250 dB.
constexpr double kTolerance = 1e-12;

struct Pair {
  int32_t source;
  int32_t target;
};

// Every supported pair, in table order.
const Pair kPairs[] = {
    {44100, 6000},   {44100, 8000},   {44100, 11025},  {44100, 14000},  {44100, 16000},
    {44100, 18000},  {44100, 22050},  {44100, 24000},  {44100, 32000},  {44100, 48000},
    {44100, 60000},  {44100, 64000},  {44100, 70000},  {44100, 77000},  {44100, 88200},
    {44100, 96000},  {44100, 176400}, {44100, 192000}, {44100, 352800}, {44100, 384000},
    {96000, 6000},   {96000, 8000},   {96000, 11025},  {96000, 14000},  {96000, 16000},
    {96000, 18000},  {96000, 22050},  {96000, 24000},  {96000, 32000},  {96000, 44100},
    {96000, 48000},  {96000, 60000},  {96000, 64000},  {96000, 70000},  {96000, 77000},
    {96000, 88200},  {96000, 176400}, {96000, 192000}, {96000, 352800}, {96000, 384000},
    {48000, 44100},  {48000, 88200},  {48000, 96000},  {48000, 176400}, {48000, 192000},
    {48000, 352800}, {48000, 384000}, {176400, 44100}, {176400, 48000}, {176400, 60000},
    {176400, 64000}, {176400, 70000}, {176400, 77000}, {176400, 88200}, {176400, 96000},
    {176400, 192000}, {176400, 352800}, {176400, 384000}, {192000, 44100}, {192000, 88200},
    {192000, 48000}, {192000, 96000}, {192000, 176400}, {192000, 352800}, {192000, 384000},
    {88200, 44100},  {88200, 48000},  {88200, 96000},  {88200, 176400}, {88200, 192000},
    {88200, 352800}, {88200, 384000}, {352800, 44100}, {352800, 48000}, {352800, 88200},
    {352800, 96000}, {352800, 176400}, {352800, 192000}, {352800, 384000}, {384000, 44100},
    {384000, 48000}, {384000, 88200}, {384000, 96000}, {384000, 176400}, {384000, 192000},
    {384000, 352800},
};

struct Factors {
  Pair pair;
  int16_t direction;
  std::vector<int32_t> factors;
};

// Rows whose cascade is fixed: the single-factor decimations and the long-standing cascades.
const Factors kFixedRows[] = {
    {{44100, 48000}, 1, {8, 7, 20, 21}},
    {{48000, 44100}, 1, {3, 2, 7, 10, 7, 8}},
    {{44100, 88200}, 1, {2}},
    {{96000, 48000}, 1, {2, 3, 3, 4}},
    {{44100, 16000}, 1, {4, 7, 5, 7, 8, 9}},
    {{44100, 11025}, 0, {4}},
    {{44100, 22050}, 0, {2}},
    {{96000, 6000}, 0, {16}},
    {{96000, 8000}, 0, {12}},
    {{96000, 16000}, 0, {6}},
    {{96000, 24000}, 0, {4}},
    {{96000, 32000}, 0, {3}},
    {{176400, 44100}, 0, {4}},
    {{176400, 88200}, 0, {2}},
    {{192000, 48000}, 0, {4}},
    {{192000, 96000}, 0, {2}},
    {{88200, 44100}, 0, {2}},
    {{384000, 48000}, 0, {8}},
    {{384000, 96000}, 0, {4}},
    {{384000, 192000}, 0, {2}},
};

class RtcvTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { CoreFftr::setPlannerEffort(false); }
  static void TearDownTestSuite() { CoreFftr::setPlannerEffort(true); }
  void SetUp() override { rtcv_.createTable(&pool_); }

  int32_t rowOf(int32_t source, int32_t target) {
    for (int32_t i = 0; i < rtcv_.rowCount(); ++i)
      if (rtcv_.row(i).source == source && rtcv_.row(i).target == target) return i;
    ADD_FAILURE() << "no row " << source << " -> " << target;
    return -1;
  }

  CorePool pool_;
  CoreRtcv rtcv_;
};

// Sum of sines with the given frequencies (Hz) and phases. Sample i at `rate` reduces each
// argument to whole turns in extended precision first, so the reference is exact to rounding.
struct Tones {
  std::vector<double> freq;
  std::vector<double> phase;
  double at(int64_t i, double rate) const {
    double v = 0.0;
    for (size_t k = 0; k < freq.size(); ++k) {
      const long double turns = static_cast<long double>(freq[k]) * i / rate;
      const double frac = static_cast<double>(turns - std::floor(turns));
      v += 0.25 * std::sin(2.0 * kPi * frac + phase[k]);
    }
    return v;
  }
  std::vector<double> sampled(double rate, int32_t n) const {
    std::vector<double> v(n);
    for (int32_t i = 0; i < n; ++i) v[i] = at(i, rate);
    return v;
  }
};

// Tones spread over 2 % .. 85 % of the lower Nyquist frequency.
Tones tonesBelow(double nyquist) {
  Tones t;
  const double parts[] = {0.02, 0.23, 0.51, 0.72, 0.85};
  for (size_t k = 0; k < std::size(parts); ++k) {
    t.freq.push_back(parts[k] * nyquist);
    t.phase.push_back(0.4 + 1.1 * static_cast<double>(k));
  }
  return t;
}

// Largest error of the converted signal against the exact one, over the output that lies at
// least `margin` seconds away from both ends of the input.
double middleError(const CoreRtcv::Output& out, const Tones& tones, double seconds, double margin) {
  double worst = 0.0;
  for (int32_t q = 0; q < out.length; ++q) {
    const double t = q / out.rate;
    if (t < margin || t > seconds - margin) continue;
    worst = std::max(worst, std::fabs(out.samples[q] - tones.at(q, out.rate)));
  }
  return worst;
}

// How far, in seconds, the ends of the input reach into the output: the sum over the row's
// stages of half a filter, 1024 samples at the stage's input rate (output rate for a decimation).
double reach(const CoreRtcv::Row& row) {
  if (row.direction == 0) return CoreRtcv::kMaxTaps / 2 / row.target;
  double rate = row.source, seconds = 0.0;
  for (int32_t f = 0; f < row.count; f += 2) {
    seconds += CoreRtcv::kMaxTaps / 2 / rate;
    rate = rate * row.factors[f] / (f + 1 < row.count ? row.factors[f + 1] : 1);
  }
  return seconds;
}

// The length a row's cascade gives: each stage keeps the whole samples of length x L / M.
int64_t cascadeLength(const CoreRtcv::Row& row, int64_t n) {
  if (row.direction == 0) return n / row.factors[0];
  for (int32_t f = 0; f < row.count; f += 2)
    n = n * row.factors[f] / (f + 1 < row.count ? row.factors[f + 1] : 1);
  return n;
}

}  // namespace

TEST_F(RtcvTest, TableHoldsEveryPairInOrderAndEachRowIsExact) {
  ASSERT_EQ(rtcv_.rowCount(), CoreRtcv::kRowCount);
  ASSERT_EQ(std::size(kPairs), static_cast<size_t>(CoreRtcv::kRowCount));
  for (int32_t i = 0; i < CoreRtcv::kRowCount; ++i) {
    const CoreRtcv::Row& row = rtcv_.row(i);
    SCOPED_TRACE(testing::Message() << row.source << " -> " << row.target);
    EXPECT_EQ(row.source, kPairs[i].source);
    EXPECT_EQ(row.target, kPairs[i].target);
    ASSERT_GE(row.count, 1);
    ASSERT_LE(row.count, CoreRtcv::kMaxFactors);
    for (int32_t f = row.count; f < CoreRtcv::kMaxFactors; ++f) EXPECT_EQ(row.factors[f], -1);
    for (int32_t f = 0; f < row.count; ++f) {
      EXPECT_GE(row.factors[f], 2);
      EXPECT_LE(row.factors[f], CoreRtcv::kMaxFactor);
    }
    // up / down == target / source exactly, and every intermediate rate is a whole number no
    // lower than the lower end rate.
    const int64_t source = kPairs[i].source, target = kPairs[i].target;
    int64_t up = 1, down = 1;
    if (row.direction == 0) {
      EXPECT_EQ(row.count, 1);
      down = row.factors[0];
    } else {
      ASSERT_EQ(row.direction, 1);
      int64_t rateUp = source, rateDown = 1;  // the rate after each stage, as a fraction
      for (int32_t f = 0; f < row.count; ++f) {
        (f % 2 == 0 ? up : down) *= row.factors[f];
        (f % 2 == 0 ? rateUp : rateDown) *= row.factors[f];
        if (f % 2 == 1 || f == row.count - 1) {
          EXPECT_EQ(rateUp % rateDown, 0) << "stage ending at factor " << f;
          EXPECT_GE(rateUp / rateDown, std::min(source, target));
        }
      }
    }
    EXPECT_EQ(up * source, down * target);
    EXPECT_EQ(row.ratio, static_cast<double>(target) / static_cast<double>(source));
  }
}

TEST_F(RtcvTest, FixedCascadesAreAsGiven) {
  for (const Factors& fixed : kFixedRows) {
    const int32_t i = rowOf(fixed.pair.source, fixed.pair.target);
    ASSERT_GE(i, 0);
    const CoreRtcv::Row& row = rtcv_.row(i);
    EXPECT_EQ(row.direction, fixed.direction) << fixed.pair.source << " -> " << fixed.pair.target;
    EXPECT_EQ(std::vector<int32_t>(row.factors, row.factors + row.count), fixed.factors)
        << fixed.pair.source << " -> " << fixed.pair.target;
  }
  // Any other down-only pair is a cascade of pairs, never a single factor.
  int32_t singles = 0;
  for (int32_t i = 0; i < rtcv_.rowCount(); ++i) singles += rtcv_.row(i).direction == 0;
  EXPECT_EQ(singles, 15);
}

TEST_F(RtcvTest, TableAndStagesLiveInThePoolUnderOneTag) {
  EXPECT_EQ(pool_.blockCount(), 1 + CoreRtcv::kRowCount + 1);  // rows, factor lists, stages
  std::vector<double> x(3000, 0.5);
  rtcv_.convert(x.data(), 3000, 44100, rowOf(44100, 48000));
  EXPECT_EQ(pool_.blockCount(), 1 + CoreRtcv::kRowCount + 1 + 2 * 3);  // two prepared stages
  for (const CorePool::Block& b : pool_.blocks()) EXPECT_STREQ(b.tag, "RTCV");
  rtcv_.createTable(&pool_);  // again with the same pool: nothing changes
  EXPECT_EQ(pool_.blockCount(), 1 + CoreRtcv::kRowCount + 1 + 2 * 3);
  rtcv_.release();
  EXPECT_EQ(pool_.blockCount(), 0);
  EXPECT_EQ(pool_.allocated(), 0);
  EXPECT_EQ(rtcv_.chooseRow(44100, 48000), -1);
  EXPECT_THROW(rtcv_.convert(x.data(), 3000, 44100, 0), CoreAnsx);
  rtcv_.release();  // twice is harmless
}

TEST_F(RtcvTest, ChooseRow) {
  struct Case {
    double a, b;
    Pair expected;  // {0, 0}: no conversion
  };
  const Case cases[] = {
      {44100, 44100, {0, 0}},          // already at the host rate
      {96000, 96000, {0, 0}},
      {44100, 48000, {44100, 48000}},
      {22050, 32000, {0, 0}},          // 44100 -> 32000 is 22050 away, more than 9950
      {44100, 47000, {44100, 48000}},  // 1000 away, nearer than 2900
      {48000, 44100, {48000, 44100}},
      {44000, 48000, {44100, 48000}},
      {1000, 2000, {0, 0}},            // every row is farther than 1000
  };
  for (const Case& c : cases) {
    const int32_t row = rtcv_.chooseRow(c.a, c.b);
    if (c.expected.source == 0) {
      EXPECT_EQ(row, -1) << c.a << " -> " << c.b;
    } else {
      EXPECT_EQ(row, rowOf(c.expected.source, c.expected.target)) << c.a << " -> " << c.b;
    }
  }
}

TEST_F(RtcvTest, TheSamePairTwiceIsAnsweredFromMemory) {
  const int32_t before = rtcv_.searches();
  const int32_t row = rtcv_.chooseRow(44100, 48000);
  EXPECT_EQ(rtcv_.searches(), before + 1);
  EXPECT_EQ(rtcv_.chooseRow(44100, 48000), row);
  EXPECT_EQ(rtcv_.searches(), before + 1);
  EXPECT_EQ(rtcv_.chooseRow(48000, 48000), -1);
  EXPECT_EQ(rtcv_.chooseRow(48000, 48000), -1);
  EXPECT_EQ(rtcv_.searches(), before + 2);
  EXPECT_EQ(rtcv_.chooseRow(44100, 48000), row);  // only the last pair is remembered
  EXPECT_EQ(rtcv_.searches(), before + 3);
}

TEST_F(RtcvTest, From44100To48000InTwoStages) {
  const int32_t n = 147 * 300;
  std::vector<double> x(n, 0.25);
  const CoreRtcv::Output out = rtcv_.convert(x.data(), n, 44100, rtcv_.chooseRow(44100, 48000));
  EXPECT_EQ(out.length, 160 * 300);
  EXPECT_EQ(out.rate, 48000.0);
  const CoreRtcv::StageInfo first = rtcv_.stageInfo(0), second = rtcv_.stageInfo(1);
  EXPECT_TRUE(first.inUse && second.inUse);
  EXPECT_FALSE(rtcv_.stageInfo(2).inUse);
  EXPECT_EQ(first.mode, 2);
  EXPECT_EQ(first.up, 8);
  EXPECT_EQ(first.down, 7);
  EXPECT_EQ(first.rateIn, 44100.0);
  EXPECT_EQ(first.rateOut, 50400.0);
  EXPECT_EQ(first.lengthOut, n * 8 / 7);
  EXPECT_EQ(first.phases, 8);
  EXPECT_EQ(first.taps, CoreRtcv::kMaxTaps);
  EXPECT_EQ(first.filterLength, 8 * CoreRtcv::kMaxTaps);
  EXPECT_EQ(first.transformLength, 2 * CoreRtcv::kMaxTaps);
  EXPECT_EQ(first.delayBlocks, (8 * CoreRtcv::kMaxTaps / 2 - 1) / 8);
  EXPECT_EQ(first.delayPhase, (8 * CoreRtcv::kMaxTaps / 2 - 1) % 8);
  EXPECT_EQ(second.mode, 2);
  EXPECT_EQ(second.up, 20);
  EXPECT_EQ(second.down, 21);
  EXPECT_EQ(second.rateIn, 50400.0);
  EXPECT_EQ(second.lengthIn, first.lengthOut);
  // A constant stays the same constant away from the ends.
  for (int32_t q = 6000; q < out.length - 6000; q += 97) EXPECT_NEAR(out.samples[q], 0.25, 1e-12);
}

TEST_F(RtcvTest, ShortFilesShortenTheFilter) {
  std::vector<double> x(100, 1.0);
  rtcv_.convert(x.data(), 100, 44100, rowOf(44100, 88200));
  const CoreRtcv::StageInfo up = rtcv_.stageInfo(0);
  EXPECT_EQ(up.mode, 0);
  EXPECT_EQ(up.filterLength, 200);
  EXPECT_EQ(up.taps, 100);
  EXPECT_EQ(up.transformLength, 256);
  rtcv_.convert(x.data(), 100, 96000, rowOf(96000, 24000));
  const CoreRtcv::StageInfo down = rtcv_.stageInfo(1);
  EXPECT_EQ(down.mode, 1);
  EXPECT_EQ(down.phases, 4);
  EXPECT_EQ(down.filterLength, 100);
  EXPECT_EQ(down.taps, 25);
  EXPECT_EQ(down.lengthOut, 25);
}

TEST_F(RtcvTest, ThreeLengthsFillTheSlotsAndAFourthReplacesTheOldest) {
  const int32_t row = rowOf(44100, 88200);  // one stage per file
  std::vector<double> x(4000, 0.1);
  const int32_t lengths[] = {1000, 2000, 3000};
  for (int32_t i = 0; i < 3; ++i) {
    rtcv_.convert(x.data(), lengths[i], 44100, row);
    EXPECT_EQ(rtcv_.stageInfo(i).lengthIn, lengths[i]);
    EXPECT_EQ(rtcv_.nextSlot(), (i + 1) % 3);
  }
  EXPECT_EQ(rtcv_.builds(), 3);
  rtcv_.convert(x.data(), 4000, 44100, row);
  EXPECT_EQ(rtcv_.builds(), 4);
  EXPECT_EQ(rtcv_.stageInfo(0).lengthIn, 4000);
  EXPECT_EQ(rtcv_.stageInfo(1).lengthIn, 2000);
  EXPECT_EQ(rtcv_.stageInfo(2).lengthIn, 3000);
  // A length still cached is reused, and the rotating index moves past it.
  const CoreRtcv::Output again = rtcv_.convert(x.data(), 2000, 44100, row);
  EXPECT_EQ(rtcv_.builds(), 4);
  EXPECT_EQ(rtcv_.nextSlot(), 2);
  EXPECT_EQ(again.length, 4000);
  // The second channel of a file reuses both stages of a two-stage row.
  const int32_t twoStage = rowOf(44100, 48000);
  rtcv_.convert(x.data(), 1470, 44100, twoStage);
  const int32_t built = rtcv_.builds();
  rtcv_.convert(x.data(), 1470, 44100, twoStage);
  EXPECT_EQ(rtcv_.builds(), built);
}

TEST_F(RtcvTest, AnEarlierResultMayBeConvertedAgain) {
  const Tones tones = tonesBelow(20000);
  const std::vector<double> x = tones.sampled(44100, 20000);
  const int32_t row = rowOf(44100, 88200);
  const CoreRtcv::Output a = rtcv_.convert(x.data(), 20000, 44100, row);  // slot 0
  rtcv_.convert(x.data(), 1000, 44100, row);                               // slot 1
  rtcv_.convert(x.data(), 2000, 44100, row);                               // slot 2
  ASSERT_EQ(rtcv_.nextSlot(), 0);  // the slot that holds a
  const std::vector<double> copy(a.samples, a.samples + a.length);
  const CoreRtcv::Output b = rtcv_.convert(a.samples, a.length, 88200, rowOf(88200, 44100));
  EXPECT_EQ(rtcv_.stageInfo(0).lengthIn, 20000);  // a was not overwritten
  EXPECT_TRUE(std::equal(copy.begin(), copy.end(), a.samples));
  ASSERT_EQ(b.length, 20000);
  EXPECT_LT(middleError(b, tones, 20000 / 44100.0, 0.08), kTolerance);
}

TEST_F(RtcvTest, EmptyAndSingleSampleInputs) {
  const double one = 0.75;
  struct Case {
    Pair pair;
    int32_t length;
    int32_t expected;
  };
  const Case cases[] = {
      {{44100, 88200}, 0, 0}, {{44100, 88200}, 1, 2},  {{44100, 48000}, 0, 0},
      {{44100, 48000}, 1, 0}, {{48000, 44100}, 1, 0},  {{48000, 44100}, 2, 1},
      {{96000, 24000}, 1, 0}, {{96000, 24000}, 4, 1},  {{44100, 16000}, 1, 0},
      {{44100, 384000}, 1, 0}, {{44100, 384000}, 2, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.pair.source << " -> " << c.pair.target << " n " << c.length);
    std::vector<double> x(std::max(c.length, 1), one);
    const CoreRtcv::Output out =
        rtcv_.convert(c.length == 0 ? nullptr : x.data(), c.length, c.pair.source,
                      rowOf(c.pair.source, c.pair.target));
    ASSERT_NE(out.samples, nullptr);
    EXPECT_EQ(out.length, c.expected);
    EXPECT_EQ(out.rate, static_cast<double>(c.pair.target));
    for (int32_t q = 0; q < out.length; ++q) EXPECT_TRUE(std::isfinite(out.samples[q]));
  }
  // A lone sample going up by 2 stays where it was.
  const CoreRtcv::Output up = rtcv_.convert(&one, 1, 44100, rowOf(44100, 88200));
  EXPECT_NEAR(up.samples[0], one, 1e-15);
}

TEST_F(RtcvTest, RefusalsLeaveTheCacheAlone) {
  std::vector<double> x(1000, 0.1);
  const int32_t up2 = rowOf(44100, 88200);
  rtcv_.convert(x.data(), 1000, 44100, up2);
  const int32_t builds = rtcv_.builds();
  const double* none = nullptr;
  EXPECT_THROW(rtcv_.convert(x.data(), -1, 44100, up2), CoreAnsx);
  EXPECT_THROW(rtcv_.convert(none, 10, 44100, up2), CoreAnsx);
  EXPECT_THROW(rtcv_.convert(x.data(), 10, 44100, -1), CoreAnsx);
  EXPECT_THROW(rtcv_.convert(x.data(), 10, 44100, CoreRtcv::kRowCount), CoreAnsx);
  EXPECT_THROW(rtcv_.convert(x.data(), 10, 0.0, up2), CoreAnsx);
  EXPECT_THROW(rtcv_.convert(x.data(), 10, std::nan(""), up2), CoreAnsx);
  // Lengths whose result (or an intermediate one) would not fit a pool block are refused before
  // any sample is read, so a short buffer is enough here.
  EXPECT_THROW(rtcv_.convert(x.data(), INT32_MAX, 44100, up2), CoreAnsx);
  EXPECT_THROW(rtcv_.convert(x.data(), CoreRtcv::kMaxLength / 2 + 1, 44100, up2), CoreAnsx);
  // 48000 -> 44100 first goes up by 3/2: the first stage overflows although the result would fit.
  EXPECT_THROW(rtcv_.convert(x.data(), 200000000, 48000, rowOf(48000, 44100)), CoreAnsx);
  EXPECT_THROW(rtcv_.convert(x.data(), INT32_MAX, 384000, rowOf(384000, 44100)), CoreAnsx);
  EXPECT_THROW(rtcv_.convert(x.data(), INT32_MAX, 44100, rowOf(44100, 384000)), CoreAnsx);
  EXPECT_EQ(rtcv_.builds(), builds);
  EXPECT_EQ(rtcv_.stageInfo(0).lengthIn, 1000);
  EXPECT_FALSE(rtcv_.stageInfo(1).inUse);
}

// Band-limited tones keep amplitude and phase: the result matches the same tones sampled exactly
// at the target rate, away from the ends where the input starts and stops.
TEST_F(RtcvTest, TonesKeepAmplitudeAndPhase) {
  const Pair pairs[] = {{44100, 48000}, {48000, 44100}, {44100, 88200}, {96000, 44100},
                        {96000, 48000}, {44100, 16000}, {96000, 24000}, {44100, 22050},
                        {176400, 44100}, {44100, 384000}, {384000, 44100}, {352800, 44100}};
  for (const Pair& p : pairs) {
    SCOPED_TRACE(testing::Message() << p.source << " -> " << p.target);
    const int32_t row = rowOf(p.source, p.target);
    const double margin = reach(rtcv_.row(row)) + 0.002;
    const double seconds = std::max(0.5, 2 * margin + 0.2);
    const Tones tones = tonesBelow(std::min(p.source, p.target) / 2.0);
    const int32_t n = static_cast<int32_t>(seconds * p.source);
    const std::vector<double> x = tones.sampled(p.source, n);
    const CoreRtcv::Output out = rtcv_.convert(x.data(), n, p.source, row);
    EXPECT_EQ(out.rate, static_cast<double>(p.target));
    EXPECT_EQ(out.length, cascadeLength(rtcv_.row(row), n));
    EXPECT_LT(middleError(out, tones, seconds, margin), kTolerance);
  }
}

// Every row, on a shorter signal: one tone at a third of the lower Nyquist frequency.
TEST_F(RtcvTest, EveryRowConverts) {
  for (int32_t i = 0; i < rtcv_.rowCount(); ++i) {
    const CoreRtcv::Row& row = rtcv_.row(i);
    SCOPED_TRACE(testing::Message() << row.source << " -> " << row.target);
    Tones tones;
    tones.freq = {std::min(row.source, row.target) / 6.0};
    tones.phase = {0.3};
    const double margin = reach(row) + 0.002;
    const double seconds = 2 * margin + 0.05;
    const int32_t n = static_cast<int32_t>(seconds * row.source);
    const std::vector<double> x = tones.sampled(row.source, n);
    const CoreRtcv::Output out = rtcv_.convert(x.data(), n, row.source, i);
    EXPECT_EQ(out.rate, row.target);
    EXPECT_EQ(out.length, cascadeLength(row, n));
    EXPECT_LE(out.length, int64_t{n} * row.target / row.source);
    EXPECT_GE(out.length, int64_t{n} * row.target / row.source - CoreRtcv::kMaxFactor);
    EXPECT_LT(middleError(out, tones, seconds, margin), kTolerance);
  }
}

// An impulse in the middle comes out centred on the same instant, symmetric about it.
TEST_F(RtcvTest, ImpulseLandsAtTheSameInstant) {
  struct Case {
    Pair pair;
    int32_t unit;  // source samples per whole number of target samples
  };
  const Case cases[] = {{{44100, 48000}, 147}, {{48000, 44100}, 160}, {{44100, 88200}, 1},
                        {{96000, 24000}, 4},   {{96000, 44100}, 320}, {{44100, 16000}, 441}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.pair.source << " -> " << c.pair.target);
    const int32_t n = c.unit * std::max(1, 40000 / c.unit);
    const int32_t at = c.unit * (n / c.unit / 2);
    std::vector<double> x(n, 0.0);
    x[at] = 1.0;
    const CoreRtcv::Output out =
        rtcv_.convert(x.data(), n, c.pair.source, rowOf(c.pair.source, c.pair.target));
    const int64_t expected = int64_t{at} * c.pair.target / c.pair.source;
    const double* peak = std::max_element(out.samples, out.samples + out.length,
                                          [](double u, double v) { return std::fabs(u) < std::fabs(v); });
    EXPECT_EQ(peak - out.samples, expected);
    // The peak of a band-limited impulse is the share of the band that survives.
    EXPECT_NEAR(out.samples[expected], std::min(1.0, static_cast<double>(c.pair.target) / c.pair.source), 1e-3);
    for (int64_t d = 1; d < 3000; ++d)
      EXPECT_NEAR(out.samples[expected - d], out.samples[expected + d], 1e-13) << d;
  }
}
