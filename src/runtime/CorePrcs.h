// The processing engine of one instance. Until the engine is built out it keeps what its
// creator hands it, answers the identity settings with their defaults and passes audio through.
#pragma once

#include <cstdint>

#include "base/CoreStrg.h"

class CoreBlnk;
class CoreFsys;
class CorePool;

class CorePrcs {
 public:
  CorePrcs(CorePool* pool, const CoreStrg& codeFolder, int32_t sampleRate, CoreBlnk* blink,
           const CoreStrg& moduleName, CoreFsys* fsys, const CoreStrg& masterText);  // [control]
  ~CorePrcs();
  CorePrcs(const CorePrcs&) = delete;
  CorePrcs& operator=(const CorePrcs&) = delete;

  bool failed() const { return failed_; }                       // [any]
  int32_t delayCompensation() const { return 0; }               // [any]
  bool legacyStereoChannel() const { return true; }             // [any] LEGACYSTEREOCHANNEL
  CoreStrg magic() const { return CoreStrg("0"); }              // [any] MAGIC
  CoreStrg skinFilePath() const { return CoreStrg(""); }        // [any]
  int32_t guiRate() const { return 40000; }                     // [any] GUIRATE, microseconds
  void setHostSampleRate(int32_t rate) { hostRate_ = rate; }    // [control]
  int32_t hostSampleRate() const { return hostRate_; }          // [any]
  int32_t sampleRate() const { return rate_; }                  // [any]
  const CoreStrg& codeFolder() const { return codeFolder_; }    // [any]
  const CoreStrg& moduleName() const { return moduleName_; }    // [any]

  // [audio] Host buffers in, host buffers out; accumulate when not replacing.
  template <typename T>
  void process(T** inputs, T** outputs, int32_t inputCount, int32_t frames, bool replacing);

 private:
  CorePool* pool_;
  CoreStrg codeFolder_;
  CoreStrg moduleName_;
  CoreBlnk* blink_;
  CoreFsys* fsys_;
  int32_t rate_;
  int32_t hostRate_;
  bool failed_ = false;
};

template <typename T>
void CorePrcs::process(T** inputs, T** outputs, int32_t inputCount, int32_t frames, bool replacing) {
  if (!inputs || !outputs || frames <= 0) return;
  for (int32_t c = 0; c < 2; ++c) {
    T* out = outputs[c];
    const T* in = c < inputCount ? inputs[c] : nullptr;
    if (!out) continue;
    for (int32_t i = 0; i < frames; ++i) {
      const T v = in ? in[i] : T(0);
      out[i] = replacing ? v : out[i] + v;
    }
  }
}
