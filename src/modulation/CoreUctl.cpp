#include "modulation/CoreUctl.h"

#include <cmath>
#include <string>

#include "base/CoreTime.h"
#include "modulation/CoreFlsh.h"

CoreUctl::CoreUctl(int32_t index, CoreSrct& table, CoreBlnk* blink) : blink_(blink) {
  const bool mix = index >= 0 && index < 8;
  if (mix) {
    const std::string n = std::to_string(index + 1);
    name_ = CoreStrg(("MIX" + n).c_str());
    label_ = CoreStrg(("Mix " + n).c_str());
    unit_ = "";
    minimum_ = -1.0;
    maximum_ = 1.0;
  } else {
    const bool in = index == kGainIn;
    name_ = in ? "GAININ" : "GAINOUT";
    label_ = in ? "Gain in" : "Gain out";
    unit_ = "dB";
    minimum_ = 0.0;
    maximum_ = 1.0;
  }
  hasIndicator_ = mix;
  const double initial = mix ? 0.0 : 1.0;
  // Slot 0 starts in use so that a fresh instance answers the host; slot 1 only becomes shown
  // through setRaw while an edit has taken the control over.
  slots_[0] = Slot{initial, initial, kEqual, 0, true};
  slots_[1] = Slot{initial, initial, kEqual, 0, false};
  entry_ = &table.find(name_);
}

void CoreUctl::setRaw(double value, bool shown, bool toSlot0) {
  if (!std::isfinite(value)) return;
  CoreSpin::Guard guard(valueLock_);
  const int32_t s = slotIndex(toSlot0);
  Slot& slot = slots_[s];
  slot.current = value;
  slot.stored = value;
  {
    CoreSpin::Guard direction(directionLock_);
    slot.direction = kEqual;
  }
  slot.lastIndicator = 0;
  slot.shown = shown;
  if (s == 0) entry_->publish(value);
}

void CoreUctl::setNormalized(double x, bool toSlot0) {
  setNormalizedAt(x, toSlot0, CoreTime::days());
}

void CoreUctl::setNormalizedAt(double x, bool toSlot0, double nowDays) {
  if (x != x) return;
  CoreSpin::Guard guard(valueLock_);
  setNormalizedLocked(x, slotIndex(toSlot0), nowDays);
}

void CoreUctl::setNormalizedLocked(double x, int32_t s, double nowDays) {
  Slot& slot = slots_[s];
  if (!slot.shown) return;
  x = CoreFlsh::limit(x, 0.0, 1.0);
  const double value = minimum_ + (maximum_ - minimum_) * x;
  {
    CoreSpin::Guard direction(directionLock_);
    slot.direction = value > slot.stored ? kAbove : (value < slot.stored ? kBelow : kEqual);
  }
  if (value != slot.current) {
    indicatorExpired_ = false;
    changeDeadline_ = nowDays + kChangeHoldDays;
  }
  slot.current = value;
  if (s == 0) entry_->publish(value);
}

double CoreUctl::normalizedLocked(int32_t s) const {
  return (slots_[s].current - minimum_) / (maximum_ - minimum_);
}

double CoreUctl::getNormalized(bool fromSlot0) const {
  CoreSpin::Guard guard(valueLock_);
  return normalizedLocked(slotIndex(fromSlot0));
}

double CoreUctl::getRaw(bool fromSlot0) const {
  CoreSpin::Guard guard(valueLock_);
  return slots_[slotIndex(fromSlot0)].current;
}

void CoreUctl::step(int32_t n) {
  const double now = CoreTime::days();
  CoreSpin::Guard guard(valueLock_);
  const int32_t s = activeSlot_;
  const double amount = static_cast<double>(n) * static_cast<double>(n) * step_;
  double x = normalizedLocked(s) + (n > 0 ? amount : -amount);
  if (x < 0.0) x = 0.0;
  setNormalizedLocked(x, s, now);
}

void CoreUctl::setTravel(int32_t pixels) {
  if (pixels > 0) step_ = 1.0 / static_cast<double>(pixels);
}

void CoreUctl::takeOver(bool on) {
  CoreSpin::Guard guard(valueLock_);
  if (on) {
    activeSlot_ = 1;
    Slot& slot = slots_[1];
    slot.shown = false;
    {
      CoreSpin::Guard direction(directionLock_);
      slot.direction = kEqual;
    }
    slot.lastIndicator = 0;
    slot.current = minimum_;
    slot.stored = minimum_;
    indicatorExpired_ = false;
  } else {
    activeSlot_ = 0;
  }
}

int16_t CoreUctl::indicator() {
  return indicatorAt(CoreTime::days(), blink_ ? blink_->isOn() : true);
}

int16_t CoreUctl::indicatorAt(double nowDays, bool blinkOn) {
  CoreSpin::Guard guard(valueLock_);
  Slot& slot = slots_[activeSlot_];
  int16_t state = 0;
  if (hasIndicator_ && slot.shown) {
    {
      CoreSpin::Guard direction(directionLock_);
      state = slot.direction;
    }
    if (activeSlot_ == 0) {
      if (!indicatorExpired_ && nowDays > changeDeadline_) indicatorExpired_ = true;
      if (indicatorExpired_ && !blinkOn) state = 0;
    }
  }
  slot.lastIndicator = state;
  return state;
}

int16_t CoreUctl::direction(int32_t slot) const {
  CoreSpin::Guard guard(valueLock_);
  CoreSpin::Guard direction(directionLock_);
  return slots_[slot & 1].direction;
}

bool CoreUctl::shown(int32_t slot) const {
  CoreSpin::Guard guard(valueLock_);
  return slots_[slot & 1].shown;
}

double CoreUctl::storedValue(int32_t slot) const {
  CoreSpin::Guard guard(valueLock_);
  return slots_[slot & 1].stored;
}

int16_t CoreUctl::lastIndicator(int32_t slot) const {
  CoreSpin::Guard guard(valueLock_);
  return slots_[slot & 1].lastIndicator;
}

int16_t CoreUctl::activeSlot() const {
  CoreSpin::Guard guard(valueLock_);
  return activeSlot_;
}

bool CoreUctl::indicatorExpired() const {
  CoreSpin::Guard guard(valueLock_);
  return indicatorExpired_;
}

double CoreUctl::changeDeadline() const {
  CoreSpin::Guard guard(valueLock_);
  return changeDeadline_;
}

double CoreUctl::reported() const {
  CoreSpin::Guard g(valueLock_);
  return reported_;
}

void CoreUctl::setReported(double normalized) {
  CoreSpin::Guard g(valueLock_);
  reported_ = normalized;
}
