// A modulated control: a value in the control's own unit recomputed at the program rate from one
// named source of the program's source table, or from a constant. The source text is resolved
// once, at assignment; evaluation is a handful of operations on the resolved reference.
//
// value = (s + 1) x 0.5 x range + minimum, flushed, where s is the source's value or the constant.
// An empty text follows "OFF" (the control sits at its minimum), "ON" puts it at its maximum, a
// number c at minimum + (c + 1) x 0.5 x range, and a text that is neither a name nor a number
// reads as the constant 0 (the middle of the range). The result is not clamped.
#pragma once

#include "base/CoreStrg.h"
#include "modulation/CoreSrct.h"

class CoreMctl {
 public:
  // [control] A fresh control follows "OFF" with the default range, so it evaluates to the
  // default minimum (its range is 0 until the first assignment).
  CoreMctl(const CoreStrg& name, const CoreStrg& label, const CoreStrg& unit,
           double defaultMinimum, double defaultMaximum, CoreSrct& table);

  // [control] [display] Stores the text and resolves it. A known name (or the empty text) selects
  // that entry; any other text becomes a constant, read like strtod reads its leading number (a
  // failed conversion, and a text that does not read as a finite number such as "inf" or "nan",
  // gives 0). A minimum or maximum that is NaN counts as 0, an infinite one as the largest finite
  // value of its sign.
  void assign(const CoreStrg& sourceText, double minimum, double maximum);

  // [audio] Recomputes and stores the value. The result is always finite and flushed.
  double evaluate();

  double value() const { return value_; }                 // [any] the last evaluated value
  const CoreStrg& name() const { return name_; }          // [any]
  const CoreStrg& label() const { return label_; }        // [any]
  const CoreStrg& unit() const { return unit_; }          // [any]
  const CoreStrg& sourceText() const { return sourceText_; }  // [any]
  // [display] The source text, or for a constant the constant formatted with "%10.10f".
  CoreStrg displayText() const;
  double constant() const { return constant_; }           // [any]
  double defaultMinimum() const { return defaultMinimum_; }  // [any]
  double defaultMaximum() const { return defaultMaximum_; }  // [any]
  double minimum() const { return minimum_; }             // [any]
  double maximum() const { return maximum_; }             // [any]
  double range() const { return range_; }                 // [any]
  bool isConstant() const { return isConstant_; }         // [any]
  // [any] The text names an entry with index 1 or higher (a real modulation source).
  bool isNamed() const { return isNamed_; }
  const CoreSrct::Entry* source() const { return source_; }  // [any] null for a constant
  CoreSrct& table() const { return *table_; }             // [any]

 private:
  CoreStrg name_;
  CoreStrg label_;
  CoreStrg unit_;
  CoreStrg sourceText_;
  double value_ = 0.0;
  double constant_ = 0.0;
  double defaultMinimum_;
  double defaultMaximum_;
  double minimum_;
  double maximum_;
  double range_ = 0.0;
  bool isConstant_ = false;
  bool isNamed_ = false;
  const CoreSrct::Entry* source_;
  CoreSrct* table_;
};
