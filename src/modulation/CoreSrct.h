// The source table of a program: 84 named entries, each one double in the bipolar unit (-1 is
// the bottom, +1 the top). Each entry is written by exactly one producer (a modulator, a user
// control, the program tick, the engine's meters) and read by any number of controls. The order
// and the indices are fixed: the program build and the processing path address entries by index.
//
// Values are written on the processing thread and read without locks by the display and the
// editor; a relaxed atomic keeps those reads defined (it compiles to a plain load and store).
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "base/CoreStrg.h"

class CoreSrct {
 public:
  static constexpr int32_t kCount = 84;
  // First index of each group.
  static constexpr int32_t kOff = 0;
  static constexpr int32_t kLfo1 = 1;       // LFO1 .. LFO4
  static constexpr int32_t kFun1 = 5;       // FUN1 .. FUN8
  static constexpr int32_t kEnv1 = 13;      // ENV1 .. ENV4 (ENV3, ENV4 are never written)
  static constexpr int32_t kAmc1 = 17;      // AMC1, AMC2 (never written)
  static constexpr int32_t kMix1 = 19;      // MIX1 .. MIX8
  static constexpr int32_t kLsto = 27;
  static constexpr int32_t kGainIn = 28;
  static constexpr int32_t kGainOut = 29;
  static constexpr int32_t kEvf1 = 30;      // EVF1 .. EVF4
  static constexpr int32_t kDnm1 = 34;      // DNM1, DNM2
  static constexpr int32_t kPrm1 = 36;      // PRM1 .. PRM12
  static constexpr int32_t kInL = 48;
  static constexpr int32_t kInR = 49;
  static constexpr int32_t kOutL = 50;
  static constexpr int32_t kOutR = 51;
  static constexpr int32_t kBus1 = 52;      // BUS1 .. BUS8
  static constexpr int32_t kRateLfo1 = 60;  // RATELFO1 .. RATELFO4 (aliases RTELFO1 .. RTELFO4)
  static constexpr int32_t kInP = 64;
  static constexpr int32_t kOutP = 65;
  static constexpr int32_t kRawFun1 = 66;   // RAWFUN1 .. RAWFUN4
  static constexpr int32_t kPrm13 = 70;     // PRM13 .. PRM16
  static constexpr int32_t kEat1 = 74;      // EAT1 .. EAT4
  static constexpr int32_t kErt1 = 78;      // ERT1 .. ERT4
  static constexpr int32_t kEvf5 = 82;
  static constexpr int32_t kOn = 83;

  class Entry {
   public:
    Entry() = default;
    Entry(const Entry&) = delete;
    Entry& operator=(const Entry&) = delete;

    const CoreStrg& name() const { return name_; }    // [any]
    const CoreStrg& alias() const { return alias_; }  // [any]
    int32_t index() const { return index_; }          // [any]
    double value() const { return value_.load(std::memory_order_relaxed); }  // [any]
    // [audio] Stores the value as it is (tests and the table's own initial values).
    void set(double v) { value_.store(v, std::memory_order_relaxed); }
    // [audio] The producers' write: finite and flushed. A NaN leaves the last value in place,
    // infinities become the largest finite value of their sign, subnormals +0.
    void publish(double v);

   private:
    friend class CoreSrct;
    CoreStrg name_;
    CoreStrg alias_;
    int32_t index_ = 0;
    std::atomic<double> value_{0.0};
  };

  CoreSrct();  // [control] builds the table
  CoreSrct(const CoreSrct&) = delete;
  CoreSrct& operator=(const CoreSrct&) = delete;

  // [control] (Re)creates the 84 entries with their initial values: -1 for "OFF" and the four
  // level meters IN_L .. OUTR, +1 for "ON", 0 for the rest.
  void build();

  int32_t count() const { return kCount; }  // [any]
  Entry& entry(int32_t index) { return entries_[index]; }              // [any] 0 .. 83
  const Entry& entry(int32_t index) const { return entries_[index]; }  // [any] 0 .. 83
  double value(int32_t index) const { return entries_[index].value(); }  // [any]

  // [any] The last entry whose name equals the text byte by byte (case-sensitive); entry 0
  // ("OFF") when none does. Aliases are never searched.
  Entry& find(const CoreStrg& text);
  const Entry& find(const CoreStrg& text) const;
  // [any] The text is empty or the name of any entry ("OFF" included).
  bool isKnownOrEmpty(const CoreStrg& text) const;
  // [any] The text is the name of an entry with index 1 or higher: a real modulation source.
  bool isNamed(const CoreStrg& text) const;
  // [display] The 84 names in index order, for the source choosers.
  std::vector<CoreStrg> names() const;

  // [audio] Publishes a unipolar level u as u x 2 - 1 (u flushed first, the result flushed):
  // the program tick's "LSTO" and the engine's six meters.
  void publishUnipolar(int32_t index, double u);

 private:
  int32_t findIndex(const CoreStrg& text) const;  // -1 when no entry has the name

  Entry entries_[kCount];
};
