#include "vectors/CoreRtcv.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <numeric>
#include <string>

#include "base/CoreAnsx.h"
#include "base/CoreFftr.h"
#include "base/CorePool.h"
#include "base/CoreSigp.h"

namespace {

constexpr const char* kTag = "RTCV";
constexpr double kPi = 3.14159265358979323846;

struct RowSpec {
  int32_t source;
  int32_t target;
  int16_t count;
  int16_t direction;
  int32_t factors[CoreRtcv::kMaxFactors];
};

// The supported pairs, by source rate. Direction 0 rows are integer decimations by one factor.
// The cascades of the direction 1 rows keep every intermediate rate an integer no lower than the
// lower of the two end rates, so no stage narrows the band the result can carry; among the
// cascades that do, with every factor at most 48, each row takes the one with the least work
// (the sum over its stages of input rate x (L + 1): one forward and L inverse transforms per
// block). The rows 44100 -> 48000, 48000 -> 44100, 44100 -> 88200, 96000 -> 48000 and
// 44100 -> 16000 keep their long-standing cascades.
constexpr RowSpec kRows[CoreRtcv::kRowCount] = {
    {44100, 6000, 6, 1, {2, 7, 2, 3, 5, 7}},
    {44100, 8000, 6, 1, {2, 9, 8, 7, 5, 7}},
    {44100, 11025, 1, 0, {4, -1, -1, -1, -1, -1}},
    {44100, 14000, 4, 1, {4, 9, 5, 7, -1, -1}},
    {44100, 16000, 6, 1, {4, 7, 5, 7, 8, 9}},
    {44100, 18000, 4, 1, {4, 7, 5, 7, -1, -1}},
    {44100, 22050, 1, 0, {2, -1, -1, -1, -1, -1}},
    {44100, 24000, 6, 1, {4, 7, 4, 3, 5, 7}},
    {44100, 32000, 6, 1, {8, 9, 8, 7, 5, 7}},
    {44100, 48000, 4, 1, {8, 7, 20, 21, -1, -1}},
    {44100, 60000, 6, 1, {10, 7, 5, 7, 4, 3}},
    {44100, 64000, 6, 1, {8, 7, 8, 9, 10, 7}},
    {44100, 70000, 6, 1, {5, 3, 5, 7, 4, 3}},
    {44100, 77000, 6, 1, {11, 7, 2, 3, 5, 3}},
    {44100, 88200, 1, 1, {2, -1, -1, -1, -1, -1}},
    {44100, 96000, 6, 1, {8, 7, 8, 7, 5, 3}},
    {44100, 176400, 1, 1, {4, -1, -1, -1, -1, -1}},
    {44100, 192000, 6, 1, {8, 7, 8, 7, 10, 3}},
    {44100, 352800, 1, 1, {8, -1, -1, -1, -1, -1}},
    {44100, 384000, 5, 1, {8, 7, 20, 21, 8, -1}},
    {96000, 6000, 1, 0, {16, -1, -1, -1, -1, -1}},
    {96000, 8000, 1, 0, {12, -1, -1, -1, -1, -1}},
    {96000, 11025, 6, 1, {3, 20, 7, 8, 7, 8}},
    {96000, 14000, 4, 1, {3, 16, 7, 9, -1, -1}},
    {96000, 16000, 1, 0, {6, -1, -1, -1, -1, -1}},
    {96000, 18000, 2, 1, {3, 16, -1, -1, -1, -1}},
    {96000, 22050, 6, 1, {3, 10, 7, 8, 7, 8}},
    {96000, 24000, 1, 0, {4, -1, -1, -1, -1, -1}},
    {96000, 32000, 1, 0, {3, -1, -1, -1, -1, -1}},
    {96000, 44100, 6, 1, {3, 5, 7, 8, 7, 8}},
    {96000, 48000, 4, 1, {2, 3, 3, 4, -1, -1}},
    {96000, 60000, 2, 1, {5, 8, -1, -1, -1, -1}},
    {96000, 64000, 2, 1, {2, 3, -1, -1, -1, -1}},
    {96000, 70000, 4, 1, {5, 6, 7, 8, -1, -1}},
    {96000, 77000, 4, 1, {7, 8, 11, 12, -1, -1}},
    {96000, 88200, 6, 1, {7, 5, 3, 4, 7, 8}},
    {96000, 176400, 6, 1, {7, 5, 3, 4, 7, 4}},
    {96000, 192000, 1, 1, {2, -1, -1, -1, -1, -1}},
    {96000, 352800, 6, 1, {7, 5, 3, 4, 7, 2}},
    {96000, 384000, 1, 1, {4, -1, -1, -1, -1, -1}},
    {48000, 44100, 6, 1, {3, 2, 7, 10, 7, 8}},
    {48000, 88200, 6, 1, {7, 5, 3, 4, 7, 4}},
    {48000, 96000, 1, 1, {2, -1, -1, -1, -1, -1}},
    {48000, 176400, 6, 1, {7, 5, 3, 4, 7, 2}},
    {48000, 192000, 1, 1, {4, -1, -1, -1, -1, -1}},
    {48000, 352800, 5, 1, {7, 5, 3, 4, 7, -1}},
    {48000, 384000, 1, 1, {8, -1, -1, -1, -1, -1}},
    {176400, 44100, 1, 0, {4, -1, -1, -1, -1, -1}},
    {176400, 48000, 6, 1, {2, 7, 4, 3, 5, 7}},
    {176400, 60000, 6, 1, {2, 3, 5, 7, 5, 7}},
    {176400, 64000, 6, 1, {4, 9, 8, 7, 5, 7}},
    {176400, 70000, 4, 1, {5, 9, 5, 7, -1, -1}},
    {176400, 77000, 4, 1, {5, 9, 11, 14, -1, -1}},
    {176400, 88200, 1, 0, {2, -1, -1, -1, -1, -1}},
    {176400, 96000, 6, 1, {4, 7, 4, 3, 5, 7}},
    {176400, 192000, 6, 1, {8, 7, 4, 3, 5, 7}},
    {176400, 352800, 1, 1, {2, -1, -1, -1, -1, -1}},
    {176400, 384000, 6, 1, {8, 7, 8, 7, 5, 3}},
    {192000, 44100, 6, 1, {3, 10, 7, 8, 7, 8}},
    {192000, 88200, 6, 1, {3, 5, 7, 8, 7, 8}},
    {192000, 48000, 1, 0, {4, -1, -1, -1, -1, -1}},
    {192000, 96000, 1, 0, {2, -1, -1, -1, -1, -1}},
    {192000, 176400, 6, 1, {7, 5, 3, 4, 7, 8}},
    {192000, 352800, 6, 1, {7, 5, 3, 4, 7, 4}},
    {192000, 384000, 1, 1, {2, -1, -1, -1, -1, -1}},
    {88200, 44100, 1, 0, {2, -1, -1, -1, -1, -1}},
    {88200, 48000, 6, 1, {4, 7, 4, 3, 5, 7}},
    {88200, 96000, 6, 1, {8, 7, 4, 3, 5, 7}},
    {88200, 176400, 1, 1, {2, -1, -1, -1, -1, -1}},
    {88200, 192000, 6, 1, {8, 7, 8, 7, 5, 3}},
    {88200, 352800, 1, 1, {4, -1, -1, -1, -1, -1}},
    {88200, 384000, 6, 1, {8, 7, 8, 7, 10, 3}},
    {352800, 44100, 6, 1, {2, 15, 5, 4, 3, 4}},
    {352800, 48000, 6, 1, {2, 7, 2, 3, 5, 7}},
    {352800, 88200, 4, 1, {3, 8, 2, 3, -1, -1}},
    {352800, 96000, 6, 1, {2, 7, 4, 3, 5, 7}},
    {352800, 176400, 4, 1, {2, 3, 3, 4, -1, -1}},
    {352800, 192000, 6, 1, {4, 7, 4, 3, 5, 7}},
    {352800, 384000, 6, 1, {8, 7, 4, 3, 5, 7}},
    {384000, 44100, 6, 1, {3, 20, 7, 8, 7, 8}},
    {384000, 48000, 1, 0, {8, -1, -1, -1, -1, -1}},
    {384000, 88200, 6, 1, {3, 10, 7, 8, 7, 8}},
    {384000, 96000, 1, 0, {4, -1, -1, -1, -1, -1}},
    {384000, 176400, 6, 1, {3, 5, 7, 8, 7, 8}},
    {384000, 192000, 1, 0, {2, -1, -1, -1, -1, -1}},
    {384000, 352800, 6, 1, {7, 5, 3, 4, 7, 8}},
};

// Every row converts exactly: the product of its up factors times the source rate equals the
// product of its down factors times the target rate, and every factor is 2 .. kMaxFactor.
constexpr bool rowsAreExact() {
  for (const RowSpec& r : kRows) {
    if (r.count < 1 || r.count > CoreRtcv::kMaxFactors || (r.direction == 0 && r.count != 1))
      return false;
    int64_t up = 1, down = 1;
    for (int32_t f = 0; f < CoreRtcv::kMaxFactors; ++f) {
      if (f >= r.count) {
        if (r.factors[f] != -1) return false;
        continue;
      }
      if (r.factors[f] < 2 || r.factors[f] > CoreRtcv::kMaxFactor) return false;
      (r.direction == 1 && f % 2 == 0 ? up : down) *= r.factors[f];
    }
    if (up * r.source != down * r.target) return false;
  }
  return true;
}
static_assert(rowsAreExact(), "a conversion row does not convert exactly");

// One stage of a row's cascade.
struct Step {
  int16_t mode;  // 0 up only, 1 down only, 2 up and down
  int32_t up;
  int32_t down;
};

// The stages of a row in order: direction 0 is one mode-1 stage; direction 1 is one mode-2
// stage per (up, down) pair and a mode-0 stage for a last lone up factor. Answers the count.
int32_t stepsOf(const CoreRtcv::Row& row, Step* steps) {
  if (row.direction == 0) {
    steps[0] = Step{1, 1, row.factors[0]};
    return 1;
  }
  int32_t count = 0;
  int32_t i = 0;
  for (; i + 1 < row.count; i += 2) steps[count++] = Step{2, row.factors[i], row.factors[i + 1]};
  if (i < row.count) steps[count++] = Step{0, row.factors[i], 1};
  return count;
}

int64_t lengthAfter(const Step& step, int64_t length) {
  switch (step.mode) {
    case 0: return length * step.up;
    case 1: return length / step.down;
    default: return length * step.up / step.down;
  }
}

// Floor division and a remainder in 0 .. d - 1, for a positive d.
int64_t floorDiv(int64_t a, int64_t d) { return a >= 0 ? a / d : -((-a + d - 1) / d); }
int64_t floorMod(int64_t a, int64_t d) { return a - floorDiv(a, d) * d; }

// Coefficient j of the windowed-sinc prototype of g taps centred on tap c = g/2 - 1 (symmetric
// about it; the tap g - 1 of an even g has no partner and is 0). The ideal low pass has gain
// `gain` and its cut-off at pi / cutoff: h(0) = gain / cutoff, h(k) = gain sin(pi k / cutoff) /
// (pi k). The sine's argument is reduced exactly in integers first, so that far taps keep their
// precision. The window is the Blackman window over g - 1 intervals raised to the 11th power,
// placed with its peak on the centre tap, so the pass band has exactly the prototype's gain.
double prototypeTap(int64_t j, int64_t g, int32_t cutoff, double gain) {
  const int64_t c = g / 2 - 1;
  const int64_t k = j > c ? j - c : c - j;
  if (k > c) return 0.0;
  double ideal = gain / cutoff;
  if (k != 0) {
    const int64_t reduced = k % (2 * static_cast<int64_t>(cutoff));
    ideal = gain * std::sin(kPi * static_cast<double>(reduced) / cutoff) / (kPi * static_cast<double>(k));
  }
  const double x = static_cast<double>(k) / static_cast<double>(g - 1);
  const double b = 0.42 + 0.5 * std::cos(2.0 * kPi * x) + 0.08 * std::cos(4.0 * kPi * x);
  double w = 1.0;
  for (int i = 0; i < CoreRtcv::kWindowPower; ++i) w *= b;
  return ideal * w;
}

// Zero, subnormal and negative zero become +0, as after all arithmetic on kernels.
void flushTiny(double* p, int32_t n) {
  for (int32_t i = 0; i < n; ++i)
    if (std::fabs(p[i]) < std::numeric_limits<double>::min()) p[i] = 0.0;
}

bool contains(const double* block, int32_t count, const double* p) {
  if (!block || !p) return false;
  const uintptr_t lo = reinterpret_cast<uintptr_t>(block);
  const uintptr_t hi = lo + static_cast<uintptr_t>(std::max<int32_t>(count, 1)) * sizeof(double);
  const uintptr_t at = reinterpret_cast<uintptr_t>(p);
  return at >= lo && at < hi;
}

}  // namespace

struct CoreRtcv::Stage {
  bool inUse;
  int16_t mode;
  double rateIn;
  int32_t up;
  int32_t down;
  int32_t lengthIn;
  int32_t phases;
  int32_t filterLength;
  int32_t taps;
  int32_t transformLength;
  int32_t delayBlocks;
  int32_t delayPhase;
  int32_t lengthOut;
  double rateOut;
  double* spectra;  // phases x transformLength, Pack order
  double* output;   // lengthOut (at least one element)
  double* work;     // 3 x transformLength
  CoreFftr* fft;    // length transformLength, forward and inverse
};

CoreRtcv::~CoreRtcv() { release(); }

void CoreRtcv::createTable(CorePool* pool) {
  if (rows_ && pool == pool_) return;
  release();
  if (!pool) throw CoreAnsx("rate converter: no pool");
  pool_ = pool;
  try {
    rows_ = static_cast<Row*>(pool_->allocate(CorePool::kByte,
                                              static_cast<int32_t>(sizeof(Row)) * kRowCount, kTag));
    for (int32_t i = 0; i < kRowCount; ++i) new (&rows_[i]) Row{};
    for (int32_t i = 0; i < kRowCount; ++i) {
      const RowSpec& spec = kRows[i];
      Row& row = rows_[i];
      row.source = spec.source;
      row.target = spec.target;
      row.count = spec.count;
      row.direction = spec.direction;
      row.factors = pool_->allocateAs<int32_t>(CorePool::kInt32, kMaxFactors, kTag);
      std::memcpy(row.factors, spec.factors, sizeof spec.factors);
      if (spec.direction == 0) {
        row.ratio = 1.0 / spec.factors[0];
      } else {
        int64_t up = 1, down = 1;
        for (int32_t f = 0; f < spec.count; ++f) (f % 2 == 0 ? up : down) *= spec.factors[f];
        row.ratio = static_cast<double>(up) / static_cast<double>(down);
      }
    }
    stages_ = static_cast<Stage*>(pool_->allocate(
        CorePool::kByte, static_cast<int32_t>(sizeof(Stage)) * kSlotCount, kTag));
    for (int32_t i = 0; i < kSlotCount; ++i) new (&stages_[i]) Stage{};
  } catch (...) {
    release();
    throw;
  }
  nextSlot_ = 0;
  remembered_ = false;
}

void CoreRtcv::release() {
  if (!pool_) return;
  if (stages_) {
    for (int32_t i = 0; i < kSlotCount; ++i) releaseStage(stages_[i]);
    pool_->release(stages_);
    stages_ = nullptr;
  }
  if (rows_) {
    for (int32_t i = 0; i < kRowCount; ++i)
      if (rows_[i].factors) pool_->release(rows_[i].factors);
    pool_->release(rows_);
    rows_ = nullptr;
  }
  pool_ = nullptr;
  nextSlot_ = 0;
  remembered_ = false;
  lastRow_ = -1;
}

int32_t CoreRtcv::chooseRow(double a, double b) {
  if (!rows_) return -1;
  if (remembered_ && a == lastA_ && b == lastB_) return lastRow_;
  ++searches_;
  double best = std::fabs(b - a);
  int32_t choice = -1;
  for (int32_t i = 0; i < kRowCount; ++i) {
    const double distance = std::fabs(b - rows_[i].target) + std::fabs(a - rows_[i].source);
    if (distance < best) {
      best = distance;
      choice = i;
    }
  }
  lastA_ = a;
  lastB_ = b;
  lastRow_ = choice;
  remembered_ = true;
  return choice;
}

CoreRtcv::StageInfo CoreRtcv::stageInfo(int32_t slot) const {
  StageInfo info{};
  if (!stages_ || slot < 0 || slot >= kSlotCount) return info;
  const Stage& s = stages_[slot];
  info.inUse = s.inUse;
  info.mode = s.mode;
  info.rateIn = s.rateIn;
  info.up = s.up;
  info.down = s.down;
  info.lengthIn = s.lengthIn;
  info.phases = s.phases;
  info.filterLength = s.filterLength;
  info.taps = s.taps;
  info.transformLength = s.transformLength;
  info.delayBlocks = s.delayBlocks;
  info.delayPhase = s.delayPhase;
  info.lengthOut = s.lengthOut;
  info.rateOut = s.rateOut;
  return info;
}

CoreRtcv::Output CoreRtcv::convert(const double* samples, int32_t length, double rateIn,
                                   int32_t row) {
  if (!rows_) throw CoreAnsx("rate converter: no table");
  if (row < 0 || row >= kRowCount) throw CoreAnsx("rate converter: no row " + std::to_string(row));
  if (length < 0) throw CoreAnsx("rate converter: negative length");
  if (length > 0 && !samples) throw CoreAnsx("rate converter: no samples");
  if (!(rateIn > 0.0) || !std::isfinite(rateIn)) throw CoreAnsx("rate converter: bad rate");

  Step steps[kMaxFactors];
  const int32_t count = stepsOf(rows_[row], steps);

  // The whole cascade is checked before any slot changes.
  int64_t n = length;
  double rateOut = rateIn;
  for (int32_t i = 0; i < count; ++i) {
    n = lengthAfter(steps[i], n);
    if (n > kMaxLength)
      throw CoreAnsx("rate converter: result too long (" + std::to_string(n) + " samples)");
    rateOut = rateOut * steps[i].up / steps[i].down;
  }

  const double* in = samples;
  int32_t inLength = length;
  double rate = rateIn;
  for (int32_t i = 0; i < count; ++i) {
    const Step& step = steps[i];
    if (lengthAfter(step, inLength) == 0) return Output{empty_, 0, rateOut};
    Stage& stage = stageFor(step.mode, rate, step.up, step.down, inLength, in);
    runStage(stage, in);
    in = stage.output;
    inLength = stage.lengthOut;
    rate = stage.rateOut;
  }
  if (count == 0 || inLength == 0) return Output{empty_, 0, rateOut};
  return Output{in, inLength, rate};
}

CoreRtcv::Stage& CoreRtcv::stageFor(int16_t mode, double rateIn, int32_t up, int32_t down,
                                    int32_t lengthIn, const double* input) {
  for (int32_t i = 0; i < kSlotCount; ++i) {
    Stage& s = stages_[i];
    if (s.inUse && s.mode == mode && s.rateIn == rateIn && s.up == up && s.down == down &&
        s.lengthIn == lengthIn && !contains(s.output, s.lengthOut, input)) {
      nextSlot_ = (i + 1) % kSlotCount;
      return s;
    }
  }
  int32_t slot = nextSlot_;
  if (stages_[slot].inUse && contains(stages_[slot].output, stages_[slot].lengthOut, input))
    slot = (slot + 1) % kSlotCount;
  buildStage(stages_[slot], mode, rateIn, up, down, lengthIn);
  nextSlot_ = (slot + 1) % kSlotCount;
  return stages_[slot];
}

void CoreRtcv::releaseStage(Stage& stage) {
  if (stage.spectra) pool_->release(stage.spectra);
  if (stage.output) pool_->release(stage.output);
  if (stage.work) pool_->release(stage.work);
  delete stage.fft;
  stage = Stage{};
}

void CoreRtcv::buildStage(Stage& stage, int16_t mode, double rateIn, int32_t up, int32_t down,
                          int32_t lengthIn) {
  releaseStage(stage);
  const int32_t phases = mode == 1 ? down : up;
  const int64_t n = lengthIn;
  int64_t g = mode == 1 ? std::min<int64_t>(n, int64_t{kMaxTaps} * down)
                        : std::min<int64_t>(n * up, int64_t{kMaxTaps} * up);
  // Every phase filter gets the same number of taps: g is a whole number of phases, and at least
  // two taps so that the filter has a centre.
  int64_t m = std::max<int64_t>(g / phases, 1);
  g = m * phases;
  if (g < 2) {
    m = 2;
    g = 2 * phases;
  }
  int order = 1;
  while ((int64_t{1} << order) < 2 * m) ++order;
  const int32_t transform = 1 << order;
  const int64_t centre = g / 2 - 1;

  stage.mode = mode;
  stage.rateIn = rateIn;
  stage.up = up;
  stage.down = down;
  stage.lengthIn = lengthIn;
  stage.phases = phases;
  stage.filterLength = static_cast<int32_t>(g);
  stage.taps = static_cast<int32_t>(m);
  stage.transformLength = transform;
  stage.delayBlocks = static_cast<int32_t>(centre / phases);
  stage.delayPhase = static_cast<int32_t>(centre % phases);
  stage.lengthOut = static_cast<int32_t>(lengthAfter(Step{mode, up, down}, n));
  stage.rateOut = rateIn * up / down;

  // Cut-off at the lower of the two Nyquist frequencies, in the up-sampled rate; gain L restores
  // the level that inserting L - 1 zeros between samples takes away.
  const int32_t cutoff = mode == 1 ? down : (mode == 0 ? up : std::max(up, down));
  const double gain = mode == 1 ? 1.0 : static_cast<double>(up);

  try {
    stage.fft = new CoreFftr(order);
    stage.spectra = pool_->allocateAs<double>(CorePool::kReal64, phases * transform, kTag);
    stage.work = pool_->allocateAs<double>(CorePool::kReal64, 3 * transform, kTag);
    stage.output =
        pool_->allocateAs<double>(CorePool::kReal64, std::max<int32_t>(stage.lengthOut, 1), kTag);
    for (int32_t b = 0; b < phases; ++b) {
      double* spectrum = stage.spectra + static_cast<int64_t>(b) * transform;
      for (int64_t t = 0; t < m; ++t) spectrum[t] = prototypeTap(b + t * phases, g, cutoff, gain);
      std::fill(spectrum + m, spectrum + transform, 0.0);
      stage.fft->forward(spectrum);
    }
  } catch (...) {
    releaseStage(stage);
    throw;
  }
  stage.inUse = true;
  ++builds_;
}

void CoreRtcv::runStage(Stage& stage, const double* input) {
  std::fill(stage.output, stage.output + stage.lengthOut, 0.0);
  if (stage.mode == 1)
    runDecimating(stage, input);
  else
    runInterpolating(stage, input);
  flushTiny(stage.output, stage.lengthOut);
}

// Up by L, then (mode 2) down by M. With u the input with L - 1 zeros after every sample and v
// its convolution with the prototype h, output q is v(qM + c), c = g/2 - 1 the filter's centre,
// which puts it at up-sampled position qM: no delay. Writing qM + c = aL + b, only phase
// b of h (taps b, b + L, b + 2L, ...) meets non-zero samples of u, so output q is that phase
// filter's convolution with the input, taken at index a. For one phase the outputs that need it
// form the progression q = q_b + j L', a = a_b + j M' (L' = L / gcd, M' = M / gcd); phases
// that no output needs (gcd > 1) are skipped. Overlap-add: each block of m input samples is
// transformed once, multiplied by each phase spectrum, transformed back, and the indices a of
// the block's 2m - 1 results that outputs need are added straight into the output.
void CoreRtcv::runInterpolating(Stage& stage, const double* input) {
  const int64_t L = stage.up;
  const int64_t M = stage.mode == 0 ? 1 : stage.down;
  const int64_t n = stage.lengthIn;
  const int64_t m = stage.taps;
  const int32_t N = stage.transformLength;
  const int64_t c = int64_t{stage.filterLength} / 2 - 1;
  const int64_t nOut = stage.lengthOut;
  const int64_t common = std::gcd(L, M);
  const int64_t stepQ = L / common;
  const int64_t stepA = M / common;

  // First output of each phase (-1: none) and its input index.
  int64_t firstQ[kMaxFactor];
  int64_t firstA[kMaxFactor];
  for (int64_t b = 0; b < L; ++b) {
    firstQ[b] = -1;
    for (int64_t q = 0; q < stepQ && q < nOut; ++q) {
      if (floorMod(q * M + c - b, L) == 0) {
        firstQ[b] = q;
        firstA[b] = (q * M + c - b) / L;
        break;
      }
    }
  }

  double* block = stage.work;
  double* product = stage.work + N;
  double* out = stage.output;
  const int64_t blocks = (n + m - 1) / m;
  for (int64_t k = 0; k < blocks; ++k) {
    const int64_t start = k * m;
    const int64_t count = std::min(m, n - start);
    std::copy(input + start, input + start + count, block);
    std::fill(block + count, block + N, 0.0);
    stage.fft->forward(block);
    const int64_t last = start + 2 * m - 2;  // last index a this block reaches
    for (int64_t b = 0; b < L; ++b) {
      if (firstQ[b] < 0) continue;
      const int64_t a0 = firstA[b];
      const int64_t jLow = a0 >= start ? 0 : (start - a0 + stepA - 1) / stepA;
      if (last < a0) continue;
      const int64_t jHigh = std::min((last - a0) / stepA, (nOut - 1 - firstQ[b]) / stepQ);
      if (jHigh < jLow) continue;
      CoreSigp::mulPack(block, stage.spectra + b * N, product, N);
      stage.fft->inverse(product);
      int64_t q = firstQ[b] + jLow * stepQ;
      int64_t r = a0 + jLow * stepA - start;
      for (int64_t j = jLow; j <= jHigh; ++j, q += stepQ, r += stepA) out[q] += product[r];
    }
  }
}

// Down by M. Output q is v(qM + c) with v the input convolved with the prototype. Phase r of h
// (taps r, r + M, ...) meets the input samples whose index is congruent to rho = (c - r) mod M:
// with D = floor((c - r) / M), output q gets that phase filter convolved with the input
// decimated to rho (x(rho), x(rho + M), ...), taken at index q + D. D takes at most two values,
// so the products of all phases are summed in the spectrum into one accumulator per value of D,
// and each accumulator is transformed back once per block.
void CoreRtcv::runDecimating(Stage& stage, const double* input) {
  const int64_t M = stage.down;
  const int64_t n = stage.lengthIn;
  const int64_t m = stage.taps;
  const int32_t N = stage.transformLength;
  const int64_t c = int64_t{stage.filterLength} / 2 - 1;
  const int64_t nOut = stage.lengthOut;
  const int64_t highD = floorDiv(c, M);

  double* block = stage.work;
  double* sums[2] = {stage.work + N, stage.work + 2 * N};
  double* out = stage.output;
  const int64_t decimated = (n + M - 1) / M;  // longest decimated stream (rho = 0)
  const int64_t blocks = (decimated + m - 1) / m;
  for (int64_t k = 0; k < blocks; ++k) {
    const int64_t start = k * m;
    bool used[2] = {false, false};
    std::fill(sums[0], sums[0] + N, 0.0);
    std::fill(sums[1], sums[1] + N, 0.0);
    for (int64_t r = 0; r < M; ++r) {
      const int64_t rho = floorMod(c - r, M);
      const int64_t group = floorDiv(c - r, M) == highD ? 0 : 1;
      int64_t at = start * M + rho;
      if (at >= n) continue;
      int64_t i = 0;
      for (; i < m && at < n; ++i, at += M) block[i] = input[at];
      std::fill(block + i, block + N, 0.0);
      stage.fft->forward(block);
      CoreSigp::mulPackAdd(block, stage.spectra + r * N, sums[group], N);
      used[group] = true;
    }
    for (int group = 0; group < 2; ++group) {
      if (!used[group]) continue;
      stage.fft->inverse(sums[group]);
      const int64_t shift = highD - group;  // output q takes index q + D
      const int64_t qLow = std::max<int64_t>(start - shift, 0);
      const int64_t qHigh = std::min<int64_t>(start + 2 * m - 2 - shift, nOut - 1);
      for (int64_t q = qLow; q <= qHigh; ++q) out[q] += sums[group][q + shift - start];
    }
  }
}
