#include "modulation/CoreMctl.h"

#include <cmath>

#include "modulation/CoreFlsh.h"

CoreMctl::CoreMctl(const CoreStrg& name, const CoreStrg& label, const CoreStrg& unit,
                   double defaultMinimum, double defaultMaximum, CoreSrct& table)
    : name_(name),
      label_(label),
      unit_(unit),
      sourceText_(""),
      defaultMinimum_(CoreFlsh::finite(defaultMinimum)),
      defaultMaximum_(CoreFlsh::finite(defaultMaximum)),
      minimum_(defaultMinimum_),
      maximum_(defaultMaximum_),
      source_(&table.entry(CoreSrct::kOff)),
      table_(&table) {
  value_ = minimum_;
}

void CoreMctl::assign(const CoreStrg& sourceText, double minimum, double maximum) {
  sourceText_ = sourceText;
  isNamed_ = table_->isNamed(sourceText_);
  if (table_->isKnownOrEmpty(sourceText_)) {
    isConstant_ = false;
    source_ = &table_->find(sourceText_);
  } else {
    isConstant_ = true;
    source_ = nullptr;
    const double c = parseCLocale(sourceText_.text(), nullptr);
    constant_ = std::isfinite(c) ? CoreFlsh::flush(c) : 0.0;
  }
  minimum_ = CoreFlsh::finite(minimum);
  maximum_ = CoreFlsh::finite(maximum);
  range_ = CoreFlsh::finite(maximum_ - minimum_);
}

double CoreMctl::evaluate() {
  const double s = isConstant_ ? constant_ : source_->value();
  // Sources are finite, so the only way out of the finite numbers is an overflow of the
  // product; the largest finite value of its sign stands for it.
  value_ = CoreFlsh::finite((s + 1.0) * 0.5 * range_ + minimum_, minimum_);
  return value_;
}

CoreStrg CoreMctl::displayText() const {
  if (!isConstant_) return sourceText_;
  CoreStrg out;
  out.reformat("%10.10f", constant_);
  return out;
}
