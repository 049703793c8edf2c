#include "programs/CoreProg.h"

#include <cmath>

#include "modulation/CoreFlsh.h"

namespace {

CoreStrg numbered(const char* stem, int32_t n) { return CoreStrg(stem) + CoreStrg(n); }

}  // namespace

CoreProg::CoreProg(CorePool* pool, int32_t harmonicSlots, int32_t sampleRate, CoreBlnk* blink)
    : sampleRate_(sampleRate),
      harmonicSlots_(harmonicSlots < 1 ? 1 : harmonicSlots),
      pool_(pool),
      trimIn_(CoreStrg("Gainpadin Trim Control"), CoreStrg("Gainpadin Trim Control"), CoreStrg(""), 0.0, 1.0, sources_),
      trimOut_(CoreStrg("Gainpadout Trim Control"), CoreStrg("Gainpadout Trim Control"), CoreStrg(""), 0.0, 1.0, sources_),
      feedback_(CoreStrg("Feedback Control"), CoreStrg("Feedback Control"), CoreStrg(""), 0.0, 1.0, sources_),
      dry_(CoreStrg("Gaindry Control"), CoreStrg("Gaindry Control"), CoreStrg(""), 0.0, 1.0, sources_),
      lookAhead_(CoreStrg("Lookahead Control"), CoreStrg("Lookahead Control"), CoreStrg(""), 0.0, 1.0, sources_) {
  for (int32_t i = 0; i <= harmonicSlots_; ++i) slots_.push_back(std::make_unique<CoreSlot>());
  for (int32_t i = 0; i < CoreUctl::kControls; ++i)
    userControls_.push_back(std::make_unique<CoreUctl>(i, sources_, blink));
  for (int32_t i = 0; i < kLfos; ++i)
    lfos_.push_back(std::make_unique<CoreLfos>(numbered("LFO", i + 1), shapes_, sources_,
                                               sources_.entry(CoreSrct::kLfo1 + i),
                                               sources_.entry(CoreSrct::kRateLfo1 + i)));
  for (int32_t i = 0; i < kRawFuns; ++i)
    rawFuns_.push_back(std::make_unique<CoreRawf>(numbered("RAWFUN", i + 1), rawKinds_, sources_,
                                                  sources_.entry(CoreSrct::kRawFun1 + i)));
  for (int32_t i = 0; i < kFuns; ++i)
    funs_.push_back(std::make_unique<CoreFunc>(numbered("FUN", i + 1), shapes_, sources_,
                                               sources_.entry(CoreSrct::kFun1 + i)));
  for (int32_t i = 0; i < kEvfs; ++i) {
    const bool fifth = i == 4;
    CoreSrct::Entry& off = sources_.entry(CoreSrct::kOff);
    evfs_.push_back(std::make_unique<CoreEnvf>(
        *pool_, numbered("EVF", i + 1), true, &sources_,
        &sources_.entry(fifth ? CoreSrct::kEvf5 : CoreSrct::kEvf1 + i),
        fifth ? &off : &sources_.entry(CoreSrct::kEat1 + i),
        fifth ? &off : &sources_.entry(CoreSrct::kErt1 + i)));
  }
  for (int32_t i = 0; i < kDnms; ++i)
    dnms_.push_back(std::make_unique<CoreDynm>(numbered("DNM", i + 1), sources_,
                                               sources_.entry(CoreSrct::kDnm1 + i)));
  for (int32_t i = 0; i < kEnvs; ++i)
    envs_.push_back(std::make_unique<CoreEnvl>(numbered("ENV", i + 1), sources_,
                                               sources_.entry(CoreSrct::kEnv1 + i)));
  for (int32_t i = 0; i < kPrms; ++i) {
    const int32_t entry = i < 12 ? CoreSrct::kPrm1 + i : CoreSrct::kPrm13 + (i - 12);
    prms_.push_back(std::make_unique<CorePrmt>(numbered("PRM", i + 1), shapes_, sources_,
                                               sources_.entry(entry)));
  }
  resetModulators();
}

CoreProg::~CoreProg() {
  for (auto& r : rawFuns_) r->detachCurves();
}

void CoreProg::clearProgram() {
  for (auto& r : rawFuns_) r->detachCurves();
  for (auto& s : slots_) s->clear();
  for (CoreSlot& s : rawSlots_) s.clear();
  header = Header{};
  loaded = false;
  filePath = CoreStrg("");
  slotsRead = 0;
  largestKernel = 0;
}

void CoreProg::resetModulators() {
  for (auto& l : lfos_) l->reset();
  for (auto& r : rawFuns_) {
    CoreRawf::Setup s;
    s.sampleRate = sampleRate_;
    r->setup(s);
  }
  for (auto& f : funs_) f->reset();
  for (auto& e : evfs_) e->reset();
  for (auto& d : dnms_) d->reset();
  for (auto& e : envs_) e->reset();
  for (auto& p : prms_) p->clear(true);
}

void CoreProg::tick(bool vectorUpdate, double period, double level, double tempo) {
  (void)vectorUpdate;
  sources_.publishUnipolar(CoreSrct::kLsto, std::fabs(CoreFlsh::flush(level)));
  for (auto& e : evfs_) e->step();
  const double dt = sampleRate_ > 0 ? CoreFlsh::flush(period / sampleRate_) : 0.0;
  for (auto& l : lfos_) l->step(dt, tempo);
  for (auto& f : funs_) f->step();
  for (auto& d : dnms_) d->step();
  for (auto& e : envs_) e->step(period);
  for (auto& r : rawFuns_)
    if (r->enabled()) r->step(period);
}
