// A dynamics gain computer "DNM1" or "DNM2": compares an input level with a threshold (both read
// as unipolar linear levels from their controls) and turns the excess in dB into a linear gain
// g, as a compressor ("COMP") or an expander ("EXPN") with a ratio from a third control, a range
// limit, an optional soft-knee curve and a make-up gain. Publishes g x 2 - 1.
#pragma once

#include <cstdint>

#include "base/CoreStrg.h"
#include "modulation/CoreMctl.h"
#include "modulation/CoreSrct.h"

class CoreDynm {
 public:
  static constexpr int16_t kMaxCurve = 8;

  // The program element "DNM" n, named after its tags, in the file's units (RANGELIMIT and
  // GAINPADFACTOR in dB, used as dB; RATIOCURVE as the real the file holds, -1 when absent).
  // The unit is a compressor driven by RATIOCOMSOURCE when that tag is present, otherwise an
  // expander driven by RATIOEXPSOURCE when that one is, otherwise a compressor with an empty
  // ratio source; the reader sets the presence flags.
  struct Setup {
    CoreStrg THRESHOLDSOURCE;
    CoreStrg INPUTSOURCE;
    CoreStrg RATIOCOMSOURCE;
    bool hasRATIOCOMSOURCE = false;
    CoreStrg RATIOEXPSOURCE;
    bool hasRATIOEXPSOURCE = false;
    double RANGELIMIT = 0.0;
    double RATIOCURVE = -1.0;
    double GAINPADFACTOR = 0.0;
  };

  // [control] Controls "Threshold Control", "Input Control", "Ratio Control" (-1 .. 1).
  CoreDynm(const CoreStrg& name, CoreSrct& table, CoreSrct::Entry& output);

  void setup(const Setup& setup);  // [control] maps the tags onto setupUnit()
  // [control] [display] The three controls assigned over -1 .. 1; type, range (its reciprocal 1 /
  // range when above 0, else 0), make-up (dB), curve on and curve exponent (at most 8) stored;
  // enabled only when the Input control follows a real source; gain 0, published as -1.
  void setupUnit(const CoreStrg& threshold, const CoreStrg& input, bool compressor,
                 const CoreStrg& ratio, bool curveOn, int16_t curve, double range, double makeup);
  // [display] "Dynmc Type:" choice 0 "COMP" / 1 "EXPN"; "Curve:" choice i ("LINEAR", "ANALOG",
  // "EXP 1" .. "EXP 8") switches the curve on with exponent i - 1.
  void setFromDisplay(int16_t typeChoice, const CoreStrg& threshold, const CoreStrg& input,
                      const CoreStrg& ratio, int16_t curveChoice, double range, double makeup);
  // [control] A missing element: disabled, gain 0, compressor, curve off (-1), empty sources,
  // range and make-up 0.
  void reset();
  CoreMctl& control(int32_t i);  // [any] 0 Threshold, 1 Input, 2 Ratio

  // [audio] One program tick. An expander whose ratio is 0 (1/R infinite), or any excess whose gain
  // overflows, keeps the last gain: the unit holds rather than publish an unbounded gain.
  void step();

  const CoreStrg& name() const { return name_; }  // [any]
  double gain() const { return gain_; }           // [any]
  bool enabled() const { return enabled_; }       // [any]
  bool compressor() const { return compressor_; }  // [any]
  bool curveOn() const { return curveOn_; }       // [any]
  int16_t curve() const { return curve_; }        // [any]
  int16_t typeChoice() const { return typeChoice_; }    // [any]
  int16_t curveChoice() const { return curveChoice_; }  // [any]
  double range() const { return range_; }         // [any] dB
  double makeup() const { return makeup_; }       // [any] dB

 private:
  CoreStrg name_;
  CoreStrg thresholdSource_;
  CoreStrg inputSource_;
  CoreStrg ratioSource_;
  double range_ = 0.0;
  double reciprocal_ = 0.0;
  double makeup_ = 0.0;
  int16_t curve_ = -1;
  int16_t typeChoice_ = 0;
  int16_t curveChoice_ = 0;
  double gain_ = 0.0;
  bool enabled_ = false;
  bool compressor_ = true;
  bool curveOn_ = false;
  CoreMctl threshold_;
  CoreMctl input_;
  CoreMctl ratio_;
  CoreSrct::Entry* output_;
};
