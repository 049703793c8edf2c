// The control thread of one instance: one tick every GUIRATE microseconds for the host-visible
// housekeeping, away from the audio thread. Its control lock is held for a whole tick and by the
// host adapter around chunk restores.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "base/CoreSpin.h"
#include "base/CoreTthr.h"

class CoreDsif;
class CoreEngn;
class CoreOstr;
class CorePrcs;

class CoreCtrl : public CoreTthr {
 public:
  CoreCtrl(CoreOstr* plugin, CoreEngn* core);  // [control]
  ~CoreCtrl() override;

  void body() override;

  CoreSpin& controlLock() { return *controlLock_; }  // [any]
  int32_t editorCount() const;                       // [any]
  void changeEditorCount(bool opened);               // [gui] never below 0
  int32_t period() const { return period_; }         // [any] milliseconds
  bool sideChainSeen() const { return sideChainSeen_; }  // [audio]

 private:
  void tick();

  int32_t editorCount_ = 0;
  // A failed engine has no GUIRATE; the thread then ticks at the default 40 ms.
  int32_t period_ = 40;
  int32_t periodMicros_ = 40000;
  int16_t displayCountdown_ = 3;
  int16_t rateCountdown_ = 20;
  bool sideChainSeen_ = true;
  CoreEngn* core_;
  std::unique_ptr<CoreSpin> controlLock_;
  CoreDsif* display_ = nullptr;
  CorePrcs* engine_ = nullptr;
  CoreOstr* plugin_;
  std::unique_ptr<CoreSpin> countLock_;
  std::array<uint8_t, 104> snapshot_{};
};
