// A low-frequency oscillator "LFO1" .. "LFO4". It advances a phase at a rate taken from its rate
// control (optionally quantised to the tempo), shifts it by its phase control, and publishes one
// of the 33 shapes of row 0 of the shape table to its output entry and its rate, on the bipolar
// scale with 24 Hz as the top, to its rate entry ("RATELFO1" .. "RATELFO4").
//
// One cycle is a phase interval of length 2. The phase accumulator is never wrapped; only the copy
// handed to the shape is.
#pragma once

#include "base/CoreStrg.h"
#include "modulation/CoreMctl.h"
#include "modulation/CoreShtb.h"
#include "modulation/CoreSrct.h"

class CoreLfos {
 public:
  // The settings of the program element "LFO" n, named after its tags and in the file's units:
  // rates in Hz, the phase factor in degrees, the rate quantize in beats (0 or less is off). A
  // default-constructed Setup is what a missing element gives.
  struct Setup {
    double MINRATE = 0.0;
    double MAXRATE = 0.0;
    double RATEQUANTIZE = 0.0;
    CoreStrg SOURCE;
    CoreStrg SHAPE;
    double PHASEFACTOR = 0.0;
    CoreStrg PHASESOURCE;
  };

  // [control] Creates the rate control (name + " Rate", unit "Hz", 0 .. 24) and the phase control
  // (name + " Phase", -1 .. 1); phase, offsets and outputs 0, shape "Sine".
  CoreLfos(const CoreStrg& name, const CoreShtb& shapes, CoreSrct& table, CoreSrct::Entry& output,
           CoreSrct::Entry& rate);

  void setup(const Setup& setup);  // [control] stores the settings and applies them
  void reset() { setup(Setup{}); }  // [control] the settings of a missing element
  // [control] [display] Rate control over MINRATE .. MAXRATE; quantize on when RATEQUANTIZE > 0;
  // k = PHASEFACTOR / 180; the accumulator and the last phase offset restart at k; phase control
  // over 0 .. 1; the shape looked up by its stored name (unknown names select "Sine").
  void apply();
  // [display] The stored settings, to be edited and followed by apply().
  Setup& settings() { return settings_; }
  const Setup& settings() const { return settings_; }

  // [audio] One program tick of dt seconds at the tempo in beats per minute: publishes the output
  // and the rate and returns the wrapped phase.
  double step(double dt, double tempo);

  const CoreStrg& name() const { return name_; }                // [any]
  CoreStrg rateSource() const { return settings_.SOURCE; }      // [display]
  CoreStrg shapeName() const { return settings_.SHAPE; }        // [display]
  CoreStrg phaseSource() const { return settings_.PHASESOURCE; }  // [display]
  const CoreShtb::Entry& shape() const { return *shape_; }      // [any]
  double phaseAccumulator() const { return accumulator_; }      // [any]
  double wrappedPhase() const { return state_.wrappedPhase; }   // [any]
  double lastOutput() const { return state_.lastOutput; }       // [any]
  double rate() const { return rate_; }                         // [any] Hz, of the last step
  double phaseScale() const { return phaseScale_; }             // [any] k
  bool quantizeOn() const { return quantizeOn_; }               // [any]
  CoreMctl& rateControl() { return rateControl_; }              // [any]
  CoreMctl& phaseControl() { return phaseControl_; }            // [any]

 private:
  CoreStrg name_;
  Setup settings_;
  double phaseScale_ = 0.0;
  double lastPhaseOffset_ = 0.0;
  double accumulator_ = 0.0;
  bool quantizeOn_ = false;
  CoreShtb::ShapeState state_{0.0, 0.0};
  double rate_ = 0.0;
  CoreMctl rateControl_;
  CoreMctl phaseControl_;
  const CoreShtb* shapes_;
  const CoreShtb::Entry* shape_;
  CoreSrct::Entry* output_;
  CoreSrct::Entry* rateEntry_;
};
