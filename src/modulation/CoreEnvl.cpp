#include "modulation/CoreEnvl.h"

#include <cmath>

#include "modulation/CoreFlsh.h"
#include "modulation/CoreUnit.h"

namespace {
// Counter values stay within +-2^61: a sum of one of them and a saturated conversion (at most
// 2^62) cannot overflow, nor can a difference of two of them.
constexpr int64_t kCounterLimit = int64_t{1} << 61;
int64_t advance(int64_t a, int64_t b) {
  const int64_t r = a + b;
  return r > kCounterLimit ? kCounterLimit : (r < -kCounterLimit ? -kCounterLimit : r);
}
}  // namespace

CoreEnvl::CoreEnvl(const CoreStrg& name, CoreSrct& table, CoreSrct::Entry& output)
    : name_(name),
      activ_("Activ Control", "Activ Control", "", -1.0, 1.0, table),
      deactiv_("Deactiv Control", "Deactiv Control", "", -1.0, 1.0, table),
      level_("Level Control", "Level Control", "", -1.0, 1.0, table),
      source_("Source Control", "Source Control", "", -1.0, 1.0, table),
      outputEntry_(&output) {}

CoreMctl& CoreEnvl::control(int32_t i) {
  switch (i) {
    case 0: return activ_;
    case 1: return deactiv_;
    case 2: return level_;
    default: return source_;
  }
}

void CoreEnvl::clearBookkeeping() {
  counter_ = 0;
  stage_ = kFinished;
  stageCurve_ = 0;
  stageStart_ = 0;
  stageEnd_ = 0;
  output_ = 0.0;
  previousActive_ = false;
  previousDeactivated_ = false;
  running_ = false;
  releaseRequested_ = false;
  previousLevel_ = 0.0;
  targetLevel_ = 0.0;
}

void CoreEnvl::setup(const Setup& setup) {
  if (&setup != &settings_) settings_ = setup;
  const Setup& s = settings_;
  const double rate = s.sampleRate;
  const double times[4] = {s.TIME.ATTACK, s.TIME.DECAY, s.TIME.SLOPE, s.TIME.RELEASE};
  for (int i = 0; i < 4; ++i)
    times_[i] = CoreUnit::toInt32(CoreUnit::samplesFromMicroseconds(times[i], rate));
  const int32_t curves[4] = {s.CURVE.ATTACK, s.CURVE.DECAY, s.CURVE.SLOPE, s.CURVE.RELEASE};
  for (int i = 0; i < 4; ++i)
    curves_[i] = static_cast<int16_t>(curves[i] > 32767 ? 32767 : (curves[i] < -32768 ? -32768 : curves[i]));
  levels_[0] = CoreFlsh::finite(s.LEVEL.START);
  levels_[1] = CoreFlsh::finite(s.LEVEL.ATTACK);
  levels_[2] = CoreFlsh::finite(s.LEVEL.BREAK);
  levels_[3] = CoreFlsh::finite(s.LEVEL.SUSTAIN);
  levelFactor_ = CoreFlsh::finite(s.LEVEL.COMMON.MODFACTOR);
  timeFactor_ = CoreFlsh::finite(s.TIME.COMMON.MODFACTOR);
  activ_.assign(s.CONTROL.ACTIVSOURCE, -1.0, 1.0);
  deactiv_.assign(s.CONTROL.DEACTIVSOURCE, -1.0, 1.0);
  level_.assign(s.LEVEL.COMMON.MODSOURCE, 0.0, 1.0);
  source_.assign(s.TIME.COMMON.MODSOURCE, 0.0, 1.0);
  clearBookkeeping();
  enabled_ = activ_.isNamed();
}

void CoreEnvl::reset() {
  settings_ = Setup{};
  enabled_ = false;
  levelFactor_ = timeFactor_ = 0.0;
  for (int i = 0; i < 4; ++i) {
    levels_[i] = 0.0;
    times_[i] = 0;
    curves_[i] = 0;
  }
  activ_.assign("", -1.0, 1.0);
  deactiv_.assign("", -1.0, 1.0);
  level_.assign("", 0.0, 1.0);
  source_.assign("", 0.0, 1.0);
  clearBookkeeping();
}

// Sets the bounds, curve and target of the stage just entered (1, 2, 3 or 4).
void CoreEnvl::startStage(double levelScale, double timeScale) {
  previousLevel_ = targetLevel_;
  stageStart_ = stageEnd_;
  switch (stage_) {
    case kDecay:
    case kSlope:
      stageCurve_ = curves_[stage_];
      stageEnd_ =
          advance(stageStart_, CoreUnit::toInt64(static_cast<double>(times_[stage_]) * timeScale));
      targetLevel_ = CoreFlsh::finite(levelScale * levels_[stage_ + 1]);
      break;
    case kSustain:
      stageEnd_ = counter_;
      break;
    default:  // release
      stageCurve_ = curves_[3];
      stageEnd_ = advance(stageStart_, CoreUnit::toInt64(static_cast<double>(times_[3]) * timeScale));
      targetLevel_ = 0.0;
      break;
  }
}

void CoreEnvl::step(double period) {
  if (enabled_) {
    const bool active = activ_.evaluate() >= 0.0;
    const bool deactivated = deactiv_.evaluate() >= 0.0;
    if (deactivated && !previousDeactivated_) releaseRequested_ = true;

    if (running_) {
      counter_ = advance(counter_, CoreUnit::toInt64(period));
      if (stage_ == kSustain && !releaseRequested_) {
        stageEnd_ = counter_;
      } else if (counter_ > stageEnd_ || stage_ == kSustain) {
        ++stage_;
        const double levelScale = level_.evaluate() * levelFactor_;
        const double timeScale = source_.evaluate() * timeFactor_;
        if (stage_ == kFinished) {
          output_ = 0.0;
          running_ = false;
        } else {
          startStage(levelScale, timeScale);
        }
      }
      if (running_) {
        const int64_t span = stageEnd_ - stageStart_;
        const double g =
            span != 0 ? static_cast<double>(stageEnd_ - counter_) / static_cast<double>(span) : 0.0;
        const double h = stageCurve_ < 2 ? g : std::pow(g, static_cast<double>(stageCurve_));
        // An overflowing bend (a huge curve on a stage already overrun) keeps the last output.
        output_ = CoreFlsh::finite(targetLevel_ - (targetLevel_ - previousLevel_) * h, output_);
      }
    }

    if (active && !previousActive_) {
      running_ = true;
      releaseRequested_ = false;
      counter_ = 0;
      stage_ = kAttack;
      if (levels_[0] > 0.0) output_ = levels_[0];
      previousLevel_ = output_;
      stageStart_ = 0;
      const double levelScale = level_.evaluate() * levelFactor_;
      const double timeScale = source_.evaluate() * timeFactor_;
      stageEnd_ = advance(0, CoreUnit::toInt64(static_cast<double>(times_[0]) * timeScale));
      stageCurve_ = curves_[0];
      targetLevel_ = CoreFlsh::finite(levelScale * levels_[1]);
    }
    previousActive_ = active;
    previousDeactivated_ = deactivated;
  }
  outputEntry_->publish(CoreFlsh::flush(CoreFlsh::flush(std::fabs(output_)) * 2.0 - 1.0));
}
