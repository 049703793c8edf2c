#include "base/CoreFpmd.h"

#include <xmmintrin.h>

uint32_t CoreFpmd::mxcsr() { return _mm_getcsr(); }
void CoreFpmd::setMxcsr(uint32_t v) { _mm_setcsr(v); }

uint16_t CoreFpmd::x87Control() {
  uint16_t cw = 0;
  __asm__ __volatile__("fnstcw %0" : "=m"(cw));
  return cw;
}

void CoreFpmd::setX87Control(uint16_t v) { __asm__ __volatile__("fldcw %0" : : "m"(v)); }

void CoreFpmd::setThreadAudioModes() { setMxcsr(mxcsr() | kFlushToZero | kDenormalsAreZero); }

CoreFpmd::AudioScope::AudioScope() : savedMxcsr_(mxcsr()) {
  const uint32_t wanted = savedMxcsr_ | kFlushToZero | kDenormalsAreZero;
  if (wanted != savedMxcsr_) setMxcsr(wanted);
}

CoreFpmd::AudioScope::~AudioScope() {
  if (mxcsr() != savedMxcsr_) setMxcsr(savedMxcsr_);
}

CoreFpmd::MaskedScope::MaskedScope() : savedMxcsr_(mxcsr()), savedX87_(x87Control()) {
  setMxcsr((savedMxcsr_ | kExceptionMasks) & ~0x3Fu);  // mask all, clear sticky status bits
  setX87Control(static_cast<uint16_t>(savedX87_ | kX87ExceptionMasks));
}

CoreFpmd::MaskedScope::~MaskedScope() {
  setMxcsr(savedMxcsr_);
  setX87Control(savedX87_);
}
