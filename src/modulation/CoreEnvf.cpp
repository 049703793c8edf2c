#include "modulation/CoreEnvf.h"

#include <cmath>

#include "modulation/CoreFlsh.h"
#include "modulation/CoreUnit.h"

namespace {

constexpr double kPlus3Db = 1.4125375446227544;  // 10^(3/20)
constexpr double kAvr17Factor = 1.5689347391281367;
constexpr double kSilence = 1e-150;
constexpr double kLargestSample = 1e100;
const double kVuShape = (M_PI / 2.0) / std::sqrt(1.2);
const double kInvLn9 = 1.0 / std::log(9.0);
const double kInvLn100 = 1.0 / std::log(100.0);

inline double fl(double v) { return CoreFlsh::flush(v); }

bool switchedOn(const CoreStrg& source) { return !(source.empty() || source == "OFF"); }

// Coefficient of a one-pole detector for a time in samples: exp(-1/t), 0 (instantaneous) for a
// time of 0 or less.
double poleCoefficient(double t) { return t > 0.0 ? std::exp(-1.0 / t) : 0.0; }

}  // namespace

CoreEnvf::CoreEnvf(CorePool& pool, const CoreStrg& name, bool programFollower, CoreSrct* table,
                   CoreSrct::Entry* output, CoreSrct::Entry* attackTime,
                   CoreSrct::Entry* releaseTime)
    : name_(name),
      vuFactor_(std::pow(10.0, 0.038)),
      programFollower_(programFollower && table != nullptr),
      table_(table),
      outputEntry_(output),
      attackTimeEntry_(attackTime && attackTime->index() != CoreSrct::kOff ? attackTime : nullptr),
      releaseTimeEntry_(releaseTime && releaseTime->index() != CoreSrct::kOff ? releaseTime
                                                                               : nullptr),
      pool_(&pool) {
  if (outputEntry_ && outputEntry_->index() == CoreSrct::kOff) outputEntry_ = nullptr;
  if (programFollower_) {
    attack_ = std::make_unique<CoreMctl>("Attack", "Attack", "t", 1.0, 1000000.0, *table);
    release_ = std::make_unique<CoreMctl>("Release", "Release", "t", 1.0, 1000000.0, *table);
  }
  buffer_ = pool.allocateAs<double>(CorePool::kReal64, kBufferSize, "ENVF");
  for (int32_t i = 0; i < kBufferSize; ++i) buffer_[i] = 0.0;
}

CoreEnvf::~CoreEnvf() { pool_->release(buffer_); }

CoreStrg CoreEnvf::typeName(int16_t type) {
  static const char* const kNames[10] = {"AVR",    "RMS",    "Peak", "AVR 17",  "RMS 17",
                                         "EVF",    "EVF 17", "VU",   "TRMS 17", "OFF"};
  const char* n = (type >= 0 && type <= 9) ? kNames[type] : kNames[9];
  return CoreStrg(n).padRight(7, ' ');
}

void CoreEnvf::setTimes(double minA, double maxA, double minR, double maxR) {
  double scale = 1.0;
  if (type_ == kEvf || type_ == kEvf17) scale = kInvLn9;
  if (type_ == kVu) scale = kInvLn100;
  minA = CoreFlsh::finite(minA * scale);
  maxA = CoreFlsh::finite(maxA * scale);
  minR = CoreFlsh::finite(minR * scale);
  maxR = CoreFlsh::finite(maxR * scale);
  if (minA <= 0.0) minA = 1.0;
  if (maxA < minA) maxA = minA;
  if (minR <= 0.0) minR = 1.0;
  if (maxR < minR) maxR = minR;
  minAttack_ = minA;
  maxAttack_ = maxA;
  minRelease_ = minR;
  maxRelease_ = maxR;
}

void CoreEnvf::clearDetector() {
  lastAttackTime_ = lastReleaseTime_ = 0.0;
  attackCoefficient_ = releaseCoefficient_ = 0.0;
  level_ = windowPeak_ = heldPeak_ = 0.0;
  instant_ = previousInstant_ = 0.0;
  lastInputMagnitude_ = 0.0;
  rising_ = previousRising_ = false;
  windowLength_ = windowCountdown_ = 1;
  output_ = 0.0;
  active_ = type_ != kOff;
  for (Section& s : sections_) s = Section{0.0, 0.0, 0.0, 0.0};
  count_ = 0;
}

void CoreEnvf::setup(const Setup& setup) {
  if (&setup != &settings_) settings_ = setup;
  configure(settings_, true);
}

void CoreEnvf::reapply() { configure(settings_, false); }

void CoreEnvf::configure(const Setup& s, bool extras) {
  // 1. Balance.
  balance_ = CoreFlsh::finite(s.OUTPUTBALANCE);
  if (balance_ >= 0.0) {
    wOut_ = balance_ * 0.5;
    wIn_ = (1.0 - balance_) * 0.5;
  } else {
    wOut_ = wIn_ = 1.0;
  }
  // 2. Type and times.
  const int32_t type = CoreUnit::toInt32(s.EXP);
  type_ = static_cast<int16_t>((type >= 0 && type <= 9) ? type : kOff);
  const double rate = CoreFlsh::finite(s.sampleRate);
  const double minA = CoreUnit::samplesFromMicroseconds(s.MINATTACK, rate);
  const double maxA = CoreUnit::samplesFromMicroseconds(s.MAXATTACK, rate);
  const double minR = CoreUnit::samplesFromMicroseconds(s.MINRELEASE, rate);
  const double maxR = CoreUnit::samplesFromMicroseconds(s.MAXRELEASE, rate);
  minAttackSamples_ = CoreUnit::toInt32(minA);
  maxAttackSamples_ = CoreUnit::toInt32(maxA);
  minReleaseSamples_ = CoreUnit::toInt32(minR);
  maxReleaseSamples_ = CoreUnit::toInt32(maxR);
  setTimes(minAttackSamples_, maxAttackSamples_, minReleaseSamples_, maxReleaseSamples_);
  // 3. Controls, rate, filter.
  sampleRate_ = rate;
  timeUnit_ = rate > 0.0 ? 0.01 / rate : 0.0;
  if (programFollower_) {
    attack_->assign(s.ATTACKSOURCE, minAttack_, maxAttack_);
    release_->assign(s.RELEASESOURCE, minRelease_, maxRelease_);
    filterOn_ = switchedOn(s.FILTERSOURCE);
    filterFrequency_ = CoreFlsh::finite(s.FILTERFREQUENCY);
    filterOrder_ = s.FILTERORDER;
    filterSource_ = filterOn_ ? &table_->find(s.FILTERSOURCE) : nullptr;
  } else {
    filterOn_ = false;
    filterSource_ = nullptr;
  }
  sectionCount_ = 0;
  // 4. Detector state.
  clearDetector();
  // 5. Extra outputs and sources (program followers only).
  const bool extra = extras && programFollower_;
  busOutput_ = nullptr;
  busOn_ = false;
  if (extra && switchedOn(s.BUSBALANCESOURCE)) {
    // The bus output writes an entry: only a real source that no other producer relies on being
    // constant ("OFF" and "ON" are never overwritten).
    CoreSrct::Entry& bus = table_->find(s.BUSBALANCESOURCE);
    if (bus.index() != CoreSrct::kOff && bus.index() != CoreSrct::kOn) {
      busOn_ = true;
      busOutput_ = &bus;
    }
  }
  dynamicOn_ = programFollower_ && switchedOn(s.DATTACKSOURCE) && switchedOn(s.DRELEASESOURCE);
  dynamicAttack_ = dynamicOn_ ? &table_->find(s.DATTACKSOURCE) : nullptr;
  dynamicRelease_ = dynamicOn_ ? &table_->find(s.DRELEASESOURCE) : nullptr;
  oTimesOn_ = extra && switchedOn(s.OATTACKSOURCE) && switchedOn(s.ORELEASESOURCE);
  oAttack_ = oTimesOn_ ? &table_->find(s.OATTACKSOURCE) : nullptr;
  oRelease_ = oTimesOn_ ? &table_->find(s.ORELEASESOURCE) : nullptr;
  if (oTimesOn_) {
    rising_ = previousRising_ = true;
    instant_ = previousInstant_ = 0.0;
  }
  eatErtOn_ = extra && s.ENABLEEATERT != 0.0;
}

void CoreEnvf::setupMeter(const MeterSetup& m) {
  balance_ = CoreFlsh::finite(m.balance);
  if (balance_ >= 0.0) {
    wOut_ = balance_ * 0.5;
    wIn_ = (1.0 - balance_) * 0.5;
  } else {
    wOut_ = wIn_ = 1.0;
  }
  type_ = (m.type >= 0 && m.type <= 9) ? m.type : static_cast<int16_t>(kOff);
  minAttackSamples_ = CoreUnit::toInt32(m.minAttack);
  maxAttackSamples_ = CoreUnit::toInt32(m.maxAttack);
  minReleaseSamples_ = CoreUnit::toInt32(m.minRelease);
  maxReleaseSamples_ = CoreUnit::toInt32(m.maxRelease);
  setTimes(m.minAttack, m.maxAttack, m.minRelease, m.maxRelease);
  sampleRate_ = CoreFlsh::finite(m.sampleRate);
  timeUnit_ = sampleRate_ > 0.0 ? 0.01 / sampleRate_ : 0.0;
  filterOn_ = false;
  filterSource_ = nullptr;
  sectionCount_ = 0;
  clearDetector();
  busOn_ = dynamicOn_ = oTimesOn_ = eatErtOn_ = false;
  busOutput_ = nullptr;
  dynamicAttack_ = dynamicRelease_ = oAttack_ = oRelease_ = nullptr;
}

void CoreEnvf::reset() {
  settings_ = Setup{};
  busOn_ = dynamicOn_ = oTimesOn_ = eatErtOn_ = filterOn_ = false;
  type_ = kOff;
  if (programFollower_) {
    attack_->assign("", attack_->defaultMinimum(), attack_->defaultMinimum());
    release_->assign("", release_->defaultMinimum(), release_->defaultMinimum());
  }
  filterSource_ = nullptr;
  busOutput_ = nullptr;
  dynamicAttack_ = dynamicRelease_ = oAttack_ = oRelease_ = nullptr;
  sectionCount_ = 0;
  clearDetector();
}

void CoreEnvf::push(double x) {
  if (!active_) return;
  if (!(std::fabs(x) > kSilence)) x = 0.0;  // NaN too
  if (x > kLargestSample) x = kLargestSample;
  if (x < -kLargestSample) x = -kLargestSample;
  buffer_[count_++] = x;
  if (count_ == kBufferSize) consume();
}

void CoreEnvf::pushFeeds(double inL, double inR, double outL, double outR) {
  push(wOut_ * (fl(outL) + fl(outR)) + wIn_ * (fl(inL) + fl(inR)));
}

void CoreEnvf::pushPair(double inL, double inR) { push(wIn_ * (fl(inL) + fl(inR))); }

void CoreEnvf::pushBlock(const double* samples, int32_t count) {
  for (int32_t i = 0; i < count; ++i) push(samples[i]);
}

void CoreEnvf::consume() {
  const int32_t n = count_;
  if (n == 0) return;
  double* x = buffer_;

  if (filterOn_) {
    for (int32_t s = 0; s < sectionCount_; ++s) {
      Section& f = sections_[s];
      for (int32_t i = 0; i < n; ++i) {
        const double y = fl((f.c0 * f.previousOutput + x[i] - f.previousInput) * f.c1);
        f.previousInput = x[i];
        f.previousOutput = y;
        x[i] = y;
      }
    }
  }

  double level = level_;
  const double ac = attackCoefficient_;
  const double rc = releaseCoefficient_;
  switch (type_) {
    case kAvr:
    case kAvr17:
    case kEvf:
    case kEvf17:
    case kVu:
      for (int32_t i = 0; i < n; ++i) {
        const double c = std::fabs(x[i]);
        rising_ = level < c;
        level = c + (level - c) * (rising_ ? ac : rc);
      }
      instant_ = std::fabs(x[n - 1]);
      break;
    case kRms:
    case kRms17:
      for (int32_t i = 0; i < n; ++i) {
        const double c = x[i] * x[i];
        rising_ = level < c;
        level = c + (level - c) * (rising_ ? ac : rc);
      }
      instant_ = x[n - 1] * x[n - 1];
      break;
    case kTrms17:
      for (int32_t i = 0; i < n; ++i) level = level + (x[i] * x[i] - level) * ac;
      break;
    case kPeak:
      for (int32_t i = 0; i < n; ++i) {
        if (windowCountdown_-- <= 1) {
          heldPeak_ = windowPeak_;
          windowPeak_ = 0.0;
          windowCountdown_ = windowLength_;
        }
        const double c = std::fabs(x[i]);
        if (c > windowPeak_) windowPeak_ = c;
        rising_ = level < heldPeak_;
        level = rising_ ? heldPeak_ : heldPeak_ + (level - heldPeak_) * rc;
      }
      instant_ = heldPeak_;
      break;
    default:
      break;
  }
  level_ = std::isfinite(level) ? fl(level) : 0.0;
  if (busOn_) lastInputMagnitude_ = std::fabs(x[n - 1]);
  count_ = 0;
  if (filterOn_) {
    for (int32_t s = 0; s < sectionCount_; ++s) {
      Section& f = sections_[s];
      if (!std::isfinite(f.previousOutput)) f.previousOutput = 0.0;
    }
  }
}

void CoreEnvf::updateFilter() {
  if (!(sampleRate_ > 0.0)) {
    sectionCount_ = 0;
    return;
  }
  const double f = fl((filterSource_->value() + 1.0) * 0.5) * filterFrequency_;
  const double frequency = CoreFlsh::limit(f, 0.0, 0.49 * sampleRate_);
  const double t = std::tan(M_PI * frequency / sampleRate_);
  const double k = t * (std::sqrt(2.0) + t);
  const int32_t order = filterOrder_ > 0 ? filterOrder_ / 2 : 0;
  sectionCount_ = order < kMaxSections ? order : kMaxSections;
  const double c0 = fl(1.0 / (k + 1.0));
  const double c1 = fl(1.0 - k);
  for (int32_t s = 0; s < sectionCount_; ++s) {
    sections_[s].c0 = c0;
    sections_[s].c1 = c1;
  }
}

void CoreEnvf::updateTimes() {
  if (dynamicOn_) {
    attackCoefficient_ = CoreFlsh::limit(fl((dynamicAttack_->value() + 1.0) * 0.5) + 0.5, 0.0, 1.0);
    releaseCoefficient_ =
        CoreFlsh::limit(fl((dynamicRelease_->value() + 1.0) * 0.5) + 0.5, 0.0, 1.0);
    return;
  }
  const double a = programFollower_ ? attack_->evaluate() : minAttack_;
  if (a != lastAttackTime_) {
    lastAttackTime_ = a;
    if (type_ == kPeak) {
      const int32_t w = CoreUnit::toInt32(a);
      windowLength_ = w < 1 ? 1 : w;
    }
    // TRMS: the running mean's weight 1/a, at most 1 (a time of one sample or less is
    // instantaneous).
    attackCoefficient_ = type_ == kTrms17 ? (a > 1.0 ? 1.0 / a : 1.0) : poleCoefficient(a);
  }
  const double r = programFollower_ ? release_->evaluate() : minRelease_;
  if (r != lastReleaseTime_) {
    lastReleaseTime_ = r;
    releaseCoefficient_ = poleCoefficient(r);
  }
}

double CoreEnvf::timeReading(double v, double k, double unit) {
  if (!(v > 0.0) || !(k > 0.0)) return 0.0;
  const double lk = std::log(k);
  if (lk == 0.0) return 0.0;
  return std::log(v) * unit / lk;
}

void CoreEnvf::step() {
  if (active_) {
    if (filterOn_) updateFilter();
    consume();
    if (busOn_) busOutput_->publish(fl(lastInputMagnitude_ * 2.0 - 1.0));
    updateTimes();

    double out;
    if (oTimesOn_) {
      const double o = (rising_ ? oAttack_->value() : oRelease_->value());
      out = fl((o + 1.0) * 0.5) * previousInstant_;
    } else {
      out = level_;
    }
    switch (type_) {
      case kRms:
        out = level_ > 0.0 ? std::sqrt(level_) : 0.0;
        break;
      case kRms17:
      case kTrms17:
        out = (level_ > 0.0 ? std::sqrt(level_) : 0.0) * kPlus3Db;
        break;
      case kAvr17:
        out *= kAvr17Factor;
        break;
      case kEvf17:
        out *= kPlus3Db;
        break;
      case kVu:
        out *= kVuShape * vuFactor_;
        break;
      default:
        break;
    }
    output_ = CoreFlsh::finite(out);
  }

  if (programFollower_) {
    if (output_ > 1.0) output_ = 1.0;
    if (outputEntry_) outputEntry_->publish(fl(fl(output_) * 2.0 - 1.0));
    if (eatErtOn_) {
      const double e = instant_ != 0.0 ? level_ / instant_ : 0.0;
      if (attackTimeEntry_)
        attackTimeEntry_->publish(
            fl(fl(timeReading(1.0 - e, attackCoefficient_, timeUnit_)) * 2.0 - 1.0));
      if (releaseTimeEntry_)
        releaseTimeEntry_->publish(
            fl(fl(timeReading(e, releaseCoefficient_, timeUnit_)) * 2.0 - 1.0));
    }
  }
  if (active_) {
    previousRising_ = rising_;
    previousInstant_ = instant_;
  }
}
