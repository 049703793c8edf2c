// A user control: one of the ten controls the host sees as its parameters (index 0 .. 7 are
// "MIX1" .. "MIX8", 8 is "GAININ", 9 is "GAINOUT"). It writes its value, in its own unit (bipolar
// for the mixes, 0 .. 1 for the gains), into the source entry of the same name.
//
// Two value slots: slot 0 is the live value; slot 1 is a scratch slot that becomes active while
// an edit takes the control over. Each slot remembers the value last set by setRaw (normally the
// program's) and a direction state telling in which direction the control has left it
// (1 above, 2 below, 3 equal), which the mixes show on an LED. After a change the LED is steady
// for 3 seconds, then it shows the state only in the on phase of the instance's blink clock.
//
// Every access to the slots takes the first spin lock; the direction state is written under the
// second one, always inside the first.
#pragma once

#include <cstdint>

#include "base/CoreBlnk.h"
#include "base/CoreSpin.h"
#include "base/CoreStrg.h"
#include "modulation/CoreSrct.h"

class CoreUctl {
 public:
  static constexpr int32_t kControls = 10;
  static constexpr int32_t kGainIn = 8;
  static constexpr int32_t kGainOut = 9;
  static constexpr double kDefaultStep = 0.0078125;              // 1/128
  static constexpr double kChangeHoldDays = 3.472222222222222e-5;  // 3 s
  static constexpr int16_t kAbove = 1;
  static constexpr int16_t kBelow = 2;
  static constexpr int16_t kEqual = 3;

  // [control] index 0 .. 9 as above. The mixes keep the blink clock for their indicator (null:
  // always in the on phase); the gains have no indicator. The mixes start at 0, the gains at 1;
  // the source entry keeps the table's initial value until the first set.
  CoreUctl(int32_t index, CoreSrct& table, CoreBlnk* blink);
  CoreUctl(const CoreUctl&) = delete;
  CoreUctl& operator=(const CoreUctl&) = delete;

  // [control] [display] Writes the value into slot 0 (toSlot0) or the active slot as current and
  // stored value; direction 3, indicator output 0, the shown flag as given. Slot 0 also writes the
  // value into the source entry. A value that is not finite is ignored.
  void setRaw(double value, bool shown, bool toSlot0);
  // [any] Only when the chosen slot is shown: value = minimum + (maximum - minimum) x, with x
  // limited to [0, 1] (NaN is ignored); the direction against the stored value; a change restarts
  // the 3-second hold of the indicator. Slot 0 also writes the source entry.
  void setNormalized(double x, bool toSlot0);
  void setNormalizedAt(double x, bool toSlot0, double nowDays);  // [any] with an explicit clock
  double getNormalized(bool fromSlot0) const;  // [any] (current - minimum) / (maximum - minimum)
  double getRaw(bool fromSlot0) const;         // [any] the current value
  // [any] n > 0 raises, n <= 0 lowers the active slot's normalized value by n^2 x step, clamped
  // at 0 below (and at 1 above by setNormalized).
  void step(int32_t n);
  // [gui] The editor reports the pixel travel of the control's slider or knob: step = 1 / travel.
  void setTravel(int32_t pixels);
  double stepSize() const { return step_; }  // [any]
  // [any] on: slot 1 becomes active, not shown, direction 3, indicator 0, both values the
  // minimum, indicator-expired cleared. off: slot 0 becomes active.
  void takeOver(bool on);
  // [any] The LED state: 0 without an indicator or when the active slot is not shown; otherwise
  // the active slot's direction, which for slot 0 after the hold has expired only shows in the
  // blink clock's on phase. The result is also stored in the slot.
  int16_t indicator();
  int16_t indicatorAt(double nowDays, bool blinkOn);  // [any] with an explicit clock and phase

  int16_t direction(int32_t slot) const;       // [any]
  bool shown(int32_t slot) const;              // [any]
  double storedValue(int32_t slot) const;      // [any]
  int16_t lastIndicator(int32_t slot) const;   // [any]
  int16_t activeSlot() const;                  // [any]
  bool indicatorExpired() const;               // [any]
  double changeDeadline() const;               // [any] days

  // [any] The normalised value last reported to the host (automation), under the value lock.
  double reported() const;
  void setReported(double normalized);  // [any]

  // [any] The parameter linked to this control for display (0 .. 15), -1 when none.
  int16_t linkedParameter() const { return linkedParameter_; }
  void setLinkedParameter(int16_t parameter) { linkedParameter_ = parameter; }  // [control]

  const CoreStrg& name() const { return name_; }    // [any] the source name it feeds
  const CoreStrg& label() const { return label_; }  // [any]
  const CoreStrg& unit() const { return unit_; }    // [any]
  double minimum() const { return minimum_; }       // [any]
  double maximum() const { return maximum_; }       // [any]
  bool hasIndicator() const { return hasIndicator_; }  // [any]
  CoreSrct::Entry& entry() const { return *entry_; }   // [any]

 private:
  struct Slot {
    double current;
    double stored;
    int16_t direction;
    int16_t lastIndicator;
    bool shown;
  };
  int32_t slotIndex(bool slot0) const { return slot0 ? 0 : activeSlot_; }
  void setNormalizedLocked(double x, int32_t slot, double nowDays);
  double normalizedLocked(int32_t slot) const;

  CoreStrg name_;
  CoreStrg label_;
  CoreStrg unit_;
  double minimum_;
  double maximum_;
  double step_ = kDefaultStep;
  Slot slots_[2];
  int16_t activeSlot_ = 0;
  int16_t linkedParameter_ = -1;
  double reported_ = 0.0;
  bool hasIndicator_;
  bool indicatorExpired_ = false;
  double changeDeadline_ = 0.0;
  CoreSrct::Entry* entry_;
  CoreBlnk* blink_;
  mutable CoreSpin valueLock_;
  mutable CoreSpin directionLock_;
};
