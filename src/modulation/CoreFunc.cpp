#include "modulation/CoreFunc.h"

CoreFunc::CoreFunc(const CoreStrg& name, const CoreShtb& operators, CoreSrct& table,
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
      operator_(&operators.entry(CoreShtb::kOperators, 0)) {}

void CoreFunc::setup(const Setup& setup) {
  a_.assign(setup.A, -1.0, 1.0);
  b_.assign(setup.B, -1.0, 1.0);
  setOperator(setup.FUN);
}

void CoreFunc::reset() {
  a_.assign("", -1.0, 1.0);
  b_.assign("", -1.0, 1.0);
}

void CoreFunc::setOperator(const CoreStrg& name) {
  operator_ = &operators_->lookup(CoreShtb::kOperators, name);
  operatorName_ = operator_->storedName;
}

void CoreFunc::setA(const CoreStrg& source) { a_.assign(source, -1.0, 1.0); }
void CoreFunc::setB(const CoreStrg& source) { b_.assign(source, -1.0, 1.0); }

void CoreFunc::step() {
  const double a = a_.evaluate();
  const double b = b_.evaluate();
  output_->publish(CoreShtb::evaluate(*operator_, a, b, nullptr));
}
