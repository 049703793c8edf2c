#include "modulation/CorePrmt.h"

#include <cmath>
#include <limits>
#include <string>

#include "modulation/CoreFlsh.h"
#include "modulation/CoreUctl.h"

CorePrmt::CorePrmt(const CoreStrg& name, const CoreShtb& operators, CoreSrct& table,
                   CoreSrct::Entry& output)
    : name_(name),
      nameA_(name + "_A"),
      nameB_(name + "_B"),
      operatorName_("a"),
      table_(&table),
      output_(&output),
      a_(nameA_, nameA_, "-", -1.0, 1.0, table),
      b_(nameB_, nameB_, "-", -1.0, 1.0, table),
      operators_(&operators),
      operator_(&operators.entry(CoreShtb::kOperators, 0)) {
  for (CoreStrg& t : texts_) t = "";
}

void CorePrmt::setup(const Setup& s) {
  a_.assign(s.A, -1.0, 1.0);
  b_.assign(s.B, -1.0, 1.0);
  operator_ = &operators_->lookup(CoreShtb::kOperators, s.FUN);
  operatorName_ = operator_->storedName;
  texts_[kLabel] = s.LABEL;
  texts_[kPrelabel] = s.PRELABEL;
  texts_[kUnit] = s.UNIT;
  texts_[kPreunit] = s.PREUNIT;
  texts_[kPostunit] = s.POSTUNIT;
  labelled_ = !s.LABEL.empty();
  visible_ = s.VISIBLE != 0.0;
  minimum_ = CoreFlsh::finite(s.MINVALUE);
  maximum_ = CoreFlsh::finite(s.MAXVALUE);
  barMinimum_ = s.hasBARMINVALUE ? CoreFlsh::finite(s.BARMINVALUE) : minimum_;
  barMaximum_ = s.hasBARMAXVALUE ? CoreFlsh::finite(s.BARMAXVALUE) : maximum_;
  deriveBar();
  defined_ = true;
}

void CorePrmt::clear(bool create) {
  a_.assign("", -1.0, 1.0);
  b_.assign("", -1.0, 1.0);
  operator_ = &operators_->entry(CoreShtb::kOperators, 0);
  operatorName_ = operator_->storedName;
  for (CoreStrg& t : texts_) t = "";
  minimum_ = maximum_ = barMinimum_ = barMaximum_ = 0.0;
  deriveBar();
  defined_ = labelled_ = visible_ = barInverted_ = false;
  if (create) defined_ = labelled_ = true;
}

// bar low is the smaller bar limit; the bar is inverted when the minimum is above the maximum.
// A difference too small to invert (zero or subnormal) counts as equal limits: scale 1.
void CorePrmt::deriveBar() {
  barLow_ = barMinimum_;
  barInverted_ = false;
  if (barMinimum_ > barMaximum_) {
    barLow_ = barMaximum_;
    barInverted_ = true;
  }
  const double d = barMaximum_ - barMinimum_;
  barScale_ = std::fabs(d) >= std::numeric_limits<double>::min() ? CoreFlsh::finite(1.0 / d) : 1.0;
}

void CorePrmt::setOperator(const CoreStrg& name) {
  operator_ = &operators_->lookup(CoreShtb::kOperators, name);
  operatorName_ = operator_->storedName;
  evaluate();
}

void CorePrmt::setA(const CoreStrg& source) {
  a_.assign(source, -1.0, 1.0);
  evaluate();
}

void CorePrmt::setB(const CoreStrg& source) {
  b_.assign(source, -1.0, 1.0);
  evaluate();
}

void CorePrmt::setText(TextField field, const CoreStrg& text) {
  if (field < kLabel || field > kPostunit) return;
  texts_[field] = text;
  if (field == kLabel) labelled_ = !text.empty();
  evaluate();
}

void CorePrmt::setNumber(NumberField field, double value) {
  value = CoreFlsh::finite(value);
  switch (field) {
    case kMinValue: minimum_ = value; break;
    case kMaxValue: maximum_ = value; break;
    case kBarMinValue: barMinimum_ = value; break;
    case kBarMaxValue: barMaximum_ = value; break;
  }
  deriveBar();
  evaluate();
}

void CorePrmt::setVisible(bool visible) {
  visible_ = visible;
  evaluate();
}

const CoreStrg& CorePrmt::text(TextField field) const {
  return texts_[(field >= kLabel && field <= kPostunit) ? field : kLabel];
}

double CorePrmt::number(NumberField field) const {
  switch (field) {
    case kMinValue: return minimum_;
    case kMaxValue: return maximum_;
    case kBarMinValue: return barMinimum_;
    default: return barMaximum_;
  }
}

void CorePrmt::evaluate() {
  if (!defined_) return;
  const double a = a_.evaluate();
  const double b = b_.evaluate();
  output_->publish(CoreShtb::evaluate(*operator_, a, b, nullptr));
}

double CorePrmt::displayValue() const {
  if (!defined_ || !labelled_) return 0.0;
  const double u = CoreFlsh::flush((output_->value() + 1.0) * 0.5);
  return CoreFlsh::finite(minimum_ + (maximum_ - minimum_) * u);
}

double CorePrmt::barFraction() const {
  const double v = displayValue();
  if (v >= barLow_) {
    const double f = CoreFlsh::finite((v - barMinimum_) * barScale_);
    return f > 1.0 ? 1.0 : f;
  }
  return barInverted_ ? 1.0 : 0.0;
}

void CorePrmt::assignMixes(CorePrmt* const* parameters, int32_t parameterCount,
                           CoreUctl* const* controls, int32_t controlCount) {
  for (int32_t c = 0; c < controlCount; ++c)
    if (controls[c]) controls[c]->setLinkedParameter(-1);
  for (int32_t n = 1; n <= 8 && n <= controlCount; ++n) {
    const CoreStrg number(std::to_string(n).c_str());
    for (int32_t p = 0; p < parameterCount; ++p) {
      const CorePrmt* prm = parameters[p];
      if (prm && prm->visible_ && prm->texts_[kPrelabel] == number) {
        if (controls[n - 1]) controls[n - 1]->setLinkedParameter(static_cast<int16_t>(p));
        break;
      }
    }
  }
}

void CorePrmt::evaluateAll(CorePrmt* const* parameters, int32_t count) {
  for (int32_t p = 0; p < count; ++p)
    if (parameters[p]) parameters[p]->evaluate();
}
