// Blink clock shared by the display and the engine: on for one second, off for the next.
#pragma once

class CoreBlnk {
 public:
  CoreBlnk();                      // starts now
  bool isOn() const;               // [any] while the sine of the elapsed phase is positive
  double rate() const { return rate_; }    // [any] radians per day
  double start() const { return start_; }  // [any] days

 private:
  double rate_;   // 2 pi x 43200 radians per day: a period of two seconds
  double start_;  // millisecond timer x 0.001 / 86400
};
