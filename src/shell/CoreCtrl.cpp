#include "shell/CoreCtrl.h"

#include "base/CoreLogr.h"
#include "base/CoreTime.h"
#include "runtime/CorePrcs.h"
#include "shell/CoreEngn.h"

namespace {
void trace(const char* text) { CoreLogr::trace(CoreStrg(text), 0, 7); }
}  // namespace

CoreCtrl::CoreCtrl(CoreOstr* plugin, CoreEngn* core)
    : core_(core),
      controlLock_(std::make_unique<CoreSpin>()),
      plugin_(plugin),
      countLock_(std::make_unique<CoreSpin>()) {
  trace("CoreCtrl constructor starts");
  if (core_ && !core_->failed()) {
    display_ = core_->display();
    engine_ = core_->engine();
    if (engine_ && !engine_->failed()) {
      periodMicros_ = engine_->guiRate();
      period_ = static_cast<int32_t>(periodMicros_ * 0.001);
    }
  }
  start();
  trace("CoreCtrl constructor ends");
}

CoreCtrl::~CoreCtrl() {
  trace("CoreCtrl destructor starts");
  controlLock_->acquire();
  requestStop();
  controlLock_->release();
  join();
  trace("CoreCtrl destructor thread removed");
  trace("CoreCtrl destructor ends");
}

int32_t CoreCtrl::editorCount() const {
  CoreSpin::Guard g(*countLock_);
  return editorCount_;
}

void CoreCtrl::changeEditorCount(bool opened) {
  CoreSpin::Guard g(*countLock_);
  if (opened)
    ++editorCount_;
  else if (editorCount_ > 0)
    --editorCount_;
}

void CoreCtrl::body() {
  while (!stopRequested()) {
    const bool locked = controlLock_->tryAcquire();
    if (locked) {
      tick();
      controlLock_->release();
    }
    // Sleep in short steps so a stop request is seen quickly.
    for (int32_t slept = 0; slept < period_ && !stopRequested(); slept += 5)
      CoreTime::sleepMs(period_ - slept < 5 ? period_ - slept : 5);
    if (period_ <= 0) CoreTime::sleepMs(0);  // GUIRATE below 1 ms: only yield
  }
  trace("CoreCtrl thread died");
}

void CoreCtrl::tick() {
  // The display refresh, automation sync, rate update and status snapshot join the tick as the
  // display and the engine gain them.
  if (--displayCountdown_ <= 0) displayCountdown_ = 3;
}
