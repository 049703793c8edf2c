// The loaded-program record of one engine: the program's header values, its source table, every
// modulator and control, and its harmonic and raw slots with their kernel trees. The record owns
// all of them; nothing is shared between instances. The program tick runs the modulators in their
// fixed order at the program rate.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/CoreStrg.h"
#include "modulation/CoreDynm.h"
#include "modulation/CoreEnvf.h"
#include "modulation/CoreEnvl.h"
#include "modulation/CoreFunc.h"
#include "modulation/CoreLfos.h"
#include "modulation/CoreMctl.h"
#include "modulation/CorePrmt.h"
#include "modulation/CoreRawf.h"
#include "modulation/CoreRetb.h"
#include "modulation/CoreShtb.h"
#include "modulation/CoreSrct.h"
#include "modulation/CoreUctl.h"
#include "vectors/CoreSlot.h"

class CoreBlnk;
class CorePool;

class CoreProg {
 public:
  static constexpr int32_t kMixes = 8;
  static constexpr int32_t kLfos = 4;
  static constexpr int32_t kRawFuns = 4;
  static constexpr int32_t kFuns = 8;
  static constexpr int32_t kEvfs = 5;
  static constexpr int32_t kDnms = 2;
  static constexpr int32_t kEnvs = 2;
  static constexpr int32_t kPrms = 16;
  static constexpr int32_t kRawSlots = 4;

  // The header values of a program, with the values that stand for absent elements.
  struct Header {
    CoreStrg name, category, subCategory1, subCategory2, description;
    CoreStrg vectorFileName{"0"};
    std::array<bool, kMixes> mixPreset{};
    std::array<double, kMixes> mixValue{};
    double gainPadOut = 1.0;  // linear
    double gainPadIn = 1.0;
    CoreStrg gainPadInTrimSource, gainPadOutTrimSource;
    double gainIr = 1.0;
    int32_t lookAhead = 0;    // microseconds
    CoreStrg lookAheadSource{"ON"};
    int32_t programRate = -1;
    double alignBalance = 0.0;
    bool trainMode = false, jitterMode = false, hrtfMode = false;
    int32_t syncVersion = 0;
    int32_t alignOffset = 0;  // microseconds
    bool forceOt2 = false, invisibleThread = false, forceHybrid = false, forceMono = false;
    int32_t hDim = 0;
    double feedbackFactor = 0.0;  // FEEDBACKFACTOR / 100
    CoreStrg feedbackSource;
    double gainDryFactor = 0.0;   // linear; 0 is no dry signal
    CoreStrg gainDrySource;
    int32_t smooth = -1;
  };

  // [control] harmonicSlots is the engine's number of harmonic slots; one more (the hybrid slot)
  // is made. The blink clock drives the mixes' indicators.
  CoreProg(CorePool* pool, int32_t harmonicSlots, int32_t sampleRate, CoreBlnk* blink);
  ~CoreProg();
  CoreProg(const CoreProg&) = delete;
  CoreProg& operator=(const CoreProg&) = delete;

  // [control] Frees every kernel tree and puts every header value back to its default; the
  // modulators and controls are left to the caller's reset.
  void clearProgram();
  // [control] Resets every modulator (the settings of a program without their elements).
  void resetModulators();

  // [audio] One program tick: the modulators in their fixed order.
  void tick(bool vectorUpdate, double period, double level, double tempo);

  // ---- values ----
  Header header;
  bool loaded = false;
  CoreStrg basePath;  // folder of the program's data
  CoreStrg filePath;  // the current FILEPATH while a slot's tree is built
  int32_t slotsRead = 0;
  int32_t largestKernel = 0;
  int32_t sampleRate() const { return sampleRate_; }           // [any]
  void setSampleRate(int32_t rate) { sampleRate_ = rate; }     // [control]
  int32_t harmonicSlots() const { return harmonicSlots_; }     // [any]

  // ---- objects ----
  CoreSrct& sources() { return sources_; }
  const CoreShtb& shapes() const { return shapes_; }
  CoreSlot& slot(int32_t i) { return *slots_[static_cast<size_t>(i)]; }  // 0 .. harmonicSlots
  CoreSlot& hybridSlot() { return *slots_.back(); }
  CoreSlot& rawSlot(int32_t i) { return rawSlots_[static_cast<size_t>(i)]; }
  CoreUctl& userControl(int32_t i) { return *userControls_[static_cast<size_t>(i)]; }  // 0 .. 9
  CoreLfos& lfo(int32_t i) { return *lfos_[static_cast<size_t>(i)]; }
  CoreRawf& rawFun(int32_t i) { return *rawFuns_[static_cast<size_t>(i)]; }
  CoreFunc& fun(int32_t i) { return *funs_[static_cast<size_t>(i)]; }
  CoreEnvf& evf(int32_t i) { return *evfs_[static_cast<size_t>(i)]; }
  CoreDynm& dnm(int32_t i) { return *dnms_[static_cast<size_t>(i)]; }
  CoreEnvl& env(int32_t i) { return *envs_[static_cast<size_t>(i)]; }
  CorePrmt& prm(int32_t i) { return *prms_[static_cast<size_t>(i)]; }
  CoreMctl& trimInControl() { return trimIn_; }      // "Gainpadin Trim Control"
  CoreMctl& trimOutControl() { return trimOut_; }    // "Gainpadout Trim Control"
  CoreMctl& feedbackControl() { return feedback_; }  // "Feedback Control"
  CoreMctl& dryControl() { return dry_; }            // "Gaindry Control"
  CoreMctl& lookAheadControl() { return lookAhead_; }  // "Lookahead Control"

 private:
  int32_t sampleRate_;
  int32_t harmonicSlots_;
  CorePool* pool_;
  CoreSrct sources_;
  CoreShtb shapes_;
  CoreRetb rawKinds_;
  std::vector<std::unique_ptr<CoreSlot>> slots_;
  std::array<CoreSlot, kRawSlots> rawSlots_;
  std::vector<std::unique_ptr<CoreUctl>> userControls_;
  std::vector<std::unique_ptr<CoreLfos>> lfos_;
  std::vector<std::unique_ptr<CoreRawf>> rawFuns_;
  std::vector<std::unique_ptr<CoreFunc>> funs_;
  std::vector<std::unique_ptr<CoreEnvf>> evfs_;
  std::vector<std::unique_ptr<CoreDynm>> dnms_;
  std::vector<std::unique_ptr<CoreEnvl>> envs_;
  std::vector<std::unique_ptr<CorePrmt>> prms_;
  CoreMctl trimIn_;
  CoreMctl trimOut_;
  CoreMctl feedback_;
  CoreMctl dry_;
  CoreMctl lookAhead_;
};
