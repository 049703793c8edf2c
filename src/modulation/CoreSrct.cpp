#include "modulation/CoreSrct.h"

#include <string>

#include "modulation/CoreFlsh.h"

void CoreSrct::Entry::publish(double v) { set(CoreFlsh::finite(v, value())); }

CoreSrct::CoreSrct() { build(); }

void CoreSrct::build() {
  auto numbered = [](const char* stem, int n) { return CoreStrg((stem + std::to_string(n)).c_str()); };
  CoreStrg names[kCount];
  names[kOff] = "OFF";
  for (int i = 0; i < 4; ++i) names[kLfo1 + i] = numbered("LFO", i + 1);
  for (int i = 0; i < 8; ++i) names[kFun1 + i] = numbered("FUN", i + 1);
  for (int i = 0; i < 4; ++i) names[kEnv1 + i] = numbered("ENV", i + 1);
  for (int i = 0; i < 2; ++i) names[kAmc1 + i] = numbered("AMC", i + 1);
  for (int i = 0; i < 8; ++i) names[kMix1 + i] = numbered("MIX", i + 1);
  names[kLsto] = "LSTO";
  names[kGainIn] = "GAININ";
  names[kGainOut] = "GAINOUT";
  for (int i = 0; i < 4; ++i) names[kEvf1 + i] = numbered("EVF", i + 1);
  for (int i = 0; i < 2; ++i) names[kDnm1 + i] = numbered("DNM", i + 1);
  for (int i = 0; i < 12; ++i) names[kPrm1 + i] = numbered("PRM", i + 1);
  names[kInL] = "IN_L";
  names[kInR] = "IN_R";
  names[kOutL] = "OUTL";
  names[kOutR] = "OUTR";
  for (int i = 0; i < 8; ++i) names[kBus1 + i] = numbered("BUS", i + 1);
  for (int i = 0; i < 4; ++i) names[kRateLfo1 + i] = numbered("RATELFO", i + 1);
  names[kInP] = "IN_P";
  names[kOutP] = "OUTP";
  for (int i = 0; i < 4; ++i) names[kRawFun1 + i] = numbered("RAWFUN", i + 1);
  for (int i = 0; i < 4; ++i) names[kPrm13 + i] = numbered("PRM", i + 13);
  for (int i = 0; i < 4; ++i) names[kEat1 + i] = numbered("EAT", i + 1);
  for (int i = 0; i < 4; ++i) names[kErt1 + i] = numbered("ERT", i + 1);
  names[kEvf5] = "EVF5";
  names[kOn] = "ON";

  for (int32_t i = 0; i < kCount; ++i) {
    Entry& e = entries_[i];
    e.name_ = names[i];
    e.alias_ = "";
    e.index_ = i;
    e.set(0.0);
  }
  for (int i = 0; i < 4; ++i) entries_[kRateLfo1 + i].alias_ = numbered("RTELFO", i + 1);
  entries_[kOff].set(-1.0);
  entries_[kInL].set(-1.0);
  entries_[kInR].set(-1.0);
  entries_[kOutL].set(-1.0);
  entries_[kOutR].set(-1.0);
  entries_[kOn].set(1.0);
}

int32_t CoreSrct::findIndex(const CoreStrg& text) const {
  int32_t found = -1;
  for (int32_t i = 0; i < kCount; ++i)
    if (entries_[i].name_ == text) found = i;
  return found;
}

CoreSrct::Entry& CoreSrct::find(const CoreStrg& text) {
  const int32_t i = findIndex(text);
  return entries_[i < 0 ? kOff : i];
}

const CoreSrct::Entry& CoreSrct::find(const CoreStrg& text) const {
  const int32_t i = findIndex(text);
  return entries_[i < 0 ? kOff : i];
}

bool CoreSrct::isKnownOrEmpty(const CoreStrg& text) const {
  return text.empty() || findIndex(text) >= 0;
}

bool CoreSrct::isNamed(const CoreStrg& text) const {
  for (int32_t i = 1; i < kCount; ++i)
    if (entries_[i].name_ == text) return true;
  return false;
}

std::vector<CoreStrg> CoreSrct::names() const {
  std::vector<CoreStrg> out;
  out.reserve(kCount);
  for (const Entry& e : entries_) out.push_back(e.name_);
  return out;
}

void CoreSrct::publishUnipolar(int32_t index, double u) {
  entries_[index].publish(CoreFlsh::flush(CoreFlsh::flush(u) * 2.0 - 1.0));
}
