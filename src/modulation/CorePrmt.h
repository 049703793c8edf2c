// A free parameter "PRM1" .. "PRM16": computed like a function generator (controls A and B and an
// operator of row 1 of the shape and operator table) and published to its source entry, with
// presentation data for the display: a label and units, a value range, a bar range, visibility,
// and an optional assignment to one of the eight mix controls (PRELABEL "1" .. "8").
//
// Parameters are not stepped in the program tick; they are evaluated after edits and by the
// display's refresh.
#pragma once

#include <cstdint>

#include "base/CoreStrg.h"
#include "modulation/CoreMctl.h"
#include "modulation/CoreShtb.h"
#include "modulation/CoreSrct.h"

class CoreUctl;

class CorePrmt {
 public:
  static constexpr int32_t kParameters = 16;
  enum TextField : int32_t { kLabel, kPrelabel, kUnit, kPreunit, kPostunit };
  enum NumberField : int32_t { kMinValue, kMaxValue, kBarMinValue, kBarMaxValue };

  // The element "TESSELPRM" j (or "PRM" j) of the program's DISPLAY, named after its tags.
  // BARMINVALUE and BARMAXVALUE default to the MINVALUE and MAXVALUE read unless their presence
  // flags are set; VISIBLE is the number read (visible when not 0).
  struct Setup {
    CoreStrg A;
    CoreStrg B;
    CoreStrg FUN;
    CoreStrg LABEL;
    CoreStrg PRELABEL;
    CoreStrg UNIT;
    CoreStrg PREUNIT;
    CoreStrg POSTUNIT;
    double MINVALUE = 0.0;
    double MAXVALUE = 0.0;
    double BARMINVALUE = 0.0;
    bool hasBARMINVALUE = false;
    double BARMAXVALUE = 0.0;
    bool hasBARMAXVALUE = false;
    double VISIBLE = 0.0;
  };

  // [control] Controls name + "_A", name + "_B" (unit "-", -1 .. 1); not defined.
  CorePrmt(const CoreStrg& name, const CoreShtb& operators, CoreSrct& table,
           CoreSrct::Entry& output);

  // [control] A and B over -1 .. 1, the operator looked up ("a" when unknown), texts and numbers
  // stored, the bar derived; defined.
  void setup(const Setup& setup);
  // [control] [display] Everything emptied (operator "a", numbers 0, flags false); with create
  // the parameter becomes defined and labelled (a new empty parameter for the editor).
  void clear(bool create);

  // [display] The editors; each is followed by an evaluation.
  void setOperator(const CoreStrg& name);
  void setA(const CoreStrg& source);
  void setB(const CoreStrg& source);
  void setText(TextField field, const CoreStrg& text);
  void setNumber(NumberField field, double value);
  void setVisible(bool visible);

  // [control] [display] When defined: A and B evaluated and the operator's value published.
  void evaluate();
  // [any] When defined and labelled: minimum + (maximum - minimum) x the output as unipolar;
  // otherwise 0.
  double displayValue() const;
  // [any] (v - bar minimum) x bar scale, at most 1, for v at or above the bar's low end; below it
  // 1 for an inverted bar and 0 otherwise.
  double barFraction() const;

  // [control] [display] The mix assignment, run whenever a PRELABEL changes: every user control
  // forgets its linked parameter, then "MIX" n links to the first visible parameter (in order)
  // whose PRELABEL is the decimal text of n. controls are the ten user controls (MIX1 .. MIX8,
  // GAININ, GAINOUT), parameters PRM1 .. PRM16.
  static void assignMixes(CorePrmt* const* parameters, int32_t parameterCount,
                          CoreUctl* const* controls, int32_t controlCount);
  // [control] [display] Evaluates the parameters in order.
  static void evaluateAll(CorePrmt* const* parameters, int32_t count);

  const CoreStrg& name() const { return name_; }  // [any]
  const CoreStrg& text(TextField field) const;   // [any]
  double number(NumberField field) const;        // [any]
  const CoreStrg& operatorName() const { return operatorName_; }  // [any]
  const CoreStrg& sourceA() const { return a_.sourceText(); }     // [any]
  const CoreStrg& sourceB() const { return b_.sourceText(); }     // [any]
  double barLow() const { return barLow_; }      // [any]
  double barScale() const { return barScale_; }  // [any]
  bool defined() const { return defined_; }      // [any]
  bool labelled() const { return labelled_; }    // [any]
  bool visible() const { return visible_; }      // [any]
  bool barInverted() const { return barInverted_; }  // [any]
  CoreMctl& controlA() { return a_; }            // [any]
  CoreMctl& controlB() { return b_; }            // [any]
  CoreSrct::Entry& output() const { return *output_; }  // [any]

 private:
  void deriveBar();

  CoreStrg name_;
  CoreStrg nameA_;
  CoreStrg nameB_;
  CoreStrg operatorName_;
  CoreStrg texts_[5];
  double minimum_ = 0.0;
  double maximum_ = 0.0;
  double barMinimum_ = 0.0;
  double barMaximum_ = 0.0;
  double barLow_ = 0.0;
  double barScale_ = 1.0;
  bool defined_ = false;
  bool labelled_ = false;
  bool visible_ = false;
  bool barInverted_ = false;
  CoreSrct* table_;
  CoreSrct::Entry* output_;
  CoreMctl a_;
  CoreMctl b_;
  const CoreShtb* operators_;
  const CoreShtb::Entry* operator_;
};
