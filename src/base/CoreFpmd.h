// Floating-point modes of the x86-64 SSE unit (MXCSR) and the x87 control word.
// On a host's thread the modes are set through a guard that restores the host's own modes when
// our call returns; threads the system owns set them once at start.
#pragma once

#include <cstdint>

class CoreFpmd {
 public:
  // Scope guard: flush-to-zero and denormals-are-zero for audio work.
  class AudioScope {
   public:
    AudioScope();   // [audio]
    ~AudioScope();  // [audio]
    AudioScope(const AudioScope&) = delete;
    AudioScope& operator=(const AudioScope&) = delete;

   private:
    uint32_t savedMxcsr_;
  };

  // Scope guard: every floating-point exception masked (denormal included), as the
  // constructing thread needs.
  class MaskedScope {
   public:
    MaskedScope();   // [any]
    ~MaskedScope();  // [any]
    MaskedScope(const MaskedScope&) = delete;
    MaskedScope& operator=(const MaskedScope&) = delete;

   private:
    uint32_t savedMxcsr_;
    uint16_t savedX87_;
  };

  static void setThreadAudioModes();   // [any] flush-to-zero + denormals-are-zero, for own threads
  static uint32_t mxcsr();             // [any]
  static void setMxcsr(uint32_t v);    // [any]
  static uint16_t x87Control();        // [any]
  static void setX87Control(uint16_t v);  // [any]

  static constexpr uint32_t kFlushToZero = 0x8000;
  static constexpr uint32_t kDenormalsAreZero = 0x0040;
  static constexpr uint32_t kExceptionMasks = 0x1F80;  // invalid, denormal, zero, over, under, precision
  static constexpr uint16_t kX87ExceptionMasks = 0x003F;
};
