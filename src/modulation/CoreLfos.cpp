#include "modulation/CoreLfos.h"

#include <cmath>

#include "modulation/CoreFlsh.h"

CoreLfos::CoreLfos(const CoreStrg& name, const CoreShtb& shapes, CoreSrct& table,
                   CoreSrct::Entry& output, CoreSrct::Entry& rate)
    : name_(name),
      rateControl_(name + " Rate", name + " Rate", "Hz", 0.0, 24.0, table),
      phaseControl_(name + " Phase", name + " Phase", "", -1.0, 1.0, table),
      shapes_(&shapes),
      shape_(&shapes.entry(CoreShtb::kShapes, 0)),
      output_(&output),
      rateEntry_(&rate) {}

void CoreLfos::setup(const Setup& setup) {
  settings_ = setup;
  apply();
}

void CoreLfos::apply() {
  rateControl_.assign(settings_.SOURCE, settings_.MINRATE, settings_.MAXRATE);
  quantizeOn_ = settings_.RATEQUANTIZE > 0.0;
  phaseScale_ = CoreFlsh::finite(settings_.PHASEFACTOR / 180.0);
  lastPhaseOffset_ = phaseScale_;
  accumulator_ = phaseScale_;
  phaseControl_.assign(settings_.PHASESOURCE, 0.0, 1.0);
  shape_ = &shapes_->lookup(CoreShtb::kShapes, settings_.SHAPE);
}

double CoreLfos::step(double dt, double tempo) {
  double rate = rateControl_.evaluate();
  if (quantizeOn_) {
    // The rate becomes a whole multiple of 1/Q Hz. With Q = 0 (a tempo of 0) there is no
    // multiple to pick; as Q falls to 0 every rate below 1/Q quantises to 0, so the LFO stands.
    const double q = tempo * settings_.RATEQUANTIZE / 60.0;
    rate = (q == 0.0 || !std::isfinite(q)) ? 0.0 : std::floor(q * rate) / q;
  }
  rate = CoreFlsh::finite(rate);
  rate_ = rate;

  if (phaseControl_.isNamed()) {
    const double offset = phaseScale_ * phaseControl_.evaluate();
    accumulator_ = accumulator_ - lastPhaseOffset_ + offset;
    lastPhaseOffset_ = offset;
  }
  accumulator_ = CoreFlsh::flush(rate * dt * 2.0 + accumulator_);
  // A step of unbounded size has no phase to continue from; the oscillator restarts at k.
  if (!std::isfinite(accumulator_)) {
    accumulator_ = phaseScale_;
    lastPhaseOffset_ = phaseScale_;
  }

  const double out = CoreShtb::evaluate(*shape_, accumulator_, 0.0, &state_);
  state_.lastOutput = out;
  state_.wrappedPhase = CoreShtb::wrap(accumulator_);
  output_->publish(out);
  rateEntry_->publish(CoreFlsh::flush(CoreFlsh::flush(rate * 0.041666666666) * 2.0 - 1.0));
  return state_.wrappedPhase;
}
