#include "modulation/CoreDynm.h"

#include <cmath>

#include "modulation/CoreFlsh.h"
#include "modulation/CoreUnit.h"

CoreDynm::CoreDynm(const CoreStrg& name, CoreSrct& table, CoreSrct::Entry& output)
    : name_(name),
      threshold_("Threshold Control", "Threshold Control", "", -1.0, 1.0, table),
      input_("Input Control", "Input Control", "", -1.0, 1.0, table),
      ratio_("Ratio Control", "Ratio Control", "", -1.0, 1.0, table),
      output_(&output) {}

CoreMctl& CoreDynm::control(int32_t i) {
  switch (i) {
    case 0: return threshold_;
    case 1: return input_;
    default: return ratio_;
  }
}

void CoreDynm::setup(const Setup& s) {
  bool compressor = true;
  CoreStrg ratio("");
  if (s.hasRATIOCOMSOURCE) {
    ratio = s.RATIOCOMSOURCE;
  } else if (s.hasRATIOEXPSOURCE) {
    compressor = false;
    ratio = s.RATIOEXPSOURCE;
  }
  const double c = std::isfinite(s.RATIOCURVE) ? s.RATIOCURVE : -1.0;
  const bool curveOn = c >= 0.0;
  const int16_t curve = static_cast<int16_t>(curveOn ? (c > kMaxCurve ? kMaxCurve : c) : -1);
  setupUnit(s.THRESHOLDSOURCE, s.INPUTSOURCE, compressor, ratio, curveOn, curve, s.RANGELIMIT,
            s.GAINPADFACTOR);
}

void CoreDynm::setupUnit(const CoreStrg& threshold, const CoreStrg& input, bool compressor,
                         const CoreStrg& ratio, bool curveOn, int16_t curve, double range,
                         double makeup) {
  thresholdSource_ = threshold;
  inputSource_ = input;
  ratioSource_ = ratio;
  input_.assign(input, -1.0, 1.0);
  threshold_.assign(threshold, -1.0, 1.0);
  ratio_.assign(ratio, -1.0, 1.0);
  compressor_ = compressor;
  typeChoice_ = compressor ? 0 : 1;
  range_ = CoreFlsh::finite(range);
  reciprocal_ = range_ > 0.0 ? CoreFlsh::finite(1.0 / range_) : 0.0;
  makeup_ = CoreFlsh::finite(makeup);
  curveOn_ = curveOn;
  curve_ = curve > kMaxCurve ? kMaxCurve : curve;
  curveChoice_ = static_cast<int16_t>(curveOn_ ? curve_ + 1 : 0);
  enabled_ = input_.isNamed();
  gain_ = 0.0;
  output_->publish(-1.0);  // gain 0 until the first tick
}

void CoreDynm::setFromDisplay(int16_t typeChoice, const CoreStrg& threshold,
                              const CoreStrg& input, const CoreStrg& ratio, int16_t curveChoice,
                              double range, double makeup) {
  setupUnit(threshold, input, typeChoice == 0, ratio, true, static_cast<int16_t>(curveChoice - 1),
            range, makeup);
  curveChoice_ = curveChoice;
}

void CoreDynm::reset() {
  setupUnit("", "", true, "", false, -1, 0.0, 0.0);
  enabled_ = false;
}

void CoreDynm::step() {
  if (enabled_) {
    const double t = CoreFlsh::flush((threshold_.evaluate() + 1.0) * 0.5);
    const double i = CoreFlsh::flush((input_.evaluate() + 1.0) * 0.5);
    const double over = CoreUnit::decibels(i) - CoreUnit::decibels(t);
    if (over <= 0.0) {
      gain_ = 1.0;
    } else {
      const double lim = over > range_ ? range_ : over;
      double r = ratio_.evaluate();
      if (curveOn_) {
        const double m = CoreFlsh::flush(1.0 - lim * reciprocal_);
        const double w = curve_ < 2 ? m : CoreFlsh::flush(std::pow(m, static_cast<double>(curve_)));
        r = CoreFlsh::flush(r + (1.0 - r) * w);
      }
      if (compressor_ || r != 0.0) {
        const double slope = compressor_ ? r : 1.0 / r;
        const double l = CoreFlsh::flush((slope - 1.0) * lim + makeup_);
        const double g = std::pow(10.0, l / 20.0);
        if (std::isfinite(g)) gain_ = CoreFlsh::flush(g);
      }
    }
  }
  output_->publish(CoreFlsh::flush(CoreFlsh::flush(gain_) * 2.0 - 1.0));
}
