// A function generator "FUN1" .. "FUN8": two modulated controls A and B (-1 .. 1) combined by one
// operator of row 1 of the shape and operator table; the result is published to "FUN" n.
#pragma once

#include "base/CoreStrg.h"
#include "modulation/CoreMctl.h"
#include "modulation/CoreShtb.h"
#include "modulation/CoreSrct.h"

class CoreFunc {
 public:
  // The texts of the program element "FUN" n: the sources A and B and the operator's stored name
  // FUN. Missing texts are empty.
  struct Setup {
    CoreStrg A;
    CoreStrg B;
    CoreStrg FUN;
  };

  // [control] Controls name + "_A" and name + "_B" (unit "-", -1 .. 1); operator "a".
  CoreFunc(const CoreStrg& name, const CoreShtb& operators, CoreSrct& table,
           CoreSrct::Entry& output);

  // [control] A and B assigned over -1 .. 1; the operator looked up (unknown names give "a").
  void setup(const Setup& setup);
  // [control] A missing element: both sources empty (both controls at -1), operator kept.
  void reset();
  void setOperator(const CoreStrg& name);  // [display] lookup and copy only
  void setA(const CoreStrg& source);       // [display] assigned over -1 .. 1
  void setB(const CoreStrg& source);       // [display] assigned over -1 .. 1

  // [audio] Evaluates A and B and publishes the operator's value of them.
  void step();

  const CoreStrg& name() const { return name_; }                 // [any]
  const CoreStrg& operatorName() const { return operatorName_; }  // [any]
  const CoreShtb::Entry& op() const { return *operator_; }        // [any]
  CoreMctl& controlA() { return a_; }                            // [any]
  CoreMctl& controlB() { return b_; }                            // [any]
  CoreSrct::Entry& output() const { return *output_; }           // [any]

 private:
  CoreStrg name_;
  CoreStrg nameA_;
  CoreStrg nameB_;
  CoreStrg operatorName_;
  CoreSrct* table_;
  CoreSrct::Entry* output_;
  CoreMctl a_;
  CoreMctl b_;
  const CoreShtb* operators_;
  const CoreShtb::Entry* operator_;
};
