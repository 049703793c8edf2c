#include "modulation/CoreRawf.h"

#include "modulation/CoreFlsh.h"

CoreRawf::CoreRawf(const CoreStrg& name, const CoreRetb& kinds, CoreSrct& table,
                   CoreSrct::Entry& output)
    : name_(name),
      nameA_(name + "_A"),
      nameB_(name + "_B"),
      output_(&output),
      a_(nameA_, nameA_, "-", -1.0, 1.0, table),
      b_(nameB_, nameB_, "-", -1.0, 1.0, table),
      kinds_(&kinds),
      kind_(&kinds.entry(0)) {
  kindName_ = kind_->storedName;
}

void CoreRawf::setup(const Setup& setup) {
  a_.assign(setup.A, -1.0, 1.0);
  b_.assign(setup.B, -1.0, 1.0);
  curveNameC_ = setup.C;
  curveNameD_ = setup.D;
  kind_ = &kinds_->lookup(setup.FUN);
  kindName_ = kind_->storedName;
  state_ = CoreRetb::State{};
  state_.sampleRate = CoreFlsh::finite(setup.sampleRate);
  enabled_ = true;
}

void CoreRawf::attachCurve(const CoreStrg& slotName, const double* values, int32_t count) {
  if (count < 0 || !values) count = 0;
  if (curveNameC_ == slotName) {
    state_.curveC = count > 0 ? values : nullptr;
    state_.countC = count;
  }
  if (curveNameD_ == slotName) {
    state_.curveD = count > 0 ? values : nullptr;
    state_.countD = count;
  }
}

bool CoreRawf::checkCurves() {
  if (state_.countC == 0 || state_.countD == 0) enabled_ = false;
  return enabled_;
}

void CoreRawf::detachCurves() {
  state_.curveC = state_.curveD = nullptr;
  state_.countC = state_.countD = 0;
  enabled_ = false;
}

void CoreRawf::step(double period) {
  if (!enabled_) return;
  state_.ua = CoreFlsh::flush((a_.evaluate() + 1.0) * 0.5);
  state_.ub = CoreFlsh::flush((b_.evaluate() + 1.0) * 0.5);
  state_.period = period;
  double e = kind_->function(state_);
  if (e != e) e = state_.lastResult;
  e = CoreFlsh::flush(CoreFlsh::limit(e, -1.0, 1.0));
  state_.lastResult = e;
  output_->publish(CoreFlsh::flush(e * 2.0 - 1.0));
}
